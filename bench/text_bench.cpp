// 1,000 characters of Latin and of Japanese text to Regions (layout,
// flattening at Precision 8, chaining) beside FreeType's bare decomposition
// of the same glyphs, without further work, in the same run. Counters:
// "ms_regions" and "ms_decompose" per 1,000 characters and "vs_decompose",
// their ratio (goals: under 100 ms and within 3 times); "ms_elements", the
// part of ms_regions that makes and scales the Element list (none on the
// straight way). Three ways there: the add command's (TextToRegions: the
// glyphs' loops kept and moved into place), the Element list through the
// text tail's outline shortcut (*Elements, the way of arc and DXF texts),
// and the Element list with every glyph read from the font and every
// Element through the general chaining (*General, the way before either).
// The straight way's cost is mostly the first touch of the memory its
// Regions take, so the allocator is set up as the program sets it
// (base/allocator.h) unless --default_allocator is given.
#include <benchmark/benchmark.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <chrono>
#include <optional>
#include <string>

#include "base/allocator.h"
#include "base/cancel.h"
#include "geometry/primitives.h"
#include "import/text/text_geometry.h"

namespace {

using namespace tarnak;
using Clock = std::chrono::steady_clock;

std::string Repeat(const std::u32string& cycle, size_t count) {
  std::u32string chars;
  while (chars.size() < count) chars += cycle;
  chars.resize(count);
  std::string utf8;
  for (char32_t c : chars) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

// TextToElements as it was: every glyph read and flattened again.
TTNEntityArray TextToElementsUncached(const std::string& s, TTTFToVectorConverter& ttf) {
  TTNEntityArray out;
  ttf.Offset = 0;
  double penX = 0.0;
  for (char32_t c : ttf.Characters(s)) {
    if (std::optional<TStrokeCollection> g = GlyphStrokes(ttf, c))
      for (const TStroke& t : g->Strokes()) out.push_back(MakeLine(t.X1 + penX, t.Y1, t.X2 + penX, t.Y2));
    penX += ttf.Offset;
  }
  return out;
}

int Count(const FT_Vector*, void* n) { return ++*static_cast<long*>(n), 0; }
int Count2(const FT_Vector*, const FT_Vector*, void* n) { return ++*static_cast<long*>(n), 0; }
int Count3(const FT_Vector*, const FT_Vector*, const FT_Vector*, void* n) {
  return ++*static_cast<long*>(n), 0;
}

enum class Way { Straight, Elements, General };

void TextToRegionsRun(benchmark::State& state, const char* face, const std::u32string& cycle, Way way) {
  TTTFToVectorConverter ttf;
  ttf.SetFont(TextFont{face, false, false});
  const std::string text = Repeat(cycle, 1000);
  const std::u32string chars = ttf.Characters(text);

  FT_Library lib = nullptr;
  FT_Face ftFace = nullptr;
  if (FT_Init_FreeType(&lib) != 0 || FT_New_Face(lib, ttf.UsedFile().c_str(), 0, &ftFace) != 0) {
    state.SkipWithError("font not found");
    return;
  }
  FT_Outline_Funcs funcs{};
  funcs.move_to = Count;
  funcs.line_to = Count;
  funcs.conic_to = Count2;
  funcs.cubic_to = Count3;

  double regionsSeconds = 0.0, decomposeSeconds = 0.0, elementsSeconds = 0.0;
  size_t regions = 0;
  long segments = 0;
  CancelToken cancel;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (char32_t c : chars) {
      if (FT_Load_Glyph(ftFace, FT_Get_Char_Index(ftFace, c), FT_LOAD_NO_SCALE) == 0)
        FT_Outline_Decompose(&ftFace->glyph->outline, &funcs, &segments);
    }
    const auto t1 = Clock::now();
    TTNRegionArray out;
    auto t15 = t1;
    if (way == Way::Straight) {
      TextToRegions(cancel, text, ttf, 10.0 / kGlyphEmSize, 0.0, 0.0, 0, true, out);
    } else {
      TTNEntityArray e = way == Way::General ? TextToElementsUncached(text, ttf) : TextToElements(text, ttf);
      ScaleElements(e, 10.0 / kGlyphEmSize);
      t15 = Clock::now();
      if (way == Way::General)
        TextElementsToRegionsGeneral(cancel, e, out, 0, true, false);
      else
        TextElementsToRegions(cancel, e, out, 0, true, false);
    }
    const auto t2 = Clock::now();
    regions = out.size() - 1;
    decomposeSeconds += std::chrono::duration<double>(t1 - t0).count();
    regionsSeconds += std::chrono::duration<double>(t2 - t1).count();
    elementsSeconds += std::chrono::duration<double>(t15 - t1).count();
    benchmark::DoNotOptimize(segments);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["ms_regions"] = 1000.0 * regionsSeconds / n;
  state.counters["ms_decompose"] = 1000.0 * decomposeSeconds / n;
  state.counters["vs_decompose"] = regionsSeconds / decomposeSeconds;
  state.counters["ms_elements"] = 1000.0 * elementsSeconds / n;
  state.counters["regions"] = static_cast<double>(regions);
  FT_Done_Face(ftFace);
  FT_Done_FreeType(lib);
}

const char32_t* const kLatin = U"The quick brown fox jumps over the lazy dog 0123456789. ";
const char32_t* const kJapanese = U"日本語の文字を加工機で彫刻するテキスト漢字仮名交じり文東京都";

void BM_LatinText(benchmark::State& state) { TextToRegionsRun(state, "DejaVu Sans", kLatin, Way::Straight); }
void BM_JapaneseText(benchmark::State& state) {
  TextToRegionsRun(state, "IPAGothic", kJapanese, Way::Straight);
}
void BM_LatinTextElements(benchmark::State& state) {
  TextToRegionsRun(state, "DejaVu Sans", kLatin, Way::Elements);
}
void BM_JapaneseTextElements(benchmark::State& state) {
  TextToRegionsRun(state, "IPAGothic", kJapanese, Way::Elements);
}
void BM_LatinTextGeneral(benchmark::State& state) {
  TextToRegionsRun(state, "DejaVu Sans", kLatin, Way::General);
}
void BM_JapaneseTextGeneral(benchmark::State& state) {
  TextToRegionsRun(state, "IPAGothic", kJapanese, Way::General);
}

BENCHMARK(BM_LatinText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JapaneseText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LatinTextElements)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JapaneseTextElements)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LatinTextGeneral)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JapaneseTextGeneral)->Unit(benchmark::kMillisecond);

}  // namespace

// Measured as the program runs, with its allocator settings; pass
// --default_allocator for the C library's own (freed memory handed back and
// faulted in again on every text).
int main(int argc, char** argv) {
  bool keep = true;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--default_allocator")
      keep = false;
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  if (keep) tarnak::KeepFreedMemoryForReuse();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
