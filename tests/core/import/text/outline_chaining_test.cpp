// The text tail's shortcut for glyph outlines against the general chaining
// it stands in for: the same Regions, bit for bit, over texts in several
// fonts and styles, straight, along an arc, squeezed until letters overlap
// and set as vertical DXF lines, at three precisions, many sizes and both
// closed directions; and the shortcut really taken where it should be.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "base/cancel.h"
#include "import/text/outline_chaining.h"
#include "import/text/text_geometry.h"

namespace tarnak {
namespace {

enum class Layout { Linear, Arc, Squeezed, Vertical };

struct Case {
  std::string Face;
  bool Bold = false;
  bool Italic = false;
  std::string Text;
  int Precision = 8;
  Layout How = Layout::Linear;
  double Height = 10.0;
  int Direction = 0;

  std::string Name() const {
    std::ostringstream s;
    s << Face << (Bold ? " bold" : "") << (Italic ? " italic" : "") << " '" << Text.substr(0, 24)
      << "' precision " << Precision << " layout " << static_cast<int>(How) << " height " << Height
      << " direction " << Direction;
    return s.str();
  }
};

// The Elements a text path would hand to the tail, and whether that path
// drops duplicates (the add-text command does, DXF texts do not).
TTNEntityArray Lay(const Case& c, TTTFToVectorConverter& ttf, bool& removeDuplicates) {
  ttf.SetFont(TextFont{c.Face, c.Bold, c.Italic});
  ttf.SetPrecision(c.Precision);
  const double f = c.Height / kGlyphEmSize;
  removeDuplicates = c.How != Layout::Vertical;
  TTNEntityArray all;
  switch (c.How) {
    case Layout::Linear:
      all = TextToElements(c.Text, ttf);
      ScaleElements(all, f);
      TranslateElements(all, 12.5, -3.25);
      break;
    case Layout::Squeezed: {
      // Each letter a little over half its advance after the one before.
      double pen = 0.0;
      for (char32_t ch : ttf.Characters(c.Text)) {
        TTNEntityArray g = GlyphElements(ch, ttf);
        TranslateElements(g, pen, 0.0);
        all.insert(all.end(), g.begin(), g.end());
        pen += 0.55 * GlyphAdvance(ttf, ch);
      }
      ScaleElements(all, f);
      break;
    }
    case Layout::Arc: {
      // Upright along a circle, clockwise from the top, as the arc layout.
      const double r = 40.0 * c.Height;
      double phi = 0.3;
      for (char32_t ch : ttf.Characters(c.Text)) {
        const double w = std::max(1.0, static_cast<double>(GlyphAdvance(ttf, ch))) * f;
        TTNEntityArray g = GlyphElements(ch, ttf);
        ScaleElements(g, f);
        RotateElements(g, -phi);
        TranslateElements(g, 100.0 + r * std::cos(std::numbers::pi / 2 - phi),
                          50.0 + r * std::sin(std::numbers::pi / 2 - phi));
        all.insert(all.end(), g.begin(), g.end());
        phi += std::asin(std::min(1.0, w / r));
      }
      break;
    }
    case Layout::Vertical:
      // Three lines of a vertical DXF text, 1.2 heights apart.
      for (int k = 0; k < 3; ++k) {
        TTNEntityArray e = TextToElements(c.Text, ttf);
        RotateElements(e, -std::numbers::pi / 2.0);
        ScaleElements(e, c.Height / kDxfTextScale);
        TranslateElements(e, 7.0 - k * kDxfLineSpacing * c.Height, 3.0);
        all.insert(all.end(), e.begin(), e.end());
      }
      break;
  }
  return all;
}

template <typename T>
auto Bits(T v) {
  if constexpr (sizeof(T) == 8)
    return std::bit_cast<uint64_t>(v);
  else
    return std::bit_cast<uint32_t>(v);
}

// Every field of every Region and Element, doubles compared bit for bit.
std::string FirstDifference(const TTNRegionArray& a, const TTNRegionArray& b) {
  if (a.size() != b.size())
    return "Region count " + std::to_string(a.size()) + " against " + std::to_string(b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    const TTNRegion& p = a[i];
    const TTNRegion& q = b[i];
    const std::string at = "Region " + std::to_string(i) + ": ";
    if (p.SelValue1 != q.SelValue1 || p.SelValue2 != q.SelValue2 || p.Parent != q.Parent ||
        p.Level != q.Level || p.WallProfile != q.WallProfile || Bits(p.WallDelta) != Bits(q.WallDelta) ||
        p.PocketFlag != q.PocketFlag || p.MachineFlag != q.MachineFlag || p.Owner != q.Owner ||
        p.LinkKind != q.LinkKind || Bits(p.RapidLevel) != Bits(q.RapidLevel) || p.Spare != q.Spare ||
        Bits(p.Depth) != Bits(q.Depth))
      return at + "work fields";
    if (p.Open != q.Open) return at + "open flag";
    if (p.Direction != q.Direction) return at + "direction";
    if (p.Selected != q.Selected) return at + "selection";
    if (Bits(p.MinX) != Bits(q.MinX) || Bits(p.MinY) != Bits(q.MinY) || Bits(p.MaxX) != Bits(q.MaxX) ||
        Bits(p.MaxY) != Bits(q.MaxY))
      return at + "box";
    if (p.Elements.size() != q.Elements.size())
      return at + std::to_string(p.Elements.size()) + " Elements against " + std::to_string(q.Elements.size());
    for (size_t k = 0; k < p.Elements.size(); ++k) {
      const TTNEntity& e = p.Elements[k];
      const TTNEntity& g = q.Elements[k];
      if (Bits(e.X) != Bits(g.X) || Bits(e.Y) != Bits(g.Y) || Bits(e.Radius) != Bits(g.Radius) ||
          Bits(e.X2) != Bits(g.X2) || Bits(e.Y2) != Bits(g.Y2) || e.Mark != g.Mark ||
          Bits(e.MinX) != Bits(g.MinX) || Bits(e.MinY) != Bits(g.MinY) || Bits(e.MaxX) != Bits(g.MaxX) ||
          Bits(e.MaxY) != Bits(g.MaxY) || e.OwnerTag != g.OwnerTag)
        return at + "Element " + std::to_string(k);
    }
  }
  return "";
}

std::vector<Case> Cases() {
  const std::string latin = "The quick brown fox jumps over the lazy dog 0123456789. ";
  const std::string japanese = "日本語の文字を加工機で彫刻するテキスト漢字仮名交じり文東京都";
  struct Face {
    const char* Name;
    std::vector<std::string> Texts;  // the finest precision takes the last
  };
  const Face faces[] = {
      {"DejaVu Sans", {latin, "EHIT lmn bdhk =:;% iii", "Rib lH%8"}},
      {"IPAGothic", {japanese, "Tarnak 加工 H=1:2; |il|", "日本語の加工"}},
      {"Nimbus Sans", {latin, "EHIT lmn bdhk =:;% iii", "Rib lH%8"}},
      {"Z003", {latin, "Hello Tarnak, quill & ink", "Rib lH%8"}},
      {"DejaVu Serif", {"EHIT lmn bdhk =:;% iii", latin, "Rib lH%8"}},
  };
  const int precisions[] = {1, 8, 100};
  const double heights[] = {10.0, 2.5, 37.0, 0.7, 0.3, 1.0};
  const Layout layouts[] = {Layout::Linear, Layout::Arc, Layout::Squeezed, Layout::Vertical};
  std::vector<Case> cases;
  // Every face with every layout, precision and text; size, style and
  // direction varied in turn.
  size_t n = 0;
  for (const Face& face : faces)
    for (Layout how : layouts)
      for (int p : precisions)
        for (size_t t = 0; t < 2; ++t) {
          Case c;
          c.Face = face.Name;
          c.How = how;
          c.Precision = p;
          c.Text = p == 100 ? face.Texts[2] : face.Texts[t];
          c.Height = heights[n % std::size(heights)];
          c.Bold = n % 5 == 1 || n % 7 == 3;
          c.Italic = n % 3 == 2;
          c.Direction = static_cast<int>((n / 3) % 2);
          cases.push_back(c);
          ++n;
        }
  // Nothing to outline, and a single-stroke face (its own tail).
  for (const char* text : {"", " ", "   ", "\t"}) cases.push_back(Case{"DejaVu Sans", false, false, text});
  cases.push_back(Case{"Hershey Roman Simplex", false, false, latin});
  cases.push_back(Case{"Hershey Roman Simplex", false, false, "EHIT lmn", 8, Layout::Arc, 2.5, 1});
  // Long texts, so that chunk borders cut loops.
  for (int d = 0; d < 2; ++d) {
    Case latinLong{"DejaVu Sans", d == 1, false, latin + latin + latin + latin + latin + latin + latin};
    latinLong.Direction = d;
    cases.push_back(latinLong);
    Case japaneseLong{"IPAGothic", false, d == 1, japanese + japanese + japanese + japanese};
    japaneseLong.Direction = 1 - d;
    japaneseLong.How = d == 0 ? Layout::Linear : Layout::Arc;
    cases.push_back(japaneseLong);
  }
  return cases;
}

TEST(OutlineChaining, SameRegionsAsTheGeneralChaining) {
  TTTFToVectorConverter ttf;
  int taken = 0, linearTaken = 0, linear = 0, squeezedRefused = 0;
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.Name());
    bool removeDuplicates = true;
    const TTNEntityArray elements = Lay(c, ttf, removeDuplicates);
    const bool strokeFont = ttf.StrokeFont();
    CancelToken cancel;
    TTNEntityArray e1 = elements, e2 = elements, e3 = elements;
    TTNRegionArray fast, general, probe(1);
    TextElementsToRegions(cancel, e1, fast, c.Direction, removeDuplicates, strokeFont);
    TextElementsToRegionsGeneral(cancel, e2, general, c.Direction, removeDuplicates, strokeFont);
    EXPECT_EQ(FirstDifference(fast, general), "");
    EXPECT_TRUE(e1.empty());
    // Whether the shortcut took it.
    const bool took = !strokeFont && ChainGlyphOutlines(cancel, e3, probe, c.Direction, removeDuplicates);
    if (took) {
      EXPECT_EQ(FirstDifference(probe, general), "");
    } else {
      EXPECT_EQ(e3.size(), elements.size()) << "a refusal leaves the Elements alone";
    }
    taken += took;
    if (c.How == Layout::Linear && !strokeFont && c.Height >= 2.5 && elements.size() > 1) {
      ++linear;
      linearTaken += took;
    }
    if (c.How == Layout::Squeezed && !took && elements.size() > 1 && !strokeFont) ++squeezedRefused;
    if (took && c.Text.size() < 20) {
      // Escape before the tail: nothing either way.
      CancelToken stopped;
      stopped.Stop();
      TTNEntityArray s1 = elements, s2 = elements;
      TextElementsToRegions(stopped, s1, fast, c.Direction, removeDuplicates, false);
      TextElementsToRegionsGeneral(stopped, s2, general, c.Direction, removeDuplicates, false);
      EXPECT_EQ(fast.size(), 1u);
      EXPECT_EQ(FirstDifference(fast, general), "");
    }
  }
  // Ordinary straight text goes the short way; overlapping letters do not.
  EXPECT_GE(linearTaken * 4, linear * 3) << linearTaken << " of " << linear;
  EXPECT_GT(taken, 20);
  EXPECT_GT(squeezedRefused, 0);
}

