#include "base/options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

#include "base/numbers.h"
#include "base/profile_file.h"
#include "test_ui.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSeparator_ = DecimalSeparator();
    SetDecimalSeparator('.');
    std::random_device rd;
    folder_ = fs::temp_directory_path() /
              ("tarnak_options_" + std::to_string(::getpid()) + "_" + std::to_string(rd()));
    fs::create_directories(folder_);
    file_ = OptionsFilePath(folder_);
  }
  void TearDown() override {
    SetDecimalSeparator(savedSeparator_);
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  void WriteRaw(const std::string& bytes) {
    std::ofstream(file_, std::ios::binary | std::ios::trunc) << bytes;
  }
  std::string ReadRaw() const {
    std::ifstream in(file_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // key=value lines of the file, in file order.
  std::vector<std::pair<std::string, std::string>> Pairs() const {
    std::vector<std::pair<std::string, std::string>> out;
    std::istringstream in(ReadRaw());
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const auto eq = line.find('=');
      if (eq != std::string::npos) out.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return out;
  }
  std::string Value(const std::string& key) const {
    for (const auto& [k, v] : Pairs())
      if (k == key) return v;
    return "<missing>";
  }

  fs::path folder_;
  fs::path file_;

 private:
  char savedSeparator_ = '.';
};

TEST_F(OptionsTest, WithoutFileOrSectionTheStartValuesStay) {
  ProgramOptions o;
  EXPECT_TRUE(LoadOptions(o, file_).empty());
  EXPECT_FALSE(fs::exists(file_));  // reading never creates the file
  EXPECT_EQ(o.Program.Overlap, 0.5);
  EXPECT_EQ(o.Program.StlOverlap, 0.1);
  EXPECT_TRUE(o.Program.Trace);
  EXPECT_FALSE(o.Program.Dir);        // counter-clockwise
  EXPECT_FALSE(o.Program.PocketDir);  // outside inward
  EXPECT_EQ(o.Program.Font, "arial");
  EXPECT_EQ(o.Program.Post, "Orvano");
  EXPECT_EQ(o.View.Back, 0xFFFFFFu);

  // A file that holds only other sections reads nothing either, not even
  // over values already changed in memory.
  WriteRaw("[Other]\r\nDir=1\r\nOverlap=10\r\n");
  o.Program.Overlap = 0.25;
  EXPECT_TRUE(LoadOptions(o, file_).empty());
  EXPECT_EQ(o.Program.Overlap, 0.25);
  EXPECT_FALSE(o.Program.Dir);
}

TEST_F(OptionsTest, EmptySectionGivesTheFileDefaults) {
  WriteRaw("[Options]\r\n");
  ProgramOptions o;
  EXPECT_TRUE(LoadOptions(o, file_).empty());
  EXPECT_TRUE(o.Program.Dir);        // clockwise
  EXPECT_TRUE(o.Program.PocketDir);  // inside outward
  EXPECT_FALSE(o.Program.Trace);
  EXPECT_EQ(o.Program.Overlap, 0.5);
  EXPECT_EQ(o.Program.StlOverlap, 0.5);
  EXPECT_EQ(o.Program.Post, "Default");
  EXPECT_EQ(o.Program.Font, "Arial");
  EXPECT_EQ(o.Program.FontPrecision, 8);
  EXPECT_EQ(o.View.GridSize, 0.5);
  EXPECT_EQ(o.View.Back, 16777215u);
  EXPECT_EQ(o.View.Closed, 16711680u);
  EXPECT_EQ(o.View.Island, 255u);
  EXPECT_EQ(o.View.Open, 32768u);
  EXPECT_TRUE(o.View.DrawBoundaries);
  EXPECT_EQ(o.Editor.CommentColor, 16711680u);
  EXPECT_EQ(o.RoughTolerances, TTNArcTolerances{});
}

TEST_F(OptionsTest, ValuesAreReadAndPercentIsDividedBy100) {
  WriteRaw("[options]\n Overlap = 33\nStlOverlap=5\nDir=0\nTrace=-7\nPost=Fanuc 0M\n"
           "Font=Courier New\nBack=12345\nCommentStyle=2\nTanDevFinish=0.002\nSTLDepth=-1.5\n"
           "Offset=1000\n");
  ProgramOptions o;
  EXPECT_TRUE(LoadOptions(o, file_).empty());
  EXPECT_DOUBLE_EQ(o.Program.Overlap, 0.33);
  EXPECT_DOUBLE_EQ(o.Program.StlOverlap, 0.05);
  EXPECT_FALSE(o.Program.Dir);
  EXPECT_TRUE(o.Program.Trace);  // any non-zero integer is true
  EXPECT_EQ(o.Program.Post, "Fanuc 0M");
  EXPECT_EQ(o.Program.Font, "Courier New");
  EXPECT_EQ(o.View.Back, 12345u);
  EXPECT_EQ(o.Editor.CommentStyle, EditorStyle::Italic);
  EXPECT_EQ(o.FinishTolerances.TanDev, 0.002);
  EXPECT_EQ(o.Program.STLDepth, -1.5);
  EXPECT_EQ(o.Program.Offset, 1000);
}

TEST_F(OptionsTest, UnusableValuesTakeTheDefaultAndAreReportedWithTheirLine) {
  WriteRaw("; comment\r\n[Options]\r\nOverlap=abc\r\nFontPrecision=8.5\r\nClosed=-16777201\r\n"
           "Offset=5000\r\nDir=yes\r\nGridSize=0\r\nCommandStyle=3\r\nTanDevRough=-1\r\n"
           "Post=\r\nSTLDepth=2\r\n");
  ProgramOptions o;
  const std::vector<std::string> problems = LoadOptions(o, file_);
  EXPECT_EQ(problems.size(), 9u);
  EXPECT_EQ(o.Program.Overlap, 0.5);
  EXPECT_EQ(o.Program.FontPrecision, 8);
  EXPECT_EQ(o.View.Closed, kColourBlue);
  EXPECT_EQ(o.Program.Offset, 0);
  EXPECT_TRUE(o.Program.Dir);
  EXPECT_EQ(o.View.GridSize, 0.5);
  EXPECT_EQ(o.Editor.CommandStyle, EditorStyle::Normal);
  EXPECT_EQ(o.RoughTolerances.TanDev, 0.0);
  EXPECT_EQ(o.Program.Post, "Default");
  EXPECT_EQ(o.Program.STLDepth, 2.0);  // the good values around them still count

  bool sawOverlap = false;
  for (const std::string& p : problems) {
    EXPECT_NE(p.find(file_.string()), std::string::npos) << p;
    if (p.find("\"Overlap\"") != std::string::npos) {
      sawOverlap = true;
      EXPECT_NE(p.find("line 3"), std::string::npos) << p;
      EXPECT_NE(p.find("abc"), std::string::npos) << p;
    }
  }
  EXPECT_TRUE(sawOverlap);

  // At start-up the problems reach the user together, once.
  testing::TestUserInterface ui;
  ProgramOptions again;
  LoadOptions(again, file_, ui);
  ASSERT_EQ(ui.Messages.size(), 1u);
  EXPECT_EQ(ui.Messages[0].Icon, MsgIcon::Warning);
  EXPECT_NE(ui.Messages[0].Text.find("\"Offset\""), std::string::npos);
  EXPECT_EQ(again, o);
}

TEST_F(OptionsTest, UnreadableFileLeavesOptionsAsTheyAre) {
  fs::create_directory(file_);  // a folder where the file should be
  ProgramOptions o;
  o.Program.Overlap = 0.2;
  const std::vector<std::string> problems = LoadOptions(o, file_);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find(file_.string()), std::string::npos);
  EXPECT_EQ(o.Program.Overlap, 0.2);
}

TEST_F(OptionsTest, SaveWritesEveryKeyInOrderWithItsForm) {
  ProgramOptions o;
  o.Program.Trace = false;
  o.View.MarkDirs = true;
  o.Editor.AddressStyle = EditorStyle::Bold;
  o.RoughTolerances.MinArcRad = 0.125;
  SaveOptions(o, "Haas", file_);

  const std::vector<std::string> expected = {
      "UnClosed", "UnOpen", "Closed", "Open", "Island", "RTool", "FTool", "Back",
      "CommandColor", "AddressColor", "CommentColor", "CommandStyle", "AddressStyle",
      "CommentStyle", "Overlap", "DrawBoundaries", "MarkDirs", "Dir", "PocketDir", "Fix",
      "Trace", "FontBold", "FontItalic", "EndPointTolerence", "JoinTolerence",
      "MinArcLengthRough", "MinArcLengthFinish", "MinArcRadRough", "MinArcRadFinish",
      "TanDevRough", "TanDevFinish", "Post", "Font", "FontPrecision", "STLDepth", "GridSize",
      "StlOverlap", "Offset", "Air", "NCRead", "ExpandBlocks"};
  std::vector<std::string> keys;
  for (const auto& [k, v] : Pairs()) keys.push_back(k);
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(ReadRaw().rfind("[Options]", 0), 0u);

  EXPECT_EQ(Value("Closed"), "16711680");
  EXPECT_EQ(Value("Back"), "16777215");
  EXPECT_EQ(Value("AddressStyle"), "1");
  EXPECT_EQ(Value("Overlap"), "50");
  EXPECT_EQ(Value("StlOverlap"), "10");
  EXPECT_EQ(Value("MarkDirs"), "1");
  EXPECT_EQ(Value("Trace"), "0");
  EXPECT_EQ(Value("EndPointTolerence"), "5E-5");
  EXPECT_EQ(Value("JoinTolerence"), "0.001");
  EXPECT_EQ(Value("MinArcRadRough"), "0.125");
  EXPECT_EQ(Value("GridSize"), "0.5");
  EXPECT_EQ(Value("Post"), "Haas");
  EXPECT_EQ(o.Program.Post, "Haas");  // the list's text becomes the option
}

TEST_F(OptionsTest, PercentIsRoundedToTheNearestWholeHalvesToEven) {
  ProgramOptions o;
  o.Program.Overlap = 0.125;     // 12.5 -> 12
  o.Program.StlOverlap = 0.375;  // 37.5 -> 38
  SaveOptions(o, "Default", file_);
  EXPECT_EQ(Value("Overlap"), "12");
  EXPECT_EQ(Value("StlOverlap"), "38");
  o.Program.Overlap = 0.333;
  o.Program.StlOverlap = 0.0;
  SaveOptions(o, "Default", file_);
  EXPECT_EQ(Value("Overlap"), "33");
  EXPECT_EQ(Value("StlOverlap"), "0");
}

TEST_F(OptionsTest, SaveThenLoadGivesTheSameOptions) {
  ProgramOptions o;
  o.Program = {true, false, true, true, 0.45, 0.07, "", "Noto Sans 日本語", true, true,
               20, 2.25, true, 15};
  o.Program.NCRead = 1;  // the standard G-code reading
  o.Program.ExpandBlocks = true;
  o.View = {MakeColour(1, 2, 3), 4, 5, 6, 7, 8, 9, 10, false, true, 0.1};
  o.Editor = {11, 12, 13, EditorStyle::Italic, EditorStyle::Bold, EditorStyle::Normal};
  o.RoughTolerances = {0.01, 0.002, 1e-7};
  o.FinishTolerances = {3.5, 123456.789, 0.3};
  SaveOptions(o, "Mach3 mm", file_);
  ProgramOptions back;
  EXPECT_TRUE(LoadOptions(back, file_).empty());
  EXPECT_EQ(back, o);
}

TEST_F(OptionsTest, FloatsSavedWithACommaReadBackAtTheNextStart) {
  ProgramOptions o;
  o.View.GridSize = 1.5;
  o.RoughTolerances.MinArcLength = 0.25;
  o.Program.STLDepth = 0.003;
  SetDecimalSeparator(',');  // a comma post was active when saving
  SaveOptions(o, "Default", file_);
  EXPECT_EQ(Value("GridSize"), "1,5");
  EXPECT_EQ(Value("JoinTolerence"), "0,001");

  SetDecimalSeparator('.');  // the next start, before any post is loaded
  ProgramOptions back;
  EXPECT_TRUE(LoadOptions(back, file_).empty());
  EXPECT_EQ(back.View.GridSize, 1.5);
  EXPECT_EQ(back.RoughTolerances.MinArcLength, 0.25);
  EXPECT_EQ(back.Program.STLDepth, 0.003);
}

TEST_F(OptionsTest, SaveFailuresAreReportedNotSwallowed) {
  ProgramOptions o;
  EXPECT_THROW(SaveOptions(o, "Default", folder_ / "missing" / "Options.cfg"), FileError);

  SaveOptions(o, "Default", file_);
  const std::string before = ReadRaw();
  o.Program.Font = "Arial\nBlack";
  EXPECT_THROW(SaveOptions(o, "Haas", file_), FileError);
  EXPECT_EQ(ReadRaw(), before);  // nothing half written
  EXPECT_EQ(o.Program.Post, "Default");
}

TEST(OptionsColour, ComponentsFollowTheBgrLayout) {
  constexpr Colour c = MakeColour(0x12, 0x34, 0x56);
  static_assert(c == 0x563412);
  EXPECT_EQ(ColourRed(c), 0x12);
  EXPECT_EQ(ColourGreen(c), 0x34);
  EXPECT_EQ(ColourBlue(c), 0x56);
  EXPECT_EQ(ColourToRgb(kColourBlue), 0x0000FFu);
  EXPECT_EQ(ColourToRgb(kColourRed), 0xFF0000u);
  EXPECT_EQ(ColourFromRgb(0x123456), c);
}

}  // namespace
}  // namespace tarnak
