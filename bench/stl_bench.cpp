// Binary STL reading of a generated 2,000,000-facet model (100 MB) beside
// admesh reading the same file in the same run. admesh runs first; the
// reader's counter "vs_admesh" is its time divided by admesh's (goal: <= 1).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "import/stl/stl_reader.h"

namespace {

using namespace tarnak;

constexpr uint32_t kFacets = 2000000;

// A wavy surface of small triangles, written once per run and removed at exit.
struct BenchModel {
  std::filesystem::path Path;
  BenchModel() {
    Path = std::filesystem::temp_directory_path() /
           ("tarnak-stl-bench-" + std::to_string(::getpid()) + ".stl");
    std::string bytes(80, ' ');
    bytes.replace(0, 10, "stl bench ");
    bytes.append(reinterpret_cast<const char*>(&kFacets), 4);
    bytes.reserve(84 + 50 * size_t{kFacets});
    const uint32_t side = 1000;  // 1000 x 1000 cells, two facets each
    auto z = [](float x, float y) { return 5.0f * std::sin(0.01f * x) * std::cos(0.013f * y); };
    for (uint32_t i = 0; i < kFacets; ++i) {
      const uint32_t cell = i / 2;
      const auto x = static_cast<float>(cell % side) * 0.1f;
      const auto y = static_cast<float>(cell / side) * 0.1f;
      float f[12] = {0, 0, 1, x, y, z(x, y), x + 0.1f, y, z(x + 0.1f, y), x, y + 0.1f, z(x, y + 0.1f)};
      if (i % 2) {
        f[3] = x + 0.1f;
        f[4] = y + 0.1f;
        f[5] = z(x + 0.1f, y + 0.1f);
      }
      bytes.append(reinterpret_cast<const char*>(f), 48);
      bytes.append(2, '\0');
    }
    std::ofstream(Path, std::ios::binary) << bytes;
  }
  ~BenchModel() {
    std::error_code ec;
    std::filesystem::remove(Path, ec);
  }
};

const BenchModel& Model() {
  static const BenchModel model;
  return model;
}

double g_admeshSeconds = 0.0;

void BM_AdmeshReadBinary(benchmark::State& state) {
  const std::string cmd = "admesh --no-check '" + Model().Path.string() + "' >/dev/null 2>&1";
  if (std::system("admesh --version >/dev/null 2>&1") != 0) {
    state.SkipWithError("admesh is not installed (scripts/bootstrap.sh)");
    return;
  }
  double total = 0.0;
  int runs = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const int rc = std::system(cmd.c_str());
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ++runs;
    if (rc != 0) state.SkipWithError("admesh failed on the bench model");
  }
  g_admeshSeconds = runs > 0 ? total / runs : 0.0;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (84 + 50 * int64_t{kFacets}));
}
BENCHMARK(BM_AdmeshReadBinary)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_ReadBinaryStl(benchmark::State& state) {
  const std::string path = Model().Path.string();
  TTNTriangleArray tris;
  double total = 0.0;
  int runs = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    auto source = OpenStlFileSource(path);
    ReadBinaryStl(*source, path, tris);
    benchmark::DoNotOptimize(tris.data());
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ++runs;
  }
  if (tris.size() != kFacets) state.SkipWithError("wrong facet count");
  if (g_admeshSeconds > 0.0 && runs > 0) state.counters["vs_admesh"] = (total / runs) / g_admeshSeconds;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (84 + 50 * int64_t{kFacets}));
}
BENCHMARK(BM_ReadBinaryStl)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
