// Combine of 1,000 overlapping circles and squares (200 rows of five, each
// overlapping the next), and join of 100,000 loose lines (1,000 zigzags of
// 100 lines, written in a scrambled order), each beside the import of the
// same drawing from DXF in the same run: the ratios are the figures to
// quote.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/user_interface.h"
#include "editing/combine.h"
#include "editing/region_edit.h"
#include "shell/commands.h"
#include "shell/document.h"

namespace {

using namespace tarnak;

std::string DrawingFile() {
  static const std::string path = [] {
    const std::string p =
        (std::filesystem::temp_directory_path() / "tarnak_edit_bench.dxf").string();
    std::ofstream f(p);
    f << "0\nSECTION\n2\nENTITIES\n";
    const auto line = [&](double x1, double y1, double x2, double y2) {
      f << "0\nLINE\n8\n0\n10\n" << x1 << "\n20\n" << y1 << "\n11\n" << x2 << "\n21\n" << y2 << "\n";
    };
    for (int row = 0; row < 200; ++row)
      for (int k = 0; k < 5; ++k) {
        const double x = (row % 20) * 60.0 + k * 7.0 + 0.1 * row, y = (row / 20) * 30.0 + 0.3 * k;
        if ((k + row) % 2 == 0) {
          f << "0\nCIRCLE\n8\n0\n10\n" << x + 5 << "\n20\n" << y + 5 << "\n40\n5\n";
        } else {
          line(x, y, x + 10, y);
          line(x + 10, y, x + 10, y + 10);
          line(x + 10, y + 10, x, y + 10);
          line(x, y + 10, x, y);
        }
      }
    f << "0\nENDSEC\n0\nEOF\n";
    return p;
  }();
  return path;
}

void BM_ImportDrawing(benchmark::State& state) {
  SilentUserInterface ui;
  for (auto _ : state) {
    Document doc(ui);
    OpenDxfCommand(doc, DrawingFile());
    benchmark::DoNotOptimize(doc.Regions.size());
  }
}
BENCHMARK(BM_ImportDrawing)->Unit(benchmark::kMillisecond);

void BM_Combine1000(benchmark::State& state) {
  SilentUserInterface ui;
  Document doc(ui);
  OpenDxfCommand(doc, DrawingFile());
  for (auto _ : state) {
    TTNRegionArray list = doc.Regions;
    for (size_t i = 1; i < list.size(); ++i) list[i].Selected = 1;
    CancelToken cancel;
    CombineSelected(cancel, list);
    benchmark::DoNotOptimize(list.size());
    state.counters["regions"] = static_cast<double>(list.size() - 1);
  }
}
BENCHMARK(BM_Combine1000)->Unit(benchmark::kMillisecond);

// The lines of each zigzag are written out of order (a fixed stride through
// all 100,000), so that chaining really has to search for every next piece.
std::string LinesFile() {
  static const std::string path = [] {
    const std::string p =
        (std::filesystem::temp_directory_path() / "tarnak_join_bench.dxf").string();
    std::ofstream f(p);
    f << "0\nSECTION\n2\nENTITIES\n";
    constexpr int kChains = 1000, kLines = 100, kTotal = kChains * kLines;
    for (int n = 0, k = 0; n < kTotal; ++n, k = (k + 7919) % kTotal) {
      const int chain = k / kLines, i = k % kLines;
      const double y = chain * 3.0, x = i * 1.0;
      f << "0\nLINE\n8\n0\n10\n" << x << "\n20\n" << y + (i % 2) << "\n11\n" << x + 1.0 << "\n21\n"
        << y + ((i + 1) % 2) << "\n";
    }
    f << "0\nENDSEC\n0\nEOF\n";
    return p;
  }();
  return path;
}

void BM_ImportLines(benchmark::State& state) {
  SilentUserInterface ui;
  for (auto _ : state) {
    Document doc(ui);
    OpenDxfCommand(doc, LinesFile());
    benchmark::DoNotOptimize(doc.Regions.size());
  }
}
BENCHMARK(BM_ImportLines)->Unit(benchmark::kMillisecond);

// The import chains the lines; exploding them again gives the 100,000
// one-line Regions that the join then has to put back together.
void BM_Join100k(benchmark::State& state) {
  SilentUserInterface ui;
  Document doc(ui);
  OpenDxfCommand(doc, LinesFile());
  for (size_t i = 1; i < doc.Regions.size(); ++i) doc.Regions[i].Selected = 1;
  ExplodeRegions(doc.Regions);
  for (size_t i = 1; i < doc.Regions.size(); ++i) doc.Regions[i].Selected = 1;
  const size_t loose = doc.Regions.size() - 1;
  for (auto _ : state) {
    state.PauseTiming();
    TTNRegionArray list = doc.Regions;
    state.ResumeTiming();
    CancelToken cancel;
    JoinSelectedRegions(cancel, list, 1, 0.0005);
    benchmark::DoNotOptimize(list.size());
    state.counters["loose"] = static_cast<double>(loose);
    state.counters["regions"] = static_cast<double>(list.size() - 1);
  }
}
BENCHMARK(BM_Join100k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
