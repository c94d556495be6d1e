// Select all closed Regions, with island detection, on 10,000 closed
// Regions: circles and rounded rectangles on a grid, every fourth cell
// holding a nest (a rounded rectangle around a circle around a smaller
// rounded rectangle). The "board" variant puts everything inside one wavy
// outline of 4,000 Elements, the worst case for the inside tests.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "geometry/primitives.h"
#include "selection/region_selection.h"
#include "shell/selection_commands.h"
#include "shell/document.h"

namespace {

using namespace tarnak;

TTNEntity Arc(Point2 c, Point2 a, Point2 b) {
  const double r = std::hypot(a.X - c.X, a.Y - c.Y);
  return MakeArc(c.X, c.Y, r, PointAngle(c, a), PointAngle(c, b));
}

TTNRegion RoundedRect(double x0, double y0, double x1, double y1, double r) {
  TTNRegion reg;
  reg.Elements = {MakeLine(x0 + r, y0, x1 - r, y0),
                  Arc({x1 - r, y0 + r}, {x1 - r, y0}, {x1, y0 + r}),
                  MakeLine(x1, y0 + r, x1, y1 - r),
                  Arc({x1 - r, y1 - r}, {x1, y1 - r}, {x1 - r, y1}),
                  MakeLine(x1 - r, y1, x0 + r, y1),
                  Arc({x0 + r, y1 - r}, {x0 + r, y1}, {x0, y1 - r}),
                  MakeLine(x0, y1 - r, x0, y0 + r),
                  Arc({x0 + r, y0 + r}, {x0, y0 + r}, {x0 + r, y0})};
  RegionBounds(reg);
  RegionSetDirection(reg, 1);
  return reg;
}

TTNRegion Circle(double cx, double cy, double r) {
  TTNRegion reg;
  reg.Elements = {MakeArc(cx, cy, -r, 0.0, 0.0)};
  RegionBounds(reg);
  reg.Direction = 1;
  return reg;
}

// A rectangle whose edges wave in and out, as a board outline of many
// short lines.
TTNRegion WavyOutline(double x0, double y0, double x1, double y1, int perSide) {
  std::vector<Point2> pts;
  const auto side = [&](Point2 a, Point2 b, Point2 out) {
    for (int k = 0; k < perSide; ++k) {
      const double t = static_cast<double>(k) / perSide;
      const double w = 2.0 * std::sin(t * 40.0 * kPi);
      pts.push_back({a.X + (b.X - a.X) * t + out.X * w, a.Y + (b.Y - a.Y) * t + out.Y * w});
    }
  };
  side({x0, y0}, {x1, y0}, {0, -1});
  side({x1, y0}, {x1, y1}, {1, 0});
  side({x1, y1}, {x0, y1}, {0, 1});
  side({x0, y1}, {x0, y0}, {-1, 0});
  TTNRegion reg;
  for (size_t k = 0; k < pts.size(); ++k) {
    const Point2 a = pts[k], b = pts[(k + 1) % pts.size()];
    reg.Elements.push_back(MakeLine(a.X, a.Y, b.X, b.Y));
  }
  RegionBounds(reg);
  return reg;
}

void MakeDrawing(Document& doc, bool board) {
  doc.Regions.assign(1, TTNRegion{});
  if (board) doc.Regions.push_back(WavyOutline(-10, -10, 1610, 1610, 1000));
  const int target = 10000;
  for (int cell = 0; static_cast<int>(doc.Regions.size()) - 1 < target; ++cell) {
    const double x = (cell % 100) * 16.0, y = (cell / 100) * 16.0;
    if (cell % 4 == 0) {
      doc.Regions.push_back(RoundedRect(x, y, x + 14, y + 14, 2));
      doc.Regions.push_back(Circle(x + 7, y + 7, 5));
      doc.Regions.push_back(RoundedRect(x + 4, y + 4, x + 10, y + 10, 1));
    } else if (cell % 2 == 0) {
      doc.Regions.push_back(Circle(x + 7, y + 7, 6));
    } else {
      doc.Regions.push_back(RoundedRect(x + 1, y + 1, x + 13, y + 13, 3));
    }
  }
  doc.Regions.resize(static_cast<size_t>(target) + 1);
  doc.ComputeExtents();
}

void BM_SelectAllClosed(benchmark::State& state) {
  SilentUserInterface ui;
  Document doc(ui);
  MakeDrawing(doc, state.range(0) != 0);
  int islands = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (TTNRegion& r : doc.Regions) ClearRegionSelection(r);
    state.ResumeTiming();
    const SelectionResult r = SelectAllClosed(doc);
    islands = r.Islands;
    benchmark::DoNotOptimize(r);
  }
  state.counters["regions"] = static_cast<double>(doc.Regions.size() - 1);
  state.counters["islands"] = islands;
}
BENCHMARK(BM_SelectAllClosed)->Arg(0)->Arg(1)->ArgNames({"board"})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
