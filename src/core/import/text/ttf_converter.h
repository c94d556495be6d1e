// The glyph converter: a character's outline from an installed font,
// flattened into straight strokes in font units at an em size of 1024 with
// Y up.
//
// FreeType reads the outlines and fontconfig chooses the font file from the
// face name and the bold and italic flags (its nearest match when the face
// is not installed; UsedFace() tells which one was taken). Quadratic
// segments (TrueType) and cubic ones (OpenType CFF) are both flattened with
// `Precision` strokes each. Outlines are read unscaled and scaled here, so
// that hinting never moves a point and the numbers agree with the font
// file. A face that lacks the asked style is slanted or emboldened here, as
// the platform's font service would.
//
// A face name of the form "Hershey ..." selects one of the single-stroke
// engraving fonts instead (import/text/hershey_font.h): its glyphs are open
// strokes, not outlines.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarnak {

// One straight stroke of a glyph contour, in whole font units.
struct TStroke {
  int32_t Contour = 0;
  int32_t X1 = 0;
  int32_t Y1 = 0;
  int32_t X2 = 0;
  int32_t Y2 = 0;
};

// The strokes of one glyph; strokes of one contour are consecutive and
// contour numbers run 0, 1, 2, ...
class TStrokeCollection {
 public:
  void Add(const TStroke& s) { strokes_.push_back(s); }
  int Count() const { return static_cast<int>(strokes_.size()); }
  // The last stroke's contour number + 1; 0 when empty.
  int ContourCount() const;
  // Index of the first stroke of contour k; -1 when k is out of range.
  int FirstStroke(int k) const;
  int StrokeCount(int k) const;
  // Throws std::out_of_range("Error") for an index out of range.
  const TStroke& Get(int i) const;
  // Single-line fonts trace each stroke out and back: keeps the first half
  // of every contour (an odd last stroke stays).
  void Halve();
  const std::vector<TStroke>& Strokes() const { return strokes_; }

 private:
  std::vector<TStroke> strokes_;
};

struct TextFont {
  std::string Name = "Arial";
  bool Bold = false;
  bool Italic = false;
};

struct GlyphLoops;

inline constexpr int kGlyphEmSize = 1024;
inline constexpr int kDefaultPrecision = 8;

class TTTFToVectorConverter {
 public:
  TTTFToVectorConverter();
  ~TTTFToVectorConverter();
  TTTFToVectorConverter(const TTTFToVectorConverter&) = delete;
  TTTFToVectorConverter& operator=(const TTTFToVectorConverter&) = delete;

  const TextFont& Font() const { return font_; }
  // The font file is chosen again on the next glyph.
  void SetFont(const TextFont& font);

  int32_t Precision() const { return precision_; }
  // A value outside 1 ... 100 is ignored.
  void SetPrecision(int32_t p);

  // true: the text is UTF-8 and every code point is one character; false:
  // every byte is one 8-bit character code.
  bool UNICODE = true;
  // Advance width of the last character whose outline was read.
  int32_t Offset = 0;

  // Family and style of the font file in use ("DejaVu Sans Bold"), empty
  // when no font could be opened.
  std::string UsedFace();
  // The font file in use, empty when none.
  std::string UsedFile();
  // True for the single-stroke engraving faces: open strokes, no halving.
  bool StrokeFont();

  // The characters of a text by `UNICODE`.
  std::u32string Characters(const std::string& text) const;

  // The glyph of c; none when it has no outline. Sets Offset when it has.
  std::optional<TStrokeCollection> Strokes(char32_t c);
  // The same glyph kept for the next time: a text repeats its letters, and
  // reading and flattening an outline costs far more than copying it. Null
  // when c has no outline; sets Offset exactly as Strokes does. The glyphs
  // kept belong to the font and Precision in use (changing either drops
  // them); the pointer holds until the next call that reads a glyph.
  const TStrokeCollection* CachedStrokes(char32_t c);
  // The kept glyph's loops (import/text/glyph_loops.h), worked out on the
  // first call; null when c has no outline. Sets Offset as CachedStrokes
  // does. Shared, so that it outlives the glyph being dropped.
  std::shared_ptr<const GlyphLoops> CachedLoops(char32_t c);
  // Advance at size 1024, 0 when c has no outline.
  int32_t Advance(char32_t c);

  struct Impl;

 private:
  // Reads and flattens c; `loaded` tells whether the font had an outline to
  // read (then `advance` is its advance), even when no stroke came of it.
  std::optional<TStrokeCollection> ReadStrokes(char32_t c, bool& loaded, int32_t& advance);

  TextFont font_;
  int32_t precision_ = kDefaultPrecision;
  std::unique_ptr<Impl> impl_;
};

// Every installed face name (fontconfig families with outlines) followed by
// the single-stroke engraving faces, sorted, without repeats.
std::vector<std::string> InstalledFaceNames();

}  // namespace tarnak
