#include "post/post_definition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <unistd.h>

#include "base/numbers.h"
#include "base/profile_file.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;

class PostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDecimalSeparator('.');
    std::random_device rd;
    folder_ = fs::temp_directory_path() /
              ("tarnak_post_" + std::to_string(::getpid()) + "_" + std::to_string(rd()));
    fs::create_directories(folder_);
    file_ = folder_ / "Posts.Cfg";
  }
  void TearDown() override {
    SetDecimalSeparator('.');
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  void WriteFile(const std::string& text) {
    std::ofstream out(file_, std::ios::binary | std::ios::trunc);
    out << text;
  }
  std::string ReadFile() const {
    std::ifstream in(file_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string Key(const std::string& section, const std::string& key) {
    return ProfileFile(file_).ReadString(section, key, "<missing>");
  }

  fs::path folder_;
  fs::path file_;
};

TTNToken Token(std::string designation, int variable, std::string format, bool plus = false) {
  TTNToken t;
  t.Designation = std::move(designation);
  t.Variable = variable;
  t.Format = std::move(format);
  t.Plus = plus;
  return t;
}

// A definition that uses every kind of field, as the editor would build it.
TTNPostProcessor FullDefinition() {
  TTNPostProcessor def;
  def.Extension = "NC";
  def.Comment = ";";
  def.EndComment = "";
  def.IncludeComment = false;
  def.MaxBlock = 9999;
  def.DecimalPoint = true;
  for (int s = 0; s < kTokenCount; ++s) {
    def.Tokens[s] = Token("A" + std::to_string(s), s % kVariableCount, "%1." + std::to_string(s % 5) + "f",
                          s % 2 == 1);
  }
  def.Tokens[TokenSlot::Misc5t] = Token("M03 ", TokenVar::None, "", false);
  def.Tokens[TokenSlot::Misc4t] = Token("", TokenVar::Cleared, "", false);
  def.Scripts[ScriptSlot::Linear] = {"G01", {{-1, false}, {0, true}, {1, true}, {7, false}}};
  def.Scripts[ScriptSlot::Rapid] = {"G00", {}};  // a Command without items yet
  def.Scripts[ScriptSlot::CwArc] = {"<null>", {{2, false}}};
  def.Scripts[ScriptSlot::Drill] = {"", {{-1, true}}};
  def.Header = {"%", "", "G90 G21"};
  def.Footer = {"M30", "%"};
  return def;
}

// ---- start values, lifecycle ------------------------------------------------

TEST_F(PostTest, StartValuesAndLists) {
  TTNPostProcessor def;
  EXPECT_EQ(def.Name, "Orvano");
  EXPECT_EQ(def.Extension, "Dnc");
  EXPECT_EQ(def.ToolChange, "M06");
  EXPECT_EQ(def.Comment, "(");
  EXPECT_EQ(def.EndComment, ")");
  EXPECT_FALSE(def.DecimalPoint);
  EXPECT_FALSE(def.IncludeComment);
  EXPECT_EQ(def.Start, 0);
  EXPECT_EQ(def.MaxBlock, 0);
  EXPECT_EQ(FormatToken(def.Tokens[TokenSlot::Xt], TTNVariables{}), "");
  def.Header = {"%"};
  def.ToolBlock.ToolFooter = {"M05"};
  CreatePostDefinition(def);
  EXPECT_TRUE(def.Header.empty());
  EXPECT_TRUE(def.ToolBlock.ToolFooter.empty());
  def.Footer = {"%"};
  FreePostDefinition(def);
  EXPECT_TRUE(def.Footer.empty());
  EXPECT_EQ(TokenSlotName(TokenSlot::Misc5t), "Misc5t");
  EXPECT_EQ(VariableName(TokenVar::Tn), "Tn");
}

// ---- splitting and small parsers ---------------------------------------------

TEST_F(PostTest, SplitFieldsRules) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitFields("1*X*%1.4f*F"), (V{"1", "X", "%1.4f", "F"}));
  EXPECT_EQ(SplitFields(""), (V{""}));
  EXPECT_EQ(SplitFields("a**b"), (V{"a", "", "b"}));
  EXPECT_EQ(SplitFields("a*b*"), (V{"a", "b"}));
  EXPECT_EQ(SplitFields("*"), (V{""}));
  EXPECT_EQ(SplitFields("**"), (V{"", ""}));
  EXPECT_EQ(SplitFields("a;b", ';'), (V{"a", "b"}));
  EXPECT_TRUE(TextToBool("t"));
  EXPECT_TRUE(TextToBool("True"));
  EXPECT_FALSE(TextToBool(""));
  EXPECT_FALSE(TextToBool("F"));
  EXPECT_FALSE(TextToBool(" T"));
}