// The benchmark's texts: all the way to Regions through the shortcut.
TEST(OutlineChaining, BenchmarkTextsTakeTheShortcut) {
  TTTFToVectorConverter ttf;
  const std::pair<const char*, std::u32string> texts[] = {
      {"DejaVu Sans", U"The quick brown fox jumps over the lazy dog 0123456789. "},
      {"IPAGothic", U"日本語の文字を加工機で彫刻するテキスト漢字仮名交じり文東京都"}};
  for (const auto& [face, cycle] : texts) {
    SCOPED_TRACE(face);
    std::u32string chars;
    while (chars.size() < 1000) chars += cycle;
    chars.resize(1000);
    std::string text;
    for (char32_t ch : chars) {
      if (ch < 0x80) {
        text += static_cast<char>(ch);
      } else {
        text += static_cast<char>(0xE0 | (ch >> 12));
        text += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (ch & 0x3F));
      }
    }
    ttf.SetFont(TextFont{face, false, false});
    TTNEntityArray e = TextToElements(text, ttf);
    ScaleElements(e, 10.0 / kGlyphEmSize);
    TTNEntityArray g = e;
    CancelToken cancel;
    TTNRegionArray fast(1), general;
    ASSERT_TRUE(ChainGlyphOutlines(cancel, e, fast, 0, true));
    TextElementsToRegionsGeneral(cancel, g, general, 0, true, false);
    EXPECT_EQ(FirstDifference(fast, general), "");
  }
}

}  // namespace
}  // namespace tarnak
