// Import (raster, paint, trace) of the densest corpus board beside gerbv's
// PNG export of the same file at the same cell (500 dots per inch) in the
// same run. gerbv runs first; the import's counter "vs_gerbv" is its time
// divided by gerbv's (goal: <= 1). gerbv's time includes its start-up and
// the PNG writing, as a user would see it.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "import/gerber/gerber_reader.h"

namespace {

using namespace tarnak;

// The corpus board with the most outlines.
const std::string kBoard =
    std::string(TARNAK_BENCH_CORPUS) + "/gerber/gerbv_protel_SE_SG_IF_V2.GTL";

double g_gerbvSeconds = 0.0;

void BM_GerbvPngExport(benchmark::State& state) {
  if (std::system("gerbv --version >/dev/null 2>&1") != 0) {
    state.SkipWithError("gerbv is not installed (scripts/bootstrap.sh)");
    return;
  }
  const std::string png = (std::filesystem::temp_directory_path() /
                           ("tarnak-gerber-bench-" + std::to_string(::getpid()) + ".png"))
                              .string();
  const std::string cmd = "gerbv -x png --dpi=500 -B 0 -o '" + png + "' '" + kBoard + "' >/dev/null 2>&1";
  double total = 0.0;
  int runs = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("gerbv failed on the board");
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ++runs;
  }
  std::error_code ec;
  std::filesystem::remove(png, ec);
  g_gerbvSeconds = runs > 0 ? total / runs : 0.0;
}
BENCHMARK(BM_GerbvPngExport)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_GerberImport(benchmark::State& state) {
  std::ifstream in(kBoard, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string text = ss.str();
  SilentUserInterface ui;
  const CancelToken never;
  double total = 0.0;
  int runs = 0;
  for (auto _ : state) {
    TTNRegionArray regions(1);
    const auto t0 = std::chrono::steady_clock::now();
    if (GerberImportText(text, "board", regions, 0, 0, ui, never) != GerberStatus::Imported)
      state.SkipWithError("the board did not import");
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ++runs;
    benchmark::DoNotOptimize(regions.data());
  }
  if (g_gerbvSeconds > 0.0 && runs > 0) state.counters["vs_gerbv"] = (total / runs) / g_gerbvSeconds;
}
BENCHMARK(BM_GerberImport)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
