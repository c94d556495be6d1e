// Contour of a drawing of 10,000 closed Regions (circles and rounded
// rectangles on a grid), outside each with a 3 mm tool at one level, after
// select-all-closed with island detection. The selection alone is timed
// beside it as the baseline.
#include <benchmark/benchmark.h>

#include <cmath>

#include "geometry/primitives.h"
#include "shell/selection_commands.h"
#include "shell/document.h"
#include "toolpaths/contour.h"
#include "shell/strategy_commands.h"

namespace {

using namespace tarnak;

TTNEntity Arc(Point2 c, Point2 a, Point2 b) {
  const double r = std::hypot(a.X - c.X, a.Y - c.Y);
  return MakeArc(c.X, c.Y, r, PointAngle(c, a), PointAngle(c, b));
}

TTNRegion RoundedRect(double x0, double y0, double x1, double y1, double r) {
  TTNRegion reg;
  reg.Elements = {MakeLine(x0 + r, y0, x1 - r, y0), Arc({x1 - r, y0 + r}, {x1 - r, y0}, {x1, y0 + r}),
                  MakeLine(x1, y0 + r, x1, y1 - r), Arc({x1 - r, y1 - r}, {x1, y1 - r}, {x1 - r, y1}),
                  MakeLine(x1 - r, y1, x0 + r, y1), Arc({x0 + r, y1 - r}, {x0 + r, y1}, {x0, y1 - r}),
                  MakeLine(x0, y1 - r, x0, y0 + r), Arc({x0 + r, y0 + r}, {x0, y0 + r}, {x0 + r, y0})};
  RegionBounds(reg);
  RegionSetDirection(reg, 0);
  return reg;
}

TTNRegion Circle(double cx, double cy, double r) {
  TTNRegion reg;
  reg.Elements = {MakeArc(cx, cy, r, 0.0, 0.0)};
  RegionBounds(reg);
  return reg;
}

void Fill(Document& doc) {
  doc.Regions.assign(1, TTNRegion{});
  for (int k = 0; k < 10000; ++k) {
    const double x = (k % 100) * 20.0, y = (k / 100) * 20.0;
    doc.Regions.push_back(k % 2 ? Circle(x + 5, y + 5, 4) : RoundedRect(x, y, x + 12, y + 8, 2));
  }
  doc.ComputeExtents();
  doc.MachiningParams = TTNMachiningParameters{};
  auto& p = doc.MachiningParams;
  p.Rough.Radius = 1.5;
  p.Rough.ZStep = 1;
  p.Depth = 1;
  p.RapidHeight = 5;
  p.Compensation = kCompRight;
}

void BM_SelectAllClosed10k(benchmark::State& state) {
  SilentUserInterface ui;
  for (auto _ : state) {
    state.PauseTiming();
    Document doc(ui);
    Fill(doc);
    state.ResumeTiming();
    SelectAllClosed(doc);
  }
}

void BM_ContourOutside10k(benchmark::State& state) {
  SilentUserInterface ui;
  size_t paths = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Document doc(ui);
    Fill(doc);
    state.ResumeTiming();
    SelectAllClosed(doc);
    ContourCommand(doc);
    paths = doc.Toolpaths.size() - 1;
  }
  state.counters["toolpaths"] = static_cast<double>(paths);
}

BENCHMARK(BM_SelectAllClosed10k)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ContourOutside10k)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
