// The drawing view: its window arithmetic, the mouse in drawing units, and
// what ends up on the picture.
#include <QFontDatabase>
#include <QSignalSpy>
#include <QtTest>
#include <cmath>
#include <string>
#include <vector>

#include "geometry/primitives.h"
#include "selection/region_geometry.h"
#include "base/numbers.h"
#include "view/vector_display.h"

using namespace tarnak;
using tarnak::gui::TVectorDisplay3D;
using tarnak::gui::ViewWindow;

namespace {

class RecordingUi : public UserInterface {
 public:
  MsgResult Message(const std::string&, const std::string&, MsgButtons, MsgIcon) override {
    return MsgResult::Ok;
  }
  void SetStatus(const std::string& text) override { status = text; }
  void SetStatus2(const std::string& text) override { status2 = text; }
  std::string status;
  std::string status2;
};

TTNRegion RegionOf(std::vector<TTNEntity> elements, bool open) {
  TTNRegion r;
  r.Elements = std::move(elements);
  r.Open = open ? 1 : 0;
  RegionBounds(r);
  return r;
}

TTNRegion Square(double x0, double y0, double x1, double y1) {
  return RegionOf({MakeLine(x0, y0, x1, y0), MakeLine(x1, y0, x1, y1), MakeLine(x1, y1, x0, y1),
                   MakeLine(x0, y1, x0, y0)},
                  false);
}

QColor Q(Colour c) { return QColor(QRgb(ColourToRgb(c))); }

// True when a pixel within `radius` of `at` has colour c.
bool ColourNear(const QImage& img, QPointF at, Colour c, int radius = 1) {
  const QRgb want = Q(c).rgb();
  const int cx = qRound(at.x());
  const int cy = qRound(at.y());
  for (int y = cy - radius; y <= cy + radius; ++y)
    for (int x = cx - radius; x <= cx + radius; ++x)
      if (img.rect().contains(x, y) && img.pixel(x, y) == want) return true;
  return false;
}

// Distinct colours, so that every pixel tells what drew it.
constexpr Colour kUnClosed = MakeColour(200, 0, 0);
constexpr Colour kUnOpen = MakeColour(150, 0, 150);
constexpr Colour kClosed = MakeColour(0, 0, 200);
constexpr Colour kIsland = MakeColour(0, 160, 0);
constexpr Colour kOpen = MakeColour(200, 120, 0);
constexpr Colour kTool = MakeColour(0, 150, 150);

}  // namespace

class ViewTest : public QObject {
  Q_OBJECT

  RecordingUi ui_;
  std::unique_ptr<Document> doc_;
  std::unique_ptr<TVectorDisplay3D> view_;

  void Fit10() { view_->Fit(Box::FromMinMax(0.0, 0.0, 10.0, 10.0), 20, 20); }

 private slots:
  void init() {
    ui_.status.clear();
    ui_.status2.clear();
    doc_ = std::make_unique<Document>(ui_);
    TTNViewOptions& v = doc_->Options.View;
    v.UnClosed = kUnClosed;
    v.UnOpen = kUnOpen;
    v.Closed = kClosed;
    v.Island = kIsland;
    v.Open = kOpen;
    view_ = std::make_unique<TVectorDisplay3D>();
    view_->resize(400, 300);
    view_->SetDocument(doc_.get());
  }
  void cleanup() {
    view_.reset();
    doc_.reset();
    SetDecimalSeparator('.');
  }

  // ---- window arithmetic ----------------------------------------------------

  void fitCentresTheBoxAtTheSmallerScale() {
    Fit10();
    // (400 - 40) / 10 = 36 across, (300 - 40) / 10 = 26 down: 26 wins.
    QCOMPARE(view_->Scale(), 26.0);
    const ViewWindow& w = view_->Window();
    QCOMPARE((w.MinX + w.MaxX) / 2.0, 5.0);
    QCOMPARE((w.MinY + w.MaxY) / 2.0, 5.0);
    QVERIFY(std::fabs((w.MaxX - w.MinX) - 400.0 / 26.0) < 1e-12);
    QVERIFY(std::fabs((w.MaxY - w.MinY) - 300.0 / 26.0) < 1e-12);
    // The window's corners are the widget's corners.
    const QPointF topLeft = view_->DrawingToScreen(w.MinX, w.MaxY);
    QVERIFY(std::fabs(topLeft.x()) < 1e-9 && std::fabs(topLeft.y()) < 1e-9);
  }

