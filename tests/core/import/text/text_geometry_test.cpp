// Glyph outlines against fontTools (areas, boxes, advances and stroke
// counts of the same font file), the layout rules, and the texts of a
// corpus drawing against ezdxf's reading of it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/cancel.h"
#include "geometry/primitives.h"
#include "import/dxf/dxf_reader.h"
#include "import/profiles/profile_building.h"
#include "import/text/hershey_font.h"
#include "import/text/text_geometry.h"
#include "test_ui.h"

namespace tarnak {
namespace {

constexpr const char* kPython = "/usr/bin/python3";
const std::string kHere = std::string(TARNAK_SOURCE_DIR) + "/tests/core/import/text/";

std::string RunScript(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

bool HaveOracle(const char* module) {
  return RunScript(std::string(kPython) + " -c 'import " + module + "; print(1)' 2>/dev/null") == "1\n";
}

double AbsArea(const TTNRegion& r) {
  double a = 0.0;
  for (const TTNEntity& e : r.Elements) {
    Point2 s, t;
    ElementEnds(e, s, t);
    a += s.X * t.Y - t.X * s.Y;
  }
  return std::fabs(a / 2.0);
}

TTNRegionArray Regions(TTNEntityArray e, bool strokeFont = false) {
  CancelToken cancel;
  TTNRegionArray out;
  TextElementsToRegions(cancel, e, out, 0, true, strokeFont);
  return out;
}

Box Union(const TTNRegionArray& list) {
  Box b = Box::FromMinMax(1e300, 1e300, -1e300, -1e300);
  for (size_t i = 1; i < list.size(); ++i) {
    b.MinX = std::min(b.MinX, list[i].MinX);
    b.MinY = std::min(b.MinY, list[i].MinY);
    b.MaxX = std::max(b.MaxX, list[i].MaxX);
    b.MaxY = std::max(b.MaxY, list[i].MaxY);
  }
  return b;
}

// Latin and Japanese in a quadratic TrueType font, Latin in a cubic CFF one.
TEST(GlyphOutlines, AgreeWithFontTools) {
  if (!HaveOracle("fontTools")) GTEST_SKIP() << "python3-fonttools is not installed";
  struct Case {
    const char* Face;
    const char* Text;
  };
  const Case cases[] = {
      {"IPAGothic", "AgBQé&@8%日本語漢字あアを"},
      {"Nimbus Sans", "AgBQé&@8%sS"},
  };
  for (const Case& c : cases) {
    TTTFToVectorConverter ttf;
    ttf.SetFont(TextFont{c.Face, false, false});
    const std::string file = ttf.UsedFile();
    if (file.empty() || ttf.UsedFace().find(c.Face) != 0) {
      ADD_FAILURE() << "font " << c.Face << " not installed (got '" << ttf.UsedFace() << "')";
      continue;
    }
    ttf.SetPrecision(0);    // ignored
    ttf.SetPrecision(101);  // ignored
    ASSERT_EQ(ttf.Precision(), 8);
    const std::string facts =
        RunScript(std::string(kPython) + " " + kHere + "glyph_oracle.py '" + file + "' '" + c.Text + "'");
    std::istringstream in(facts);
    std::string line;
    int checked = 0;
    const std::u32string chars = ttf.Characters(c.Text);
    ASSERT_EQ(chars.size(), static_cast<size_t>(std::count(facts.begin(), facts.end(), '\n'))) << facts;
    for (char32_t ch : chars) {
      ASSERT_TRUE(std::getline(in, line));
      std::istringstream f(line);
      unsigned long code = 0;
      int advance = 0, lines = 0, quads = 0, cubics = 0;
      double area = 0, minX = 0, minY = 0, maxX = 0, maxY = 0;
      f >> code >> advance >> area >> minX >> minY >> maxX >> maxY >> lines >> quads >> cubics;
      ASSERT_EQ(code, static_cast<unsigned long>(ch));
      SCOPED_TRACE(std::string(c.Face) + " U+" + std::to_string(code));
      EXPECT_EQ(GlyphAdvance(ttf, ch), advance);
      const std::optional<TStrokeCollection> strokes = GlyphStrokes(ttf, ch);
      ASSERT_TRUE(strokes.has_value());
      EXPECT_EQ(ttf.Offset, advance);
      // A quadratic segment is Precision strokes, a cubic twice that, a line one.
      EXPECT_EQ(strokes->Count(), lines + 8 * quads + 16 * cubics);
      const TTNRegionArray r = Regions(GlyphElements(ch, ttf));
      ASSERT_GT(r.size(), 1u);
      double a = 0.0;
      for (size_t i = 1; i < r.size(); ++i) {
        EXPECT_EQ(r[i].Open, 0) << "every contour closes";
        a += AbsArea(r[i]);
      }
      EXPECT_NEAR(a, area, 0.005 * area);
      const Box b = Union(r);
      const double size = std::max(maxX - minX, maxY - minY);
      EXPECT_NEAR(b.MinX, minX, 0.005 * size);
      EXPECT_NEAR(b.MinY, minY, 0.005 * size);
      EXPECT_NEAR(b.MaxX, maxX, 0.005 * size);
      EXPECT_NEAR(b.MaxY, maxY, 0.005 * size);
      ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(chars.size()));
  }
}

TEST(GlyphOutlines, StrokeCollectionAndHalving) {
  TStrokeCollection s;
  for (int k = 0; k < 2; ++k)
    for (int i = 0; i < 5 - k; ++i) s.Add(TStroke{k, i, 0, i + 1, 0});
  EXPECT_EQ(s.ContourCount(), 2);
  EXPECT_EQ(s.FirstStroke(1), 5);
  EXPECT_EQ(s.FirstStroke(2), -1);
  EXPECT_THROW(
      {
        try {
          s.Get(9);
        } catch (const std::out_of_range& e) {
          EXPECT_STREQ(e.what(), "Error");
          throw;
        }
      },
      std::out_of_range);
  s.Halve();  // 5 strokes keep 0, 1 and the odd 4th; 4 keep 0, 1
  ASSERT_EQ(s.Count(), 5);
  EXPECT_EQ(s.Get(2).X1, 4);
  EXPECT_EQ(s.StrokeCount(1), 2);

  // The single-line face keeps half of every contour of every glyph.
  TTTFToVectorConverter ttf;
  ttf.SetFont(TextFont{kSingleLineFace, false, false});
  size_t kept = 0;
  for (char32_t c : std::u32string(U"AB")) {
    const TStrokeCollection g = *GlyphStrokes(ttf, c);
    for (int k = 0; k < g.ContourCount(); ++k)
      kept += static_cast<size_t>(g.StrokeCount(k) - g.StrokeCount(k) / 2);
  }
  EXPECT_EQ(TextToElements("AB", ttf).size(), kept);
}

TEST(TextLayout, SpacesAlignmentAndArcs) {
  TTTFToVectorConverter ttf;
  ttf.SetFont(TextFont{"DejaVu Sans", false, false});
  const int32_t a = GlyphAdvance(ttf, U'A');
  ASSERT_GT(a, 0);
  EXPECT_EQ(GlyphAdvance(ttf, U' '), 0);
  // A space advances by the width of the character before it, by 0 first.
  const TTNEntityArray ab = TextToElements("A B", ttf);
  TTNEntityArray b = GlyphElements(U'B', ttf);
  TranslateElements(b, 2.0 * a, 0.0);
  ASSERT_EQ(ab.size(), GlyphElements(U'A', ttf).size() + b.size());
  EXPECT_DOUBLE_EQ(ab.back().X, b.back().X);
  EXPECT_DOUBLE_EQ(TextToElements(" A", ttf).front().X, GlyphElements(U'A', ttf).front().X);

  // Wide characters: each code point of the UTF-8 text is one glyph.
  ttf.SetFont(TextFont{"IPAGothic", false, false});
  const TTNEntityArray jp = TextToElements("日本語", ttf);
  EXPECT_EQ(jp.size(), GlyphElements(U'日', ttf).size() + GlyphElements(U'本', ttf).size() +
                           GlyphElements(U'語', ttf).size());

  // Transforms: a quarter turn about a centre, a scale with its box.
  TTNEntityArray e{MakeLine(2, 1, 3, 1)};
  RotateElements(e, std::numbers::pi / 2, Point2{1, 1});
  EXPECT_NEAR(e[0].X, 1.0, 1e-12);
  EXPECT_NEAR(e[0].Y, 2.0, 1e-12);
  EXPECT_NEAR(e[0].MaxY, 3.0, 1e-12);
  ScaleElements(e, 0.0);  // ignored
  ScaleElements(e, 2.0);
  EXPECT_NEAR(e[0].Y2, 6.0, 1e-12);
  EXPECT_NEAR(e[0].MaxY, 6.0, 1e-12);

  const TextBox box = TextExtent(ttf, "日本", 10.0, 0.0, 0);
  EXPECT_DOUBLE_EQ(box.Width, 10.0 * (GlyphAdvance(ttf, U'日') + GlyphAdvance(ttf, U'本')) / 1024);
  EXPECT_DOUBLE_EQ(TextExtent(ttf, "x", 2.0, 5.0, 4).Width, 14.0);
}

TEST(DxfTexts, BracesAndLineBreaks) {
  using V = std::vector<std::string>;
  EXPECT_EQ(DxfTextLines("x{ab\\Pcd}y"), (V{"ab", "cd"}));
  EXPECT_EQ(DxfTextLines("a\\P\\Pb"), (V{"a"}));
  EXPECT_EQ(DxfTextLines("\\Pa"), V{});
  EXPECT_EQ(DxfTextLines("}a{"), (V{"}a{"}));
}

// Every text of the drawing, read by ezdxf, has Regions inside the box its
// insertion point, height and rotation give, and every Region lies in the
// box of some text.
TEST(DxfTexts, CorpusTextsLieInTheirBoxes) {
  if (!HaveOracle("ezdxf")) GTEST_SKIP() << "python3-ezdxf is not installed";
  const std::string path = std::string(TARNAK_CORPUS_DIR) + "/dxf/ezdxf_text_R2018_crlf.dxf";
  testing::TestUserInterface ui;
  std::unique_ptr<DXF_Object> drawing = ReadDxfFile(path, ui);
  ASSERT_TRUE(drawing);
  TTTFToVectorConverter ttf;
  CancelToken cancel;
  TTNRegionArray regions;
  DxfTextsToRegions(cancel, *drawing, regions, ttf, kNoSkipLayer, 0);
  ASSERT_GT(regions.size(), 100u);

  // Text boxes: along the line from a little before the insertion point to
  // its advance, across from below the descenders to above the ascenders.
  struct TextBoxFrame {
    double X, Y, Cos, Sin, Length, H;
    bool Model;
    bool Hit = false;
    bool Inside(Point2 p) const {
      const double dx = p.X - X, dy = p.Y - Y;
      const double u = dx * Cos + dy * Sin, v = -dx * Sin + dy * Cos;
      return u > -0.1 * H && u < Length + 0.1 * H && v > -0.35 * H && v < 1.05 * H;
    }
  };
  std::vector<TextBoxFrame> boxes;
  std::istringstream in(RunScript(std::string(kPython) + " " + kHere + "dxf_texts_oracle.py '" + path + "'"));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream f(line);
    std::string space;
    double x, y, h, rotation;
    int vertical;
    f >> space >> x >> y >> h >> rotation >> vertical;
    std::string text;
    std::getline(f, text);
    if (!text.empty()) text.erase(0, 1);
    const std::vector<std::string> lines = DxfTextLines(text);
    for (size_t k = 0; k < lines.size(); ++k) {
      // The pen's way: a space advances by the last glyph's width.
      double length = 0.0, last = 0.0;
      for (char32_t c : ttf.Characters(lines[k])) {
        if (const int32_t a = GlyphAdvance(ttf, c); a > 0) last = a;
        length += last;
      }
      length = length * h / kDxfTextScale;
      const double angle = vertical ? -std::numbers::pi / 2 : rotation * kDegToRad;
      const double step = static_cast<double>(k) * kDxfLineSpacing * h;
      boxes.push_back(TextBoxFrame{vertical ? x - step : x, vertical ? y : y - step, std::cos(angle),
                                   std::sin(angle), length, h, space == "M"});
    }
  }
  ASSERT_GT(boxes.size(), 90u);
  int outside = 0;
  for (size_t i = 1; i < regions.size(); ++i) {
    bool inSome = false;
    for (TextBoxFrame& b : boxes) {
      bool all = true;
      for (const TTNEntity& e : regions[i].Elements) all = all && b.Inside(ElementStart(e)) && b.Inside(ElementEnd(e));
      if (all) {
        b.Hit = true;
        inSome = true;
      }
    }
    if (!inSome && ++outside < 5) ADD_FAILURE() << "Region at " << regions[i].MinX << ", " << regions[i].MinY << " in no text box";
  }
  EXPECT_EQ(outside, 0);
  for (const TextBoxFrame& b : boxes) {
    if (!b.Model) continue;
    EXPECT_TRUE(b.Hit) << "no Region in the box of the text at " << b.X << ", " << b.Y;
  }
}

// A Hershey face: open Regions whose points are the file's coordinates
// times the scale, the advances from the font's bearings.
TEST(HersheyText, StrokesAreTheFileCoordinates) {
  const std::string file = HersheyFile("Hershey Roman Simplex");
  if (!std::filesystem::exists(file)) GTEST_SKIP() << "hershey-fonts-data is not installed";
  const std::unique_ptr<HersheyFont> font = HersheyFont::Read(file);
  ASSERT_TRUE(font);
  TTTFToVectorConverter ttf;
  ttf.SetFont(TextFont{"Hershey Roman Simplex", false, false});
  ASSERT_TRUE(ttf.StrokeFont());
  const double h = 10.0, f = h / kGlyphEmSize;
  for (char32_t c : std::u32string(U"AKOR8&")) {
    const HersheyFont::Glyph& g = *font->Find(c);
    EXPECT_EQ(GlyphAdvance(ttf, c), (g.Right - g.Left) * kHersheyScale);
    TTNEntityArray e = GlyphElements(c, ttf);
    ScaleElements(e, f);
    const TTNRegionArray r = Regions(e, true);
    ASSERT_EQ(r.size() - 1, g.Lines.size());
    for (size_t i = 1; i < r.size(); ++i) {
      EXPECT_EQ(r[i].Open, 1);
      const auto& pts = g.Lines[i - 1];
      ASSERT_EQ(r[i].Elements.size(), pts.size() - 1);
      for (size_t j = 0; j < pts.size(); ++j) {
        const Point2 p = j == 0 ? ElementStart(r[i].Elements[0]) : ElementEnd(r[i].Elements[j - 1]);
        EXPECT_DOUBLE_EQ(p.X, (pts[j].first - g.Left) * kHersheyScale * f);
        EXPECT_DOUBLE_EQ(p.Y, (kHersheyBaseline - pts[j].second) * kHersheyScale * f);
      }
    }
  }
  // The cap height of "H" matches an outline font's at the same height.
  TTNEntityArray capH = GlyphElements(U'H', ttf);
  ttf.SetFont(TextFont{"DejaVu Sans", false, false});
  TTNEntityArray outlineH = GlyphElements(U'H', ttf);
  const double hersheyTop = Union(Regions(capH, true)).MaxY, outlineTop = Union(Regions(outlineH)).MaxY;
  EXPECT_NEAR(hersheyTop / outlineTop, 1.0, 0.02);
}

}  // namespace
}  // namespace tarnak
