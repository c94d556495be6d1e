// Import (raster, paint, trace) of the densest corpus board, and of the
// generated 100 x 100 mm board (gerber_board.h), each beside gerbv's PNG
// export of the same file at the same cell (500 dots per inch) in the same
// run. gerbv runs first; the import's counter "vs_gerbv" is its time
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

#include "gerber_board.h"
#include "import/gerber/gerber_reader.h"

namespace {

using namespace tarnak;

// The corpus board with the most outlines.
const std::string kBoard =
    std::string(TARNAK_BENCH_CORPUS) + "/gerber/gerbv_protel_SE_SG_IF_V2.GTL";

// gerbv's time per board, filled by its benchmark, read by the import's.
double g_gerbvSeconds[2] = {0.0, 0.0};

// The board's file: the corpus board, or the generated one, written once
// and removed at exit.
struct GeneratedFile {
  std::string path = (std::filesystem::temp_directory_path() /
                      ("tarnak-bench-board-" + std::to_string(::getpid()) + ".gbr"))
                         .string();
  GeneratedFile() { std::ofstream(path, std::ios::binary) << tarnak::bench::GeneratedBoardGerber(); }
  ~GeneratedFile() {
    std::error_code ec;
    std::filesystem::remove(path, ec);
  }
};

std::string BoardFile(int board) {
  if (board == 0) return kBoard;
  static const GeneratedFile generated;
  return generated.path;
}

void BM_GerbvPngExport(benchmark::State& state) {
  const int board = static_cast<int>(state.range(0));
  if (std::system("gerbv --version >/dev/null 2>&1") != 0) {
    state.SkipWithError("gerbv is not installed (scripts/bootstrap.sh)");
    return;
  }
  const std::string png = (std::filesystem::temp_directory_path() /
                           ("tarnak-gerber-bench-" + std::to_string(::getpid()) + ".png"))
                              .string();
  const std::string cmd =
      "gerbv -x png --dpi=500 -B 0 -o '" + png + "' '" + BoardFile(board) + "' >/dev/null 2>&1";
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
  g_gerbvSeconds[board] = runs > 0 ? total / runs : 0.0;
}

void BM_GerberImport(benchmark::State& state) {
  const int board = static_cast<int>(state.range(0));
  std::ifstream in(BoardFile(board), std::ios::binary);
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
  if (g_gerbvSeconds[board] > 0.0 && runs > 0)
    state.counters["vs_gerbv"] = (total / runs) / g_gerbvSeconds[board];
}

// Argument 0: the densest corpus board; 1: the generated board. gerbv's
// run of a board comes before the import of the same board.
BENCHMARK(BM_GerbvPngExport)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_GerberImport)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_GerbvPngExport)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_GerberImport)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
