// DXF output speed: 1,000,000 Elements (lines and arcs, 1,000 Regions of
// serpentine rows) written by WriteDXF, against writing the same text with
// a plain buffered write (stdio, one fwrite per line) in the same run, the
// two taking turns in every iteration. ratio_to_plain is the median of the
// per-iteration ratios WriteDXF time / plain write time; cpu_ratio_to_plain
// the same from the thread's CPU time, which leaves out waiting for a
// processor on a busy machine. BM_SaveGeometryDXF adds building the drawing
// from the Regions (the whole command) to the writer's time.
//
// The files go to a memory file system when there is one (TARNAK_BENCH_DIR
// names another folder): the disk's write-back and the atomic writer's
// sync would otherwise measure the disk, not the writer.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "bench_support.h"
#include "export/dxf/dxf_builders.h"
#include "export/dxf/dxf_writer.h"
#include "geometry/primitives.h"

namespace {

using namespace tarnak;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using tarnak::bench::BenchFolder;
using tarnak::bench::Median;
using tarnak::bench::ThreadSeconds;

constexpr int kRegions = 1000;
constexpr int kElementsPerRegion = 1000;
constexpr double kPi = 3.14159265358979323846;

// Rows 0.5 apart, each a line along X and a half circle up to the next
// row, turning one way and then the other, at varied offsets and depths so
// that the numbers have all their digits.
TTNRegionArray SerpentineRegions() {
  TTNRegionArray regions(1);
  regions.reserve(kRegions + 1);
  for (int r = 0; r < kRegions; ++r) {
    TTNRegion& reg = regions.emplace_back();
    reg.Depth = 0.5 + (r % 10) * 0.37;
    reg.Elements.reserve(kElementsPerRegion);
    const double x0 = 3.17 + (r % 7) * 0.013 + r * 0.001;
    const double length = 87.3125;
    double y = 1.03125 + (r % 5) * 0.0625;
    for (int i = 0; i < kElementsPerRegion; i += 2) {
      const bool right = (i / 2) % 2 == 0;
      const double xa = right ? x0 : x0 + length;
      const double xb = right ? x0 + length : x0;
      reg.Elements.push_back(MakeLine(xa, y, xb, y));
      reg.Elements.push_back(MakeArc(xb, y + 0.25, right ? 0.25 : -0.25, 3 * kPi / 2, kPi / 2));
      y += 0.5;
    }
  }
  return regions;
}

std::vector<std::string_view> Lines(const std::string& text) {
  std::vector<std::string_view> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    const std::size_t stop = end == std::string::npos ? text.size() : end + 1;
    lines.emplace_back(text.data() + at, stop - at);
    at = stop;
  }
  return lines;
}

// withBuild: the drawing is built from the Regions inside the timed part.
void Run(benchmark::State& state, bool withBuild) {
  const TTNRegionArray regions = SerpentineRegions();
  const DxfOutObject drawing = BuildDXFFromRegions(regions);
  const fs::path dir = BenchFolder();
  const std::string pid = std::to_string(::getpid());
  const fs::path dxfFile = dir / ("tarnak_dxf_bench_" + pid + ".dxf");
  const fs::path plainFile = dir / ("tarnak_dxf_bench_plain_" + pid + ".dxf");
  const std::string text = DxfText(drawing);
  const std::vector<std::string_view> lines = Lines(text);

  std::vector<double> times, plainTimes, ratios, cpuRatios;
  for (auto _ : state) {
    const double c0 = ThreadSeconds();
    const auto t0 = Clock::now();
    if (withBuild)
      WriteDXF(BuildDXFFromRegions(regions), dxfFile);
    else
      WriteDXF(drawing, dxfFile);
    const auto t1 = Clock::now();
    const double c1 = ThreadSeconds();
    std::FILE* f = std::fopen(plainFile.c_str(), "wb");
    for (std::string_view l : lines) std::fwrite(l.data(), 1, l.size(), f);
    std::fclose(f);
    const auto t2 = Clock::now();
    const double c2 = ThreadSeconds();
    const double dxf = std::chrono::duration<double>(t1 - t0).count();
    const double plain = std::chrono::duration<double>(t2 - t1).count();
    times.push_back(dxf);
    plainTimes.push_back(plain);
    ratios.push_back(dxf / plain);
    cpuRatios.push_back((c1 - c0) / (c2 - c1));
    state.SetIterationTime(dxf);
  }
  state.counters["entities"] = static_cast<double>(drawing.EntityCount());
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
  state.counters["dxf_ms"] = 1000.0 * Median(times);
  state.counters["plain_ms"] = 1000.0 * Median(plainTimes);
  state.counters["ratio_to_plain"] = Median(ratios);
  state.counters["cpu_ratio_to_plain"] = Median(cpuRatios);
  std::error_code ec;
  fs::remove(dxfFile, ec);
  fs::remove(plainFile, ec);
}

void BM_WriteDXF(benchmark::State& state) { Run(state, false); }
void BM_SaveGeometryDXF(benchmark::State& state) { Run(state, true); }

}  // namespace

BENCHMARK(BM_WriteDXF)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_SaveGeometryDXF)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(9);

BENCHMARK_MAIN();
