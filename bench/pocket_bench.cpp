// Pocket of a 200 x 100 rectangle around 50 circular Islands (radii 3 to
// 4.5 on a staggered grid), with a 3 mm tool at one level, at a step-over
// of 1.2 and of half that. The rough pass alone is timed (the selection
// with island detection is done before); the counters give the offset
// engine's work: intersection tests, the Element pairs whose boxes met,
// the points tested for clearance, and the paths made.
#include <benchmark/benchmark.h>

#include "geometry/primitives.h"
#include "shell/selection_commands.h"
#include "shell/document.h"
#include "toolpaths/pocket.h"

namespace {

using namespace tarnak;

TTNRegion Closed(TTNEntityArray els) {
  TTNRegion r;
  r.Elements = std::move(els);
  RegionBounds(r);
  RegionSetDirection(r, 0);
  return r;
}

void Fill(Document& doc, double step) {
  doc.Regions.assign(1, TTNRegion{});
  doc.Regions.push_back(Closed({MakeLine(0, 0, 200, 0), MakeLine(200, 0, 200, 100),
                                MakeLine(200, 100, 0, 100), MakeLine(0, 100, 0, 0)}));
  for (int i = 0; i < 10; ++i) {
    for (int j = 0; j < 5; ++j) {
      const double x = 10 + 20 * i + (j % 2 ? 5 : 0), y = 10 + 20 * j;
      const double r = 3.0 + 0.5 * ((i * 7 + j * 3) % 4);
      doc.Regions.push_back(Closed({MakeArc(x, y, r, 0.0, 0.0)}));
    }
  }
  doc.ComputeExtents();
  SelectAllClosed(doc);
  doc.MachiningParams = TTNMachiningParameters{};
  TTNMachiningParameters& p = doc.MachiningParams;
  p.Rough.Radius = 1.5;
  p.Rough.XYStep = step;
  p.Rough.ZStep = 1;
  p.Depth = 1;
  p.RapidHeight = 5;
  ApplyDialogDepth(doc.Regions, p.Depth);
}

void BM_Pocket50Islands(benchmark::State& state) {
  const double step = static_cast<double>(state.range(0)) / 10.0;
  SilentUserInterface ui;
  OffsetStats stats;
  size_t paths = 0, elements = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Document doc(ui);
    Fill(doc, step);
    stats = OffsetStats{};
    state.ResumeTiming();
    PocketRough(doc.Cancel, doc.Regions, doc.Toolpaths, doc.MachiningParams, doc.Options,
                doc.ProfileLibrary, doc.Options.RoughTolerances, &stats);
    state.PauseTiming();
    paths = static_cast<size_t>(ToolpathCount(doc.Toolpaths));
    elements = 0;
    for (const TTNOutRegion& t : doc.Toolpaths) elements += t.Elements.size();
    state.ResumeTiming();
  }
  state.counters["intersections"] = static_cast<double>(stats.IntersectionTests);
  state.counters["pairs"] = static_cast<double>(stats.CandidatePairs);
  state.counters["clearance"] = static_cast<double>(stats.ClearanceTests);
  state.counters["toolpaths"] = static_cast<double>(paths);
  state.counters["elements"] = static_cast<double>(elements);
}

// Steps in tenths: 1.2 and 0.6.
BENCHMARK(BM_Pocket50Islands)->Arg(12)->Arg(6)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