TEST_F(PostTest, ParseScriptLineRules) {
  TTNScript s;
  ParseScriptLine(SplitFields("F*G01*-1*F*0*T*1*T*2"), s);
  EXPECT_EQ(s.Command, "G01");
  EXPECT_EQ(s.Items, (TTNScriptArray{{-1, false}, {0, true}, {1, true}}));

  ParseScriptLine(SplitFields("F*G00"), s);  // too short: Command stays
  EXPECT_EQ(s.Command, "G01");
  EXPECT_TRUE(s.Items.empty());

  ParseScriptLine(SplitFields("X*G02**t*<null>*F*15*x"), s);
  EXPECT_EQ(s.Command, "G02");
  EXPECT_EQ(s.Items, (TTNScriptArray{{0, true}, {0, false}, {15, false}}));

  // A bad token field leaves the script whole.
  const TTNScript before = s;
  EXPECT_THROW(ParseScriptLine(SplitFields("F*G03*-1*F*X*T"), s), ConvertError);
  EXPECT_THROW(ParseScriptLine(SplitFields("F*G03*16*T"), s), ConvertError);
  EXPECT_EQ(s, before);
}

// ---- loading -------------------------------------------------------------------

TEST_F(PostTest, LoadRefusesWithoutTouchingTheDefinition) {
  TTNPostProcessor def = FullDefinition();
  const TTNPostProcessor before = def;
  EXPECT_FALSE(LoadPostDefinition(def, "Mill", file_));  // no file
  WriteFile("[New]\nExtension=X\n[Mill]\nExtension=X\n");
  EXPECT_FALSE(LoadPostDefinition(def, "New", file_));
  EXPECT_FALSE(LoadPostDefinition(def, "", file_));
  EXPECT_FALSE(LoadPostDefinition(def, "Lathe", file_));
  EXPECT_FALSE(LoadPostDefinition(def, "Mill", folder_));  // a folder is no file
  EXPECT_EQ(def, before);
  EXPECT_TRUE(LoadPostDefinition(def, "mill", file_));  // names ignore case
  EXPECT_EQ(def.Name, "mill");
}

TEST_F(PostTest, SectionWithOnlyExtensionTakesDefaultsAndKeepsWords) {
  TTNPostProcessor def = FullDefinition();
  def.ToolBlock.ToolScripts[1] = {"M06", {{9, false}}};
  def.ToolBlock.ToolHeader = {"old"};
  SetDecimalSeparator(',');
  WriteFile("[Mill]\nExtension=NC\n");
  ASSERT_TRUE(LoadPostDefinition(def, "Mill", file_));
  EXPECT_EQ(def.Name, "Mill");
  EXPECT_EQ(def.Extension, "NC");
  EXPECT_EQ(def.ToolChange, "");
  EXPECT_EQ(def.Comment, "(");
  EXPECT_EQ(def.EndComment, "");
  EXPECT_TRUE(def.IncludeComment);
  EXPECT_EQ(def.MaxBlock, 99999999);
  EXPECT_EQ(def.Start, 1);
  EXPECT_EQ(def.Increment, 1);
  EXPECT_TRUE(def.DecimalPoint);
  EXPECT_EQ(DecimalSeparator(), '.');
  EXPECT_TRUE(def.Header.empty());
  EXPECT_TRUE(def.Footer.empty());
  EXPECT_TRUE(def.ToolBlock.ToolHeader.empty());
  EXPECT_EQ(def.ToolBlock.ToolScripts[1], TTNScript{});
  const TTNPostProcessor full = FullDefinition();
  EXPECT_EQ(def.Tokens, full.Tokens);
  EXPECT_EQ(def.Scripts, full.Scripts);
}

