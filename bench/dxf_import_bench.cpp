// Import speed on a large generated drawing (about 50 MB): reading the
// file's bytes alone (the baseline), the DXF reader, chaining, and the whole
// open command.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "import/dxf/dxf_reader.h"
#include "import/profiles/profile_building.h"
#include "shell/commands.h"

namespace {

using namespace tarnak;

void Group(std::string& out, int code, const std::string& value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%3d\n", code);
  out += buf;
  out += value;
  out += '\n';
}

void Num(std::string& out, int code, double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6f", v);
  Group(out, code, buf);
}

void Line(std::string& out, double x1, double y1, double x2, double y2) {
  Group(out, 0, "LINE");
  Group(out, 8, "CUT");
  Num(out, 10, x1);
  Num(out, 20, y1);
  Num(out, 30, 0);
  Num(out, 11, x2);
  Num(out, 21, y2);
  Num(out, 31, 0);
}

void Arc(std::string& out, double cx, double cy, double r, double a1, double a2) {
  Group(out, 0, "ARC");
  Group(out, 8, "CUT");
  Num(out, 10, cx);
  Num(out, 20, cy);
  Num(out, 30, 0);
  Num(out, 40, r);
  Num(out, 50, a1);
  Num(out, 51, a2);
}

// Per cell: a rounded rectangle (4 lines, 4 arcs, closed), an open
// zig-zag of 5 lines and a closed LWPOLYLINE of 6 vertices with bulges.
std::string MakeDrawing(size_t targetBytes) {
  std::string out;
  out.reserve(targetBytes + 4096);
  Group(out, 0, "SECTION");
  Group(out, 2, "ENTITIES");
  int cell = 0;
  while (out.size() < targetBytes) {
    const double x = (cell % 300) * 20.0, y = (cell / 300) * 20.0;
    ++cell;
    const double r = 1.5;
    Line(out, x + r, y, x + 10 - r, y);
    Arc(out, x + 10 - r, y + r, r, 270, 0);
    Line(out, x + 10, y + r, x + 10, y + 8 - r);
    Arc(out, x + 10 - r, y + 8 - r, r, 0, 90);
    Line(out, x + 10 - r, y + 8, x + r, y + 8);
    Arc(out, x + r, y + 8 - r, r, 90, 180);
    Line(out, x, y + 8 - r, x, y + r);
    Arc(out, x + r, y + r, r, 180, 270);
    for (int k = 0; k < 5; ++k) Line(out, x + 11 + k, y + (k % 2), x + 12 + k, y + ((k + 1) % 2));
    Group(out, 0, "LWPOLYLINE");
    Group(out, 8, "CUT");
    Group(out, 90, "6");
    Group(out, 70, "1");
    for (int k = 0; k < 6; ++k) {
      const double a = k * 3.14159265358979 / 3;
      Num(out, 10, x + 14 + 2 * std::cos(a));
      Num(out, 20, y + 12 + 2 * std::sin(a));
      if (k % 2) Num(out, 42, 0.2);
    }
  }
  Group(out, 0, "ENDSEC");
  Group(out, 0, "EOF");
  return out;
}

const std::string& DrawingPath() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() /
                           ("tarnak-bench-" + std::to_string(::getpid()) + ".dxf"))
                              .string();
    std::ofstream f(p, std::ios::binary);
    const std::string text = MakeDrawing(50u * 1000u * 1000u);
    f.write(text.data(), static_cast<std::streamsize>(text.size()));
    std::atexit([] { std::filesystem::remove(DrawingPath()); });
    return p;
  }();
  return path;
}

int64_t FileSize() { return static_cast<int64_t>(std::filesystem::file_size(DrawingPath())); }

// Baseline: the bytes of the file, read in 4096-byte blocks.
void BM_ReadBytesOnly(benchmark::State& state) {
  const std::string& path = DrawingPath();
  std::vector<char> buf(4096);
  for (auto _ : state) {
    FILE* f = std::fopen(path.c_str(), "rb");
    size_t n, sum = 0;
    while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0) sum += n + static_cast<unsigned char>(buf[0]);
    std::fclose(f);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * FileSize());
}

void BM_DxfReader(benchmark::State& state) {
  SilentUserInterface ui;
  for (auto _ : state) {
    auto drawing = ReadDxfFile(DrawingPath(), ui);
    benchmark::DoNotOptimize(drawing.get());
    // Freeing the drawing belongs to the import, not to reading.
    state.PauseTiming();
    drawing.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * FileSize());
}

void BM_Chaining(benchmark::State& state) {
  SilentUserInterface ui;
  Document doc(ui);
  auto drawing = ReadDxfFile(DrawingPath(), ui);
  TTNEntityArray loose;
  TTNRegionArray polylines;
  DxfToElements(doc.Cancel, *drawing, kNoSkipLayer, 0, 0, loose, polylines);
  CleanElements(doc.Cancel, loose);
  drawing.reset();
  int64_t elements = 0;
  for (auto _ : state) {
    state.PauseTiming();
    TTNEntityArray work = loose;
    TTNRegionArray out;
    state.ResumeTiming();
    ChainElements(doc.Cancel, work, out, 0, kChainTolerance);
    elements += static_cast<int64_t>(loose.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(elements);
  state.counters["elements"] = static_cast<double>(loose.size());
}

void BM_WholeImport(benchmark::State& state) {
  SilentUserInterface ui;
  for (auto _ : state) {
    Document doc(ui);
    OpenDxfCommand(doc, DrawingPath());
    benchmark::DoNotOptimize(doc.Regions.data());
    state.counters["regions"] = static_cast<double>(doc.Regions.size() - 1);
  }
  state.SetBytesProcessed(state.iterations() * FileSize());
}

BENCHMARK(BM_ReadBytesOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DxfReader)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Chaining)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WholeImport)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
