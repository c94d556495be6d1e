#include "import/dxf/dxf_reader.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>

#include "dxf_test_util.h"
#include "geometry/primitives.h"

namespace tarnak {
namespace {

using dxftest::CountOf;
using dxftest::DxfText;
using dxftest::EntitiesOf;
using dxftest::RecordingUi;

constexpr const char* kNoEntities = "No Entities or invalid Entities section in DXF file";

std::unique_ptr<DXF_Object> Read(const std::string& text, RecordingUi& ui) {
  return ReadDxfBuffer("mem.dxf", text, ui);
}

template <class T>
const T& As(const DXF_Entity* e) {
  const T* t = dynamic_cast<const T*>(e);
  EXPECT_NE(t, nullptr);
  return *t;
}

// Line number (1-based) of the first line equal to `line` after `from` lines.
int LineOf(const std::string& text, const std::string& line, int from = 0) {
  std::istringstream in(text);
  std::string l;
  int n = 0;
  while (std::getline(in, l)) {
    ++n;
    if (n > from && l == line) return n;
  }
  return -1;
}

// ---------------------------------------------------------------- numbers and groups

TEST(DxfNumbers, FloatFormsAreReadWithPointWhateverTheLocale) {
  double v = 0;
  const std::pair<const char*, double> good[] = {
      {"1.5", 1.5},  {"+1.5", 1.5},   {"  -2.25\t", -2.25}, {"1.", 1.0},     {".5", 0.5},
      {"-.5", -0.5}, {"1e-5", 1e-5},  {"1E+03", 1000.0},    {"\t7", 7.0},    {"0", 0.0},
      {"1e999", std::numeric_limits<double>::infinity()},  {"-1e999", -std::numeric_limits<double>::infinity()},
      {"1e-999", 0.0}, {"0.000000000000000000000000000000000000000000000000000000000000000000000"
                        "00000000000000000000000000000000000000000000000000000000000000000000000"
                        "00000000000000000000000000000000000000000000000000000000000000000000000"
                        "00000000000000000000000000000000000000000000000000000000000000000000000"
                        "000000000000000000000000000000000000000000000000000000000000000000000001",
                        0.0}};
  for (const auto& [text, want] : good) {
    ASSERT_TRUE(ParseDxfDouble(text, v)) << text;
    EXPECT_EQ(v, want) << text;
  }
  for (const char* bad : {"", "  ", "1,5", "abc", "1.5x", "+-1", "++1", "0x10", "1 2", "+"})
    EXPECT_FALSE(ParseDxfDouble(bad, v)) << bad;
}

TEST(DxfNumbers, AgreesWithTheGeneralParserBitForBit) {
  // Plain decimals take a shortcut; it must give exactly what from_chars gives.
  uint64_t state = 12345;
  auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>(state >> 33);
  };
  for (int i = 0; i < 200000; ++i) {
    std::string s;
    if (next() % 3 == 0) s += '-';
    const unsigned intDigits = next() % 12, fracDigits = next() % 12;
    for (unsigned k = 0; k < intDigits; ++k) s += static_cast<char>('0' + next() % 10);
    if (next() % 5 != 0) s += '.';
    for (unsigned k = 0; k < fracDigits; ++k) s += static_cast<char>('0' + next() % 10);
    double want = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), want);
    double got = 0;
    const bool ok = ParseDxfDouble(s, got);
    ASSERT_EQ(ok, r.ec == std::errc() && r.ptr == s.data() + s.size()) << s;
    if (ok) {
      ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0) << s << " " << got << " " << want;
    }
  }
}

// The number parser as it was before it read digits eight at a time: the
// reference that the reader's values must match bit for bit.
namespace before {

bool Digit(char c) { return c >= '0' && c <= '9'; }

bool FastDecimal(std::string_view s, double& value) {
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  size_t i = 0;
  const bool negative = s[0] == '-';
  if (negative) ++i;
  uint64_t m = 0;
  long intDigits = 0, decimals = 0;
  for (; i < s.size() && Digit(s[i]); ++i, ++intDigits) m = m * 10 + static_cast<unsigned>(s[i] - '0');
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && Digit(s[i]); ++i, ++decimals) m = m * 10 + static_cast<unsigned>(s[i] - '0');
  }
  if (i != s.size() || intDigits + decimals == 0 || intDigits + decimals > 15) return false;
  const double v = static_cast<double>(m) / kPow10[decimals];
  value = negative ? -v : v;
  return true;
}

// ok: the text is a number; exact: `value` is what the parser gave (not
// so for results out of range, which take their own path unchanged).
struct Parsed {
  bool ok = false, exact = false;
  double value = 0;
};

Parsed Parse(std::string_view text) {
  Parsed r;
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  std::string_view s = text.substr(b, e - b);
  if (!s.empty() && s[0] == '+') {
    s.remove_prefix(1);
    if (!s.empty() && s[0] == '-') return r;
  }
  if (s.empty()) return r;
  if (FastDecimal(s, r.value)) {
    r.ok = r.exact = true;
    return r;
  }
  const auto fc = std::from_chars(s.data(), s.data() + s.size(), r.value, std::chars_format::general);
  if (fc.ptr != s.data() + s.size()) return r;
  r.ok = fc.ec == std::errc() || fc.ec == std::errc::result_out_of_range;
  r.exact = fc.ec == std::errc();
  return r;
}

}  // namespace before

void ExpectSameAsBefore(const std::string& text) {
  double got = 0;
  const bool ok = ParseDxfDouble(text, got);
  const before::Parsed want = before::Parse(text);
  ASSERT_EQ(ok, want.ok) << '"' << text << '"';
  if (want.exact) {
    ASSERT_EQ(std::memcmp(&got, &want.value, sizeof got), 0) << '"' << text << '"';
  }
}

// Number-like texts of every shape: blanks and control bytes around, signs
// (also doubled), digit runs of every length up to past 16 (the parser
// takes eight at a time), points, exponents and stray characters.
std::string RandomNumberText(uint64_t& state) {
  auto next = [&state](unsigned n) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>(state >> 33) % n;
  };
  static const char* const kBlanks[] = {"", "", "", " ", "  ", "\t", "\x01", " \t"};
  static const char* const kSigns[] = {"", "", "", "-", "+", "+-", "--", "-+"};
  static const char kStray[] = {'x', ',', ' ', '.', 'e', '-', '+', '\0', '/', ':', '9'};
  std::string s = kBlanks[next(8)];
  s += kSigns[next(8)];
  const unsigned intDigits = next(5) == 0 ? next(20) : next(9);
  for (unsigned k = 0; k < intDigits; ++k) s += static_cast<char>('0' + next(10));
  if (next(4) != 0) s += '.';
  const unsigned fracDigits = next(5) == 0 ? next(20) : next(10);
  for (unsigned k = 0; k < fracDigits; ++k) s += static_cast<char>('0' + next(10));
  if (next(10) == 0) {
    s += next(2) ? 'e' : 'E';
    s += kSigns[next(5)];
    for (unsigned k = 1 + next(3); k > 0; --k) s += static_cast<char>('0' + next(10));
  }
  if (next(12) == 0) s.insert(next(static_cast<unsigned>(s.size()) + 1), 1, kStray[next(sizeof kStray)]);
  s += kBlanks[next(8)];
  return s;
}

