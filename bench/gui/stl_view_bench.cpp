// Redrawing an STL model of 1,000,000 triangles in the drawing view, as
// ratios to one pass over the same triangles (the model's box):
//   BM_ModelBox      the baseline: MeshBox over the model
//   BM_Rasterise     drawing the shaded model at a new view transform
//   BM_ViewRedraw    the view's redraw with nothing changed (the kept picture)
//   BM_ViewZoom      the view's redraw after a zoom (drawn anew)
// Run offscreen; the window is 1000 x 700 pixels.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cmath>
#include <memory>

#include "import/stl/stl_mesh.h"
#include "shell/document.h"
#include "view/stl_picture.h"
#include "view/vector_display.h"

namespace {

using namespace tarnak;

class NullUi : public UserInterface {
 public:
  MsgResult Message(const std::string&, const std::string&, MsgButtons, MsgIcon) override {
    return MsgResult::Ok;
  }
  void SetStatus(const std::string&) override {}
  void SetStatus2(const std::string&) override {}
  void SetHint(const std::string&) override {}
  void ProgressStart(int) override {}
  void ProgressStep() override {}
  void ProgressEnd() override {}
  void ProgressCount(int, int) override {}
  void ProcessEvents() override {}
};

// A wavy relief 100 x 100 of 2 x 707 x 707 (about 1,000,000) triangles,
// its top at 0.
TTNTriangleArray Relief() {
  constexpr int kCells = 707;
  constexpr double kSize = 100.0;
  auto z = [](double x, double y) {
    return static_cast<float>(-10.0 + 4.0 * std::sin(x / 7.0) * std::cos(y / 9.0));
  };
  TTNTriangleArray t;
  t.reserve(2u * kCells * kCells);
  const double step = kSize / kCells;
  for (int i = 0; i < kCells; ++i)
    for (int j = 0; j < kCells; ++j) {
      const double x0 = i * step, x1 = x0 + step, y0 = j * step, y1 = y0 + step;
      auto v = [&](double x, double y) {
        return TTNVertex{static_cast<float>(x), static_cast<float>(y), z(x, y)};
      };
      TTNTriangle a{v(x0, y0), v(x1, y0), v(x1, y1)};
      TTNTriangle b{v(x0, y0), v(x1, y1), v(x0, y1)};
      SortTriangleVertices(a);
      SortTriangleVertices(b);
      t.push_back(a);
      t.push_back(b);
    }
  return t;
}

struct Scene {
  NullUi ui;
  Document doc{ui};
  std::unique_ptr<gui::TVectorDisplay3D> view;
  Scene() {
    doc.Triangles = Relief();
    StlModelBox b;
    MeshBox(doc.Triangles, b);
    doc.DrawingExtents = {b.MinX, b.MaxX, b.MinY, b.MaxY, b.MinZ, b.MaxZ, b.MidZ, b.Height, b.Width};
    doc.StlMode = true;
    view = std::make_unique<gui::TVectorDisplay3D>();
    view->resize(1000, 700);
    view->SetDocument(&doc);
    view->Set3D();
    view->ZoomAll();
  }
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

void BM_ModelBox(benchmark::State& state) {
  const Scene& s = TheScene();
  for (auto _ : state) {
    StlModelBox b;
    MeshBox(s.doc.Triangles, b);
    benchmark::DoNotOptimize(b);
  }
}
BENCHMARK(BM_ModelBox)->Unit(benchmark::kMillisecond);

void BM_Rasterise(benchmark::State& state) {
  Scene& s = TheScene();
  QImage image(1000, 700, QImage::Format_RGB32);
  gui::ViewProjection projection;
  projection.Set3D();
  const QTransform toPixel(7.0, 0.0, 0.0, -7.0, 150.0, 650.0);
  for (auto _ : state) {
    image.fill(Qt::white);
    benchmark::DoNotOptimize(
        gui::RasteriseTriangles(image, s.doc.Triangles, projection, toPixel, qRgb(150, 172, 204)));
  }
}
BENCHMARK(BM_Rasterise)->Unit(benchmark::kMillisecond);

void BM_ViewRedraw(benchmark::State& state) {
  Scene& s = TheScene();
  s.view->DrawGeometry();
  for (auto _ : state) benchmark::DoNotOptimize(s.view->DrawGeometry());
}
BENCHMARK(BM_ViewRedraw)->Unit(benchmark::kMillisecond);

void BM_ViewZoom(benchmark::State& state) {
  Scene& s = TheScene();
  bool in = true;
  for (auto _ : state) {
    s.view->ZoomBy(in ? 0.05 : -0.05);  // redraws
    in = !in;
  }
}
BENCHMARK(BM_ViewZoom)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
