// NC output speed: 1,000,000 Elements (lines and arcs, in 1,000 toolpaths of
// serpentine passes) written through the shipped "Default" post, against
// writing the same bytes with a plain buffered write (stdio, one fwrite per
// line) in the same run, the two taking turns in every iteration. Reports
// blocks per second of both (median over the iterations) and the median of
// the per-iteration ratios generator time / plain write time: the two runs
// of one iteration follow each other closely, so their ratio is the figure
// least disturbed by other work on the machine. The cpu_ figures are the
// same from the thread's CPU time (user and system), which leaves out the
// time the thread waited for a processor on a busy machine.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "bench_support.h"
#include "geometry/primitives.h"
#include "post/nc_writer.h"
#include "post/post_definition.h"
#include "post/posts_file.h"
#include "base/numbers.h"
#include "base/settings_folder.h"

namespace {

using namespace tarnak;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using tarnak::bench::BenchFolder;
using tarnak::bench::Median;
using tarnak::bench::ThreadSeconds;

constexpr int kToolpaths = 1000;
constexpr int kElementsPerToolpath = 1000;

// Rows 0.5 apart, each a line along X followed by a half circle up to the
// next row, turning alternately one way and the other.
TTNOutRegionArray SerpentineToolpaths() {
  TTNOutRegionArray toolpaths(1);
  toolpaths.reserve(kToolpaths + 1);
  for (int t = 0; t < kToolpaths; ++t) {
    TTNOutRegion& tp = toolpaths.emplace_back();
    tp.Feed = 600 + (t % 3) * 100;
    tp.PlungeFeed = 200;
    tp.SpindleSpeed = 18000;
    tp.ToolNumber = 1 + (t / 500);
    tp.Depth = 0.5 + (t % 10) * 0.5;
    tp.RapidLevel = -5;
    tp.LinkKind = t % 4 == 0 ? kLinkRetract : kLinkFeedAtDepth;
    tp.Elements.reserve(kElementsPerToolpath);
    const double x0 = 3.17 + (t % 7) * 0.013;
    const double length = 87.3125;
    double y = 1.03125 + (t % 5) * 0.0625;
    for (int i = 0; i < kElementsPerToolpath; i += 2) {
      const bool right = (i / 2) % 2 == 0;
      const double xa = right ? x0 : x0 + length;
      const double xb = right ? x0 + length : x0;
      tp.Elements.push_back(MakeLine(xa, y, xb, y));
      // Half circle of radius 0.25 from (xb, y) to (xb, y + 0.5).
      if (right) {
        tp.Elements.push_back(MakeArc(xb, y + 0.25, 0.25, -kPi / 2, kPi / 2));
      } else {
        tp.Elements.push_back(MakeArc(xb, y + 0.25, -0.25, -kPi / 2, kPi / 2));
      }
      y += 0.5;
    }
  }
  return toolpaths;
}

TTNPostProcessor DefaultPost() {
  TTNPostProcessor post;
  const fs::path data = ShippedDataFolder(ExecutablePath());
  if (data.empty() || !LoadPostDefinition(post, "Default", data / kPostsFileName)) {
    std::fprintf(stderr, "nc_writer_bench: the shipped Posts.Cfg with a Default post was not found\n");
    std::exit(1);
  }
  return post;
}

std::vector<std::string> ReadLines(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  const std::string text = all.str();
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    const std::size_t stop = end == std::string::npos ? text.size() : end + 1;
    lines.emplace_back(text, at, stop - at);
    at = stop;
  }
  return lines;
}