TEST(DxfNumbers, SameValuesAsTheParserItReplaced) {
  uint64_t state = 2024;
  for (int i = 0; i < 300000; ++i) ExpectSameAsBefore(RandomNumberText(state));
  for (const char* edge : {"12345678", "123456789", "1234567.8", "12345678.", ".12345678",
                           "0.12345678", "123456781234567", "1234567812345678", "12345678.1234567",
                           "1234567.12345678", "99999999999999.9", "-.00000001", "00000000000000001",
                           "0000000000000000.1", "1.000000000000000", "-0", "-0.0", ".", "-.", "-"})
    ExpectSameAsBefore(edge);
  // Every line of the real drawings: their numbers as they are written.
  size_t lines = 0;
  for (const auto& f : std::filesystem::directory_iterator(std::string(TARNAK_CORPUS_DIR) + "/dxf")) {
    std::ifstream in(f.path(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      ExpectSameAsBefore(line);
      ++lines;
    }
  }
  EXPECT_GT(lines, 100000u);
}

TEST(DxfNumbers, ReaderTakesTheSameValuesWhereverALineFalls) {
  // Coordinates of every shape in a drawing long enough to cross many
  // 4096-byte blocks, so that numbers are read in place and from the copy
  // of a line split between blocks, with CR LF and LF line ends.
  for (const char* eol : {"\n", "\r\n"}) {
    uint64_t state = 99;
    std::vector<std::string> texts;
    while (texts.size() < 20000) {
      std::string t = RandomNumberText(state);
      double v = 0;
      // Only numbers the reader keeps (finite, within its range).
      if (!ParseDxfDouble(t, v) || !(std::fabs(v) <= kMaxDxfMagnitude)) continue;
      // A value line keeps no CR or LF; a NUL is a blank like the others.
      if (t.find_first_of("\r\n") != std::string::npos) continue;
      texts.push_back(t);
    }
    DxfText d(eol);
    d.BeginSection("ENTITIES");
    for (size_t i = 0; i + 1 < texts.size(); i += 2)
      d.G(0, "LINE").G(8, "0").G(10, texts[i]).G(20, texts[i + 1]).G(11, "0").G(21, "0");
    d.EndSection().Eof();
    RecordingUi ui;
    auto drawing = Read(d.Str(), ui);
    const auto lines = EntitiesOf(*drawing, "LINE");
    ASSERT_EQ(lines.size(), texts.size() / 2);
    for (size_t k = 0; k < lines.size(); ++k) {
      const Line_& l = As<Line_>(lines[k]);
      double x = 0, y = 0;
      ParseDxfDouble(texts[2 * k], x);
      ParseDxfDouble(texts[2 * k + 1], y);
      ASSERT_EQ(std::memcmp(&l.P1.X, &x, sizeof x), 0) << '"' << texts[2 * k] << '"';
      ASSERT_EQ(std::memcmp(&l.P1.Y, &y, sizeof y), 0) << '"' << texts[2 * k + 1] << '"';
    }
  }
}

TEST(DxfNumbers, RightAlignedCodesAndEveryLineEndTakeTheSameValues) {
  // Codes in three columns ("  8", " 10", "230") as most writers put them,
  // values of every shape, with LF, CR LF and CR alone: each coordinate
  // must be what the general parser makes of its text, and each layer
  // name must be kept.
  for (const char* eol : {"\n", "\r\n", "\r"}) {
    uint64_t state = 7;
    std::string text;
    auto group = [&](int code, const std::string& value) {
      char head[8];
      std::snprintf(head, sizeof head, "%3d", code);
      text += head;
      text += eol;
      text += value;
      text += eol;
    };
    group(0, "SECTION");
    group(2, "ENTITIES");
    std::vector<std::string> texts;
    while (texts.size() < 8000) {
      std::string t = RandomNumberText(state);
      double v = 0;
      if (!ParseDxfDouble(t, v) || !(std::fabs(v) <= kMaxDxfMagnitude)) continue;
      if (t.find_first_of("\r\n") != std::string::npos) continue;
      texts.push_back(t);
    }
    for (size_t i = 0; i + 1 < texts.size(); i += 2) {
      group(0, "CIRCLE");
      group(8, i % 4 ? "Cut" : "0");
      group(10, texts[i]);
      group(20, texts[i + 1]);
      group(40, "1." + std::to_string(i % 7));
      group(210, "0");
      group(220, "0");
      group(230, i % 3 == 0 ? "1" : i % 3 == 1 ? "1.0" : "  1.000000");
    }
    group(0, "ENDSEC");
    group(0, "EOF");
    RecordingUi ui;
    auto drawing = Read(text, ui);
    ASSERT_EQ(drawing->Layers.size(), 2u);
    EXPECT_EQ(drawing->Layers[1]->Name, "CUT");
    const auto circles = EntitiesOf(*drawing, "CIRCLE");
    ASSERT_EQ(circles.size(), texts.size() / 2);
    // Layer "0" holds the even ones, "CUT" the odd ones, each in file order.
    const size_t evens = (circles.size() + 1) / 2;
    for (size_t c = 0; c < circles.size(); ++c) {
      const size_t i = 2 * (c < evens ? 2 * c : 2 * (c - evens) + 1);
      double x = 0, y = 0, r = 0;
      ParseDxfDouble(texts[i], x);
      ParseDxfDouble(texts[i + 1], y);
      ParseDxfDouble("1." + std::to_string(i % 7), r);
      const Circle_& circle = As<Circle_>(circles[c]);
      ASSERT_EQ(std::memcmp(&circle.P1.X, &x, sizeof x), 0) << '"' << texts[i] << '"';
      ASSERT_EQ(std::memcmp(&circle.P1.Y, &y, sizeof y), 0) << '"' << texts[i + 1] << '"';
      ASSERT_EQ(circle.Radius, r);
    }
  }
}

TEST(DxfNumbers, Integers) {
  int v = 0;
  ASSERT_TRUE(ParseDxfInt("\t256", v));
  EXPECT_EQ(v, 256);
  ASSERT_TRUE(ParseDxfInt(" +7 ", v));
  EXPECT_EQ(v, 7);
  ASSERT_TRUE(ParseDxfInt("-1", v));
  EXPECT_EQ(v, -1);
  for (const char* bad : {"", "1.0", "99999999999", "7a", "+-3"})
    EXPECT_FALSE(ParseDxfInt(bad, v)) << bad;
}

TEST(DxfReadException, TextCarriesTheLineNumberWhenGiven) {
  EXPECT_STREQ(DXF_read_exception("Bad", 12).what(),
               "Bad\r\nError occured at or near line number 12");
  EXPECT_STREQ(DXF_read_exception("Bad", 0).what(), "Bad\r\nError occured at or near line number 0");
  EXPECT_STREQ(DXF_read_exception("Bad", -1).what(), "Bad");
  EXPECT_EQ(DXF_read_exception("Bad", 5).Line(), 5);
}

// ---------------------------------------------------------------- lines and groups

std::string TwoEntities(const std::string& eol) {
  DxfText t(eol);
  t.BeginSection("ENTITIES").Line("A", 1, 2, 3, 4);
  t.G(0, "CIRCLE").G(8, "B").G(10, "5").G(20, "6").G(30, "0").G(40, "2.5");
  t.EndSection().Eof();
  return t.Str();
}

TEST(DxfReaderLines, CrOnlyCrLfAndLfReadAlike) {
  for (const char* eol : {"\n", "\r\n", "\r"}) {
    RecordingUi ui;
    auto d = Read(TwoEntities(eol), ui);
    ASSERT_EQ(CountOf(*d, "LINE"), 1u) << "eol " << int(eol[0]);
    ASSERT_EQ(CountOf(*d, "CIRCLE"), 1u);
    const auto& l = As<Line_>(EntitiesOf(*d, "LINE")[0]);
    EXPECT_EQ(l.P1.X, 1);
    EXPECT_EQ(l.P2.Y, 4);
    EXPECT_EQ(As<Circle_>(EntitiesOf(*d, "CIRCLE")[0]).Radius, 2.5);
    EXPECT_TRUE(ui.Calls.empty());
  }
}

TEST(DxfReaderLines, CrLfSplitAcrossBlockBoundaryCountsAsOneLineEnd) {
  // Pad with a comment so that a CR is the last byte of the first block.
  std::string head = "999\r\n";
  std::string pad(4096 - head.size() - 1, 'x');
  std::string text = head + pad + "\r\n" + "0\r\nSECTION\r\n2\r\nENTITIES\r\n0\r\nLINE\r\n10\r\n1\r\n"
                     "20\r\n2\r\n11\r\n3\r\n21\r\n4\r\n0\r\nENDSEC\r\n0\r\nEOF\r\n";
  ASSERT_EQ(text[4095], '\r');
  RecordingUi ui;
  auto d = Read(text, ui);
  ASSERT_EQ(CountOf(*d, "LINE"), 1u);
  EXPECT_TRUE(ui.Calls.empty());
}

TEST(DxfReaderLines, LinesAcrossEveryBlockBoundaryPosition) {
  for (const std::string eol : {"\n", "\r\n", "\r"}) {
    for (size_t shift = 0; shift < 24; ++shift) {
      DxfText t(eol);
      t.G(999, std::string(200, 'c'));
      for (int k = 0; k < 19; ++k) t.G(999, std::string(200 + (k == 0 ? shift : 0), 'p'));
      t.BeginSection("ENTITIES");
      for (int i = 0; i < 400; ++i) {
        t.G(0, "LINE").G(8, i % 2 ? "A" : "BB").G(10, std::to_string(i)).G(20, "-0.125");
        t.G(11, "12345.678901").G(21, std::to_string(-i));
        if (i == 3) t.G(1, std::string(300, 'z'));  // overlong, crosses a block
      }
      t.EndSection().Eof();
      RecordingUi ui;
      auto d = Read(t.Str(), ui);
      ASSERT_TRUE(ui.Calls.empty()) << shift << " " << ui.Calls[0].Text;
      const auto lines = EntitiesOf(*d, "LINE");
      ASSERT_EQ(lines.size(), 400u) << shift;
      double sum = 0;
      for (const DXF_Entity* e : lines) {
        const auto& l = As<Line_>(e);
        EXPECT_EQ(l.P1.Y, -0.125);
        EXPECT_EQ(l.P2.X, 12345.678901);
        sum += l.P1.X + l.P2.Y;
      }
      EXPECT_EQ(sum, 0.0);
    }
  }
}

TEST(DxfReaderLines, BlankLinesBeforeCodesAreSkippedAndBlankValuesAreEmpty) {
  std::string text =
      "\n  \n0\nSECTION\n\n2\nENTITIES\n\n\n0\nTEXT\n8\nT\n10\n1\n20\n2\n40\n3\n1\n\n"
      "\t\n0\nLINE\n10\n1\n20\n1\n11\n2\n21\n2\n0\nENDSEC\n0\nEOF\n";
  RecordingUi ui;
  auto d = Read(text, ui);
  ASSERT_EQ(CountOf(*d, "TEXT"), 1u);
  EXPECT_EQ(As<Text_>(EntitiesOf(*d, "TEXT")[0]).Text, "");
  EXPECT_EQ(As<Text_>(EntitiesOf(*d, "TEXT")[0]).Height, 3);
  EXPECT_EQ(CountOf(*d, "LINE"), 1u);
  EXPECT_TRUE(ui.Calls.empty());
}

TEST(DxfReaderLines, TabsAndBlanksAroundValuesAndCodes) {
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "LWPOLYLINE").G(8, " layer\t").G(90, "2").G(70, "\t1");
  t.Raw(" 10").Raw("\t1.5 ").Raw(" 20").Raw("+2.").G(10, "  3").G(20, ".5");
  t.Raw("  0").Raw("ENDSEC").Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  ASSERT_EQ(d->Layers.size(), 1u);
  EXPECT_EQ(d->Layers[0]->Name, "LAYER");
  const auto& p = As<Polyline_>(EntitiesOf(*d, "POLYLINE").at(0));
  EXPECT_TRUE(p.Closed);
  ASSERT_EQ(p.Vertices.size(), 3u);
  EXPECT_EQ(p.Vertices[0].X, 1.5);
  EXPECT_EQ(p.Vertices[0].Y, 2.0);
  EXPECT_EQ(p.Vertices[1].Y, 0.5);
  EXPECT_TRUE(ui.Calls.empty());
}

