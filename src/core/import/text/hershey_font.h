// The single-stroke engraving fonts (Hershey's, as Debian's
// hershey-fonts-data ships them in /usr/share/hershey-fonts/*.jhf).
//
// An outline font cuts round each letter; a V-bit engraving wants one pass
// per pen line. A Hershey glyph is a list of pen-down polylines in a grid
// with Y down and the baseline at 9; each polyline becomes one contour of
// open strokes. Coordinates are scaled by kHersheyScale, a whole number, so
// that every stroke point is exactly a file coordinate times the scale and
// the cap height (21 units) comes to 735 of the 1024 units of the em, the
// cap height of a common sans outline font at the same text height.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "import/text/ttf_converter.h"

namespace tarnak {

inline constexpr int kHersheyScale = 35;
inline constexpr int kHersheyBaseline = 9;
inline constexpr const char* kHersheyFolder = "/usr/share/hershey-fonts";

class HersheyFont {
 public:
  // One glyph as read: left and right bearing and its pen-down polylines
  // in file coordinates (Y down).
  struct Glyph {
    int Left = 0;
    int Right = 0;
    std::vector<std::vector<std::pair<int, int>>> Lines;
  };

  // Glyphs of a .jhf file for the codes 32, 33, ... in file order; none
  // when the file cannot be read.
  static std::unique_ptr<HersheyFont> Read(const std::string& path);

  const Glyph* Find(char32_t c) const;
  // Open strokes of c (at the scale, Y up, left bearing at 0); none for a
  // character the font does not have or a glyph without lines (space).
  std::optional<TStrokeCollection> Strokes(char32_t c) const;
  int32_t Advance(char32_t c) const;

 private:
  std::vector<Glyph> glyphs_;
};

bool IsHersheyFace(const std::string& face);
// The face names offered ("Hershey Roman Simplex", ...) whose files exist.
std::vector<std::string> HersheyFaceNames();
// The file of a face name ("" when unknown).
std::string HersheyFile(const std::string& face);
std::unique_ptr<HersheyFont> LoadHersheyFont(const std::string& face);

}  // namespace tarnak