  void fitOfABoxWithoutWidthOrHeightTakesOne() {
    // A vertical line: across takes 1, down (300 - 40) / 10 = 26; 1 wins.
    view_->Fit(Box::FromMinMax(5.0, 0.0, 5.0, 10.0), 20, 20);
    QCOMPARE(view_->Scale(), 1.0);
    QCOMPARE(view_->Window().MinX, 5.0 - 200.0);
    QCOMPARE(view_->Window().MaxY, 5.0 + 150.0);
    // A point: both take 1.
    view_->Fit(Box::FromMinMax(3.0, 4.0, 3.0, 4.0), 20, 20);
    QCOMPARE(view_->Scale(), 1.0);
    QVERIFY(std::isfinite(doc_->PickTolerance));
    QCOMPARE(doc_->PickTolerance, 8.0);
    // A horizontal line: down takes 1.
    view_->Fit(Box::FromMinMax(0.0, 2.0, 0.5, 2.0), 20, 20);
    QCOMPARE(view_->Scale(), 1.0);
  }

  void pickToleranceIsEightPixels() {
    Fit10();
    QCOMPARE(doc_->PickTolerance, 8.0 / 26.0);
    // The same figure the core works out for a view of this size.
    doc_->DrawingExtents = DrawingExtentsRec{};
    QVERIFY(std::fabs(doc_->PickTolerance -
                      PickToleranceForView(doc_->DrawingExtents, 400, 300, 20)) < 1e-15);
    // Recomputed on every redraw.
    doc_->PickTolerance = 0.0;
    view_->DrawGeometry();
    QCOMPARE(doc_->PickTolerance, 8.0 / 26.0);
    view_->ZoomBy(0.2);
    QVERIFY(std::fabs(doc_->PickTolerance - 8.0 / view_->Scale()) < 1e-15);
    QVERIFY(doc_->PickTolerance < 8.0 / 26.0);
  }

  void fitWaitsForRoom() {
    view_->resize(30, 30);  // smaller than its margins
    view_->Fit(Box::FromMinMax(0.0, 0.0, 10.0, 10.0), 20, 20);
    QCOMPARE(view_->Scale(), 0.0);
    view_->resize(400, 300);
    view_->DrawGeometry();
    QCOMPARE(view_->Scale(), 26.0);
    // Shown, the resize itself does it.
    view_->show();
    QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
    view_->resize(30, 30);
    view_->Fit(Box::FromMinMax(0.0, 0.0, 10.0, 10.0), 20, 20);
    QCOMPARE(view_->Scale(), 26.0);  // unchanged
    view_->resize(400, 300);
    QTRY_COMPARE(view_->Scale(), 26.0);
    view_->resize(30, 30);
    view_->Fit(Box::FromMinMax(0.0, 0.0, 20.0, 20.0), 20, 20);
    view_->resize(400, 300);
    QTRY_COMPARE(view_->Scale(), 13.0);
  }

  void zoomInThenOutDoesNotReturnButPreviousDoes() {
    Fit10();
    const ViewWindow w0 = view_->Window();
    const double s0 = view_->Scale();
    view_->ZoomBy(0.2);
    const ViewWindow w1 = view_->Window();
    QVERIFY(std::fabs((w1.MaxX - w1.MinX) - 0.6 * (w0.MaxX - w0.MinX)) < 1e-9);
    QVERIFY(std::fabs((w1.MinX + w1.MaxX) - (w0.MinX + w0.MaxX)) < 1e-9);  // about the centre
    view_->ZoomBy(-0.2);
    const ViewWindow w2 = view_->Window();
    // 0.6 * 1.4 = 0.84 of the first width, not 1.
    QVERIFY(std::fabs((w2.MaxX - w2.MinX) - 0.84 * (w0.MaxX - w0.MinX)) < 1e-9);
    QVERIFY(!(w2 == w0));

    view_->Fit(Box::FromMinMax(0.0, 0.0, 10.0, 10.0), 20, 20);
    QVERIFY(view_->Window() == w0);
    view_->ZoomBy(0.2);
    view_->ZoomPrevious();
    QVERIFY(view_->Window() == w0);  // exactly
    QCOMPARE(view_->Scale(), s0);
    view_->ZoomPrevious();  // and back again
    QVERIFY(view_->Window() == w1);
  }

