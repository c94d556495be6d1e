// NC reading speed: a generated program of 1,000,000 lines (serpentine
// rows of lines and half circles, modal continuation blocks, rapids and
// plunges, about 30 MB) read by the post reading (the shipped "Default"
// post) and by the standard reading, against LinuxCNC's rs274 reading the
// same file in the same run (timed once through a subprocess, its
// canonical output thrown away). Reports lines per second of each and the
// ratio rs274 time / reading time (the goal: at least 10).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/settings_folder.h"
#include "import/nc/nc_reader.h"
#include "post/post_definition.h"
#include "post/posts_file.h"

namespace {

using namespace tarnak;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kLines = 1000000;

std::string Program() {
  std::string s;
  s.reserve(static_cast<std::size_t>(kLines) * 32);
  char buf[128];
  s += "G21 G17 G90 G40 G49 G80\n";
  int n = 1, line = 1;
  double y = 0.0;
  bool right = true;
  // Whole rows only (at most 14 lines each), so that the program stays one
  // an interpreter runs to its end; the last lines stand still.
  while (line + 14 < kLines - 2) {
    const double x0 = right ? 0.0 : 100.0, x1 = right ? 100.0 : 0.0;
    if (n % 2000 == 1) {
      std::snprintf(buf, sizeof buf, "N%d G00 Z5.0000\nN%d X%.4f Y%.4f\nN%d G01 Z-1.0000 F300.0000\n",
                    n, n + 1, x0, y, n + 2);
      s += buf;
      n += 3;
      line += 3;
    }
    // The row in ten steps: a first block, then modal ones.
    for (int k = 1; k <= 10 && line < kLines - 2; ++k, ++n, ++line) {
      const double x = x0 + (x1 - x0) * k / 10.0;
      std::snprintf(buf, sizeof buf, k == 1 ? "N%d G01 X%.4f Y%.4f\n" : "N%d X%.4f Y%.4f\n", n, x, y);
      s += buf;
    }
    // Half circle up to the next row, turning the way the row ran.
    std::snprintf(buf, sizeof buf, "N%d %s X%.4f Y%.4f I0.0000 J0.2500\n", n, right ? "G03" : "G02",
                  x1, y + 0.5);
    s += buf;
    ++n;
    ++line;
    y += 0.5;
    right = !right;
  }
  for (; line < kLines - 2; ++n, ++line) {
    std::snprintf(buf, sizeof buf, "N%d G01 X%.4f Y%.4f\n", n, right ? 0.0 : 100.0, y);
    s += buf;
  }
  s += "G00 Z5.0000\nM30\n";
  return s;
}

struct Fixture {
  std::string text = Program();
  fs::path file = fs::temp_directory_path() / ("tarnak_nc_read_bench_" + std::to_string(::getpid()) + ".ngc");
  double rs274Seconds = 0.0;
  TTNPostProcessor post;

  Fixture() {
    std::ofstream(file, std::ios::binary) << text;
    const fs::path data = ShippedDataFolder(ExecutablePath());
    if (data.empty() || !LoadPostDefinition(post, "Default", data / kPostsFileName)) {
      std::fprintf(stderr, "nc_read_bench: the shipped Posts.Cfg with a Default post was not found\n");
      std::exit(1);
    }
    std::error_code ec;
    if (fs::exists("/usr/bin/rs274", ec)) {
      // Another run of the interpreter at the same time would crash it.
      const std::string command =
          "flock /tmp/tarnak-rs274.lock /usr/bin/rs274 -g '" + file.string() + "' > /dev/null 2>&1";
      const auto t0 = Clock::now();
      const int status = std::system(command.c_str());
      rs274Seconds = std::chrono::duration<double>(Clock::now() - t0).count();
      if (status != 0) std::fprintf(stderr, "nc_read_bench: rs274 exited with %d\n", status);
    }
  }
  ~Fixture() {
    std::error_code ec;
    fs::remove(file, ec);
  }
};

Fixture& Shared() {
  static Fixture f;
  return f;
}

void Report(benchmark::State& state, double seconds, std::size_t moves) {
  const Fixture& f = Shared();
  state.counters["lines"] = kLines;
  state.counters["moves"] = static_cast<double>(moves);
  state.counters["lines_per_s"] = kLines / seconds;
  state.counters["rs274_s"] = f.rs274Seconds;
  if (f.rs274Seconds > 0) state.counters["ratio_rs274_to_ours"] = f.rs274Seconds / seconds;
}

template <class Read>
void Run(benchmark::State& state, Read&& read) {
  Fixture& f = Shared();
  double best = 1e300;
  std::size_t moves = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    NCReadResult r = read(f);
    best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    moves = r.MoveCount();
    benchmark::DoNotOptimize(r.Moves.data());
  }
  Report(state, best, moves);
}

void BM_PostReading(benchmark::State& state) {
  Run(state, [](Fixture& f) { return ReadNCPost(f.text, f.post); });
}
void BM_StandardReading(benchmark::State& state) {
  Run(state, [](Fixture& f) { return ReadNCStandard(f.text); });
}

BENCHMARK(BM_PostReading)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StandardReading)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
