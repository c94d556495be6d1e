// Tool values that would gouge, stall or leave material standing make no
// toolpath and name the field; values a strategy does not read are let be.
#include "toolpaths/param_checks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "toolpaths/presets.h"

namespace tarnak {
namespace {

StrategyDialogFields Good() {
  StrategyDialogFields f;
  f.Depth = "3";
  f.RapidHeight = "5";
  f.StartAt = "10";
  f.Increment = "10";
  f.RoughTool = "1";
  f.RoughDiameter = "6";
  f.RoughStepXY = "3";
  f.RoughStepZ = "1";
  f.RoughFeed = "800";
  f.RoughPlunge = "200";
  f.RoughRPM = "12000";
  f.FinishTool = "2";
  f.FinishDiameter = "3";
  f.FinishStepXY = "1.5";
  f.FinishStepZ = "3";
  f.FinishFeed = "600";
  f.FinishRPM = "15000";
  f.StockToLeave = "0.2";
  f.Compensation = kCompRight;
  return f;
}

struct Case {
  const char* what;
  StrategyDialog dialog;
  std::function<void(StrategyDialogFields&)> change;
  ParamField field;  // None: accepted
  const char* message;
};

TEST(ParamChecks, RefuseWhatTheStrategyWouldMisuseAndNameTheField) {
  using D = StrategyDialog;
  using P = ParamField;
  using F = StrategyDialogFields;
  const Case cases[] = {
      {"good pocket", D::Pocket, [](F&) {}, P::None, ""},
      {"good contour", D::Contour, [](F&) {}, P::None, ""},
      {"good drill", D::Drill, [](F&) {}, P::None, ""},
      {"pocket tool 0", D::Pocket, [](F& f) { f.RoughDiameter = "0"; }, P::RoughDiameter,
       "Rough tool diameter must be greater than 0."},
      {"pocket tool negative", D::Pocket, [](F& f) { f.RoughDiameter = "-6"; }, P::RoughDiameter,
       "Rough tool diameter must be greater than 0."},
      {"pocket step 0", D::Pocket, [](F& f) { f.RoughStepXY = "0"; }, P::RoughStepXY,
       "Rough step-over must be greater than 0."},
      {"pocket step wider than the tool", D::Pocket, [](F& f) { f.RoughStepXY = "6.01"; },
       P::RoughStepXY, "Rough step-over must not be greater than the rough tool diameter."},
      {"pocket step of the whole tool", D::Pocket, [](F& f) { f.RoughStepXY = "6"; }, P::None, ""},
      {"pocket Z step 0", D::Pocket, [](F& f) { f.RoughStepZ = "0"; }, P::RoughStepZ,
       "Rough Z step must be greater than 0."},
      {"pocket feed 0", D::Pocket, [](F& f) { f.RoughFeed = ""; }, P::RoughFeed,
       "Rough feed must be greater than 0."},
      {"pocket plunge 0", D::Pocket, [](F& f) { f.RoughPlunge = "0"; }, P::RoughPlunge,
       "Plunge feed must be greater than 0."},
      {"finish tool unused", D::Pocket, [](F& f) { f.FinishDiameter = "0"; }, P::None, ""},
      {"finish tool 0", D::Pocket, [](F& f) { f.FinishPass = true; f.FinishDiameter = "0"; },
       P::FinishDiameter, "Finish tool diameter must be greater than 0."},
      {"finish feed 0", D::Pocket, [](F& f) { f.FinishPass = true; f.FinishFeed = "0"; },
       P::FinishFeed, "Finish feed must be greater than 0."},
      {"finish step unused without a floor pass", D::Pocket,
       [](F& f) { f.FinishPass = true; f.FinishStepXY = "0"; }, P::None, ""},
      {"finish step clearing the floor", D::Pocket,
       [](F& f) { f.FinishPass = true; f.Finish = 2; f.FinishStepXY = "4"; }, P::FinishStepXY,
       "Finish step-over must not be greater than the finish tool diameter."},
      {"contour tool 0", D::Contour, [](F& f) { f.RoughDiameter = "0"; }, P::RoughDiameter,
       "Rough tool diameter must be greater than 0."},
      {"contour on the line ignores the tool", D::Contour,
       [](F& f) { f.Compensation = kCompNone; f.RoughDiameter = "0"; }, P::None, ""},
      {"contour Z step negative", D::Contour, [](F& f) { f.RoughStepZ = "-1"; }, P::RoughStepZ,
       "Rough Z step must be greater than 0."},
      {"contour finish Z step 0", D::Contour,
       [](F& f) { f.FinishPass = true; f.FinishStepZ = "0"; }, P::FinishStepZ,
       "Finish Z step must be greater than 0."},
      {"cutout has no finish pass", D::Contour,
       [](F& f) { f.Compensation = kCompCutout; f.FinishPass = true; f.FinishFeed = "0"; }, P::None,
       ""},
      {"contour has no step-over", D::Contour, [](F& f) { f.RoughStepXY = "0"; }, P::None, ""},
      {"drill plunge 0", D::Drill, [](F& f) { f.RoughPlunge = "0"; }, P::RoughPlunge,
       "Plunge feed must be greater than 0."},
      {"drill has no diameter, feed or step", D::Drill,
       [](F& f) { f.RoughDiameter = "0"; f.RoughFeed = "0"; f.RoughStepZ = "0"; f.RoughStepXY = "0"; },
       P::None, ""},
      {"malformed rapid height", D::Drill, [](F& f) { f.RapidHeight = "1.2.3e5"; }, P::RapidHeight,
       "Rapid height: '1.2.3e5' is not a valid floating point value"},
      {"malformed finish feed", D::Contour,
       [](F& f) { f.FinishPass = true; f.FinishFeed = "6OO"; }, P::FinishFeed,
       "Finish feed: '6OO' is not a valid floating point value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StrategyDialogFields f = Good();
    c.change(f);
    TTNMachiningParameters params;
    params.RapidHeight = 42;  // what was there before
    LineNumbering numbering{7, 7};
    const auto problem = FillCheckedParams(c.dialog, f, params, numbering);
    if (c.field == ParamField::None) {
      EXPECT_FALSE(problem) << problem->Message;
      EXPECT_EQ(params.RapidHeight, 5);
      EXPECT_EQ(numbering.Start, 10);
      continue;
    }
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->Field, c.field);
    EXPECT_EQ(problem->Message, c.message);
    // Nothing is taken from a refused dialog.
    EXPECT_EQ(params.RapidHeight, 42);
    EXPECT_EQ(numbering.Start, 7);
  }
}

// The presets a first start copies into the settings folder can each be
// used as they are by the strategies they are meant for.
TEST(ParamChecks, ShippedPresetsAreUsableAsTheyStand) {
  const std::filesystem::path file =
      std::filesystem::path(TARNAK_SOURCE_DIR) / "data" / std::string(kPresetFileName);
  const std::vector<std::string> names = PresetNames(file);
  ASSERT_GE(names.size(), 5u);
  int drills = 0;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const bool drill = name.rfind("Drill", 0) == 0;
    drills += drill ? 1 : 0;
    for (StrategyDialog dialog : drill ? std::vector{StrategyDialog::Drill}
                                       : std::vector{StrategyDialog::Pocket, StrategyDialog::Contour}) {
      StrategyDialogFields f;
      ASSERT_EQ(LoadPreset(file, name, dialog, f), PresetLoad::Loaded);
      TTNMachiningParameters params;
      LineNumbering numbering;
      const auto problem = FillCheckedParams(dialog, f, params, numbering);
      EXPECT_FALSE(problem) << problem->Message;
      EXPECT_GT(params.Rough.SpindleSpeed, 0);
      EXPECT_GT(params.RapidHeight, 0);
    }
  }
  EXPECT_EQ(drills, 1);
}

}  // namespace
}  // namespace tarnak
