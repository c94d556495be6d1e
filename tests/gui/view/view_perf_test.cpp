// How long the drawing view takes to redraw a large drawing. Prints the
// times only: machines differ too much for a limit to mean anything.
#include <QElapsedTimer>
#include <QtTest>
#include <cmath>
#include <cstdio>

#include "geometry/primitives.h"
#include "view/vector_display.h"

using namespace tarnak;
using tarnak::gui::TVectorDisplay3D;

namespace {

// 10,000 closed Regions of 10 Elements each: slots with two half-circle
// ends and long sides cut into four lines.
void FillDrawing(Document& doc) {
  constexpr int kSide = 100;
  for (int row = 0; row < kSide; ++row) {
    for (int col = 0; col < kSide; ++col) {
      const double x = col * 10.0;
      const double y = row * 10.0;
      TTNRegion r;
      for (int k = 0; k < 4; ++k) r.Elements.push_back(MakeLine(x + 2 + k, y + 2, x + 3 + k, y + 2));
      r.Elements.push_back(MakeArc(x + 6, y + 4, 2, -kPi / 2, kPi / 2));
      for (int k = 0; k < 4; ++k) r.Elements.push_back(MakeLine(x + 6 - k, y + 6, x + 5 - k, y + 6));
      r.Elements.push_back(MakeArc(x + 2, y + 4, 2, kPi / 2, 3 * kPi / 2));
      r.Selected = (row + col) % 3 == 0 ? 1 : 0;
      r.Depth = (row % 4) * 0.5;
      RegionBounds(r);
      doc.Regions.push_back(std::move(r));
    }
  }
  doc.ComputeExtents();
}

// The same outlines as toolpaths, each reached by a retract and a rapid.
void FillToolpaths(Document& doc) {
  for (std::size_t i = 1; i < doc.Regions.size(); ++i) {
    TTNOutRegion t;
    t.Colour = static_cast<int32_t>(i % 2 ? kColourBlue : kColourBlack);
    t.Depth = doc.Regions[i].Depth + 1.0;
    t.RapidLevel = -5.0;
    t.LinkKind = kLinkRetract;
    t.Elements = doc.Regions[i].Elements;
    doc.Toolpaths.push_back(std::move(t));
  }
}

double Ms(QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

}  // namespace

class ViewPerfTest : public QObject {
  Q_OBJECT
 private slots:
  void redrawOfAHundredThousandElements() {
    SilentUserInterface ui;
    Document doc(ui);
    FillDrawing(doc);
    FillToolpaths(doc);
    long long elements = 0;
    for (const TTNRegion& r : doc.Regions) elements += static_cast<long long>(r.Elements.size());
    QCOMPARE(elements, 100000LL);

    TVectorDisplay3D view;
    view.resize(1600, 1000);
    view.SetDocument(&doc);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.ZoomAll();

    QElapsedTimer t;
    auto report = [&](const char* what) {
      std::printf("view redraw, %lld Elements: %-44s %8.1f ms\n", elements, what, Ms(t));
      std::fflush(stdout);
    };

    t.start();
    const std::uint64_t digest = gui::SceneFingerprint(doc);
    report("(digest of the geometry alone)");
    t.start();
    gui::ViewScene scene;
    gui::BuildScene(doc, scene);
    report("(paths built alone)");
    QCOMPARE(scene.Fingerprint, digest);

    view.InvalidateGeometry();
    t.start();
    QCOMPARE(view.DrawGeometry(), QString("All 100000"));
    report("first redraw (paths built)");

    t.start();
    view.DrawGeometry();
    report("redraw, nothing changed");

    t.start();
    view.ZoomBy(0.2);
    report("zoom in");
    view.ZoomPrevious();

    t.start();
    view.repaint();
    report("repaint of the picture (no redraw)");

    doc.Regions[5].Selected = 1 - doc.Regions[5].Selected;
    t.start();
    view.DrawGeometry();
    report("redraw after a selection change");

    doc.ViewMode = 1;
    t.start();
    view.DrawGeometry();
    report("selected Regions only");
    doc.ViewMode = 0;

    doc.Options.View.MarkDirs = true;
    view.SetDrawDirectionsMode(true);
    t.start();
    view.DrawGeometry();
    report("with direction marks on every Element");
    view.SetDrawDirectionsMode(false);

    view.SetInfoMode(true);
    t.start();
    view.DrawGeometry();
    report("with the information overlay");
    view.SetInfoMode(false);

    view.Set3D();
    view.ZoomAll();
    t.start();
    view.DrawGeometry();
    report("oblique view");
    view.Set2D();
    view.ZoomAll();

    doc.ViewMode = 3;
    view.InvalidateGeometry();
    t.start();
    view.DrawGeometry();
    report("toolpaths + boundaries (paths built)");
    t.start();
    view.DrawGeometry();
    report("toolpaths + boundaries");
  }
};

QTEST_MAIN(ViewPerfTest)
#include "view_perf_test.moc"
