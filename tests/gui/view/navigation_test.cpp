// Moving about the drawing with the mouse: the wheel zooms about the
// pointer, middle or Space + left drags pan, Shift + left drags turn the
// oblique view; none of it reaches the program's picks. Also the marks of
// drilled holes.
#include <QSignalSpy>
#include <QWheelEvent>
#include <QtTest>
#include <cmath>

#include "geometry/primitives.h"
#include "toolpaths/toolpath_model.h"
#include "view/vector_display.h"

using namespace tarnak;
using tarnak::gui::TVectorDisplay3D;
using tarnak::gui::ViewWindow;

namespace {

class QuietUi : public UserInterface {
 public:
  MsgResult Message(const std::string&, const std::string&, MsgButtons, MsgIcon) override {
    return MsgResult::Ok;
  }
  void SetStatus(const std::string&) override {}
  void SetStatus2(const std::string&) override {}
};

void Wheel(QWidget* w, QPointF at, int eighths, ulong timestamp = 0) {
  QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, eighths), Qt::NoButton,
                Qt::NoModifier, Qt::NoScrollPhase, false);
  e.setTimestamp(timestamp);
  QApplication::sendEvent(w, &e);
}

double Distance(Point2 a, Point2 b) { return std::hypot(a.X - b.X, a.Y - b.Y); }
double Distance(QPointF a, QPointF b) { return std::hypot(a.x() - b.x(), a.y() - b.y()); }

}  // namespace

class NavigationTest : public QObject {
  Q_OBJECT

  QuietUi ui_;
  std::unique_ptr<Document> doc_;
  std::unique_ptr<TVectorDisplay3D> view_;

  void Fit10() { view_->Fit(Box{0.0, 0.0, 10.0, 10.0}, 20, 20); }

 private slots:
  void init() {
    doc_ = std::make_unique<Document>(ui_);
    doc_->DrawingExtents.MinX = 0.0;
    doc_->DrawingExtents.MaxX = 10.0;
    doc_->DrawingExtents.MinY = 0.0;
    doc_->DrawingExtents.MaxY = 10.0;
    view_ = std::make_unique<TVectorDisplay3D>();
    view_->resize(400, 300);
    view_->SetDocument(doc_.get());
    view_->show();
    QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
  }
  void cleanup() {
    view_.reset();
    doc_.reset();
  }

  void wheelKeepsThePointUnderThePointer_data() {
    QTest::addColumn<bool>("oblique");
    QTest::addColumn<QPointF>("at");
    QTest::addColumn<int>("eighths");
    const QPointF places[] = {{200, 150}, {0, 0}, {399, 299}, {37, 251}, {310.5, 12.25}};
    for (bool oblique : {false, true}) {
      for (const QPointF& at : places) {
        for (int eighths : {120, -120, 360, -40}) {
          QTest::addRow("%s (%g,%g) %d", oblique ? "3D" : "2D", at.x(), at.y(), eighths)
              << oblique << at << eighths;
        }
      }
    }
  }
  void wheelKeepsThePointUnderThePointer() {
    QFETCH(bool, oblique);
    QFETCH(QPointF, at);
    QFETCH(int, eighths);
    if (oblique) view_->Set3D();
    Fit10();
    const double scale = view_->Scale();
    const Point2 under = view_->ScreenToDrawing(at);
    QSignalSpy down(view_.get(), &TVectorDisplay3D::MouseDown);
    Wheel(view_.get(), at, eighths);
    QCOMPARE(down.count(), 0);
    const double expected = scale * std::pow(TVectorDisplay3D::kWheelStep, eighths / 120.0);
    QVERIFY(std::fabs(view_->Scale() - expected) < 1e-9 * expected);
    // Still under the pointer, both ways round; 1e-9 of the drawing's size.
    QVERIFY2(Distance(view_->ScreenToDrawing(at), under) < 1e-8,
             qPrintable(QString("moved by %1").arg(Distance(view_->ScreenToDrawing(at), under))));
    QVERIFY(Distance(view_->DrawingToScreen(under.X, under.Y), at) < 1e-6);
  }

  void aRunOfWheelStepsIsOneZoomForPrevious() {
    Fit10();
    const ViewWindow start = view_->Window();
    Wheel(view_.get(), {100, 100}, 120, 1000);
    Wheel(view_.get(), {100, 100}, 120, 1100);
    Wheel(view_.get(), {300, 200}, 120, 1200);
    QVERIFY(!(view_->Window() == start));
    view_->ZoomPrevious();
    QVERIFY(view_->Window() == start);
    // A pause starts a new zoom.
    Wheel(view_.get(), {100, 100}, 120, 5000);
    const ViewWindow first = view_->Window();
    Wheel(view_.get(), {100, 100}, 120, 9000);
    view_->ZoomPrevious();
    QVERIFY(view_->Window() == first);
  }