TEST(DxfReaderLines, OverlongLinesAreCutAndReadingStaysInStep) {
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "TEXT").G(1, std::string(1000, 'a')).G(10, "1");
  t.Line("0", 0, 0, 1, 1).EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  ASSERT_EQ(CountOf(*d, "TEXT"), 1u);
  EXPECT_EQ(As<Text_>(EntitiesOf(*d, "TEXT")[0]).Text, std::string(255, 'a'));
  EXPECT_EQ(CountOf(*d, "LINE"), 1u);
}

TEST(DxfReaderLines, NonIntegerGroupCodeEndsReadingLikeTheEndOfTheFile) {
  DxfText t;
  t.BeginSection("ENTITIES").Line("0", 0, 0, 1, 0).Line("0", 1, 0, 2, 0);
  t.Raw("1O").Raw("x");  // letter O, not a zero
  t.Line("0", 2, 0, 3, 0).Line("0", 3, 0, 4, 0).EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  // The line cut off by the "end" cannot be completed; the one before it is kept.
  ASSERT_EQ(CountOf(*d, "LINE"), 1u);
  EXPECT_EQ(As<Line_>(EntitiesOf(*d, "LINE")[0]).P2.X, 1);
  ASSERT_EQ(ui.Calls.size(), 2u);
  EXPECT_EQ(ui.Calls[0].Text.rfind("Error reading LINE entity\r\n", 0), 0u);
  EXPECT_EQ(ui.Calls[0].Caption, "DXF read error warning");
  EXPECT_EQ(ui.Calls[1].Text, kNoEntities);
  EXPECT_EQ(ui.Calls[1].Caption, "DXF Read Error");
  EXPECT_EQ(ui.Calls[1].Buttons, MsgButtons::Ok);
}

// ---------------------------------------------------------------- sections

TEST(DxfReaderSections, MissingEntitiesSectionGivesAnEmptyDrawingAndOneMessage) {
  DxfText t;
  t.BeginSection("HEADER").G(9, "$ACADVER").G(1, "AC1009").EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  EXPECT_TRUE(d->Layers.empty());
  ASSERT_EQ(ui.Calls.size(), 1u);
  EXPECT_EQ(ui.Calls[0].Text, kNoEntities);  // no line number
  EXPECT_EQ(ui.Calls[0].Caption, "DXF Read Error");
  EXPECT_EQ(ui.Calls[0].Icon, MsgIcon::Warning);
}

