// Prototype machining of the corpus bunny scaled to 100 mm: a finishing
// run with a 3 mm ball at 0.3 mm steps (grid, gouge control with the exact
// drop cutter at the nodes, raster passes), and gouge control plus raster
// passes on a grid of about a million nodes (0.1 mm steps). The baseline,
// measured first in the same run, is reading the same model file; each
// case's counter "vs_read" is its time divided by the reading's.
// Goal: the whole finishing run under 1 s.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "base/cancel.h"
#include "base/user_interface.h"
#include "import/stl/stl_mesh.h"
#include "import/stl/stl_open.h"
#include "toolpaths/raster/drop_cutter.h"
#include "toolpaths/raster/prototype_fields.h"
#include "toolpaths/raster/raster.h"

namespace {

using namespace tarnak;

const std::string kBunny = std::string(TARNAK_CORPUS_DIR) + "/stl/stl-models_bunny_binary_69k.stl";

double g_readSeconds = 0.0;

TTNTriangleArray ReadBunny() {
  SilentUserInterface ui;
  CancelToken cancel;
  TTNTriangleArray tris;
  LoadStlModel(kBunny, 0.0, tris, ui, cancel);
  return tris;
}

// The bunny, 100 mm across its longest side, top at 0, and parameters of
// a finishing run with `step` and a 3 mm ball.
struct Job {
  TTNTriangleArray Tris;
  TTNMachiningParameters Params;
};

Job BunnyJob(double step) {
  Job job{ReadBunny(), {}};
  StlModelBox b;
  MeshBox(job.Tris, b);
  const double size = std::max({b.MaxX - b.MinX, b.MaxY - b.MinY, b.MaxZ - b.MinZ});
  ScaleMesh(job.Tris, 0, 0, 0, 100.0 / size);
  MeshBox(job.Tris, b);
  TranslateMesh(job.Tris, 0, 0, -b.MaxZ);
  MeshBox(job.Tris, b);
  SortByMinZ(job.Tris, 0, static_cast<std::ptrdiff_t>(job.Tris.size()) - 1, CancelToken());
  TTNMachiningParameters& p = job.Params;
  DrawingExtentsRec extents;
  PlaceModelStock(b, extents, p);
  p.Finish.ToolType = kToolBall;
  p.Finish.Radius = 1.5;
  p.Finish.XYStep = p.Finish.YStep = step;
  p.Finish.ZStep = 1000.0;
  p.Finish.Feed = 100.0;
  return job;
}

// The finishing run: grid, gouge control, exact nodes, raster passes.
void FinishRun(const Job& job, TTNMachiningParameters& params, TTNOutRegionArray3D& passes,
               const CancelToken& cancel) {
  TTNZGrid grid;
  grid.Direction = 1;
  CreateGrid(job.Tris, grid, params, false, cancel);
  GougeControl(grid, kToolBall, 0.0, 3.0, cancel);
  DropCutterNodes(grid, job.Tris, kToolBall, 0.0, 3.0, 0.0, cancel);
  RasterPaths(grid, passes, params, false, 0.0, cancel);
}

template <class F>
double Timed(F&& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void Ratio(benchmark::State& state, double total, int runs) {
  if (g_readSeconds > 0.0 && runs > 0) state.counters["vs_read"] = (total / runs) / g_readSeconds;
}

void BM_ReadBunny(benchmark::State& state) {
  double total = 0.0;
  int runs = 0;
  for (auto _ : state) {
    total += Timed([] { benchmark::DoNotOptimize(ReadBunny().data()); });
    ++runs;
  }
  g_readSeconds = total / runs;
}
BENCHMARK(BM_ReadBunny)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_FinishBunny3mmBall(benchmark::State& state) {
  const Job job = BunnyJob(0.3);
  double total = 0.0;
  int runs = 0;
  std::size_t points = 0;
  for (auto _ : state) {
    TTNMachiningParameters params = job.Params;
    TTNOutRegionArray3D passes;
    total += Timed([&] {
      FinishRun(job, params, passes, CancelToken());
      AirMoves(passes, params, 0);
    });
    ++runs;
    points = passes.empty() ? 0 : passes[0].Points.size();
  }
  state.counters["points"] = static_cast<double>(points);
  Ratio(state, total, runs);
}
BENCHMARK(BM_FinishBunny3mmBall)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The gouge report of that run (not part of the goal).
void BM_GougeReportBunny(benchmark::State& state) {
  const Job job = BunnyJob(0.3);
  TTNMachiningParameters params = job.Params;
  TTNOutRegionArray3D passes;
  CancelToken cancel;
  FinishRun(job, params, passes, cancel);
  double total = 0.0, depth = 0.0;
  int runs = 0;
  for (auto _ : state) {
    total += Timed([&] {
      const TriangleBins bins(job.Tris, 1.5);
      depth = MeasureGouge(passes, 0, passes.size(), CutterProfile::Make(kToolBall, 0, 3.0), bins, 0.075, cancel).Depth;
    });
    ++runs;
  }
  state.counters["gouge_mm"] = depth;
  Ratio(state, total, runs);
}
BENCHMARK(BM_GougeReportBunny)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Gouge control and raster passes on about a million nodes.
void BM_GougeAndRasterMillionNodes(benchmark::State& state) {
  const Job job = BunnyJob(0.1);
  TTNMachiningParameters params = job.Params;
  TTNZGrid made;
  made.Direction = 1;
  CreateGrid(job.Tris, made, params, false, CancelToken());
  double total = 0.0, gouge = 0.0;
  int runs = 0;
  for (auto _ : state) {
    TTNZGrid grid = made;
    TTNOutRegionArray3D passes;
    CancelToken cancel;
    const double g = Timed([&] { GougeControl(grid, kToolBall, 0.0, 3.0, cancel); });
    total += g + Timed([&] { RasterPaths(grid, passes, params, false, 0.0, cancel); });
    gouge += g;
    ++runs;
  }
  state.counters["nodes"] = static_cast<double>(made.Heights.size());
  state.counters["gouge_share"] = gouge / total;
  Ratio(state, total, runs);
}
BENCHMARK(BM_GougeAndRasterMillionNodes)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