TEST_F(PostTest, NumbersAndDecimalCharacter) {
  WriteFile(
      "[A]\nIncrement=-5\nStart=10\nMaxBlock=lots\nIncludeComment=0\nDecimalCharacter=t\n"
      "[B]\nIncrement=0\nMaxBlock=30\nDecimalCharacter=\n"
      "[C]\nDecimalCharacter=F\nIncludeComment=2\n"
      "[D]\nDecimalCharacter=True\n");
  TTNPostProcessor def;
  ASSERT_TRUE(LoadPostDefinition(def, "A", file_));
  EXPECT_EQ(def.Increment, 1);
  EXPECT_EQ(def.Start, 10);
  EXPECT_EQ(def.MaxBlock, 99999999);
  EXPECT_FALSE(def.IncludeComment);
  EXPECT_TRUE(def.DecimalPoint);
  ASSERT_TRUE(LoadPostDefinition(def, "B", file_));
  EXPECT_EQ(def.Increment, 0);
  EXPECT_EQ(def.MaxBlock, 30);
  EXPECT_FALSE(def.DecimalPoint);
  EXPECT_EQ(DecimalSeparator(), ',');
  ASSERT_TRUE(LoadPostDefinition(def, "C", file_));
  EXPECT_FALSE(def.DecimalPoint);
  EXPECT_TRUE(def.IncludeComment);
  ASSERT_TRUE(LoadPostDefinition(def, "D", file_));
  EXPECT_TRUE(def.DecimalPoint);
  EXPECT_EQ(DecimalSeparator(), '.');
}

TEST_F(PostTest, TokenAndScriptLines) {
  WriteFile(
      "[P]\nTokens3=12*I*%1.4f*F\nTokens4=4*X*%1.3f*f\nTokens5=5*Y*%1.3f*x\nTokens6=6*N*%d\n"
      "Tokens7=\nTokens8= 17 *S*%1.0f*FALSE*extra\n"
      "Scripts0=F*G01*-1*F*0*T*1*T*2\nScripts2=F*G00\n");
  TTNPostProcessor def;
  def.Tokens[6] = Token("keep", 1, "%1.1f");
  def.Tokens[7] = Token("feed", 16, "%1.0f");
  def.Scripts[2] = {"G00", {{0, false}}};
  ASSERT_TRUE(LoadPostDefinition(def, "P", file_));
  EXPECT_EQ(def.Tokens[3], Token("I", TokenVar::Ii, "%1.4f", false));
  EXPECT_FALSE(def.Tokens[4].Plus);
  EXPECT_TRUE(def.Tokens[5].Plus);
  EXPECT_EQ(def.Tokens[6], Token("keep", 1, "%1.1f"));  // three fields change nothing
  EXPECT_EQ(def.Tokens[7], Token("feed", 16, "%1.0f"));  // nor does an empty value
  EXPECT_EQ(def.Tokens[8], Token("S", 17, "%1.0f", true));  // only "F" means no plus
  EXPECT_EQ(def.Scripts[0], (TTNScript{"G01", {{-1, false}, {0, true}, {1, true}}}));
  EXPECT_EQ(def.Scripts[2], (TTNScript{"G00", {}}));
}

TEST_F(PostTest, ListsStopAtTheFirstGapAndAfter26Lines) {
  std::string text = "[P]\nHeader0=%\nHeader2=M30\nFooter0=M30\nFooter1=%\n"
                     "ToolScripts0=F*M06*-1*F*9*F\nToolScripts1=F*X\n";
  for (int i = 0; i < 30; ++i) text += "ToolHeader" + std::to_string(i) + "=line " + std::to_string(i) + "\n";
  WriteFile(text);
  TTNPostProcessor def;
  def.ToolBlock.ToolScripts[1] = {"kept?", {{1, true}}};
  ASSERT_TRUE(LoadPostDefinition(def, "P", file_));
  EXPECT_EQ(def.Header, std::vector<std::string>{"%"});
  EXPECT_EQ(def.Footer, (std::vector<std::string>{"M30", "%"}));
  ASSERT_EQ(def.ToolBlock.ToolHeader.size(), 26u);
  EXPECT_EQ(def.ToolBlock.ToolHeader.back(), "line 25");
  EXPECT_EQ(def.ToolBlock.ToolScripts[0], (TTNScript{"M06", {{-1, false}, {9, false}}}));
  // Emptied before reading, so a short line leaves an empty script.
  EXPECT_EQ(def.ToolBlock.ToolScripts[1], TTNScript{});
}

TEST_F(PostTest, HandMadeSectionInheritsThePreviousPost) {
  WriteFile("[Full]\nTokens0=4*X*%1.4f*F\nScripts0=F*G01*-1*F*0*T\nHeader0=%\n"
            "[Bare]\nExtension=TXT\nTokens1=5*Y*%1.2f*F\n");
  TTNPostProcessor def;
  ASSERT_TRUE(LoadPostDefinition(def, "Full", file_));
  ASSERT_TRUE(LoadPostDefinition(def, "Bare", file_));
  EXPECT_EQ(def.Tokens[0], Token("X", 4, "%1.4f"));
  EXPECT_EQ(def.Tokens[1], Token("Y", 5, "%1.2f"));
  EXPECT_EQ(def.Scripts[0], (TTNScript{"G01", {{-1, false}, {0, true}}}));
  EXPECT_TRUE(def.Header.empty());
}