TEST(DxfReaderSections, EmptyFileAndGarbage) {
  for (const std::string& text : {std::string(), std::string("\n\n\n"), std::string("hello\nworld"),
                                 std::string("0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n")}) {
    RecordingUi ui;
    auto d = Read(text, ui);
    ASSERT_FALSE(ui.Calls.empty());
    EXPECT_EQ(ui.Calls.back().Text, kNoEntities);
    EXPECT_EQ(CountOf(*d, "LINE"), 0u);
  }
}

TEST(DxfReaderSections, TruncatedSectionKeepsWhatWasRead) {
  DxfText t;
  t.BeginSection("ENTITIES").Line("0", 0, 0, 1, 0).Line("0", 1, 0, 2, 0).G(0, "CIRCLE");
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  EXPECT_EQ(CountOf(*d, "LINE"), 2u);
  ASSERT_EQ(ui.Calls.size(), 2u);
  EXPECT_EQ(ui.Calls[0].Text.rfind("Error reading CIRCLE entity\r\n", 0), 0u);
  EXPECT_EQ(ui.Calls[1].Text, kNoEntities);
}

TEST(DxfReaderSections, HintShownWhileEntitiesAreReadAndProgressPerBlock) {
  DxfText t;
  t.BeginSection("ENTITIES");
  for (int i = 0; i < 2000; ++i) t.Line("0", i, 0, i + 1, 0);
  t.EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  EXPECT_EQ(CountOf(*d, "LINE"), 2000u);
  ASSERT_EQ(ui.Hints.size(), 2u);
  EXPECT_EQ(ui.Hints[0], "Reading DXF file...");
  EXPECT_EQ(ui.Hints[1], "");
  const int blocks = static_cast<int>(t.Str().size() / 4096);
  EXPECT_EQ(ui.ProgressMax, blocks);
  EXPECT_GE(ui.ProgressSteps, blocks);
  EXPECT_LE(ui.ProgressSteps, blocks + 1);
}

DxfText WithBlocks(bool withBlock) {
  DxfText t;
  t.BeginSection("HEADER").G(9, "$EXTMIN").G(10, "0").EndSection();
  t.BeginSection("BLOCKS");
  if (withBlock) {
    t.G(0, "BLOCK").G(8, "0").G(2, "Door").G(70, "0").G(10, "5").G(20, "6").G(30, "0");
    t.G(0, "INSERT").G(8, "0").G(2, "Inner").G(10, "0");
    t.Line("BLK", 0, 0, 9, 9).Line("BLK", 9, 9, 0, 0);
    t.G(0, "ENDBLK").G(8, "0");
    t.G(0, "BLOCK").G(8, "0").G(2, "Second").G(10, "0").G(20, "0").G(30, "0");
    t.Line("BLK", 0, 0, 9, 9).G(0, "ENDBLK");
  }
  t.EndSection();
  t.BeginSection("ENTITIES");
  t.Line("WALLS", 0, 0, 1, 0);
  t.G(0, "CIRCLE").G(8, "0").G(10, "1").G(20, "1").G(40, "1");
  t.EndSection().Eof();
  return t;
}

TEST(DxfReaderSections, FirstBlockBecomesABlockOnLayerZeroAndItsEntitiesAreNotKept) {
  RecordingUi ui;
  auto d = Read(WithBlocks(true).Str(), ui);
  ASSERT_GE(d->Layers.size(), 2u);
  EXPECT_EQ(d->Layers[0]->Name, "0");
  const auto blocks = EntitiesOf(*d, "BLOCK");
  ASSERT_EQ(blocks.size(), 1u);  // only the first block is looked at
  const auto& b = As<Block_>(blocks[0]);
  EXPECT_EQ(b.Name, "Door");
  EXPECT_EQ(b.Base.X, 5);
  EXPECT_EQ(b.Base.Y, 6);
  // The block's lines are not drawing entities.
  ASSERT_EQ(CountOf(*d, "LINE"), 1u);
  EXPECT_EQ(As<Line_>(EntitiesOf(*d, "LINE")[0]).P2.X, 1);
  EXPECT_EQ(CountOf(*d, "CIRCLE"), 1u);
  // The INSERT inside the block was met on the way.
  ASSERT_EQ(ui.Calls.size(), 1u);
  EXPECT_EQ(ui.Calls[0].Text,
            "A \"BLOCK\" was read but not inserted.  Explode all Blocks before loading.");
}

TEST(DxfReaderSections, EmptyBlocksSectionAndNoBlocksSection) {
  RecordingUi ui;
  auto d = Read(WithBlocks(false).Str(), ui);
  EXPECT_EQ(CountOf(*d, "LINE"), 1u);
  EXPECT_EQ(CountOf(*d, "CIRCLE"), 1u);
  EXPECT_EQ(CountOf(*d, "BLOCK"), 0u);
  EXPECT_TRUE(ui.Calls.empty());

  RecordingUi ui2;
  auto d2 = Read(TwoEntities("\n"), ui2);
  EXPECT_EQ(CountOf(*d2, "LINE"), 1u);
  EXPECT_TRUE(ui2.Calls.empty());
}

TEST(DxfReaderSections, LayersAndListsInOrderOfFirstAppearance) {
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "CIRCLE").G(8, "walls").G(10, "0").G(40, "1");
  t.Line("Doors", 0, 0, 1, 1);
  t.Line("WALLS", 1, 1, 2, 2);
  t.G(0, "POINT").G(10, "3").G(20, "4");  // no layer group
  t.G(0, "CIRCLE").G(8, "WaLLs").G(10, "7").G(40, "2");
  t.EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  ASSERT_EQ(d->Layers.size(), 3u);
  EXPECT_EQ(d->Layers[0]->Name, "WALLS");
  EXPECT_EQ(d->Layers[1]->Name, "DOORS");
  EXPECT_EQ(d->Layers[2]->Name, "");
  const DXF_Layer& walls = *d->Layers[0];
  ASSERT_EQ(walls.Lists.size(), 2u);
  EXPECT_EQ(walls.ListNames, (std::vector<std::string>{"CIRCLE", "LINE"}));
  EXPECT_EQ(walls.Lists[0]->ClassName, "CIRCLE");
  EXPECT_EQ(walls.Lists[0]->Layer, &walls);
  ASSERT_EQ(walls.Lists[0]->Entities.size(), 2u);
  EXPECT_EQ(As<Circle_>(walls.Lists[0]->Entities[1].get()).Radius, 2);
  EXPECT_EQ(d->Layers[2]->Lists.at(0)->ClassName, "POINT");
}

// ---------------------------------------------------------------- failures

std::string WithBadNumber(std::string& badLine) {
  DxfText t;
  t.BeginSection("ENTITIES").Line("0", 0, 0, 1, 0);
  t.G(0, "LINE").G(10, "1,5").G(20, "0");
  t.Line("0", 2, 0, 3, 0).EndSection().Eof();
  badLine = "1,5";
  return t.Str();
}

