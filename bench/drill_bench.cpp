// Drill ordering of 100,000 holes scattered at random over a sheet: the
// nearest-neighbour walk alone, and the whole drill strategy over circles.
// A plain sort of the same 100,000 points by x then y is timed beside them
// as the baseline.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "base/cancel.h"
#include "geometry/primitives.h"
#include "toolpaths/drill.h"
#include "toolpaths/toolpath_model.h"

namespace {

using namespace tarnak;

constexpr int kHoles = 100000;

std::vector<Point2> Holes() {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<double> coord(0, 2000);
  std::vector<Point2> pts;
  pts.reserve(kHoles);
  for (int k = 0; k < kHoles; ++k) {
    const double x = coord(rng), y = coord(rng);
    pts.push_back({x, y});
  }
  return pts;
}

void BM_SortPoints100k(benchmark::State& state) {
  const std::vector<Point2> pts = Holes();
  for (auto _ : state) {
    std::vector<Point2> copy = pts;
    std::sort(copy.begin(), copy.end(),
              [](Point2 a, Point2 b) { return a.X < b.X || (a.X == b.X && a.Y < b.Y); });
    benchmark::DoNotOptimize(copy.data());
  }
}
BENCHMARK(BM_SortPoints100k)->Unit(benchmark::kMillisecond);

void BM_NearestNeighbourOrder100k(benchmark::State& state) {
  const std::vector<Point2> pts = Holes();
  const CancelToken none;
  for (auto _ : state) {
    std::vector<std::size_t> order = NearestNeighbourOrder(pts, {0, 0}, none);
    benchmark::DoNotOptimize(order.data());
  }
}
BENCHMARK(BM_NearestNeighbourOrder100k)->Unit(benchmark::kMillisecond);

void BM_DrillPaths100k(benchmark::State& state) {
  TTNRegionArray regions(1);
  for (Point2 c : Holes()) {
    TTNRegion r;
    r.Elements = {MakeArc(c.X, c.Y, 1.0, 0.0, 0.0)};
    RegionBounds(r);
    r.Selected = 1;
    regions.push_back(std::move(r));
  }
  TTNMachiningParameters params;
  params.CannedCycles = 1;
  const CancelToken none;
  TTNOutRegionArray toolpaths;
  for (auto _ : state) {
    const int made = DrillPaths(none, regions, toolpaths, params);
    benchmark::DoNotOptimize(made);
  }
}
BENCHMARK(BM_DrillPaths100k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