TEST_F(PostTest, ConversionErrorStopsLoadingAndNamesTheEntry) {
  WriteFile("[Bad]\nExtension=NC\nDecimalCharacter=F\nTokens0=4*X*%1.4f*F\n"
            "Tokens1=Y*Y*%1.4f*F\nTokens2=6*Z*%1.4f*F\nScripts0=F*G01*-1*F\nHeader0=%\n"
            "[BadScript]\nScripts0=F*G01*-1*F\nScripts1=F*G01*-1*F*zero*T\nScripts2=F*G00*0*F\n"
            "[BadSlot]\nScripts1=F*G01*99*T\n"
            "[EmptyVariable]\nTokens0=*X*%1.4f*F\n");
  TTNPostProcessor def;
  def.Header = {"old"};
  try {
    LoadPostDefinition(def, "Bad", file_);
    FAIL() << "no error";
  } catch (const PostError& e) {
    const std::string m = e.what();
    EXPECT_NE(m.find("\"Bad\""), std::string::npos) << m;
    EXPECT_NE(m.find("Posts.Cfg"), std::string::npos) << m;
    EXPECT_NE(m.find("Tokens1=Y*Y*%1.4f*F"), std::string::npos) << m;
    EXPECT_NE(m.find("'Y' is not a valid integer value"), std::string::npos) << m;
  }
  // What came before the bad line stays; nothing after it is read.
  EXPECT_EQ(def.Name, "Bad");
  EXPECT_EQ(def.Extension, "NC");
  EXPECT_EQ(DecimalSeparator(), ',');
  EXPECT_EQ(def.Tokens[0], Token("X", 4, "%1.4f"));
  EXPECT_EQ(def.Tokens[1], TTNToken{});
  EXPECT_EQ(def.Tokens[2], TTNToken{});
  EXPECT_TRUE(def.Scripts[0].Items.empty());
  EXPECT_EQ(def.Header, std::vector<std::string>{"old"});

  try {
    LoadPostDefinition(def, "BadScript", file_);
    FAIL() << "no error";
  } catch (const PostError& e) {
    EXPECT_NE(std::string(e.what()).find("Scripts1=F*G01*-1*F*zero*T"), std::string::npos);
  }
  EXPECT_EQ(def.Scripts[0], (TTNScript{"G01", {{-1, false}}}));
  EXPECT_EQ(def.Scripts[1], TTNScript{});
  EXPECT_EQ(def.Scripts[2], TTNScript{});
  EXPECT_THROW(LoadPostDefinition(def, "BadSlot", file_), PostError);
  EXPECT_THROW(LoadPostDefinition(def, "EmptyVariable", file_), PostError);
}

// ---- formatting ------------------------------------------------------------------

TEST_F(PostTest, FormatTokenExamples) {
  TTNVariables v{};
  v[TokenVar::Ex] = 12.5;
  TTNToken x = Token("X", TokenVar::Ex, "%1.4f");
  EXPECT_EQ(FormatToken(x, v), "X12.5000");
  x.Plus = true;
  v[TokenVar::Ex] = -3;
  EXPECT_EQ(FormatToken(x, v), "X+-3.0000");
  x.Format = "%d";  // the same token object: its parsed format must follow
  v[TokenVar::Ex] = 2.5;
  EXPECT_EQ(FormatToken(x, v), "X2");
  v[TokenVar::Ex] = 3.5;
  EXPECT_EQ(FormatToken(x, v), "X4");
  v[TokenVar::Ex] = -2.5;
  EXPECT_EQ(FormatToken(x, v), "X-2");
  EXPECT_EQ(FormatToken(Token("M03", TokenVar::None, "%1.4f"), v), "M03");
  EXPECT_EQ(FormatToken(Token("null", TokenVar::None, ""), v), "");
  EXPECT_EQ(FormatToken(Token("", TokenVar::Cleared, ""), v), "");
  EXPECT_EQ(FormatTokenValue(Token("N", TokenVar::Nv, "%1.0f"), 120), "N120");
  EXPECT_EQ(FormatTokenValue(Token("null", TokenVar::Ez, "%1.1f"), 1.25), "1.3");
  EXPECT_EQ(FormatTokenValue(Token("X", TokenVar::Ex, ""), 1.25), "X");
  // Rounding is on the decimal expansion, halves away from zero.
  const TTNToken y = Token("Y", TokenVar::Ey, "%1.4f");
  EXPECT_EQ(FormatTokenValue(y, 0.03125), "Y0.0313");
  EXPECT_EQ(FormatTokenValue(y, -0.03125), "Y-0.0313");
  EXPECT_EQ(FormatTokenValue(y, -0.00001), "Y0.0000");
  EXPECT_EQ(FormatTokenValue(y, 1.0005), "Y1.0005");
  // A literal 'd' still makes the value an integer.
  EXPECT_EQ(FormatTokenValue(Token("", 4, "%1.2f deg"), 12.5), "12.00 deg");
  EXPECT_EQ(FormatTokenValue(Token("", 4, "%1.2f deg"), 13.5), "14.00 deg");
  SetDecimalSeparator(',');
  EXPECT_EQ(FormatTokenValue(Token("X", 4, "%1.4f"), 12.5), "X12,5000");
}