TEST(DxfReaderFailures, BadNumberWarnsWithLineNumberAndOkGoesOn) {
  std::string bad;
  const std::string text = WithBadNumber(bad);
  RecordingUi ui;
  auto d = Read(text, ui);
  ASSERT_EQ(ui.Calls.size(), 1u);
  EXPECT_EQ(ui.Calls[0].Text, "Invalid Floating point conversion\r\nError occured at or near line number " +
                                  std::to_string(LineOf(text, bad)));
  EXPECT_EQ(ui.Calls[0].Caption, "DXF read error warning");
  EXPECT_EQ(ui.Calls[0].Buttons, MsgButtons::OkCancel);
  EXPECT_EQ(CountOf(*d, "LINE"), 2u);  // the bad one is lost, the next is read
}

TEST(DxfReaderFailures, CancelEndsReadingKeepingWhatWasRead) {
  std::string bad;
  RecordingUi ui;
  ui.Answers.push_back(MsgResult::Cancel);
  auto d = Read(WithBadNumber(bad), ui);
  ASSERT_EQ(ui.Calls.size(), 2u);
  EXPECT_EQ(ui.Calls[1].Text, "User aborted");
  EXPECT_EQ(ui.Calls[1].Caption, "DXF Read Error");
  EXPECT_EQ(ui.Calls[1].Buttons, MsgButtons::Ok);
  EXPECT_EQ(CountOf(*d, "LINE"), 1u);
  EXPECT_EQ(ui.Hints.back(), "");
}

TEST(DxfReaderFailures, BadIntegerAndEntityCutOffByTheEnd) {
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "CIRCLE").G(62, "red").G(40, "1");
  t.G(0, "ARC").G(10, "1");
  RecordingUi ui;
  const std::string text = t.Str();
  auto d = Read(text, ui);
  ASSERT_EQ(ui.Calls.size(), 3u);
  EXPECT_EQ(ui.Calls[0].Text, "Invalid Integer conversion\r\nError occured at or near line number " +
                                  std::to_string(LineOf(text, "red")));
  EXPECT_EQ(ui.Calls[1].Text.rfind("Error reading ARC entity\r\n", 0), 0u) << ui.Calls[1].Text;
  EXPECT_EQ(ui.Calls[2].Text, kNoEntities);
}

TEST(DxfReaderFailures, MissingFileNamesTheFileAndTheReason) {
  RecordingUi ui;
  const std::string path = "/nonexistent-folder/drawing.dxf";
  try {
    ReadDxfFile(path, ui);
    FAIL() << "no exception";
  } catch (const DxfFileError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find(path), std::string::npos) << what;
    EXPECT_NE(what.find("No such file"), std::string::npos) << what;
  }
  EXPECT_TRUE(ui.Calls.empty());
  EXPECT_THROW(ReadDxfFile(TARNAK_CORPUS_DIR "/dxf", ui), DxfFileError);
}

// ---------------------------------------------------------------- entities

TEST(DxfReaderEntities, InsertAndSplineNotesOncePerFile) {
  DxfText t;
  t.BeginSection("ENTITIES");
  for (int i = 0; i < 3; ++i) {
    t.G(0, "INSERT").G(2, "B").G(10, "0").G(20, "0");
    t.G(0, "SPLINE").G(70, "8").G(10, "0").G(20, "0").G(10, "1").G(20, "1");
  }
  t.Line("0", 0, 0, 1, 1).EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  ASSERT_EQ(ui.Calls.size(), 2u);
  EXPECT_EQ(ui.Calls[0].Text,
            "A \"BLOCK\" was read but not inserted.  Explode all Blocks before loading.");
  EXPECT_EQ(ui.Calls[1].Text,
            "A SPLINE was detected but not read.  Explode all SPLINE's before loading");
  EXPECT_EQ(ui.Calls[1].Buttons, MsgButtons::Ok);
  EXPECT_EQ(CountOf(*d, "LINE"), 1u);
}

TEST(DxfReaderEntities, UnknownEntitiesAndLowerCaseNamesAreSkipped) {
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "HATCH").G(10, "not a number").G(0, "line").G(10, "x");
  t.G(0, "VERTEX").G(10, "1").G(0, "SEQEND");
  t.Line("0", 0, 0, 1, 1).EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  EXPECT_TRUE(ui.Calls.empty());
  EXPECT_EQ(CountOf(*d, "LINE"), 1u);
}

TEST(DxfReaderEntities, ArcAnglesBroughtIntoRangeOnceAndConvertedToRadians) {
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "ARC").G(10, "0").G(20, "0").G(40, "1").G(50, "0").G(51, "360");
  t.G(0, "ARC").G(10, "0").G(20, "0").G(40, "1").G(50, "370").G(51, "-90");
  t.G(0, "ARC").G(10, "0").G(20, "0").G(40, "1").G(50, "-400").G(51, "750");
  t.EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  const auto arcs = EntitiesOf(*d, "ARC");
  ASSERT_EQ(arcs.size(), 3u);
  EXPECT_EQ(As<Arc_>(arcs[0]).StartAngle, 0.0);
  EXPECT_DOUBLE_EQ(As<Arc_>(arcs[0]).EndAngle, kTwoPi);
  EXPECT_DOUBLE_EQ(As<Arc_>(arcs[1]).StartAngle, 10 * kPi / 180);
  EXPECT_DOUBLE_EQ(As<Arc_>(arcs[1]).EndAngle, 270 * kPi / 180);
  EXPECT_DOUBLE_EQ(As<Arc_>(arcs[2]).StartAngle, -40 * kPi / 180);
  EXPECT_DOUBLE_EQ(As<Arc_>(arcs[2]).EndAngle, 390 * kPi / 180);
}

std::string MirroredEntities() {
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "CIRCLE").G(10, "3").G(20, "4").G(30, "0").G(40, "1.5");
  t.G(210, "0").G(220, "0").G(230, "-1");
  t.G(0, "LINE").G(10, "3").G(20, "4").G(11, "5").G(21, "6");
  t.G(210, "0").G(220, "0").G(230, "-1");
  // OCS arc about (10, 0) from 0 to 90 degrees: in world coordinates it
  // runs from (-12, 0) through (-10 - r cos 45, r sin 45) to (-10, 2).
  t.G(0, "ARC").G(10, "10").G(20, "0").G(40, "2").G(50, "0").G(51, "90");
  t.G(210, "0").G(220, "0").G(230, "-2");
  t.EndSection().Eof();
  return t.Str();
}

TEST(DxfReaderEntities, DownwardExtrusionMirrorsCirclesButNotLines) {
  RecordingUi ui;
  auto d = Read(MirroredEntities(), ui);
  const auto& c = As<Circle_>(EntitiesOf(*d, "CIRCLE").at(0));
  EXPECT_EQ(c.P1.X, -3);
  EXPECT_EQ(c.P1.Y, 4);
  EXPECT_EQ(c.Radius, 1.5);
  ASSERT_TRUE(c.Ocs.has_value());
  const auto& l = As<Line_>(EntitiesOf(*d, "LINE").at(0));
  EXPECT_EQ(l.P1.X, 3);
  EXPECT_EQ(l.P2.X, 5);
  EXPECT_FALSE(l.Ocs.has_value());
}