void BM_WriteNC2D_Default(benchmark::State& state) {
  SetDecimalSeparator('.');
  const TTNPostProcessor post = DefaultPost();
  const TTNOutRegionArray toolpaths = SerpentineToolpaths();
  TTNMachiningParameters params;
  params.RapidHeight = 5;
  std::error_code ec;
  const fs::path dir = BenchFolder();
  const fs::path ncFile = dir / ("tarnak_nc_bench_" + std::to_string(::getpid()) + ".nc");
  const fs::path plainFile = dir / ("tarnak_nc_bench_plain_" + std::to_string(::getpid()) + ".nc");

  // One run first, for the lines of the plain write.
  WriteNC2D(toolpaths, {}, params, post, ncFile);
  const std::vector<std::string> lines = ReadLines(ncFile);
  const double blocks = static_cast<double>(lines.size());
  std::size_t bytes = 0;
  for (const std::string& l : lines) bytes += l.size();

  std::vector<double> ncTimes;
  std::vector<double> plainTimes;
  std::vector<double> ratios;
  std::vector<double> ncCpu;
  std::vector<double> cpuRatios;
  for (auto _ : state) {
    const double c0 = ThreadSeconds();
    const auto t0 = Clock::now();
    WriteNC2D(toolpaths, {}, params, post, ncFile);
    const auto t1 = Clock::now();
    const double c1 = ThreadSeconds();
    std::FILE* f = std::fopen(plainFile.c_str(), "wb");
    for (const std::string& l : lines) std::fwrite(l.data(), 1, l.size(), f);
    std::fclose(f);
    const auto t2 = Clock::now();
    const double c2 = ThreadSeconds();
    ncCpu.push_back(c1 - c0);
    cpuRatios.push_back((c1 - c0) / (c2 - c1));
    const double nc = std::chrono::duration<double>(t1 - t0).count();
    const double plain = std::chrono::duration<double>(t2 - t1).count();
    ncTimes.push_back(nc);
    plainTimes.push_back(plain);
    ratios.push_back(nc / plain);
    state.SetIterationTime(nc);
  }
  state.counters["blocks"] = blocks;
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["blocks_per_s"] = blocks / Median(ncTimes);
  state.counters["plain_blocks_per_s"] = blocks / Median(plainTimes);
  state.counters["ratio_to_plain"] = Median(ratios);
  state.counters["best_blocks_per_s"] = blocks / *std::min_element(ncTimes.begin(), ncTimes.end());
  state.counters["cpu_blocks_per_s"] = blocks / Median(ncCpu);
  state.counters["cpu_ratio_to_plain"] = Median(cpuRatios);
  fs::remove(ncFile, ec);
  fs::remove(plainFile, ec);
}

// The same program written atomically (a temporary file beside it, synced
// to the disk and renamed into place) against written in place, turn about
// in one run: ratio_atomic_to_in_place is the median of the per-round
// ratios.
void BM_WriteNC2D_AtomicVsInPlace(benchmark::State& state) {
  SetDecimalSeparator('.');
  const TTNPostProcessor post = DefaultPost();
  const TTNOutRegionArray toolpaths = SerpentineToolpaths();
  TTNMachiningParameters params;
  params.RapidHeight = 5;
  std::error_code ec;
  const fs::path dir = BenchFolder();
  const fs::path inPlace = dir / ("tarnak_nc_bench_inplace_" + std::to_string(::getpid()) + ".nc");
  const fs::path atomic = dir / ("tarnak_nc_bench_atomic_" + std::to_string(::getpid()) + ".nc");
  WriteNC2D(toolpaths, {}, params, post, inPlace, NcFileWrite::InPlace);
  WriteNC2D(toolpaths, {}, params, post, atomic, NcFileWrite::Atomic);

  std::vector<double> ratios;
  std::vector<double> atomicTimes;
  bool atomicFirst = false;  // taking turns at going first
  const auto timed = [&](const fs::path& file, NcFileWrite how) {
    const auto t0 = Clock::now();
    WriteNC2D(toolpaths, {}, params, post, file, how);
    return std::chrono::duration<double>(Clock::now() - t0).count();
  };
  for (auto _ : state) {
    double plain = 0.0;
    double safe = 0.0;
    if (atomicFirst) {
      safe = timed(atomic, NcFileWrite::Atomic);
      plain = timed(inPlace, NcFileWrite::InPlace);
    } else {
      plain = timed(inPlace, NcFileWrite::InPlace);
      safe = timed(atomic, NcFileWrite::Atomic);
    }
    atomicFirst = !atomicFirst;
    ratios.push_back(safe / plain);
    atomicTimes.push_back(safe);
    state.SetIterationTime(safe);
  }
  state.counters["ratio_atomic_to_in_place"] = Median(ratios);
  state.counters["atomic_ms"] = 1000.0 * Median(atomicTimes);
  fs::remove(inPlace, ec);
  fs::remove(atomic, ec);
}

}  // namespace

BENCHMARK(BM_WriteNC2D_Default)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_WriteNC2D_AtomicVsInPlace)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);

BENCHMARK_MAIN();