  void dragsPanByTheDraggedPixels() {
    struct Drag {
      Qt::MouseButton button;
      bool space;
      bool oblique;
    };
    const Drag drags[] = {{Qt::MiddleButton, false, false},
                          {Qt::LeftButton, true, false},
                          {Qt::MiddleButton, false, true},
                          {Qt::LeftButton, true, true}};
    for (const Drag& d : drags) {
      if (d.oblique)
        view_->Set3D();
      else
        view_->Set2D();
      Fit10();
      doc_->PickMode = kPickSelectWindow;  // a left drag would be a selection window
      QSignalSpy down(view_.get(), &TVectorDisplay3D::MouseDown);
      QSignalSpy up(view_.get(), &TVectorDisplay3D::MouseUp);
      QSignalSpy picked(view_.get(), &TVectorDisplay3D::WindowPicked);
      const ViewWindow start = view_->Window();
      const double scale = view_->Scale();
      const QPointF before = view_->DrawingToScreen(3.0, 7.0, -2.0);
      if (d.space) QTest::keyPress(view_.get(), Qt::Key_Space);
      QTest::mousePress(view_.get(), d.button, Qt::NoModifier, QPoint(120, 100));
      QTest::mouseMove(view_.get(), QPoint(150, 90));
      QTest::mouseMove(view_.get(), QPoint(177, 141));
      QTest::mouseRelease(view_.get(), d.button, Qt::NoModifier, QPoint(177, 141));
      if (d.space) QTest::keyRelease(view_.get(), Qt::Key_Space);
      const QPointF after = view_->DrawingToScreen(3.0, 7.0, -2.0);
      QVERIFY2(Distance(after - before, QPointF(57, 41)) < 1e-9,
               qPrintable(QString("moved by %1, %2").arg((after - before).x()).arg((after - before).y())));
      QCOMPARE(view_->Scale(), scale);
      QCOMPARE(down.count() + up.count() + picked.count(), 0);
      // The whole drag is one step back.
      view_->ZoomPrevious();
      QVERIFY(view_->Window() == start);
    }
    // Without Space a left drag is the program's again.
    view_->Set2D();
    Fit10();
    QSignalSpy picked(view_.get(), &TVectorDisplay3D::WindowPicked);
    QTest::mousePress(view_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(120, 100));
    QTest::mouseMove(view_.get(), QPoint(177, 141));
    QTest::mouseRelease(view_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(177, 141));
    QCOMPARE(picked.count(), 1);
  }

  void shiftDragTurnsTheObliqueViewAboutTheDrawingCentre() {
    view_->Set3D();
    Fit10();
    const QPointF centre = view_->DrawingToScreen(5.0, 5.0, 0.0);
    const QPointF corner = view_->DrawingToScreen(10.0, 0.0, 0.0);
    QSignalSpy down(view_.get(), &TVectorDisplay3D::MouseDown);
    QSignalSpy picked(view_.get(), &TVectorDisplay3D::WindowPicked);
    QTest::mousePress(view_.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(100, 100));
    QTest::mouseMove(view_.get(), QPoint(160, 80));
    QTest::mouseRelease(view_.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(160, 80));
    QCOMPARE(down.count() + picked.count(), 0);
    QVERIFY(Distance(view_->DrawingToScreen(5.0, 5.0, 0.0), centre) < 1e-6);
    QVERIFY(Distance(view_->DrawingToScreen(10.0, 0.0, 0.0), corner) > 5.0);
    // Back where it was, angles and all.
    view_->ZoomPrevious();
    QVERIFY(Distance(view_->DrawingToScreen(10.0, 0.0, 0.0), corner) < 1e-6);
    // In the top view Shift + drag stays a pick.
    view_->Set2D();
    Fit10();
    QTest::mousePress(view_.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(100, 100));
    QTest::mouseMove(view_.get(), QPoint(160, 80));
    QTest::mouseRelease(view_.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(160, 80));
    QCOMPARE(picked.count(), 1);
  }

  void drilledHolesAreMarked() {
    const Colour tool = MakeColour(0, 150, 150);
    for (double x : {3.0, 7.0}) {
      TTNOutRegion hole;
      hole.Colour = static_cast<int32_t>(tool);
      hole.Depth = 2.0;
      hole.RapidLevel = -5.0;
      hole.LinkKind = kLinkDrillCanned;
      hole.Elements = {MakeLine(x, 5.0, x, 5.0)};
      doc_->Toolpaths.push_back(hole);
    }
    doc_->ViewMode = 3;
    Fit10();
    view_->DrawGeometry();
    const QImage& img = view_->Frame();
    const QRgb want = QColor(QRgb(ColourToRgb(tool))).rgb();
    for (double x : {3.0, 7.0}) {
      const QPointF at = view_->DrawingToScreen(x, 5.0);
      // Tool-coloured pixels all round the hole, some way out from it.
      int sides = 0;
      for (const QPointF dir : {QPointF(1, 0), QPointF(-1, 0), QPointF(0, 1), QPointF(0, -1)}) {
        bool hit = false;
        for (int r = 3; r <= 7 && !hit; ++r) {
          const QPoint p = (at + dir * r).toPoint();
          hit = img.rect().contains(p) && img.pixel(p) == want;
        }
        sides += hit ? 1 : 0;
      }
      QCOMPARE(sides, 4);
    }
    // A hole without a colour of its own (as drilling makes them) is marked
    // in the rough toolpath colour.
    doc_->Toolpaths[1].Colour = 0;
    doc_->Options.View.RTool = MakeColour(224, 112, 0);
    view_->DrawGeometry();
    const QPointF at = view_->DrawingToScreen(3.0, 5.0);
    const QRgb rough = QColor(QRgb(ColourToRgb(doc_->Options.View.RTool))).rgb();
    QCOMPARE(view_->Frame().pixel((at + QPointF(0, -6)).toPoint()), rough);
  }
};

QTEST_MAIN(NavigationTest)
#include "navigation_test.moc"