TEST(DxfReaderEntities, MirroredArcCoversTheMirroredPoints) {
  RecordingUi ui;
  auto d = Read(MirroredEntities(), ui);
  const auto& a = As<Arc_>(EntitiesOf(*d, "ARC").at(0));
  EXPECT_DOUBLE_EQ(a.P1.X, -10);
  EXPECT_EQ(a.Radius, 2);
  // Counter-clockwise from StartAngle to EndAngle must pass the mirror
  // image of the OCS arc's middle point (angle 135 degrees in world).
  EXPECT_NEAR(a.StartAngle, kPi / 2, 1e-12);
  EXPECT_NEAR(a.EndAngle, kPi, 1e-12);
  TTNEntity e = MakeArc(a.P1.X, a.P1.Y, a.Radius, a.StartAngle, a.EndAngle);
  const Point2 mid = ArcMidPoint(e);
  EXPECT_NEAR(mid.X, -10 - std::sqrt(2.0), 1e-9);
  EXPECT_NEAR(mid.Y, std::sqrt(2.0), 1e-9);
}

TEST(DxfReaderEntities, TiltedExtrusionUsesTheArbitraryAxis) {
  DxfText t;
  t.BeginSection("ENTITIES");
  // Extrusion along +X: OCS X axis = Wz x N = (0, 1, 0), Y axis = N x Ax = (0, 0, 1).
  t.G(0, "CIRCLE").G(10, "1").G(20, "2").G(30, "3").G(40, "1").G(210, "5").G(220, "0").G(230, "0");
  t.EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  const auto& c = As<Circle_>(EntitiesOf(*d, "CIRCLE").at(0));
  EXPECT_NEAR(c.P1.X, 3, 1e-12);
  EXPECT_NEAR(c.P1.Y, 1, 1e-12);
  EXPECT_NEAR(c.P1.Z, 2, 1e-12);
  EXPECT_NEAR(c.Extrusion.X, 1, 1e-12);  // normalised
}

TEST(DxfReaderEntities, EllipseInWorldCoordinatesWithDownwardExtrusion) {
  // Taken from a real drawing: the ellipse arc ends where a line starts,
  // at (-57.512054, 33.130266).
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "ELLIPSE").G(8, "PROFIL").G(10, "-57.497888").G(20, "33.212944").G(30, "0.0");
  t.G(11, "0.0967811722054726").G(21, "-0.0367973200431473").G(31, "0.0");
  t.G(210, "0.0").G(220, "0.0").G(230, "-1.0");
  t.G(40, "0.804845").G(41, "1.414256940060328").G(42, "4.465496015199978");
  t.EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  const auto& e = As<Ellipse_>(EntitiesOf(*d, "ELLIPSE").at(0));
  EXPECT_EQ(e.P1.X, -57.497888);
  EXPECT_LT(e.StartParam, e.EndParam);
  // Traced counter-clockwise, the arc ends at the point where it started
  // in the file's own direction.
  const DxfPoint end = e.PointAt(e.EndParam);
  EXPECT_NEAR(end.X, -57.512054, 1e-6);
  EXPECT_NEAR(end.Y, 33.130266, 1e-6);
}

TEST(DxfReaderEntities, TextFields) {
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "TEXT").G(8, "T").G(10, "1").G(20, "2").G(40, "2.5").G(50, "30").G(1, "Hello").G(72, "1");
  t.G(0, "TEXT").G(10, "1").G(20, "2").G(11, "7").G(21, "8").G(72, "2").G(73, "3");
  t.G(0, "MTEXT").G(10, "4").G(20, "5").G(1, "A\\PB").G(11, "0").G(21, "-1");
  t.G(0, "ATTDEF").G(10, "1").G(1, "d").G(0, "ATTRIB").G(10, "2").G(1, "r");
  t.EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  const auto texts = EntitiesOf(*d, "TEXT");
  ASSERT_EQ(texts.size(), 3u);
  const auto& a = As<Text_>(texts[0]);
  EXPECT_EQ(a.Text, "Hello");
  EXPECT_EQ(a.Height, 2.5);
  EXPECT_EQ(a.Rotation, 30);
  EXPECT_EQ(a.HAlign, 1);
  EXPECT_EQ(a.Align.X, 1);  // no alignment point: the insertion point
  EXPECT_EQ(a.Align.Y, 2);
  EXPECT_EQ(As<Text_>(texts[1]).Align.X, 7);
  EXPECT_EQ(As<Text_>(texts[1]).HAlign, 2);
  EXPECT_EQ(As<Text_>(texts[2]).Align.Y, -1);
  EXPECT_EQ(As<Text_>(texts[2]).Text, "A\\PB");
  ASSERT_EQ(CountOf(*d, "ATTDEF"), 1u);
  EXPECT_EQ(EntitiesOf(*d, "ATTDEF")[0]->Kind(), DxfKind::Attdef);
  EXPECT_EQ(EntitiesOf(*d, "ATTRIB").at(0)->Kind(), DxfKind::Attrib);
}

TEST(DxfReaderEntities, SolidAndTraceBecomeEdges) {
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "SOLID").G(8, "S").G(62, "3").G(10, "0").G(20, "0").G(11, "4").G(21, "0");
  t.G(12, "0").G(22, "3").G(13, "4").G(23, "3");
  t.G(0, "TRACE").G(8, "T").G(10, "0").G(20, "0").G(11, "4").G(21, "0");
  t.G(12, "2").G(22, "3").G(13, "2").G(23, "3");
  t.EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  ASSERT_EQ(d->Layers.size(), 2u);
  const auto& quad = d->Layers[0]->Lists.at(0)->Entities;
  ASSERT_EQ(quad.size(), 4u);
  // Outline 1-2, 2-4, 4-3, 3-1 runs round the quadrilateral.
  const double want[4][4] = {{0, 0, 4, 0}, {4, 0, 4, 3}, {4, 3, 0, 3}, {0, 3, 0, 0}};
  for (int i = 0; i < 4; ++i) {
    const auto& l = As<Line_>(quad[static_cast<size_t>(i)].get());
    EXPECT_EQ(l.P1.X, want[i][0]);
    EXPECT_EQ(l.P1.Y, want[i][1]);
    EXPECT_EQ(l.P2.X, want[i][2]);
    EXPECT_EQ(l.P2.Y, want[i][3]);
    EXPECT_EQ(l.ColourNumber, 3);
  }
  const auto& tri = d->Layers[1]->Lists.at(0)->Entities;
  ASSERT_EQ(tri.size(), 3u);
  EXPECT_EQ(As<Line_>(tri[2].get()).P1.X, 0);  // 1-3
  EXPECT_EQ(As<Line_>(tri[2].get()).P2.X, 2);
}

TEST(DxfReaderEntities, Face3DWithThreeAndFourCorners) {
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "3DFACE").G(10, "0").G(20, "0").G(30, "1").G(11, "1").G(21, "0").G(31, "1");
  t.G(12, "1").G(22, "1").G(32, "1").G(13, "1").G(23, "1").G(33, "1");
  t.G(0, "3DFACE").G(10, "0").G(20, "0").G(11, "1").G(21, "0");
  t.G(12, "1").G(22, "1").G(13, "0").G(23, "1");
  t.EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  const auto faces = EntitiesOf(*d, "3DFACE");
  ASSERT_EQ(faces.size(), 2u);
  const auto& f3 = As<Face3D_>(faces[0]);
  EXPECT_EQ(f3.Vertices.size(), 3u);
  EXPECT_TRUE(f3.Closed);
  EXPECT_TRUE(f3.IsPolyline());
  EXPECT_EQ(f3.Vertices[2].Z, 1);
  EXPECT_EQ(As<Face3D_>(faces[1]).Vertices.size(), 4u);
  EXPECT_EQ(As<Face3D_>(faces[1]).Vertices[3].Y, 1);
}