TEST_F(PostTest, UnusableFormatsRaiseErrorsNamingTheToken) {
  const TTNVariables v{};
  auto message = [&](const TTNToken& t) -> std::string {
    try {
      FormatToken(t, v);
    } catch (const FormatError& e) {
      return e.what();
    }
    return "no error";
  };
  const std::string s = message(Token("X", TokenVar::Ex, "%s"));
  EXPECT_NE(s.find("\"X\""), std::string::npos) << s;
  EXPECT_NE(s.find("Ex"), std::string::npos) << s;
  EXPECT_NE(s.find("%s"), std::string::npos) << s;
  EXPECT_NE(message(Token("X", 4, "%1.4f%1.4f")), "no error");
  EXPECT_NE(message(Token("X", 4, "X")), "no error");
  EXPECT_NE(message(Token("Q", 19, "%1.4f")), "no error");
  // Asking twice gives the error again, not a remembered success.
  EXPECT_NE(message(Token("X", TokenVar::Ex, "%s")), "no error");
  EXPECT_THROW(FormatTokenValue(Token("N", 15, "%d"), INFINITY), FormatError);
  EXPECT_THROW(FormatTokenValue(Token("N", 15, "%d"), 1e30), FormatError);
  EXPECT_EQ(FormatTokenValue(Token("X", 4, "%1.4f"), NAN), "XNAN");
}

// The quick way through must give exactly what the general formatter gives.
TEST_F(PostTest, FormatTokenAgreesWithFormatNumber) {
  const std::vector<std::string> formats = {"%1.0f", "%1.1f", "%1.2f", "%1.3f", "%1.4f",
                                            "%1.5f", "%1.6f", "%1.9f", "%f",    "%08.3f",
                                            "%+.2f", "% 7.1f", "%-9.2f|", "%d", "%5d",
                                            "%.3d", "%-6d|", "%+d", "%1.3e", "%g",
                                            "%%%1.2f%%", "%1.2F", "%D", "%ld"};
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-9, 17);
  std::uniform_int_distribution<int> decimals(0, 9);
  std::vector<double> values = {0.0, -0.0, 0.5, 1.5, -2.5, 0.05, 0.15, 0.25, 0.35, 1e15, -1e15,
                                999999999999999.9, 0.000049999, 0.00005, 123.45645, 2.675};
  for (int i = 0; i < 1000; ++i) {
    values.push_back(mantissa(rng) * std::pow(10.0, exponent(rng)));
    // Values at or next to a half of the last kept digit.
    const double half = (std::floor(mantissa(rng) * 1e6) + 0.5) / std::pow(10.0, decimals(rng));
    values.push_back(half);
    values.push_back(std::nextafter(half, 0.0));
    values.push_back(std::nextafter(half, 1e300));
  }
  for (const char separator : {'.', ','}) {
    SetDecimalSeparator(separator);
    for (const std::string& format : formats) {
      const TTNToken token = Token("", 1, format);
      const bool integer = format.find('d') != std::string::npos;
      for (const double v : values) {
        const std::string expected =
            integer ? FormatInteger(format, static_cast<long long>(std::nearbyint(v)))
                    : FormatNumber(format, v);
        ASSERT_EQ(FormatTokenValue(token, v), expected) << format << " " << v;
      }
      // The comparison above must have covered the quick way for the
      // formats it is meant for.
      const bool general = format == "%1.3e" || format == "%g";
      EXPECT_EQ(token.Parsed.Kind,
                general ? post_detail::FormatKind::Slow : post_detail::FormatKind::Fast)
          << format;
    }
  }
}

