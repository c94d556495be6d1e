#include "toolpaths/toolpath_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "base/numbers.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/param_checks.h"

namespace tarnak {
namespace {

TTNEntity Line(double x1, double y1, double x2, double y2) {
  TTNEntity e;
  e.X = x1;
  e.Y = y1;
  e.X2 = x2;
  e.Y2 = y2;
  return e;
}

// ---- the toolpath list ---------------------------------------------------------

TEST(ToolpathList, AppendCopiesRegionLinkAndTool) {
  TTNRegion region;
  region.Depth = 2.5;
  region.Open = 1;
  region.Selected = 1;
  region.MachineFlag = 2;  // any non-zero flag means lead moves
  region.Elements = {Line(0, 0, 10, 0), Line(10, 0, 10, 5)};

  TTNToolSettings tool;
  tool.Colour = 0x123456;
  tool.Feed = 400;
  tool.PlungeFeed = 120;
  tool.SpindleSpeed = 18000;
  tool.ToolNumber = 4;
  tool.Radius = 3;  // not part of a Toolpath

  TTNOutRegionArray paths;  // no reserved slot yet
  TTNOutRegion& path =
      AppendToolpath(paths, region, ToolpathLink{kLinkRetract, -5.0, 42}, tool, true);

  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(&path, &paths[1]);
  EXPECT_EQ(ToolpathCount(paths), 1);
  EXPECT_TRUE(paths[0].Elements.empty());

  EXPECT_EQ(path.Colour, 0x123456);
  EXPECT_EQ(path.Feed, 400);
  EXPECT_EQ(path.PlungeFeed, 120);
  EXPECT_EQ(path.SpindleSpeed, 18000.0);
  EXPECT_EQ(path.ToolNumber, 4);
  EXPECT_EQ(path.Depth, 2.5);
  EXPECT_EQ(path.LeadMoves, 1);
  EXPECT_EQ(path.Open, 1);
  EXPECT_EQ(path.Island, 1);
  EXPECT_EQ(path.Selected, 1);
  EXPECT_EQ(path.RapidLevel, -5.0);
  EXPECT_EQ(path.LinkKind, kLinkRetract);
  EXPECT_EQ(path.Spare, 42);
  ASSERT_EQ(path.Elements.size(), 2u);
  EXPECT_EQ(path.Elements[1].Y2, 5.0);
  EXPECT_FALSE(path.EntryMove.Mark);
  EXPECT_FALSE(path.ExitMove.Mark);

  // The Toolpath owns a copy: changing the Region afterwards changes nothing.
  region.Elements[0].X = 99;
  EXPECT_EQ(paths[1].Elements[0].X, 0.0);
}

TEST(ToolpathList, ClearKeepsOnlyABlankSlotZero) {
  TTNOutRegionArray paths(3);
  paths[0].Feed = 7;  // junk in the reserved slot must not survive
  ClearToolpaths(paths);
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_EQ(paths[0].Feed, 0.0);
  EXPECT_EQ(ToolpathCount(paths), 0);

  TTNOutRegionArray none;
  EXPECT_EQ(ToolpathCount(none), 0);
  ClearToolpaths(none);
  EXPECT_EQ(none.size(), 1u);
}

// ---- reading field texts ---------------------------------------------------------

// A field holds one whole number or is refused: a number it merely starts
// with ("1.2.3e5" read as 1.2) would be machined as if it were meant.
TEST(FieldNumbers, TakeOnlyWholeNumbers) {
  struct Case {
    const char* text;
    bool number;
    double value;
  } cases[] = {
      {"", true, 0},         {"  2.5 ", true, 2.5},  {".5", true, 0.5},     {"5.", true, 5},
      {"-3", true, -3},      {"+4", true, 4},        {"-", true, 0},        {"-0", true, 0},
      {"5E-5", true, 5e-5},  {"1,5", true, 1.5},     {",25", true, 0.25},   {"007", true, 7},
      {"1.2.3e5", false, 0}, {"1.2.35", false, 0},   {"1.5abc", false, 0},  {"abc", false, 0},
      {"1.2.3", false, 0},   {".", false, 0},        {"-.", false, 0},      {"1e3x", false, 0},
      {"1e", false, 0},      {"2e+", false, 0},      {"1e999", false, 0},   {"12 34", false, 0},
      {"0x10", false, 0},    {"inf", false, 0},      {"nan", false, 0},     {"1,2.3", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    double value = -99;
    EXPECT_EQ(TryParseFieldFloat(c.text, value), c.number);
    if (c.number) {
      EXPECT_EQ(value, c.value);
      EXPECT_FALSE(std::signbit(value) && value == 0.0);
      EXPECT_EQ(ParseFieldFloat(c.text), c.value);
    } else {
      EXPECT_EQ(value, -99);
      try {
        ParseFieldFloat(c.text);
        ADD_FAILURE() << "taken as a number";
      } catch (const ConvertError& e) {
        EXPECT_EQ(std::string(e.what()), "'" + std::string(c.text) + "' is not a valid floating point value");
      }
    }
  }
}

TEST(FieldNumbers, IntegersRoundHalfToEvenAndClamp) {
  EXPECT_EQ(ParseFieldInteger("2500.5"), 2500);
  EXPECT_EQ(ParseFieldInteger("2501.5"), 2502);
  EXPECT_EQ(ParseFieldInteger("2500.51"), 2501);
  EXPECT_EQ(ParseFieldInteger("0.5"), 0);
  EXPECT_EQ(ParseFieldInteger("1.5"), 2);
  EXPECT_EQ(ParseFieldInteger("-2.5"), -2);
  EXPECT_EQ(ParseFieldInteger("-3.5"), -4);
  EXPECT_EQ(ParseFieldInteger("-0.4"), 0);
  EXPECT_THROW(ParseFieldInteger("12000rpm"), ConvertError);
  EXPECT_THROW(ParseFieldInteger("x"), ConvertError);
  EXPECT_EQ(ParseFieldInteger("9999999999"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(ParseFieldInteger("-9999999999"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(RoundToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
}

// ---- filling the parameters --------------------------------------------------------

StrategyDialogFields Typical() {
  StrategyDialogFields f;
  f.Depth = "3";
  f.RapidHeight = "5";
  f.StartAt = "10";
  f.Increment = "2";
  f.Coolant = true;
  f.RoughTool = "3";
  f.RoughName = "6mm end mill";
  f.RoughDiameter = "6";
  f.RoughStepXY = "2.4";
  f.RoughStepZ = "1";
  f.StockToLeave = "0.2";
  f.RoughRPM = "12000";
  f.RoughFeed = "800";
  f.RoughPlunge = "200";
  f.FinishTool = "4";
  f.FinishName = "3mm finisher";
  f.FinishDiameter = "3";
  f.FinishStepXY = "1.2";
  f.FinishStepZ = "1.5";
  f.FinishRPM = "16000";
  f.FinishFeed = "500";
  f.Entry = kLeadArc;
  f.EntryLength = "2";
  f.Exit = kLeadTangent;
  f.ExitLength = "1.5";
  f.Finish = 2;
  f.Compensation = kCompLeft;
  f.FinishPass = true;
  return f;
}

// A record with a recognisable value in every field, to see which ones a
// dialog leaves alone.
TTNMachiningParameters Sentinel() {
  TTNMachiningParameters p;
  for (TTNToolSettings* t : {&p.Rough, &p.Finish}) {
    t->ToolType = 9;
    t->Radius = t->ToolAngle = t->PlungeFeed = t->StockToLeave = 99;
    t->XYStep = t->YStep = t->ZStep = t->Feed = 99;
    t->Name = "old";
    t->ToolNumber = t->SpindleSpeed = t->CutDirection = 99;
    t->Colour = 77;
  }
  p.FinishMode = 2;
  p.Depth = p.Depth2 = p.RapidHeight = 99;
  p.Coolant = kCoolantOn;
  p.Compensation = kCompRight;
  p.CannedCycles = 9;
  p.EntryKind = p.ExitKind = kLeadPerpendicular;
  p.EntryLength = p.ExitLength = p.BottomStock = 99;
  p.X1 = 99;
  return p;
}

TEST(FillMachiningParams, PocketWithFinishBothAndBottom) {
  TTNMachiningParameters p = Sentinel();
  const LineNumbering n = FillMachiningParams(StrategyDialog::Pocket, Typical(), p);

  EXPECT_EQ(p.Depth, 3);
  EXPECT_EQ(p.Depth2, 3);
  EXPECT_EQ(p.RapidHeight, 5);
  EXPECT_EQ(p.Coolant, kCoolantOn);
  EXPECT_EQ(p.Compensation, kCompNone);  // pockets are never compensated
  EXPECT_EQ(p.Rough.Radius, 3);
  EXPECT_EQ(p.Rough.XYStep, 2.4);
  EXPECT_EQ(p.Rough.ZStep, 1);
  EXPECT_EQ(p.Rough.StockToLeave, 0.2);
  EXPECT_EQ(p.Finish.StockToLeave, 0.2);
  EXPECT_EQ(p.Rough.PlungeFeed, 200);
  EXPECT_EQ(p.Finish.PlungeFeed, 200);
  EXPECT_EQ(p.Rough.Feed, 800);
  EXPECT_EQ(p.Rough.SpindleSpeed, 12000);
  EXPECT_EQ(p.Rough.ToolNumber, 3);
  EXPECT_EQ(p.Rough.Name, "6mm end mill");
  EXPECT_EQ(p.Finish.ToolNumber, 4);
  EXPECT_EQ(p.Finish.Radius, 1.5);
  EXPECT_EQ(p.Finish.Feed, 500);
  EXPECT_EQ(p.Finish.SpindleSpeed, 16000);
  EXPECT_EQ(p.Finish.XYStep, 1.2);
  EXPECT_EQ(p.Finish.ZStep, 1.5);
  EXPECT_EQ(p.Finish.Name, "3mm finisher");
  EXPECT_EQ(p.FinishMode, kFinishAll);
  EXPECT_EQ(p.BottomStock, 0.2);
  EXPECT_EQ(p.EntryKind, kLeadArc);
  EXPECT_EQ(p.EntryLength, 2);
  EXPECT_EQ(p.ExitKind, kLeadTangent);
  EXPECT_EQ(p.ExitLength, 1.5);
  EXPECT_EQ(n.Start, 10);
  EXPECT_EQ(n.Increment, 2);

  // Not the pocket dialog's: left alone.
  EXPECT_EQ(p.CannedCycles, 9);
  EXPECT_EQ(p.Rough.YStep, 99);
  EXPECT_EQ(p.Rough.ToolType, 9);
  EXPECT_EQ(p.Rough.Colour, 77);
  EXPECT_EQ(p.X1, 99);
}

TEST(FillMachiningParams, PocketFinishItemsAndBottomStock) {
  StrategyDialogFields f = Typical();
  TTNMachiningParameters p;
  for (int item : {0, 1}) {
    f.Finish = item;
    FillMachiningParams(StrategyDialog::Pocket, f, p);
    EXPECT_EQ(p.FinishMode, item + 1);
    EXPECT_EQ(p.BottomStock, 0);  // only "both + bottom" leaves floor stock
  }
}

TEST(FillMachiningParams, FinishBoxClearSkipsTheFinishPass) {
  for (StrategyDialog dialog : {StrategyDialog::Pocket, StrategyDialog::Contour}) {
    SCOPED_TRACE(StrategyDialogName(dialog));
    StrategyDialogFields f = Typical();
    f.FinishPass = false;  // Finish item still "both + bottom"
    TTNMachiningParameters p = Sentinel();
    FillMachiningParams(dialog, f, p);
    EXPECT_EQ(p.Finish.Radius, 0);
    EXPECT_EQ(p.Finish.Feed, 0);
    EXPECT_EQ(p.Finish.SpindleSpeed, 0);
    EXPECT_EQ(p.Finish.XYStep, 0);
    EXPECT_EQ(p.Finish.ZStep, 0);
    EXPECT_EQ(p.Finish.Name, "Unknown");
    EXPECT_EQ(p.FinishMode, kFinishNone);
    // The finish tool number is still read.
    EXPECT_EQ(p.Finish.ToolNumber, 4);
    if (dialog == StrategyDialog::Pocket) {
      EXPECT_EQ(p.BottomStock, 0);
    }
  }
}

TEST(FillMachiningParams, ContourReadsCompensationAndLeavesStepOverAlone) {
  StrategyDialogFields f = Typical();
  TTNMachiningParameters p = Sentinel();
  FillMachiningParams(StrategyDialog::Contour, f, p);
  EXPECT_EQ(p.Compensation, kCompLeft);
  EXPECT_EQ(p.FinishMode, kFinishIslands);  // contour: finish pass on
  EXPECT_EQ(p.Rough.XYStep, 99);
  EXPECT_EQ(p.Finish.XYStep, 99);
  EXPECT_EQ(p.BottomStock, 99);
  EXPECT_EQ(p.Rough.ZStep, 1);
  EXPECT_EQ(p.Finish.Radius, 1.5);
}

TEST(FillMachiningParams, LeadLengthsOnlyWithALeadKind) {
  StrategyDialogFields f = Typical();
  f.Entry = kLeadNone;
  f.EntryLength = ".25";
  f.Exit = kLeadPerpendicular;
  f.ExitLength = "";
  TTNMachiningParameters p = Sentinel();
  FillMachiningParams(StrategyDialog::Contour, f, p);
  EXPECT_EQ(p.EntryKind, kLeadNone);
  EXPECT_EQ(p.EntryLength, 0);
  EXPECT_EQ(p.ExitKind, kLeadPerpendicular);
  EXPECT_EQ(p.ExitLength, 0);
}

TEST(FillMachiningParams, DrillFeedIsThePlungeFeed) {
  StrategyDialogFields f = Typical();
  f.Depth = "12";
  TTNMachiningParameters p = Sentinel();
  FillMachiningParams(StrategyDialog::Drill, f, p);
  EXPECT_EQ(p.Depth, 12);
  EXPECT_EQ(p.Rough.Feed, 200);
  EXPECT_EQ(p.Rough.PlungeFeed, 200);
  EXPECT_EQ(p.Finish.PlungeFeed, 200);
  EXPECT_EQ(p.Rough.Radius, 3);
  EXPECT_EQ(p.Compensation, kCompNone);
  EXPECT_EQ(p.CannedCycles, 1);
  EXPECT_EQ(p.Coolant, kCoolantOn);
  // Not written by the drill dialog.
  EXPECT_EQ(p.Rough.ZStep, 99);
  EXPECT_EQ(p.Rough.StockToLeave, 99);
  EXPECT_EQ(p.Finish.ToolNumber, 99);
  EXPECT_EQ(p.Finish.Radius, 99);
  EXPECT_EQ(p.EntryKind, kLeadPerpendicular);
  EXPECT_EQ(p.FinishMode, 2);

  f.Linear = true;
  f.Coolant = false;
  FillMachiningParams(StrategyDialog::Drill, f, p);
  EXPECT_EQ(p.CannedCycles, 0);
  EXPECT_EQ(p.Coolant, kCoolantOff);
}

TEST(FillMachiningParams, CircuitBoardIsolatesOneLevelAtTheDepth) {
  StrategyDialogFields f = Typical();
  f.Depth = "0.1";
  f.RoughDiameter = "0.4";
  f.Coolant = false;  // the board dialog has no coolant choice
  TTNMachiningParameters p = Sentinel();
  FillMachiningParams(StrategyDialog::CircuitBoard, f, p);
  EXPECT_EQ(p.Rough.Radius, 0.2);
  EXPECT_EQ(p.Rough.ZStep, 0.2);
  EXPECT_EQ(p.Rough.StockToLeave, 0.1);
  EXPECT_EQ(p.Finish.StockToLeave, 0.1);
  EXPECT_EQ(p.Rough.Feed, 800);
  EXPECT_EQ(p.Compensation, kCompCutout);
  EXPECT_EQ(p.EntryKind, kLeadNone);
  EXPECT_EQ(p.ExitKind, kLeadNone);
  EXPECT_EQ(p.EntryLength, 0);
  EXPECT_EQ(p.ExitLength, 0);
  EXPECT_EQ(p.Coolant, kCoolantOn);  // untouched
  EXPECT_EQ(p.Rough.XYStep, 99);
  EXPECT_EQ(p.Finish.Radius, 99);
  EXPECT_EQ(p.Finish.ToolNumber, 99);
  EXPECT_EQ(p.FinishMode, 2);
}

TEST(FillMachiningParams, EmptyTextsGiveZeroAndMalformedOnesAreRefused) {
  StrategyDialogFields f = Typical();
  f.Depth = "";
  f.RoughRPM = "2500.5";
  f.FinishRPM = "2501.5";
  f.RoughTool = "";
  TTNMachiningParameters p;
  FillMachiningParams(StrategyDialog::Pocket, f, p);
  EXPECT_EQ(p.Depth, 0);
  EXPECT_EQ(p.Rough.SpindleSpeed, 2500);
  EXPECT_EQ(p.Finish.SpindleSpeed, 2502);
  EXPECT_EQ(p.Rough.ToolNumber, 0);

  f = Typical();
  f.RapidHeight = "1.2.3e5";
  try {
    FillMachiningParams(StrategyDialog::Pocket, f, p);
    ADD_FAILURE() << "1.2.3e5 taken as a number";
  } catch (const FieldNumberError& e) {
    EXPECT_EQ(e.Field(), ParamField::RapidHeight);
    EXPECT_EQ(std::string(e.what()), "Rapid height: '1.2.3e5' is not a valid floating point value");
  }
}

TEST(FillMachiningParams, LineNumberIncrementBelowOneBecomesOne) {
  StrategyDialogFields f = Typical();
  TTNMachiningParameters p;
  f.StartAt = "100";
  for (const char* inc : {"0", "", "-5", "0.4"}) {
    f.Increment = inc;
    const LineNumbering n = FillMachiningParams(StrategyDialog::Drill, f, p);
    EXPECT_EQ(n.Start, 100);
    EXPECT_EQ(n.Increment, 1) << inc;
  }
  f.Increment = "10";
  EXPECT_EQ(FillMachiningParams(StrategyDialog::Drill, f, p).Increment, 10);
}

TEST(FillMachiningParams, ToolNamesAreCutToFiftyCharactersNotBytes) {
  StrategyDialogFields f = Typical();
  std::string kana;
  for (int i = 0; i < 60; ++i) kana += "な";  // three bytes each
  f.RoughName = kana;
  f.FinishName = std::string(50, 'x');
  TTNMachiningParameters p;
  FillMachiningParams(StrategyDialog::Pocket, f, p);
  EXPECT_EQ(p.Rough.Name, kana.substr(0, 150));
  EXPECT_EQ(p.Finish.Name, std::string(50, 'x'));
}

// ---- dialog depth ------------------------------------------------------------------

TEST(ApplyDialogDepth, WritesBoundariesAndFreeRegionsOnly) {
  TTNRegionArray regions(5);
  regions[0].Selected = 1;  // reserved slot: never touched
  regions[0].Depth = 9;
  regions[1].Selected = 1;  // boundary
  regions[1].Depth = 1;
  regions[2].Selected = 1;  // island of 1
  regions[2].Owner = 1;
  regions[2].Depth = 0.5;
  regions[3].Depth = 4;     // not selected
  regions[4].Selected = 1;  // free open Region
  regions[4].Open = 1;

  EXPECT_EQ(ApplyDialogDepth(regions, 2.5), 2);
  EXPECT_EQ(regions[0].Depth, 9);
  EXPECT_EQ(regions[1].Depth, 2.5);
  EXPECT_EQ(regions[2].Depth, 0.5);
  EXPECT_EQ(regions[3].Depth, 4);
  EXPECT_EQ(regions[4].Depth, 2.5);

  EXPECT_EQ(ApplyDialogDepth(regions, 0.0), 0);
  EXPECT_EQ(regions[1].Depth, 2.5);

  TTNRegionArray empty;
  EXPECT_EQ(ApplyDialogDepth(empty, 3.0), 0);
}

}  // namespace
}  // namespace tarnak