// ---------------------------------------------------------------- polylines

TEST(DxfReaderPolylines, ClosedLwPolylineGetsTheFirstVertexAgainAndKeepsBulges) {
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "LWPOLYLINE").G(8, "P").G(90, "4").G(70, "1").G(43, "0");
  t.G(10, "0").G(20, "0").G(42, "0.5");
  t.G(10, "10").G(20, "0");
  t.G(10, "10").G(20, "10").G(40, "1").G(41, "1").G(42, "-1");
  t.G(10, "0").G(20, "10");
  t.G(0, "LWPOLYLINE").G(70, "1").G(10, "0").G(20, "0").G(10, "5").G(20, "0").G(10, "0.0004").G(20, "0");
  t.EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  const auto pls = EntitiesOf(*d, "POLYLINE");
  ASSERT_EQ(pls.size(), 2u);
  const auto& p = As<Polyline_>(pls[0]);
  ASSERT_EQ(p.Vertices.size(), 5u);
  EXPECT_EQ(p.Vertices[4].X, 0);
  EXPECT_EQ(p.Vertices[4].Y, 0);
  EXPECT_EQ(p.Vertices[0].W, 0.5);
  EXPECT_EQ(p.Vertices[2].W, -1);
  EXPECT_TRUE(p.Closed);
  EXPECT_TRUE(p.IsClosed());
  // Last vertex within 0.0005 of the first: nothing appended.
  EXPECT_EQ(As<Polyline_>(pls[1]).Vertices.size(), 3u);
  EXPECT_TRUE(ui.Calls.empty());
}

TEST(DxfReaderPolylines, LwPolylineVertexCutOffByTheEnd) {
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "LWPOLYLINE").G(10, "0").G(20, "0").G(10, "1").G(20, "1").G(10, "2");
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  ASSERT_EQ(CountOf(*d, "POLYLINE"), 1u);
  EXPECT_EQ(As<Polyline_>(EntitiesOf(*d, "POLYLINE")[0]).Vertices.size(), 2u);
  ASSERT_EQ(ui.Calls.size(), 1u);
  EXPECT_EQ(ui.Calls[0].Text, kNoEntities);
}

TEST(DxfReaderPolylines, LwPolylineMeshFlagsFail) {
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "LWPOLYLINE").G(70, "16").G(10, "0").G(20, "0");
  t.Line("0", 0, 0, 1, 1).EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  ASSERT_EQ(ui.Calls.size(), 1u);
  EXPECT_EQ(ui.Calls[0].Text.rfind("Error reading POLYLINE entity\r\n", 0), 0u);
  EXPECT_EQ(CountOf(*d, "POLYLINE"), 0u);
  EXPECT_EQ(CountOf(*d, "LINE"), 1u);
}

TEST(DxfReaderPolylines, PolylinesOfAnyLengthAreReadWhole) {
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "POLYLINE").G(8, "P").G(66, "1").G(70, "1").G(40, "0.5");
  for (int i = 0; i < 20000; ++i)
    t.G(0, "VERTEX").G(8, "P").G(10, std::to_string(i)).G(20, std::to_string(i % 7)).G(42, i == 3 ? "0.25" : "0");
  t.G(0, "SEQEND").G(8, "P");
  t.G(0, "LWPOLYLINE").G(90, "20000");
  for (int i = 0; i < 20000; ++i) t.G(10, std::to_string(i)).G(20, "1");
  t.EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  EXPECT_TRUE(ui.Calls.empty());
  const auto pls = EntitiesOf(*d, "POLYLINE");
  ASSERT_EQ(pls.size(), 2u);
  const auto& p = As<Polyline_>(pls[0]);
  ASSERT_EQ(p.Vertices.size(), 20001u);  // closed: first vertex appended
  EXPECT_EQ(p.Vertices[19999].X, 19999);
  EXPECT_EQ(p.Vertices[3].W, 0.25);
  EXPECT_EQ(p.Width, 0.25);
  EXPECT_EQ(As<Polyline_>(pls[1]).Vertices.size(), 20000u);
  EXPECT_EQ(d->NumPolylines(), 2);
  EXPECT_EQ(d->NumEntitiesAndVertices(), 40001);
}

TEST(DxfReaderPolylines, MissingSeqendDoesNotSwallowTheFollowingEntities) {
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "POLYLINE").G(66, "1").G(70, "0");
  t.G(0, "VERTEX").G(10, "0").G(20, "0").G(0, "VERTEX").G(10, "1").G(20, "0");
  t.Line("0", 0, 0, 1, 1).EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  EXPECT_TRUE(ui.Calls.empty());
  EXPECT_EQ(As<Polyline_>(EntitiesOf(*d, "POLYLINE").at(0)).Vertices.size(), 2u);
  EXPECT_EQ(CountOf(*d, "LINE"), 1u);
}

DxfText& MeshVertex(DxfText& t, double x, double y, const char* flags) {
  return t.G(0, "VERTEX").G(10, DxfText::Num(x)).G(20, DxfText::Num(y)).G(30, "1").G(70, flags);
}

TEST(DxfReaderPolylines, PolygonMeshNeedsMTimesNVertices) {
  DxfText t;
  t.BeginSection("ENTITIES");
  // 2 x 3 mesh, closed in N.
  t.G(0, "POLYLINE").G(8, "M").G(66, "1").G(70, "48").G(71, "2").G(72, "3");
  for (int i = 0; i < 6; ++i) MeshVertex(t, i, i, "64");
  t.G(0, "SEQEND");
  // Wrong count: dropped without a word.
  t.G(0, "POLYLINE").G(70, "16").G(71, "2").G(72, "2");
  MeshVertex(t, 0, 0, "64");
  t.G(0, "SEQEND");
  // Sizes whose product overflows 32 bits must not match zero vertices.
  t.G(0, "POLYLINE").G(70, "16").G(71, "65536").G(72, "65536").G(0, "SEQEND");
  t.G(0, "POLYLINE").G(70, "16").G(71, "-2147483648").G(72, "2147483647").G(0, "SEQEND");
  // A vertex without the mesh flag spoils the mesh.
  t.G(0, "POLYLINE").G(70, "16").G(71, "1").G(72, "1");
  MeshVertex(t, 0, 0, "0");
  t.G(0, "SEQEND");
  t.EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  const auto meshes = EntitiesOf(*d, "POLYGON_MESH");
  ASSERT_EQ(meshes.size(), 1u);
  const auto& m = As<Polygon_mesh_>(meshes[0]);
  EXPECT_EQ(m.M, 2);
  EXPECT_EQ(m.N, 3);
  EXPECT_FALSE(m.ClosedM);
  EXPECT_TRUE(m.ClosedN);
  EXPECT_EQ(m.Vertices.size(), 6u);
  EXPECT_EQ(m.Vertices[5].Z, 1);
  EXPECT_FALSE(m.Ocs.has_value());
  EXPECT_TRUE(m.IsPolyline());
  ASSERT_EQ(ui.Calls.size(), 1u);
  EXPECT_EQ(ui.Calls[0].Text.rfind("Error reading POLYLINE entity\r\n", 0), 0u);
}