// "%1.Nf" as the NC words want it, worked out from the C library's own
// exact expansion: |v| to 18 significant digits ("%.17e"), then rounded at
// N decimals with a dropped 5 or more going up; no minus sign on a value
// that comes out as nothing but zeros.
std::string ReferenceFixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17e", std::fabs(v));
  std::string digits(1, buf[0]);
  digits.append(buf + 2, 17);
  const int exponent = std::atoi(buf + 20);
  int point = exponent + 1;  // digits before the decimal point
  if (point <= 0) {
    digits.insert(0, static_cast<std::size_t>(1 - point), '0');
    point = 1;
  }
  const std::size_t keep = static_cast<std::size_t>(point + decimals);
  if (digits.size() < keep + 1) digits.resize(keep + 1, '0');
  std::string kept = digits.substr(0, keep);
  if (digits[keep] >= '5') {
    std::size_t i = kept.size();
    while (i > 0 && kept[i - 1] == '9') kept[--i] = '0';
    if (i == 0) {
      kept.insert(0, 1, '1');
    } else {
      ++kept[i - 1];
    }
  }
  std::string whole = kept.substr(0, kept.size() - static_cast<std::size_t>(decimals));
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
  std::string text = whole;
  if (decimals > 0) text += "." + kept.substr(kept.size() - static_cast<std::size_t>(decimals));
  const bool zero = kept.find_first_not_of('0') == std::string::npos;
  return (std::signbit(v) && !zero ? "-" : "") + text;
}

TEST_F(PostTest, FixedWordsAgreeWithTheCLibraryExpansion) {
  std::mt19937_64 rng(20261209);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_int_distribution<int> magnitude(-7, 14);
  std::uniform_int_distribution<int> places(0, 9);
  std::uniform_int_distribution<std::uint64_t> anyBits;
  std::vector<double> values = {0.0, -0.0, 0.03125, -0.03125, 0.5, -0.5, 2.5, 0.00005, -0.00004,
                                99.99995, 1e-300, -1e-300, 0x1p-12, 0x1p-13, 1e14, 9.999999e14};
  for (int i = 0; i < 20000; ++i) {
    // Any size.
    values.push_back((unit(rng) - 0.5) * std::pow(10.0, magnitude(rng)));
    // Drawing coordinates: whole decimals, so that halves of the last
    // written place are as common as they are in real drawings.
    const double scale = std::pow(10.0, places(rng));
    const double typed = std::round((unit(rng) - 0.5) * 2e5 * scale) / scale;
    values.push_back(typed);
    values.push_back(std::nextafter(typed, 0.0));
    values.push_back(std::nextafter(typed, 1e300));
    // Halves of a decimal place and their neighbours.
    const double half = (std::floor(unit(rng) * 1e6) + 0.5) / std::pow(10.0, places(rng));
    values.push_back(half);
    values.push_back(-std::nextafter(half, 0.0));
    values.push_back(std::nextafter(half, 1e300));
    // Any bits of a finite double below 1e15.
    const double raw = std::bit_cast<double>(anyBits(rng));
    if (std::isfinite(raw) && std::fabs(raw) < 1e15) values.push_back(raw);
  }
  SetDecimalSeparator('.');
  for (int decimals = 0; decimals <= 9; ++decimals) {
    const std::string format = "%1." + std::to_string(decimals) + "f";
    const TTNToken token = Token(" X", 4, format);
    for (const double v : values) {
      const std::string expected = ReferenceFixed(v, decimals);
      ASSERT_EQ(FormatNumber(format, v), expected) << format << " " << v;
      ASSERT_EQ(FormatTokenValue(token, v), " X" + expected) << format << " " << v;
    }
    EXPECT_EQ(token.Parsed.Kind, post_detail::FormatKind::Fast) << format;
  }
  // The NC writer's words written in place are the same words.
  const std::vector<std::string> formats = {"%1.0f", "%1.3f", "%1.4f", "%.6f", "%1.9f",
                                            "%d",    "%D",    "%05d",  "%+.2f", "%08.3f"};
  for (const char separator : {'.', ','}) {
    SetDecimalSeparator(separator);
    for (const std::string& format : formats) {
      for (const bool plus : {false, true}) {
        for (const char* designation : {"", " X", "null", "N"}) {
          const TTNToken token = Token(designation, 4, format, plus);
          std::size_t written = 0;
          for (const double v : values) {
            char word[31];
            const std::size_t n = post_detail::FormatTokenValueShort(token, v, word, sizeof word);
            if (n == post_detail::kNoShortWord) continue;
            ++written;
            ASSERT_EQ(std::string(word, n), FormatTokenValue(token, v))
                << format << " " << designation << " " << plus << " " << v;
          }
          EXPECT_GT(written, values.size() / 2) << format;
        }
      }
    }
  }
}