  void zoomAllAndSelected() {
    // No geometry: the default extents 0..10.
    view_->ZoomAll();
    QCOMPARE(view_->Scale(), 26.0);
    QVERIFY(!view_->ZoomSelected());
    QCOMPARE(view_->Scale(), 26.0);

    doc_->Regions.push_back(Square(0.0, 0.0, 100.0, 100.0));
    doc_->Regions.push_back(Square(10.0, 20.0, 12.0, 22.0));
    doc_->ComputeExtents();
    view_->ZoomAll();
    QCOMPARE(view_->Scale(), 2.6);
    doc_->Regions[2].Selected = 1;
    QVERIFY(view_->ZoomSelected());
    QCOMPARE(view_->Scale(), 130.0);  // (300 - 40) / 2
    QCOMPARE((view_->Window().MinX + view_->Window().MaxX) / 2.0, 11.0);
    view_->ZoomPrevious();
    QCOMPARE(view_->Scale(), 2.6);
  }

  void screenAndDrawingRoundTrip() {
    for (bool threeD : {false, true}) {
      if (threeD) view_->Set3D();
      Fit10();
      for (const QPointF px : {QPointF(0, 0), QPointF(123.5, 77.25), QPointF(399, 299)}) {
        const Point2 d = view_->ScreenToDrawing(px);
        const QPointF back = view_->DrawingToScreen(d.X, d.Y);
        QVERIFY2(std::fabs(back.x() - px.x()) < 1e-9 && std::fabs(back.y() - px.y()) < 1e-9,
                 threeD ? "3D" : "2D");
      }
    }
    view_->Set2D();
    Fit10();
    // Independent of the view's own inverse: pixel (100, 50) is 100/26
    // right of the left edge and 50/26 below the top.
    const Point2 d = view_->ScreenToDrawing(QPointF(100, 50));
    QVERIFY(std::fabs(d.X - (view_->Window().MinX + 100.0 / 26.0)) < 1e-12);
    QVERIFY(std::fabs(d.Y - (view_->Window().MaxY - 50.0 / 26.0)) < 1e-12);
  }

  void obliqueProjection() {
    // In the top view heights do not show.
    Fit10();
    QCOMPARE(view_->DrawingToScreen(3, 4, -5), view_->DrawingToScreen(3, 4, 0));
    QCOMPARE(view_->ModeText(), QString("2D"));

    view_->Set3D();
    QCOMPARE(view_->ModeText(), QString("3D"));
    Fit10();
    const double s = view_->Scale();
    const QPointF o = view_->DrawingToScreen(0, 0, 0);
    const QPointF x = view_->DrawingToScreen(1, 0, 0) - o;
    const QPointF y = view_->DrawingToScreen(0, 1, 0) - o;
    const QPointF down = view_->DrawingToScreen(0, 0, -5) - o;
    const double c30 = std::sqrt(3.0) / 2.0;
    const double s45 = std::sqrt(0.5);
    // Turned 30 degrees about z, tilted 45 degrees; screen y points down.
    QVERIFY(std::fabs(x.x() - c30 * s) < 1e-9 && std::fabs(x.y() + 0.5 * s45 * s) < 1e-9);
    QVERIFY(std::fabs(y.x() + 0.5 * s) < 1e-9 && std::fabs(y.y() + c30 * s45 * s) < 1e-9);
    // Depth 5 lies 5 * cos 45 below, straight down the screen.
    QVERIFY(std::fabs(down.x()) < 1e-9 && std::fabs(down.y() - 5.0 * s45 * s) < 1e-9);
  }

  // ---- mouse ---------------------------------------------------------------