TEST(DxfReaderPolylines, PolyfaceMeshVerticesAndFaces) {
  DxfText t;
  t.BeginSection("ENTITIES");
  t.G(0, "POLYLINE").G(66, "1").G(70, "64").G(71, "4").G(72, "2");
  MeshVertex(t, 0, 0, "192");
  MeshVertex(t, 1, 0, "192");
  MeshVertex(t, 1, 1, "192");
  MeshVertex(t, 0, 1, "192");
  t.G(0, "VERTEX").G(10, "0").G(20, "0").G(70, "128").G(71, "1").G(72, "-2").G(73, "3");
  t.G(0, "VERTEX").G(10, "0").G(20, "0").G(70, "128").G(71, "-2147483648").G(72, "3").G(73, "4").G(74, "1");
  t.G(0, "SEQEND");
  t.G(0, "POLYLINE").G(70, "64");
  MeshVertex(t, 0, 0, "32");  // neither a mesh vertex nor a face
  t.G(0, "SEQEND");
  t.EndSection().Eof();
  RecordingUi ui;
  auto d = Read(t.Str(), ui);
  const auto meshes = EntitiesOf(*d, "POLYFACE_MESH");
  ASSERT_EQ(meshes.size(), 1u);
  const auto& m = As<Polyface_mesh_>(meshes[0]);
  EXPECT_EQ(m.Vertices.size(), 4u);
  ASSERT_EQ(m.Faces.size(), 2u);
  EXPECT_EQ(m.Faces[0].V[0], 0);
  EXPECT_EQ(m.Faces[0].V[1], 1);  // invisible edge: abs(-2) - 1
  EXPECT_EQ(m.Faces[0].V[2], 2);
  EXPECT_EQ(m.Faces[0].V[3], -1);  // no fourth vertex
  EXPECT_EQ(m.Faces[1].V[0], 2147483647);
  EXPECT_EQ(ui.Calls.size(), 1u);
}

// ---------------------------------------------------------------- files

// Entity counts per class name over the whole drawing.
std::map<std::string, size_t> ClassCounts(const DXF_Object& d) {
  std::map<std::string, size_t> counts;
  for (const auto& layer : d.Layers)
    for (const auto& list : layer->Lists) counts[list->ClassName] += list->Entities.size();
  return counts;
}

std::string Corpus(const std::string& name) { return std::string(TARNAK_CORPUS_DIR) + "/dxf/" + name; }

TEST(DxfReaderFiles, EveryCorpusDrawingLoads) {
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(TARNAK_CORPUS_DIR) + "/dxf")) {
    ++files;
    RecordingUi ui;
    auto d = ReadDxfFile(entry.path().string(), ui);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->Name, entry.path().filename().string());
    // Something was read, or the drawing is made of block references only.
    const bool onlyInserts = !ui.Calls.empty() && ui.Calls[0].Text.find("BLOCK") != std::string::npos;
    EXPECT_TRUE(d->NumEntitiesAndVertices() + static_cast<int>(CountOf(*d, "TEXT")) > 0 || onlyInserts)
        << entry.path();
    for (const auto& c : ui.Calls)
      EXPECT_NE(c.Caption, "DXF Read Error") << entry.path() << ": " << c.Text;
    (void)d->Extents();
  }
  EXPECT_GE(files, 17u);
}

TEST(DxfReaderFiles, CountsOfKnownDrawings) {
  RecordingUi ui;
  auto d = ReadDxfFile(Corpus("ezdxf_AC1003_LINE_Example.dxf"), ui);
  auto c = ClassCounts(*d);
  EXPECT_EQ(c["LINE"], 13u);
  EXPECT_EQ(c["ARC"], 9u);
  EXPECT_TRUE(ui.Calls.empty());

  d = ReadDxfFile(Corpus("dxf2gcode_DEMO_R10.DXF"), ui);
  c = ClassCounts(*d);
  EXPECT_EQ(c["LINE"], 73u);
  EXPECT_EQ(c["CIRCLE"], 7u);
  EXPECT_EQ(c["ARC"], 5u);
  EXPECT_EQ(c["POLYLINE"], 1u);

  d = ReadDxfFile(Corpus("dxf2gcode_UAP_212718_R14.dxf"), ui);
  c = ClassCounts(*d);
  EXPECT_EQ(c["LINE"], 1450u);
  EXPECT_EQ(c["ARC"], 207u);
  EXPECT_EQ(c["POLYLINE"], 49u + 47u);
  EXPECT_EQ(c["CIRCLE"], 24u);
  EXPECT_EQ(c["ELLIPSE"], 16u);
  EXPECT_EQ(c["POINT"], 179u);
  EXPECT_EQ(c["TEXT"], 117u);

  RecordingUi ui2;
  d = ReadDxfFile(Corpus("dxf2gcode_Inkscape_export_splines.dxf"), ui2);
  EXPECT_EQ(ClassCounts(*d)["LINE"], 1u);
  ASSERT_EQ(ui2.Calls.size(), 1u);  // 7 splines, one note
  EXPECT_EQ(ui2.Calls[0].Text,
            "A SPLINE was detected but not read.  Explode all SPLINE's before loading");

  RecordingUi ui3;
  d = ReadDxfFile(Corpus("ezdxf_3dface.dxf"), ui3);
  EXPECT_EQ(ClassCounts(*d)["3DFACE"], 44u);

  d = ReadDxfFile(Corpus("ezdxf_uncommon.dxf"), ui3);
  EXPECT_EQ(ClassCounts(*d)["POLYFACE_MESH"], 2u);

  d = ReadDxfFile(Corpus("ezdxf_text_R2018_crlf.dxf"), ui3);
  c = ClassCounts(*d);
  EXPECT_EQ(c["LINE"], 47u);
  EXPECT_EQ(c["POLYLINE"], 78u);
  EXPECT_EQ(c["TEXT"], 62u + 30u);
  EXPECT_EQ(c["ATTDEF"], 4u);

  RecordingUi ui4;
  d = ReadDxfFile(Corpus("ezdxf_R12_with_trash_beyond_EOF.dxf"), ui4);
  EXPECT_EQ(ClassCounts(*d)["CIRCLE"], 1u);
  EXPECT_TRUE(ui4.Calls.empty());
}

TEST(DxfReaderFiles, FileAndBufferReadAlikeWithCrOnlyLineEnds) {
  const std::string path = Corpus("dxf2gcode_DEMO_R10.DXF");
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string crOnly;
  for (size_t i = 0; i < bytes.size(); ++i)
    if (!(bytes[i] == '\n' && i > 0 && bytes[i - 1] == '\r')) crOnly += bytes[i];
  RecordingUi a, b;
  auto fromFile = ReadDxfFile(path, a);
  auto fromCr = ReadDxfBuffer("x.dxf", crOnly, b);
  EXPECT_EQ(ClassCounts(*fromFile), ClassCounts(*fromCr));
  const ExtentBox e1 = fromFile->Extents(), e2 = fromCr->Extents();
  EXPECT_EQ(e1.MinX, e2.MinX);
  EXPECT_EQ(e1.MaxY, e2.MaxY);
  EXPECT_EQ(a.Calls.size(), b.Calls.size());
}

}  // namespace
}  // namespace tarnak
