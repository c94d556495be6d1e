#include "toolpaths/presets.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

#include "base/numbers.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;

constexpr StrategyDialog kAllDialogs[] = {StrategyDialog::Pocket, StrategyDialog::Contour,
                                          StrategyDialog::Drill, StrategyDialog::CircuitBoard,
                                          StrategyDialog::Prototype};

class PresetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSeparator_ = DecimalSeparator();
    SetDecimalSeparator('.');
    std::random_device rd;
    folder_ = fs::temp_directory_path() /
              ("tarnak_presets_" + std::to_string(::getpid()) + "_" + std::to_string(rd()));
    fs::create_directories(folder_);
    file_ = folder_ / std::string(kPresetFileName);
  }
  void TearDown() override {
    SetDecimalSeparator(savedSeparator_);
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  void WriteRaw(const std::string& bytes) {
    std::ofstream out(file_, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::string ReadRaw() const {
    std::ifstream in(file_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path folder_;
  fs::path file_;

 private:
  char savedSeparator_ = '.';
};

// Field texts as a saved preset gives them back: numbers in their written
// form, every choice away from its default.
StrategyDialogFields Sample() {
  StrategyDialogFields f;
  f.RapidHeight = "2.5";
  f.StartAt = "10";
  f.Increment = "10";
  f.Coolant = true;
  f.RoughTool = "3";
  f.RoughName = "6 mm エンドミル";
  f.RoughDiameter = "6.35";
  f.RoughStepXY = "3.175";
  f.RoughStepY = "3.175";
  f.RoughStepZ = "1.2";
  f.StockToLeave = "0.1";
  f.RoughRPM = "12000";
  f.RoughFeed = "750";
  f.RoughPlunge = "150";
  f.RoughAngle = "60";
  f.RoughType = 2;
  f.FinishTool = "5";
  f.FinishName = "Ball 3";
  f.FinishDiameter = "3";
  f.FinishStepXY = "0.3";
  f.FinishStepY = "0.3";
  f.FinishStepZ = "0.5";
  f.FinishRPM = "18000";
  f.FinishFeed = "400";
  f.FinishAngle = "30";
  f.FinishType = 1;
  f.Entry = kLeadPerpendicular;
  f.Exit = kLeadArc;
  f.EntryLength = "1.5";
  f.ExitLength = "2";
  f.Finish = 0;
  f.Compensation = kCompRight;
  f.FinishPass = true;
  f.Linear = true;
  return f;
}

// The sample with only the fields a dialog stores; the rest at their form
// defaults, as a dialog loading into fresh fields would have them.
StrategyDialogFields OwnedBy(StrategyDialog dialog, const StrategyDialogFields& from) {
  StrategyDialogFields fresh;
  FieldsFromPreset(dialog, PresetFromFields(dialog, from), fresh);
  return fresh;
}

TEST_F(PresetTest, SaveThenLoadGivesTheSameFieldsForEveryDialog) {
  const StrategyDialogFields sample = Sample();
  for (StrategyDialog dialog : kAllDialogs) {
    SCOPED_TRACE(StrategyDialogName(dialog));
    ASSERT_TRUE(SavePreset(file_, "Job", dialog, sample));
    StrategyDialogFields loaded;
    EXPECT_EQ(LoadPreset(file_, "Job", dialog, loaded), PresetLoad::Loaded);
    EXPECT_EQ(loaded, OwnedBy(dialog, sample));
  }
  // Saving five dialogs under one name gives one section.
  EXPECT_EQ(PresetNamesInFileOrder(file_), std::vector<std::string>{"Job"});
}

TEST_F(PresetTest, EachDialogStoresItsOwnKeysOnly) {
  const StrategyDialogFields sample = Sample();
  ASSERT_TRUE(SavePreset(file_, "Drill", StrategyDialog::Drill, sample));
  StrategyDialogFields loaded;
  LoadPreset(file_, "Drill", StrategyDialog::Drill, loaded);
  EXPECT_EQ(loaded.RoughDiameter, "6.35");
  EXPECT_TRUE(loaded.Linear);
  // Not the drill dialog's: form defaults stay.
  EXPECT_EQ(loaded.FinishName, "なし");
  EXPECT_EQ(loaded.RoughFeed, "0");

  const std::string raw = ReadRaw();
  EXPECT_EQ(raw.find("FinishName"), std::string::npos);
  EXPECT_EQ(raw.find("Depth"), std::string::npos);  // depths are never stored
  EXPECT_NE(raw.find("Linear=True"), std::string::npos);

  EXPECT_EQ(PresetKeys(StrategyDialog::Drill),
            (std::vector<std::string>{"RapidHeight", "StartAt", "Increment", "Coolant", "RoughTool",
                                      "RoughName", "RoughDiameter", "RoughRPM", "RoughPlunge",
                                      "Linear"}));
}

TEST_F(PresetTest, NumbersAreWrittenInTheirShortestFormAndBadOnesNotAtAll) {
  StrategyDialogFields f;
  f.RoughStepXY = ".5";
  f.RoughDiameter = "1,5";
  f.RoughPlunge = "";
  f.StockToLeave = "0.00005";
  f.RoughRPM = "2500.5";  // a number key: kept as it is
  f.RoughTool = "7.6";    // an integer key: rounded
  f.StartAt = "100.5";
  ASSERT_TRUE(SavePreset(file_, "P", StrategyDialog::Pocket, f));
  const std::string raw = ReadRaw();
  for (const char* line : {"RoughStepXY=0.5", "RoughDiameter=1.5", "RoughPlunge=0",
                           "StockToLeave=5E-5", "RoughRPM=2500.5", "RoughTool=8", "StartAt=100"}) {
    EXPECT_NE(raw.find(std::string(line) + "\r\n"), std::string::npos) << line;
  }
  StrategyDialogFields loaded;
  LoadPreset(file_, "P", StrategyDialog::Pocket, loaded);
  EXPECT_EQ(loaded.StockToLeave, "5E-5");
  EXPECT_EQ(ParseFieldFloat(loaded.StockToLeave), 0.00005);

  // A text that is not a number leaves the preset as it was.
  for (auto field : {&StrategyDialogFields::RoughFeed, &StrategyDialogFields::Increment}) {
    StrategyDialogFields bad = f;
    bad.*field = "1.2.3e5";
    EXPECT_THROW(SavePreset(file_, "P", StrategyDialog::Pocket, bad), ConvertError);
    EXPECT_EQ(ReadRaw(), raw);
  }
}

TEST_F(PresetTest, WordsAsWritten) {
  StrategyDialogFields f;
  f.Entry = kLeadNone;
  f.Exit = kLeadTangent;
  f.Finish = 1;
  f.Compensation = kCompCutout;
  f.FinishPass = false;
  f.Coolant = false;
  const PresetValues pocket = PresetFromFields(StrategyDialog::Pocket, f);
  const auto value = [](const PresetValues& values, const std::string& key) {
    for (const auto& [k, v] : values) {
      if (k == key) return v;
    }
    return std::string("<missing>");
  };
  EXPECT_EQ(value(pocket, "Entry"), "None");
  EXPECT_EQ(value(pocket, "Exit"), "Tangent");
  EXPECT_EQ(value(pocket, "Finish"), "Boundaries");
  EXPECT_EQ(value(pocket, "FinishPass"), "False");
  EXPECT_EQ(value(pocket, "Coolant"), "Off");
  EXPECT_EQ(value(pocket, "Compensation"), "<missing>");

  const PresetValues contour = PresetFromFields(StrategyDialog::Contour, f);
  EXPECT_EQ(value(contour, "Compensation"), "Cutout");
  EXPECT_EQ(value(contour, "Finish"), "<missing>");

  // The board dialog always writes Cutout and never reads it back.
  f.Compensation = kCompLeft;
  EXPECT_EQ(value(PresetFromFields(StrategyDialog::CircuitBoard, f), "Compensation"), "Cutout");
  EXPECT_EQ(value(PresetFromFields(StrategyDialog::CircuitBoard, f), "Coolant"), "<missing>");
  StrategyDialogFields board;
  board.Compensation = kCompRight;
  FieldsFromPreset(StrategyDialog::CircuitBoard, {{"Compensation", "Cutout"}}, board);
  EXPECT_EQ(board.Compensation, kCompRight);

  // Its passes and overlap: a preset saved before they existed reads as one
  // pass; only the board dialog keeps them.
  board.Passes = "3";
  board.Overlap = ".25";
  const PresetValues routed = PresetFromFields(StrategyDialog::CircuitBoard, board);
  EXPECT_EQ(value(routed, "Passes"), "3");
  EXPECT_EQ(value(routed, "Overlap"), "0.25");
  EXPECT_EQ(value(PresetFromFields(StrategyDialog::Pocket, board), "Passes"), "<missing>");
  FieldsFromPreset(StrategyDialog::CircuitBoard, {{"RoughDiameter", "0.2"}}, board);
  EXPECT_EQ(board.Passes, "1");
  EXPECT_EQ(board.Overlap, "0.5");
}

TEST(PresetWords, ReadingRules) {
  const auto read = [](StrategyDialog dialog, const char* key, const char* word) {
    StrategyDialogFields f;
    FieldsFromPreset(dialog, {{key, word}}, f);
    return f;
  };
  const char* leads[] = {"None", "Arc", "Perpendicular", "Tangent"};
  for (int kind = 0; kind < 4; ++kind) {
    EXPECT_EQ(read(StrategyDialog::Contour, "Entry", leads[kind]).Entry, kind);
    EXPECT_EQ(read(StrategyDialog::Pocket, "Exit", leads[kind]).Exit, kind);
  }
  EXPECT_EQ(read(StrategyDialog::Contour, "Entry", "Sideways").Entry, kLeadTangent);
  EXPECT_EQ(read(StrategyDialog::Contour, "Entry", "arc").Entry, kLeadArc);
  EXPECT_EQ(read(StrategyDialog::Pocket, "Finish", "Islands").Finish, 0);
  EXPECT_EQ(read(StrategyDialog::Pocket, "Finish", "Boundaries").Finish, 1);
  EXPECT_EQ(read(StrategyDialog::Pocket, "Finish", "All").Finish, 2);
  EXPECT_EQ(read(StrategyDialog::Contour, "Compensation", "Right").Compensation, kCompRight);
  EXPECT_EQ(read(StrategyDialog::Contour, "Compensation", "Left").Compensation, kCompLeft);
  EXPECT_EQ(read(StrategyDialog::Contour, "Compensation", "Outside").Compensation, kCompCutout);
  EXPECT_TRUE(read(StrategyDialog::Contour, "FinishPass", "True").FinishPass);
  EXPECT_FALSE(read(StrategyDialog::Contour, "FinishPass", "1").FinishPass);
  EXPECT_TRUE(read(StrategyDialog::Drill, "Linear", "True").Linear);
  EXPECT_FALSE(read(StrategyDialog::Drill, "Linear", "0").Linear);  // canned cycles
  EXPECT_TRUE(read(StrategyDialog::Drill, "Coolant", "On").Coolant);
  EXPECT_FALSE(read(StrategyDialog::Drill, "Coolant", "Yes").Coolant);
  EXPECT_EQ(read(StrategyDialog::Prototype, "RoughType", "7").RoughType, 0);
}

TEST_F(PresetTest, MissingKeysTakeTheirDefaults) {
  WriteRaw("[Sparse]\r\nRoughName=Engraver\r\n");
  StrategyDialogFields f = Sample();
  ASSERT_EQ(LoadPreset(file_, "Sparse", StrategyDialog::Pocket, f), PresetLoad::Loaded);
  EXPECT_EQ(f.RoughName, "Engraver");
  EXPECT_EQ(f.RapidHeight, "1");
  EXPECT_EQ(f.StartAt, "100");
  EXPECT_EQ(f.Increment, "5");
  EXPECT_FALSE(f.Coolant);
  EXPECT_EQ(f.RoughTool, "0");
  EXPECT_EQ(f.RoughDiameter, "1");
  EXPECT_EQ(f.RoughStepXY, ".5");
  EXPECT_EQ(f.RoughStepZ, "1");
  EXPECT_EQ(f.FinishName, "None");
  EXPECT_EQ(f.FinishStepXY, ".5");
  EXPECT_EQ(f.EntryLength, "0");
  EXPECT_EQ(f.Entry, kLeadTangent);  // the default "0" is not a word
  EXPECT_EQ(f.Exit, kLeadTangent);
  EXPECT_EQ(f.Finish, 2);
  EXPECT_FALSE(f.FinishPass);
  // Not a pocket key: untouched.
  EXPECT_EQ(f.Compensation, kCompRight);
  EXPECT_TRUE(f.Linear);

  StrategyDialogFields c = Sample();
  LoadPreset(file_, "Sparse", StrategyDialog::Contour, c);
  EXPECT_EQ(c.Compensation, kCompNone);  // default "None"
}

TEST_F(PresetTest, PrototypeKeepsOneValueForItsXAndYSteps) {
  StrategyDialogFields f;
  f.RoughStepXY = "0.6";
  f.RoughStepY = "0.9";  // not stored
  ASSERT_TRUE(SavePreset(file_, "Proto", StrategyDialog::Prototype, f));
  EXPECT_NE(ReadRaw().find("RoughStepXY=0.6\r\n"), std::string::npos);
  StrategyDialogFields loaded;
  LoadPreset(file_, "Proto", StrategyDialog::Prototype, loaded);
  EXPECT_EQ(loaded.RoughStepXY, "0.6");
  EXPECT_EQ(loaded.RoughStepY, "0.6");
  EXPECT_EQ(loaded.FinishStepY, loaded.FinishStepXY);
  // The pocket dialog has no Y step field.
  StrategyDialogFields pocket;
  LoadPreset(file_, "Proto", StrategyDialog::Pocket, pocket);
  EXPECT_EQ(pocket.RoughStepXY, "0.6");
  EXPECT_EQ(pocket.RoughStepY, "0");
}

TEST_F(PresetTest, NoPresetNamesDoNothing) {
  const StrategyDialogFields sample = Sample();
  for (const char* name : {"", "  ", "None", "なし"}) {
    EXPECT_FALSE(SavePreset(file_, name, StrategyDialog::Pocket, sample)) << name;
    EXPECT_FALSE(fs::exists(file_)) << name;
  }
  ASSERT_TRUE(SavePreset(file_, "Real", StrategyDialog::Pocket, sample));
  const std::string before = ReadRaw();
  for (const char* name : {"", "None", "なし"}) {
    StrategyDialogFields f;
    EXPECT_EQ(LoadPreset(file_, name, StrategyDialog::Pocket, f), PresetLoad::Skipped);
    EXPECT_EQ(f, StrategyDialogFields{});
    EXPECT_FALSE(DeletePreset(file_, name));
  }
  EXPECT_EQ(ReadRaw(), before);
}

TEST_F(PresetTest, MissingFileLeavesFieldsAndMissingSectionGivesDefaults) {
  StrategyDialogFields f = Sample();
  EXPECT_EQ(LoadPreset(file_, kLastPresetName, StrategyDialog::Contour, f), PresetLoad::Skipped);
  EXPECT_EQ(f, Sample());
  EXPECT_TRUE(PresetNames(file_).empty());
  EXPECT_FALSE(DeletePreset(file_, "LAST"));
  EXPECT_FALSE(fs::exists(file_));

  ASSERT_TRUE(SavePreset(file_, "Other", StrategyDialog::Contour, f));
  EXPECT_EQ(LoadPreset(file_, kLastPresetName, StrategyDialog::Contour, f), PresetLoad::Defaults);
  EXPECT_EQ(f.RapidHeight, "1");
  EXPECT_EQ(f.Entry, kLeadTangent);
}

TEST_F(PresetTest, DeleteAndList) {
  WriteRaw("; machining presets\r\n[zeta]\r\nRapidHeight=1\r\n[Alpha]\r\nRapidHeight=2\r\n"
           "[LAST]\r\nRapidHeight=3\r\n[beta]\r\nRapidHeight=4\r\n");
  EXPECT_EQ(PresetNamesInFileOrder(file_),
            (std::vector<std::string>{"zeta", "Alpha", "LAST", "beta"}));
  EXPECT_EQ(PresetNames(file_), (std::vector<std::string>{"Alpha", "beta", "LAST", "zeta"}));

  EXPECT_TRUE(DeletePreset(file_, "alpha"));
  EXPECT_FALSE(DeletePreset(file_, "Alpha"));
  EXPECT_EQ(PresetNames(file_), (std::vector<std::string>{"beta", "LAST", "zeta"}));
  StrategyDialogFields f;
  LoadPreset(file_, "beta", StrategyDialog::Drill, f);
  EXPECT_EQ(f.RapidHeight, "4");
  EXPECT_EQ(ReadRaw().rfind("; machining presets\r\n", 0), 0u);
}

TEST(PresetNames, SortIgnoresCaseAndPutsPrefixesFirst) {
  std::vector<std::string> names = {"b", "B", "ab", "a", "Ab", "なし", "A"};
  SortPresetNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "a", "Ab", "ab", "B", "b", "なし"}));
}

TEST_F(PresetTest, TextsTheFileCannotHoldAreRefusedWholly) {
  StrategyDialogFields f = Sample();
  ASSERT_TRUE(SavePreset(file_, "A", StrategyDialog::Pocket, f));
  const std::string before = ReadRaw();
  f.RoughDiameter = "9";
  f.FinishName = "two\nlines";
  EXPECT_THROW(SavePreset(file_, "A", StrategyDialog::Pocket, f), std::invalid_argument);
  EXPECT_THROW(SavePreset(file_, "new\nname", StrategyDialog::Drill, Sample()),
               std::invalid_argument);
  EXPECT_EQ(ReadRaw(), before);
}

TEST_F(PresetTest, CommaSeparatorRoundTrip) {
  SetDecimalSeparator(',');
  StrategyDialogFields f;
  f.RoughDiameter = "6,35";
  f.RoughStepXY = ".5";
  f.StockToLeave = "0.25";  // either key is accepted in the field
  ASSERT_TRUE(SavePreset(file_, "Comma", StrategyDialog::Pocket, f));
  const std::string raw = ReadRaw();
  EXPECT_NE(raw.find("RoughDiameter=6,35\r\n"), std::string::npos);
  EXPECT_NE(raw.find("RoughStepXY=0,5\r\n"), std::string::npos);
  EXPECT_NE(raw.find("StockToLeave=0,25\r\n"), std::string::npos);

  StrategyDialogFields loaded;
  LoadPreset(file_, "Comma", StrategyDialog::Pocket, loaded);
  EXPECT_EQ(loaded.RoughDiameter, "6,35");
  TTNMachiningParameters p;
  FillMachiningParams(StrategyDialog::Pocket, loaded, p);
  EXPECT_DOUBLE_EQ(p.Rough.Radius, 3.175);
  EXPECT_EQ(p.Rough.XYStep, 0.5);

  // A file written with the other separator still fills the same values.
  SetDecimalSeparator('.');
  StrategyDialogFields again;
  LoadPreset(file_, "Comma", StrategyDialog::Pocket, again);
  TTNMachiningParameters q;
  FillMachiningParams(StrategyDialog::Pocket, again, q);
  EXPECT_DOUBLE_EQ(q.Rough.Radius, 3.175);
  ASSERT_TRUE(SavePreset(file_, "Comma", StrategyDialog::Pocket, again));
  EXPECT_NE(ReadRaw().find("RoughDiameter=6.35\r\n"), std::string::npos);
}

// ---- settings by key (the command line's --set) --------------------------------------

TEST(PresetSetting, SetsFieldsThatFillTheParameters) {
  StrategyDialogFields f;
  ApplyPresetSetting(StrategyDialog::Contour, "RoughDiameter=3", f);
  ApplyPresetSetting(StrategyDialog::Contour, "Compensation=Left", f);
  ApplyPresetSetting(StrategyDialog::Contour, "Entry=Arc", f);
  ApplyPresetSetting(StrategyDialog::Contour, "EntryLength=2", f);
  ApplyPresetSetting(StrategyDialog::Contour, " depth = 2,5 ", f);
  ApplyPresetSetting(StrategyDialog::Contour, "finishpass", "true", f);
  ApplyPresetSetting(StrategyDialog::Contour, "FinishDiameter", "1e0", f);
  ApplyPresetSetting(StrategyDialog::Contour, "RoughName=V bit = 30°", f);
  ApplyPresetSetting(StrategyDialog::Contour, "RoughTool=7", f);
  ApplyPresetSetting(StrategyDialog::Contour, "Coolant=on", f);

  TTNMachiningParameters p;
  FillMachiningParams(StrategyDialog::Contour, f, p);
  EXPECT_EQ(p.Rough.Radius, 1.5);
  EXPECT_EQ(p.Compensation, kCompLeft);
  EXPECT_EQ(p.EntryKind, kLeadArc);
  EXPECT_EQ(p.EntryLength, 2);
  EXPECT_EQ(p.Depth, 2.5);
  EXPECT_EQ(p.FinishMode, kFinishIslands);
  EXPECT_EQ(p.Finish.Radius, 0.5);
  EXPECT_EQ(p.Rough.Name, "V bit = 30°");
  EXPECT_EQ(p.Rough.ToolNumber, 7);
  EXPECT_EQ(p.Coolant, kCoolantOn);

  StrategyDialogFields board;
  ApplyPresetSetting(StrategyDialog::Prototype, "RoughStepXY=0.4", board);
  EXPECT_EQ(board.RoughStepY, "0.4");
  ApplyPresetSetting(StrategyDialog::Prototype, "RoughType=2", board);
  EXPECT_EQ(board.RoughType, 2);
}

TEST(PresetSetting, RefusesWhatTheDialogCannotTake) {
  const auto message = [](StrategyDialog dialog, const char* assignment) {
    StrategyDialogFields f;
    try {
      ApplyPresetSetting(dialog, assignment, f);
    } catch (const PresetSettingError& e) {
      EXPECT_EQ(f, StrategyDialogFields{}) << assignment;
      return std::string(e.what());
    }
    return std::string("<accepted>");
  };
  EXPECT_NE(message(StrategyDialog::Pocket, "Diameter=3").find("Unknown setting 'Diameter'"),
            std::string::npos);
  EXPECT_NE(message(StrategyDialog::Pocket, "Linear=True")
                .find("Linear is not a setting of the pocket dialog"),
            std::string::npos);
  EXPECT_NE(message(StrategyDialog::CircuitBoard, "Compensation=Left").find("circuit board"),
            std::string::npos);
  EXPECT_NE(message(StrategyDialog::Contour, "Entry=Spiral")
                .find("give None, Arc, Perpendicular or Tangent"),
            std::string::npos);
  EXPECT_NE(message(StrategyDialog::Contour, "RoughDiameter=3mm").find("'3mm'"),
            std::string::npos);
  EXPECT_NE(message(StrategyDialog::Contour, "RoughDiameter=-3").find("0 or more"),
            std::string::npos);
  EXPECT_NE(message(StrategyDialog::Contour, "RoughTool=12").find("from 0 to 9"),
            std::string::npos);
  EXPECT_NE(message(StrategyDialog::Contour, "RoughFeed").find("KEY=VALUE"), std::string::npos);
  EXPECT_NE(message(StrategyDialog::Prototype, "Depth=3").find("prototype"), std::string::npos);
  EXPECT_NE(message(StrategyDialog::Pocket, "Finish=All").find("Islands, Boundaries or Both"),
            std::string::npos);
}

}  // namespace
}  // namespace tarnak