  void mouseSignalsInDrawingUnits() {
    view_->show();
    QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
    Fit10();
    QSignalSpy down(view_.get(), &TVectorDisplay3D::MouseDown);
    QSignalSpy up(view_.get(), &TVectorDisplay3D::MouseUp);
    QSignalSpy window(view_.get(), &TVectorDisplay3D::WindowPicked);
    QSignalSpy moved(view_.get(), &TVectorDisplay3D::MouseMoved);

    const ViewWindow w = view_->Window();
    QTest::mousePress(view_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(130, 80));
    QCOMPARE(down.count(), 1);
    const Point2 p = down[0][0].value<Point2>();
    QVERIFY(std::fabs(p.X - (w.MinX + 130.0 / 26.0)) < 1e-9);
    QVERIFY(std::fabs(p.Y - (w.MaxY - 80.0 / 26.0)) < 1e-9);
    QCOMPARE(down[0][1].value<Qt::MouseButton>(), Qt::LeftButton);
    // One pixel of wobble is still a click.
    QTest::mouseMove(view_.get(), QPoint(131, 81));
    QVERIFY(moved.count() >= 1);
    QTest::mouseRelease(view_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(131, 81));
    QCOMPARE(up.count(), 1);
    QCOMPARE(window.count(), 0);
    // Far in one direction only: still no window.
    QTest::mousePress(view_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QTest::mouseMove(view_.get(), QPoint(160, 101));
    QTest::mouseRelease(view_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(160, 101));
    QCOMPARE(window.count(), 0);

    const Point2 last = moved.last()[0].value<Point2>();
    QCOMPARE(TVectorDisplay3D::PositionText(last),
             QString::fromStdString(FormatNumber("%5.4f", last.X) + ", " +
                                    FormatNumber("%5.4f", last.Y)));
    QCOMPARE(gui::CoreButton(Qt::RightButton), MouseButton::Right);
  }

  void rubberBandReportsTheWindow() {
    view_->show();
    QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
    Fit10();
    doc_->PickMode = kPickSelectWindow;
    QSignalSpy window(view_.get(), &TVectorDisplay3D::WindowPicked);
    // Dragged from bottom-right to top-left: the corners come out sorted.
    QTest::mousePress(view_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(250, 200));
    QTest::mouseMove(view_.get(), QPoint(150, 120));
    QTest::mouseMove(view_.get(), QPoint(52, 40));
    QTest::mouseRelease(view_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(52, 40));
    QCOMPARE(window.count(), 1);
    const Box b = window[0][0].value<Box>();
    const ViewWindow& w = view_->Window();
    QVERIFY(std::fabs(b.MinX - (w.MinX + 52.0 / 26.0)) < 1e-9);
    QVERIFY(std::fabs(b.MaxX - (w.MinX + 250.0 / 26.0)) < 1e-9);
    QVERIFY(std::fabs(b.MaxY - (w.MaxY - 40.0 / 26.0)) < 1e-9);
    QVERIFY(std::fabs(b.MinY - (w.MaxY - 200.0 / 26.0)) < 1e-9);
    // The view does not end the selection mode; the selection does.
    QCOMPARE(doc_->PickMode, kPickSelectWindow);
    // A right-button drag is no window.
    QTest::mousePress(view_.get(), Qt::RightButton, Qt::NoModifier, QPoint(50, 50));
    QTest::mouseMove(view_.get(), QPoint(150, 150));
    QTest::mouseRelease(view_.get(), Qt::RightButton, Qt::NoModifier, QPoint(150, 150));
    QCOMPARE(window.count(), 1);
  }

  void zoomWindowIsHandledByTheView() {
    view_->show();
    QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
    Fit10();
    const ViewWindow before = view_->Window();
    view_->ZoomWindow();
    QCOMPARE(doc_->PickMode, gui::kPickZoomWindow);
    QCOMPARE(ui_.status, std::string("Click and Drag Selection Window"));
    QSignalSpy down(view_.get(), &TVectorDisplay3D::MouseDown);
    QSignalSpy up(view_.get(), &TVectorDisplay3D::MouseUp);
    QSignalSpy window(view_.get(), &TVectorDisplay3D::WindowPicked);
    const Point2 a = view_->ScreenToDrawing(QPointF(100, 100));
    const Point2 b = view_->ScreenToDrawing(QPointF(180, 130));
    QTest::mousePress(view_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QTest::mouseMove(view_.get(), QPoint(180, 130));
    QTest::mouseRelease(view_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(180, 130));
    QCOMPARE(down.count() + up.count() + window.count(), 0);
    QCOMPARE(doc_->PickMode, kPickNone);
    QCOMPARE(ui_.status, std::string("Ready..."));
    // 80 x 30 pixels at 26 fill 400 x 300 at 5 (the width limits).
    QVERIFY(std::fabs(view_->Scale() - 26.0 * 5.0) < 1e-9);
    const ViewWindow& w = view_->Window();
    QVERIFY(std::fabs((w.MinX + w.MaxX) / 2.0 - (a.X + b.X) / 2.0) < 1e-9);
    QVERIFY(std::fabs((w.MinY + w.MaxY) / 2.0 - (a.Y + b.Y) / 2.0) < 1e-9);
    QVERIFY(view_->PreviousWindow() == before);
  }

  // ---- the picture -----------------------------------------------------------

  void regionsInTheirSelectionColours() {
    doc_->Regions.push_back(Square(1, 1, 4, 4));                        // 1 not selected
    doc_->Regions.push_back(Square(6, 1, 9, 4));                        // 2 boundary
    doc_->Regions.push_back(Square(7, 2, 8, 3));                        // 3 island of 2
    doc_->Regions.push_back(RegionOf({MakeLine(1, 6, 4, 6)}, true));    // 4 open
    doc_->Regions.push_back(RegionOf({MakeLine(1, 8, 4, 8)}, true));    // 5 open, selected
    doc_->Regions.push_back(RegionOf({MakeArc(7.5, 7.5, 1.0, 0, 0)}, false));  // 6 circle
    doc_->Regions[2].Selected = 1;
    doc_->Regions[3].Selected = 1;
    doc_->Regions[3].Owner = 2;
    doc_->Regions[5].Selected = 1;
    Fit10();
    QCOMPARE(view_->DrawGeometry(), QString("All 15"));
    QCOMPARE(ui_.status2, std::string("All 15"));
    const QImage& img = view_->Frame();
    QCOMPARE(img.size(), QSize(400, 300));
    auto at = [&](double x, double y) { return view_->DrawingToScreen(x, y); };
    QVERIFY(ColourNear(img, at(1, 2.5), kUnClosed));
    QVERIFY(ColourNear(img, at(6, 2.5), kClosed));
    QVERIFY(ColourNear(img, at(7, 2.5), kIsland));
    QVERIFY(ColourNear(img, at(2.5, 6), kUnOpen));
    QVERIFY(ColourNear(img, at(2.5, 8), kOpen));
    QVERIFY(ColourNear(img, at(6.5, 7.5), kUnClosed));   // left of the circle
    QVERIFY(ColourNear(img, at(7.5, 8.5), kUnClosed));   // its top
    QVERIFY(!ColourNear(img, at(2.5, 2.5), kUnClosed, 3));  // inside: empty

    // Selecting without telling the view still shows at the next redraw.
    doc_->Regions[1].Selected = 1;
    view_->DrawGeometry();
    QVERIFY(ColourNear(view_->Frame(), at(1, 2.5), kClosed));

    // Only the selected Regions.
    doc_->Regions[1].Selected = 0;
    doc_->ViewMode = 1;
    QCOMPARE(view_->DrawGeometry(), QString("Select 9"));
    QVERIFY(!ColourNear(view_->Frame(), at(1, 2.5), kUnClosed, 2));
    QVERIFY(!ColourNear(view_->Frame(), at(2.5, 6), kUnOpen, 2));
    QVERIFY(ColourNear(view_->Frame(), at(6, 2.5), kClosed));
  }

  void arcsSweepTheirOwnWay() {
    doc_->Regions.push_back(RegionOf({MakeArc(3, 5, 2, 0, kPi)}, true));    // over the top
    doc_->Regions.push_back(RegionOf({MakeArc(7, 5, -2, 0, kPi)}, true));   // under the bottom
    doc_->Regions.push_back(RegionOf({MakeArc(5, 5, 1, kPi, kPi / 2)}, true));  // three quarters
    Fit10();
    view_->DrawGeometry();
    const QImage& img = view_->Frame();
    auto at = [&](double x, double y) { return view_->DrawingToScreen(x, y); };
    QVERIFY(ColourNear(img, at(3, 7), kUnOpen));
    QVERIFY(!ColourNear(img, at(3, 3), kUnOpen, 3));
    QVERIFY(ColourNear(img, at(7, 3), kUnOpen));
    QVERIFY(!ColourNear(img, at(7, 7), kUnOpen, 3));
    // From 180 degrees round through 270 and 0 to 90: all but the upper left.
    QVERIFY(ColourNear(img, at(5, 4), kUnOpen));
    QVERIFY(ColourNear(img, at(6, 5), kUnOpen));
    const double d = std::sqrt(0.5);
    QVERIFY(!ColourNear(img, at(5 - d, 5 + d), kUnOpen, 2));
  }

  void backgroundAndBusy() {
    doc_->Regions.push_back(Square(1, 1, 4, 4));
    doc_->Options.View.Back = MakeColour(10, 20, 30);
    Fit10();
    view_->DrawGeometry();
    QCOMPARE(view_->Frame().pixel(200, 150), Q(MakeColour(10, 20, 30)).rgb());
    // While a drawing loads nothing is redrawn.
    doc_->Busy = true;
    doc_->Regions[1].Selected = 1;
    QCOMPARE(view_->DrawGeometry(), QString());
    QVERIFY(ColourNear(view_->Frame(), view_->DrawingToScreen(1, 2.5), kUnClosed));
    doc_->Busy = false;
    view_->DrawGeometry();
    QVERIFY(ColourNear(view_->Frame(), view_->DrawingToScreen(1, 2.5), kClosed));
  }

  void depthShowsInTheObliqueView() {
    TTNRegion r = RegionOf({MakeLine(2, 5, 8, 5)}, true);
    r.Depth = 5.0;
    doc_->Regions.push_back(r);
    view_->Set3D();
    view_->Fit(Box::FromMinMax(0, -10, 10, 10), 20, 20, -5.0, 0.0);
    view_->DrawGeometry();
    QVERIFY(ColourNear(view_->Frame(), view_->DrawingToScreen(5, 5, -5), kUnOpen));
    QVERIFY(!ColourNear(view_->Frame(), view_->DrawingToScreen(5, 5, 0), kUnOpen, 2));
  }

  void toolpathFeedsSolidAndRapidsDashed() {
    TTNOutRegion a;
    a.Colour = static_cast<int32_t>(kTool);
    a.Depth = 1.0;
    a.RapidLevel = -5.0;
    a.LinkKind = kLinkRetract;
    a.Elements = {MakeLine(1, 1, 9, 1)};
    TTNOutRegion b = a;
    b.Elements = {MakeLine(9, 9, 1, 9)};
    doc_->Toolpaths.push_back(a);
    doc_->Toolpaths.push_back(b);
    doc_->Regions.push_back(Square(3, 3, 7, 7));
    doc_->ViewMode = 3;
    Fit10();
    QCOMPARE(view_->DrawGeometry(), QString("Tool 2"));
    const QImage& img = view_->Frame();
    const QRgb tool = Q(kTool).rgb();
    // The cut along y = 1: every pixel.
    const QPointF from = view_->DrawingToScreen(1.5, 1);
    const QPointF to = view_->DrawingToScreen(8.5, 1);
    int row = -1;
    for (int dy = -1; dy <= 1 && row < 0; ++dy)
      if (img.pixel(qRound(from.x()), qRound(from.y()) + dy) == tool) row = qRound(from.y()) + dy;
    QVERIFY(row >= 0);
    for (int x = qRound(from.x()); x <= qRound(to.x()); ++x) QCOMPARE(img.pixel(x, row), tool);
    // The rapid along x = 9 from the first path's end to the second's start:
    // drawn, with gaps.
    const QPointF r0 = view_->DrawingToScreen(9, 2);
    const QPointF r1 = view_->DrawingToScreen(9, 8);
    int column = -1;
    for (int dx = -1; dx <= 1 && column < 0; ++dx) {
      int hits = 0;
      for (int y = qRound(r1.y()); y <= qRound(r0.y()); ++y)
        hits += img.pixel(qRound(r0.x()) + dx, y) == tool ? 1 : 0;
      if (hits > 0) column = qRound(r0.x()) + dx;
    }
    QVERIFY(column >= 0);
    int on = 0;
    int off = 0;
    for (int y = qRound(r1.y()); y <= qRound(r0.y()); ++y)
      (img.pixel(column, y) == tool ? on : off) += 1;
    QVERIFY2(on > off && off > 0, qPrintable(QString("on %1 off %2").arg(on).arg(off)));
    // The boundaries are shown with the toolpaths ...
    QVERIFY(ColourNear(img, view_->DrawingToScreen(3, 5), kUnClosed));
    // ... unless switched off.
    doc_->Options.View.DrawBoundaries = false;
    view_->DrawGeometry();
    QVERIFY(!ColourNear(view_->Frame(), view_->DrawingToScreen(3, 5), kUnClosed, 2));
  }

  void leadMovesWhenTheToolpathCarriesThem() {
    TTNOutRegion t;
    t.Colour = static_cast<int32_t>(kTool);
    t.Depth = 1.0;
    t.LinkKind = kLinkFeedAtDepth;
    t.Elements = {MakeLine(3, 5, 7, 5)};
    t.EntryMove = MakeLine(1, 5, 3, 5);
    t.EntryMove.Mark = true;
    t.ExitMove = MakeLine(7, 5, 9, 5);
    t.ExitMove.Mark = true;
    doc_->Toolpaths.push_back(t);
    doc_->ViewMode = 3;
    Fit10();
    // Without the lead-move flag the NC program leaves them out, and so
    // does the picture.
    QCOMPARE(view_->DrawGeometry(), QString("Tool 1"));
    QVERIFY(ColourNear(view_->Frame(), view_->DrawingToScreen(5, 5), kTool));
    QVERIFY(!ColourNear(view_->Frame(), view_->DrawingToScreen(8.5, 5), kTool, 2));
    doc_->Toolpaths[1].LeadMoves = 1;
    QCOMPARE(view_->DrawGeometry(), QString("Tool 3"));
    QVERIFY(ColourNear(view_->Frame(), view_->DrawingToScreen(1.5, 5), kTool));
    QVERIFY(ColourNear(view_->Frame(), view_->DrawingToScreen(8.5, 5), kTool));
    // The overlay numbers toolpaths in this view; marks go on the path.
    view_->SetDrawDirectionsMode(true);
    view_->DrawGeometry();
    const QPointF mid = view_->DrawingToScreen(5, 5);
    QVERIFY(ColourNear(view_->Frame(), mid + QPointF(-4, -4), kTool));
  }

  void directionMarkPointsAlongTheElement() {
    doc_->Regions.push_back(RegionOf({MakeLine(2, 5, 8, 5)}, true));  // towards +X
    Fit10();
    view_->SetDrawDirectionsMode(true);
    view_->DrawGeometry();
    const QPointF mid = view_->DrawingToScreen(5, 5);
    // Strokes 8 pixels long going back (towards -X) at 45 degrees.
    QVERIFY(ColourNear(view_->Frame(), mid + QPointF(-4, -4), kUnOpen));
    QVERIFY(ColourNear(view_->Frame(), mid + QPointF(-4, 4), kUnOpen));
    QVERIFY(!ColourNear(view_->Frame(), mid + QPointF(4, -4), kUnOpen));
    QVERIFY(!ColourNear(view_->Frame(), mid + QPointF(-11, -11), kUnOpen, 0));
  }

  void markOfArcsFollowsTheirTurn() {
    // A counter-clockwise arc over the top travels towards -X at its middle.
    const gui::DirectionMark ccw = gui::ElementDirectionMark(MakeArc(0, 0, 2, 0, kPi));
    QVERIFY(std::fabs(ccw.Middle.X) < 1e-12 && std::fabs(ccw.Middle.Y - 2) < 1e-12);
    QVERIFY(std::fabs(std::cos(ccw.Back) - 1.0) < 1e-12);
    // A full clockwise circle from 0: at its middle (angle pi) it heads up.
    const gui::DirectionMark cw = gui::ElementDirectionMark(MakeArc(0, 0, -2, 0, 0));
    QVERIFY(std::fabs(std::sin(cw.Back) + 1.0) < 1e-12);
    // A full counter-clockwise circle starting at 90 degrees: middle at
    // 270 degrees, heading +X there, so the mark points back to -X.
    const gui::DirectionMark full = gui::ElementDirectionMark(MakeArc(0, 0, 2, kPi / 2, kPi / 2));
    QVERIFY(std::fabs(std::cos(full.Back) + 1.0) < 1e-12);
  }

  void infoLabels() {
    TTNRegion r = Square(1, 1, 4, 4);
    QCOMPARE(gui::RegionLabel(r, 3, false), std::string("3"));
    r.SelValue1 = 2;
    r.Depth = 1.5;
    QCOMPARE(gui::RegionLabel(r, 3, false), std::string("3-2, 1.500"));
    r.WallProfile = 4;
    r.WallDelta = 0.25f;
    QCOMPARE(gui::RegionLabel(r, 3, false), std::string("3-2, 1.500,(4, 0.250)"));
    QCOMPARE(gui::RegionLabel(r, 3, true), std::string("3-2, 1.500, 4, 0.250"));
    SetDecimalSeparator(',');
    QCOMPARE(gui::RegionLabel(r, 3, true), std::string("3-2, 1,500, 4, 0,250"));
    QCOMPARE(TVectorDisplay3D::PositionText(Point2{12.34567, -1.0}), QString("12,3457, -1,0000"));
  }

  void overlayWritesBesideTheRegion() {
    if (QFontDatabase::families().isEmpty()) QSKIP("no fonts on this system");
    doc_->Regions.push_back(Square(2, 2, 8, 8));
    Fit10();
    view_->SetInfoMode(true);
    view_->DrawGeometry();
    // Black text (the inverse of white) to the lower right of the start.
    const QPointF s = view_->DrawingToScreen(2, 2);
    const QRgb black = qRgb(0, 0, 0);
    int dark = 0;
    for (int y = qRound(s.y()); y < qRound(s.y()) + 20; ++y)
      for (int x = qRound(s.x()); x < qRound(s.x()) + 20; ++x)
        if (view_->Frame().rect().contains(x, y) && view_->Frame().pixel(x, y) == black) ++dark;
    QVERIFY(dark > 3);
  }

  void linksFollowTheNcProgram() {
    TTNOutRegion t;
    t.Depth = 2.0;
    t.RapidLevel = -5.0;
    t.Elements = {MakeLine(10, 0, 20, 0)};
    std::vector<gui::Segment3> rapids;
    std::vector<gui::Segment3> feeds;
    Point2 cur{1, 1};
    double z = -1.0;
    t.LinkKind = kLinkRetract;  // up to 5, over, down to -2
    gui::ToolpathLinkMoves(t, cur, z, rapids, feeds);
    QCOMPARE(rapids.size(), std::size_t(2));
    QCOMPARE(rapids[0].Z1, -1.0);
    QCOMPARE(rapids[0].Z2, 5.0);
    QCOMPARE(rapids[1].X2, 10.0);
    QCOMPARE(rapids[1].Z2, 5.0);
    QCOMPARE(feeds.size(), std::size_t(1));
    QCOMPARE(feeds[0].Z1, 5.0);
    QCOMPARE(feeds[0].Z2, -2.0);
    QCOMPARE(z, -2.0);

    rapids.clear();
    feeds.clear();
    cur = {1, 1};
    z = -2.0;
    t.LinkKind = kLinkFeedAtDepth;  // straight across, cutting
    gui::ToolpathLinkMoves(t, cur, z, rapids, feeds);
    QVERIFY(rapids.empty());
    QCOMPARE(feeds.size(), std::size_t(1));
    QCOMPARE(feeds[0].X2, 10.0);

    // A lead-in starts the toolpath.
    t.LeadMoves = 1;
    t.EntryMove = MakeLine(8, -2, 10, 0);
    t.EntryMove.Mark = true;
    QCOMPARE(gui::ToolpathStartPoint(t).X, 8.0);

    rapids.clear();
    feeds.clear();
    cur = {1, 1};
    z = -2.0;
    t.LinkKind = kLinkDrillCanned;
    t.Elements = {MakeLine(4, 4, 4, 4)};
    gui::ToolpathLinkMoves(t, cur, z, rapids, feeds);
    QCOMPARE(feeds.size(), std::size_t(1));  // the drilling
    QCOMPARE(feeds[0].X1, 4.0);
    QCOMPARE(feeds[0].Z2, -2.0);
    QCOMPARE(z, 5.0);  // back above the hole
  }
};

QTEST_MAIN(ViewTest)
#include "view_test.moc"
