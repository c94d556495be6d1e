// Offset speed: one whole offset (raw chain, trimming, chaining) of a single
// closed Region of 100,000 Elements (a wavy circle of short arcs and lines),
// against a plain rectangle as the baseline. Reports the intersection tests
// (and the box-overlapping candidate pairs they come from) and clearance
// tests per Element, which stay flat as the outline grows when candidate
// pairs are found through the box trees.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

#include "geometry/primitives.h"
#include "shell/document.h"
#include "toolpaths/offset/offset.h"

namespace {

using namespace tarnak;

// A circle of radius 100 whose radius swings by `amplitude` `waves` times
// round, drawn with n Elements, every other one a slight arc.
TTNRegion WavyCircle(int n, int waves, double amplitude) {
  TTNEntityArray els;
  els.reserve(static_cast<size_t>(n));
  Point2 prev{};
  for (int i = 0; i <= n; ++i) {
    const double a = 2 * kPi * i / n;
    const double r = 100 + amplitude * std::sin(waves * a);
    const Point2 p{r * std::cos(a), r * std::sin(a)};
    if (i > 0) {
      if (i % 2 == 0) {
        els.push_back(MakeLine(prev.X, prev.Y, p.X, p.Y));
      } else {
        const double cx = 0.45 * (prev.X + p.X), cy = 0.45 * (prev.Y + p.Y);
        TTNEntity arc = MakeArc(cx, cy, std::hypot(p.X - cx, p.Y - cy), PointAngle({cx, cy}, prev),
                                PointAngle({cx, cy}, p));
        ElementSnapEnd(arc, prev, 0);
        els.push_back(arc);
      }
    }
    prev = p;
  }
  const Point2 first = ElementStart(els.front());
  ElementSnapEnd(els.back(), first, 1);
  TTNRegion r;
  r.Elements = std::move(els);
  RegionBounds(r);
  return r;
}

TTNRegion Rectangle() {
  TTNRegion r;
  r.Elements = {MakeLine(0, 0, 200, 0), MakeLine(200, 0, 200, 100), MakeLine(200, 100, 0, 100),
                MakeLine(0, 100, 0, 0)};
  RegionBounds(r);
  return r;
}

// One offset as a contour pass runs it.
int OffsetOnce(Document& doc, const TTNRegion& src, int side, double d, OffsetStats& stats) {
  TTNEntityArray raw, pieces;
  OffsetRegion(doc.Cancel, src, side, d, false, raw, &stats);
  TTNRegionArray docRegions(1), extra, out;
  TrimRawChain(doc.Cancel, docRegions, raw, extra, {}, src, d, TrimMode::SourceOnly, pieces,
               &stats);
  return ChainPieces(doc.Cancel, pieces, false, 0.0, out);
}

void Run(benchmark::State& state, const TTNRegion& src, int side, double d) {
  SilentUserInterface ui;
  Document doc(ui);
  OffsetStats stats;
  int loops = 0;
  int64_t runs = 0;
  for (auto _ : state) {
    loops = OffsetOnce(doc, src, side, d, stats);
    ++runs;
  }
  const double n = static_cast<double>(src.Elements.size());
  state.counters["elements"] = n;
  state.counters["loops"] = loops;
  state.counters["pairs_per_elem"] =
      static_cast<double>(stats.CandidatePairs) / (static_cast<double>(runs) * n);
  state.counters["isect_per_elem"] =
      static_cast<double>(stats.IntersectionTests) / (static_cast<double>(runs) * n);
  state.counters["clear_per_elem"] =
      static_cast<double>(stats.ClearanceTests) / (static_cast<double>(runs) * n);
  state.counters["dist_per_elem"] =
      static_cast<double>(stats.DistanceTests) / (static_cast<double>(runs) * n);
  state.SetItemsProcessed(runs * static_cast<int64_t>(n));
}

// range(0): side; range(1): distance in hundredths.
void BM_OffsetWavy100k(benchmark::State& state) {
  static const TTNRegion src = WavyCircle(100000, 200, 0.5);
  Run(state, src, static_cast<int>(state.range(0)), static_cast<double>(state.range(1)) / 100.0);
}
BENCHMARK(BM_OffsetWavy100k)
    ->Args({1, 30})    // inwards, smooth
    ->Args({0, 30})    // outwards, smooth
    ->Args({1, 200})   // inwards past the waves' curvature: every wave trims
    ->Args({0, 200})   // outwards likewise
    ->Unit(benchmark::kMillisecond);

void BM_OffsetWavy10k(benchmark::State& state) {
  static const TTNRegion src = WavyCircle(10000, 200, 0.5);
  Run(state, src, static_cast<int>(state.range(0)), static_cast<double>(state.range(1)) / 100.0);
}
BENCHMARK(BM_OffsetWavy10k)->Args({1, 30})->Args({1, 200})->Unit(benchmark::kMillisecond);

void BM_OffsetRectangle(benchmark::State& state) {
  static const TTNRegion src = Rectangle();
  Run(state, src, static_cast<int>(state.range(0)), 5.0);
}
BENCHMARK(BM_OffsetRectangle)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
