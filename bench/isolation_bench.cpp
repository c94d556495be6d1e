// Isolation routing of the generated 100 x 100 mm board (2,000 pads, 1,000
// tracks, a pour with 40 clearances; bench/gerber_board.h) with a 0.2 mm
// tool, one pass and three, beside the import of the same board in the
// same run: the counter "vs_import" is routing time over import time. The
// import and the all-as-islands selection are done before timing. Goal:
// one pass under 1 s.
#include <benchmark/benchmark.h>

#include <chrono>

#include "gerber_board.h"
#include "import/gerber/gerber_reader.h"
#include "shell/document.h"
#include "shell/selection_commands.h"
#include "toolpaths/isolation/isolation.h"

namespace {

using namespace tarnak;

double g_importSeconds = 0.0;

void BM_ImportGeneratedBoard(benchmark::State& state) {
  const std::string text = bench::GeneratedBoardGerber();
  SilentUserInterface ui;
  const CancelToken never;
  double total = 0.0;
  int runs = 0;
  size_t regions = 0;
  for (auto _ : state) {
    TTNRegionArray out;
    const auto t0 = std::chrono::steady_clock::now();
    GerberImportText(text, "board.gbr", out, 0, 0, ui, never);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ++runs;
    regions = out.size() - 1;
  }
  g_importSeconds = total / runs;
  state.counters["regions"] = static_cast<double>(regions);
}
BENCHMARK(BM_ImportGeneratedBoard)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_RouteGeneratedBoard(benchmark::State& state) {
  SilentUserInterface ui;
  Document doc(ui);
  const CancelToken never;
  GerberImportText(bench::GeneratedBoardGerber(), "board.gbr", doc.Regions, 0, 0, ui, never);
  doc.ComputeExtents();
  doc.PickTolerance = 0.01;
  SelectAllAsIslands(doc);
  TTNMachiningParameters p;
  p.Rough.Radius = 0.1;
  p.Depth = 0.05;
  p.RapidHeight = 1;
  p.IsolationPasses = static_cast<int32_t>(state.range(0));
  p.IsolationOverlap = 0.5;
  const int boundary = doc.Regions[0].Owner;
  OffsetStats stats;
  double total = 0.0;
  int runs = 0;
  size_t elements = 0;
  int paths = 0;
  for (auto _ : state) {
    stats = OffsetStats{};
    const auto t0 = std::chrono::steady_clock::now();
    paths = RoutePCB(doc.Cancel, doc.Regions, doc.Toolpaths, p, 0, doc.Options.RoughTolerances,
                     boundary, &stats);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ++runs;
  }
  elements = 0;
  for (const TTNOutRegion& t : doc.Toolpaths) elements += t.Elements.size();
  state.counters["paths"] = paths;
  state.counters["elements"] = static_cast<double>(elements);
  state.counters["intersections"] = static_cast<double>(stats.IntersectionTests);
  state.counters["clearance"] = static_cast<double>(stats.ClearanceTests);
  if (g_importSeconds > 0) state.counters["vs_import"] = total / runs / g_importSeconds;
}
BENCHMARK(BM_RouteGeneratedBoard)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