TEST_F(PostTest, WordSpellerGivesTheWordsOfTheGeneralShortPath) {
  // The writer's per-token speller against FormatTokenValueShort: the same
  // word, or the same refusal, for every value, format, designation (up to
  // and past the 8 bytes it copies at once), plus flag, separator and room.
  std::mt19937_64 rng(9122026);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_int_distribution<int> magnitude(-9, 16);
  std::uniform_int_distribution<int> places(0, 9);
  std::vector<double> values = {0.0, -0.0, 0.5, -0.5, 2.5, 0.00005, -0.00004, 99.99995,
                                1e-300, 0x1p-12, 0x1p-13, 1e14, 9.999999e14, 1e15, 1e300,
                                std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
  for (int i = 0; i < 1500; ++i) {
    values.push_back((unit(rng) - 0.5) * std::pow(10.0, magnitude(rng)));
    const double half = (std::floor(unit(rng) * 1e6) + 0.5) / std::pow(10.0, places(rng));
    values.push_back(half);
    values.push_back(-std::nextafter(half, 0.0));
    values.push_back(std::nextafter(half, 1e300));
  }
  std::vector<std::string> formats = {"%d", "%+.2f", "%08.3f", "%f", "%1.4f mm", "%s"};
  for (int d = 0; d <= 10; ++d) formats.push_back("%1." + std::to_string(d) + "f");
  for (const char separator : {'.', ','}) {
    SetDecimalSeparator(separator);
    for (const std::string& format : formats) {
      for (const char* designation : {"", " X", "null", "ABCDEFGH", "ABCDEFGHI"}) {
        for (const bool plus : {false, true}) {
          const TTNToken token = Token(designation, 4, format, plus);
          const post_detail::ShortWordSpeller speller(token);
          for (const std::size_t room : {std::size_t{31}, std::size_t{12}, std::size_t{8},
                                         std::size_t{7}}) {
            for (const double v : values) {
              char got[32];
              char want[32];
              const std::size_t n = speller(v, got, room);
              ASSERT_EQ(n, post_detail::FormatTokenValueShort(token, v, want, room))
                  << format << " '" << designation << "' " << plus << " " << room << " " << v;
              if (n != post_detail::kNoShortWord) {
                ASSERT_EQ(std::string(got, n), std::string(want, n)) << format << " " << v;
              }
            }
          }
        }
      }
    }
  }
  SetDecimalSeparator('.');
}

// ---- writing -------------------------------------------------------------------

TEST_F(PostTest, SaveThenLoadGivesTheSameDefinition) {
  WriteFile("[Mill]\nToolChange=M6\nStart=100\nIncrement=5\nToolHeader0=(tool)\n"
            "ToolScripts0=F*M06*-1*F*9*F\nHeader0=a\nHeader1=b\nHeader2=c\nHeader3=d\n"
            "Header5=kept\n");
  TTNPostProcessor def = FullDefinition();
  SavePostDefinition(def, "Mill", file_);
  EXPECT_EQ(Key("Mill", "Tokens4"), "4*A4*%1.4f*F");
  EXPECT_EQ(Key("Mill", "Scripts0"), "F*G01*-1*F*0*T*1*T*7*F");
  EXPECT_EQ(Key("Mill", "IncludeComment"), "0");
  EXPECT_EQ(Key("Mill", "DecimalCharacter"), "T");
  EXPECT_EQ(Key("Mill", "Header3"), "<missing>");
  EXPECT_EQ(Key("Mill", "Header5"), "kept");  // after the gap: not the editor's

  TTNPostProcessor back;
  back.Scripts[ScriptSlot::Rapid].Command = "stale";
  ASSERT_TRUE(LoadPostDefinition(back, "Mill", file_));
  EXPECT_EQ(back.Extension, def.Extension);
  EXPECT_EQ(back.Comment, def.Comment);
  EXPECT_EQ(back.EndComment, def.EndComment);
  EXPECT_EQ(back.IncludeComment, def.IncludeComment);
  EXPECT_EQ(back.MaxBlock, def.MaxBlock);
  EXPECT_EQ(back.DecimalPoint, def.DecimalPoint);
  EXPECT_EQ(back.Tokens, def.Tokens);
  EXPECT_EQ(back.Scripts, def.Scripts);
  EXPECT_EQ(back.Header, def.Header);
  EXPECT_EQ(back.Footer, def.Footer);
  // Left as they were in the file.
  EXPECT_EQ(back.ToolChange, "M6");
  EXPECT_EQ(back.Start, 100);
  EXPECT_EQ(back.Increment, 5);
  EXPECT_EQ(back.ToolBlock.ToolHeader, std::vector<std::string>{"(tool)"});
  EXPECT_EQ(back.ToolBlock.ToolScripts[0], (TTNScript{"M06", {{-1, false}, {9, false}}}));

  // A shorter header removes the old lines, a comma post writes "F".
  def.Header = {};
  def.DecimalPoint = false;
  SavePostDefinition(def, "Mill", file_);
  EXPECT_EQ(Key("Mill", "Header0"), "<missing>");
  EXPECT_EQ(Key("Mill", "DecimalCharacter"), "F");
  ASSERT_TRUE(LoadPostDefinition(back, "Mill", file_));
  EXPECT_TRUE(back.Header.empty());
  EXPECT_EQ(DecimalSeparator(), ',');
}

TEST_F(PostTest, SaveDeletesOldLinesUpTo25Only) {
  std::string text = "[P]\n";
  for (int i = 0; i <= 27; ++i) text += "Footer" + std::to_string(i) + "=f" + std::to_string(i) + "\n";
  WriteFile(text);
  TTNPostProcessor def;
  def.Footer = {"M30"};
  SavePostDefinition(def, "P", file_);
  EXPECT_EQ(Key("P", "Footer0"), "M30");
  EXPECT_EQ(Key("P", "Footer25"), "<missing>");
  EXPECT_EQ(Key("P", "Footer26"), "f26");
}

TEST_F(PostTest, SaveRefusesWhatCouldNotBeReadBack) {
  WriteFile("[P]\nExtension=NC\n");
  const std::string before = ReadFile();
  auto refused = [&](const TTNPostProcessor& def, const std::string& name) {
    try {
      SavePostDefinition(def, name, file_);
    } catch (const PostError& e) {
      return std::string(e.what());
    }
    return std::string("saved");
  };
  TTNPostProcessor def = FullDefinition();
  def.Tokens[2].Designation = "X*";
  EXPECT_NE(refused(def, "P").find("Zt"), std::string::npos);
  def = FullDefinition();
  def.Scripts[3].Command = "G*";
  EXPECT_NE(refused(def, "P"), "saved");
  def = FullDefinition();
  def.Header.assign(27, "G90");
  EXPECT_NE(refused(def, "P").find("27 lines"), std::string::npos);
  def = FullDefinition();
  def.Footer = {"M30\nM02"};
  EXPECT_NE(refused(def, "P"), "saved");
  def = FullDefinition();
  def.Scripts[0].Items.push_back({16, false});
  EXPECT_NE(refused(def, "P"), "saved");
  EXPECT_NE(refused(FullDefinition(), " "), "saved");
  EXPECT_NE(refused(FullDefinition(), "New"), "saved");
  EXPECT_EQ(ReadFile(), before);
}

TEST_F(PostTest, PostNamesInFileOrder) {
  EXPECT_TRUE(ListPostNames(file_).empty());
  EXPECT_FALSE(PostExists("Mill", file_));
  DeletePostDefinition("Mill", file_);
  EXPECT_FALSE(fs::exists(file_));
  WriteFile("[Zeta]\nExtension=a\n[Alpha]\nExtension=b\n[Mill]\nExtension=c\n");
  EXPECT_EQ(ListPostNames(file_), (std::vector<std::string>{"Zeta", "Alpha", "Mill"}));
  EXPECT_TRUE(PostExists("alpha", file_));
  DeletePostDefinition("Alpha", file_);
  EXPECT_EQ(ListPostNames(file_), (std::vector<std::string>{"Zeta", "Mill"}));
  TTNPostProcessor def;
  ASSERT_TRUE(LoadPostDefinition(def, "Mill", file_));
  EXPECT_EQ(def.Extension, "c");
}

}  // namespace
}  // namespace tarnak
