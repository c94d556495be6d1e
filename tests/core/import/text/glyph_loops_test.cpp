// Straight text the add command's way (the glyphs' loops moved into place)
// against the Element list through the text tail: the same Regions,
// lines bit for bit, over faces, styles, precisions, sizes, places and both
// directions; each loop from its leftmost vertex; the short way taken for
// ordinary text and refused where the tolerance or rounding could tell.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/cancel.h"
#include "import/text/glyph_loops.h"
#include "import/text/text_geometry.h"
#include "import/text/ttf_converter.h"

namespace tarnak {
namespace {

// A Region as a row of bits: flags, box, then its Elements, a closed one
// turned to start with its least start point. (Not the selection: the
// general chaining leaves a loop it joined from pieces unselected.)
std::vector<uint64_t> Canonical(const TTNRegion& r) {
  auto bits = [](double v) { return std::bit_cast<uint64_t>(v); };
  std::vector<uint64_t> row{r.Open, r.Direction, bits(r.MinX), bits(r.MinY), bits(r.MaxX), bits(r.MaxY)};
  size_t first = 0;
  if (!r.Open)
    for (size_t k = 1; k < r.Elements.size(); ++k) {
      const TTNEntity& e = r.Elements[k];
      const TTNEntity& f = r.Elements[first];
      if (std::tie(e.X, e.Y) < std::tie(f.X, f.Y)) first = k;
    }
  for (size_t i = 0; i < r.Elements.size(); ++i) {
    const TTNEntity& e = r.Elements[(first + i) % r.Elements.size()];
    for (double v : {e.X, e.Y, e.Radius, e.X2, e.Y2, e.MinX, e.MinY, e.MaxX, e.MaxY}) row.push_back(bits(v));
    row.push_back(static_cast<uint64_t>(e.Mark) << 32 | static_cast<uint32_t>(e.OwnerTag));
  }
  return row;
}

std::vector<std::vector<uint64_t>> Sorted(const TTNRegionArray& list) {
  std::vector<std::vector<uint64_t>> rows;
  for (size_t i = 1; i < list.size(); ++i) rows.push_back(Canonical(list[i]));
  std::sort(rows.begin(), rows.end());
  return rows;
}

TEST(StraightText, SameRegionsAsTheElementTail) {
  const std::string latin = "The quick brown fox jumps over the lazy dog 0123456789. ";
  const std::string japanese = "日本語の文字を加工機で彫刻するテキスト漢字仮名交じり文東京都";
  const std::string mixed = "EHIT lmn bdhk =:;% iii Tarnak 加工";
  struct Face {
    const char* Name;
    std::string Text;
  };
  const Face faces[] = {{"DejaVu Sans", latin},   {"IPAGothic", japanese}, {"Nimbus Sans", mixed},
                        {"Z003", latin},          {"DejaVu Serif", mixed}, {"IPAGothic", mixed}};
  const double heights[] = {10.0, 37.0, 0.3, 0.05};
  struct Place {
    double X, Y;
  };
  const Place places[] = {{12.5, -3.25}, {-1.0e4, 5.0e3}, {1.0e13, 0.0}};
  TTTFToVectorConverter ttf;
  int cases = 0, ordinary = 0, ordinaryTaken = 0, refusedFar = 0, refusedTiny = 0;
  size_t n = 0;
  for (const Face& face : faces)
    for (int precision : {1, 8, 100})
      for (double height : heights)
        for (const Place& at : places) {
          ++n;
          const bool bold = n % 5 == 1, italic = n % 3 == 2, duplicates = n % 4 != 3;
          const int direction = static_cast<int>((n / 2) % 2);
          const std::string text = precision == 100 ? face.Text.substr(0, 9) : face.Text;
          std::ostringstream name;
          name << face.Name << (bold ? " bold" : "") << (italic ? " italic" : "") << " precision " << precision
               << " height " << height << " at " << at.X << "," << at.Y << " direction " << direction;
          SCOPED_TRACE(name.str());
          ttf.SetFont(TextFont{face.Name, bold, italic});
          ttf.SetPrecision(precision);
          const double f = height / kGlyphEmSize;
          CancelToken cancel;
          TTNRegionArray straight, probe, general;
          const bool took = StraightTextToRegions(cancel, text, ttf, f, at.X, at.Y, direction, duplicates, probe);
          ++cases;
          if (took) {
            // The Element tail (held to the general chaining bit for bit
            // by its own test) on the Elements of the same text.
            TTNEntityArray e = TextToElements(text, ttf);
            ScaleElements(e, f);
            TranslateElements(e, at.X, at.Y);
            TextElementsToRegions(cancel, e, general, direction, duplicates, false);
            ASSERT_EQ(probe.size(), general.size());
            EXPECT_TRUE(Sorted(probe) == Sorted(general));
            TextToRegions(cancel, text, ttf, f, at.X, at.Y, direction, duplicates, straight);
            EXPECT_TRUE(Sorted(straight) == Sorted(probe));
            // In MinX order, all selected, each loop from its leftmost
            // vertex (the lowest of several).
            for (size_t i = 1; i < probe.size(); ++i) {
              if (i > 1) {
                EXPECT_LE(probe[i - 1].MinX, probe[i].MinX);
              }
              EXPECT_EQ(probe[i].Selected, 1);
              const TTNEntity& s = probe[i].Elements.front();
              for (const TTNEntity& q : probe[i].Elements)
                ASSERT_TRUE(std::tie(s.X, s.Y) <= std::tie(q.X, q.Y)) << "Region " << i;
            }
          }
          if (height >= 2.5 && at.X < 1.0e6) {
            ++ordinary;
            ordinaryTaken += took;
          }
          refusedFar += at.X > 1.0e6 && !took;
          refusedTiny += height < 0.1 && !took;
        }
  // Ordinary text goes the short way; text too far out for the rounding or
  // too small for the tolerance does not.
  EXPECT_GE(ordinaryTaken * 4, ordinary * 3) << ordinaryTaken << " of " << ordinary;
  EXPECT_GT(refusedFar, cases / 8);
  EXPECT_GT(refusedTiny, cases / 8);
}

// A glyph's loops from its strokes: closed contours of three strokes or
// more with their vertices apart, or nothing the short way may take.
TEST(GlyphLoops, OnlyClosedLoopsWithVerticesApart) {
  using Points = std::vector<std::pair<int32_t, int32_t>>;
  // Each contour as the points it runs through; the last stroke returns to
  // the first point unless `open`.
  auto glyph = [](const std::vector<Points>& contours, bool open = false) {
    TStrokeCollection g;
    for (size_t c = 0; c < contours.size(); ++c) {
      const Points& p = contours[c];
      const size_t strokes = open ? p.size() - 1 : p.size();
      for (size_t k = 0; k < strokes; ++k) {
        const auto& [x1, y1] = p[k];
        const auto& [x2, y2] = p[(k + 1) % p.size()];
        g.Add(TStroke{static_cast<int32_t>(c), x1, y1, x2, y2});
      }
    }
    return MakeGlyphLoops(g);
  };
  const Points square{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  const GlyphLoops one = glyph({square, {{3, 3}, {3, 7}, {7, 7}, {7, 3}}});
  ASSERT_TRUE(one.Usable);
  ASSERT_EQ(one.Loops.size(), 2u);
  EXPECT_EQ(one.Loops[0].TwiceArea, 200);  // counter-clockwise
  EXPECT_EQ(one.Loops[1].TwiceArea, -32);  // the hole, clockwise
  EXPECT_EQ(one.Apart, 3);
  EXPECT_EQ(one.MaxX, 10);
  // A zero-length stroke is left out, as the tail drops it.
  const GlyphLoops repeated = glyph({{{0, 0}, {10, 0}, {10, 0}, {10, 10}, {0, 10}}});
  EXPECT_TRUE(repeated.Usable);
  EXPECT_EQ(repeated.X.size(), 4u);
  const GlyphLoops nothing = glyph({{{5, 5}, {5, 5}}});
  EXPECT_TRUE(nothing.Usable);
  EXPECT_TRUE(nothing.Loops.empty());
  // Refused: an open contour, a stroke out and back, two corners on one
  // point, coordinates out of all proportion.
  for (const GlyphLoops& g : {glyph({square}, true), glyph({{{0, 0}, {10, 0}}}),
                              glyph({square, {{10, 10}, {20, 10}, {20, 20}}}),
                              glyph({{{0, 0}, {1 << 21, 0}, {0, 10}}})}) {
    EXPECT_FALSE(g.Usable);
    EXPECT_TRUE(g.Loops.empty());
  }
}

}  // namespace
}  // namespace tarnak
