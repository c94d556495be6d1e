// Prototype machining: the cutter masks and gouge control on hand-made
// grids, the command on small models (levels, grid reuse, "なし", the
// display limit, Escape, refused jobs) and the dialog's field model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <unistd.h>

#include "base/numbers.h"
#include "prototype_models.h"
#include "test_files.h"
#include "test_ui.h"
#include "toolpaths/raster/raster.h"

namespace tarnak {
namespace {

using testing::PrototypeTool;

TEST(ToolMask, ProfilesOfTheThreeCutters) {
  // 90 degrees: the cone rises by exactly d at distance d.
  const ToolMask v = MakeToolMask(kToolV, 90.0, 0.1, 0.1, 2.0);
  ASSERT_EQ(v.Rows, 21);  // round(2 / 0.1) = 20, even, plus one
  ASSERT_EQ(v.Columns, 21);
  const ToolMask ball = MakeToolMask(kToolBall, 0.0, 0.1, 0.1, 2.0);
  const ToolMask end = MakeToolMask(kToolEndMill, 0.0, 0.25, 0.1, 2.0);
  EXPECT_EQ(end.Rows, 9);  // round(8) even, plus one
  EXPECT_EQ(end.Columns, 21);
  for (int i = 0; i < 21; ++i) {
    for (int j = 0; j < 21; ++j) {
      const double d = std::hypot((i - 10) * 0.1, (j - 10) * 0.1);
      if (d >= 1.0) {
        EXPECT_EQ(v.At(i, j), kOutsideTool);
        continue;
      }
      EXPECT_NEAR(v.At(i, j), d, 1e-12);
      EXPECT_NEAR(ball.At(i, j), 1.0 - std::sqrt(1.0 - d * d), 1e-12);
    }
  }
  EXPECT_EQ(end.At(4, 10), 0.0);
  EXPECT_EQ(end.At(0, 0), kOutsideTool);
  // Nothing to make from a zero tool or step.
  EXPECT_TRUE(MakeToolMask(kToolBall, 0.0, 0.0, 0.1, 2.0).Cells.empty());
  EXPECT_TRUE(MakeToolMask(kToolBall, 0.0, 0.1, 0.1, 0.0).Cells.empty());
}

// A ball beside a sharp ridge (one high column of the grid) is lifted by
// the ball's profile at its distance from the ridge.
TEST(GougeControl, BallBesideASharpRidgeRisesByItsProfile) {
  TTNZGrid grid;
  grid.XStep = grid.YStep = 0.25;
  grid.NX = grid.NY = 20;
  grid.Heights.assign(grid.Rows() * grid.Columns(), -5.0f);
  for (std::size_t r = 0; r < grid.Rows(); ++r) grid.At(r, 10) = -1.0f;
  ASSERT_TRUE(GougeControl(grid, kToolBall, 0.0, 2.0, CancelToken()));
  for (std::size_t c = 0; c < grid.Columns(); ++c) {
    const double d = std::fabs((static_cast<double>(c) - 10.0) * 0.25);
    const double want = d < 1.0 ? -1.0 - (1.0 - std::sqrt(1.0 - d * d)) : -5.0;
    EXPECT_NEAR(grid.At(10, c), want, 1e-6) << c;
  }
}

class PrototypeRun : public ::testing::Test {
 protected:
  PrototypeRun() : doc(ui) {}
  testing::TestUserInterface ui;
  Document doc;
};

// Levels of one Z step down to the stock bottom; over the flat top the end
// mill stays on it, around the model it cuts at the level.
TEST_F(PrototypeRun, FlatToppedMaleModelWithAnEndMill) {
  doc.Options.RoughTolerances.TanDev = 0.0;
  const PrototypeTool end{kToolEndMill, 2.0, 0.0, 0.5, 1.5, 1};
  ASSERT_EQ(testing::PreparePrototype(doc, testing::Mesa(10.0, 16.0, 4.0), end, end, kFinishDirNone, 0.0, 3.0), "");
  const PrototypeResult r = PrototypeCommand(doc);
  ASSERT_EQ(r.Status, PrototypeStatus::Made);
  ASSERT_EQ(r.RoughPasses, 3);
  const double levels[] = {-1.5, -3.0, -4.0};
  for (int i = 0; i < 3; ++i) {
    const TTNOutRegion3D& pass = doc.Toolpaths3D[static_cast<std::size_t>(i)];
    EXPECT_DOUBLE_EQ(pass.Level, levels[i]);
    EXPECT_EQ(pass.ToolNumber, 1);
    for (const TTNPoint3D& p : pass.Points) {
      const double out = std::max(std::fabs(p.X), std::fabs(p.Y));
      if (out > 8.0 + 1.0 + 1e-6) {
        EXPECT_FLOAT_EQ(p.Z, static_cast<float>(levels[i]));
      }
      if (out < 5.0 - 1.0 - 1e-6) {
        EXPECT_FLOAT_EQ(p.Z, 0.0f);
      }
      EXPECT_GE(p.Z, static_cast<float>(levels[i]));
    }
  }
  // The report of the between-node dips: an end mill on a mesa dips only
  // where its rim crosses the top's edge between two nodes.
  EXPECT_TRUE(r.GougeMeasured);
  const std::vector<std::string> want = {"Creating grid...", "Applying gouge control..",
                                         "Creating toolpaths..", "Ready..."};
  for (const std::string& text : want)
    EXPECT_NE(std::find(ui.Statuses.begin(), ui.Statuses.end(), text), ui.Statuses.end()) << text;
  EXPECT_EQ(ui.LastStatus(), "Ready...");
  EXPECT_EQ(doc.PickMode, kPickNone);
  EXPECT_GE(ui.ProgressEnds, 1);
  EXPECT_FALSE(ui.Counts.empty());
}

// The rough grid serves the finish tool only when nothing about the
// cutter or the stock differs.
TEST_F(PrototypeRun, FinishingReusesTheRoughGridOnlyForTheSameTool) {
  const PrototypeTool ball{kToolBall, 3.0, 0.0, 0.5, 100.0, 1};
  struct Case {
    PrototypeTool Finish;
    double Stock;
    bool Reused;
  };
  PrototypeTool otherNumber = ball, otherStep = ball, otherType = ball;
  otherNumber.Number = 2;
  otherStep.Step = 0.4;
  otherType.Type = kToolEndMill;
  const Case cases[] = {{ball, 0.0, true}, {ball, 0.5, false}, {otherNumber, 0.0, false},
                        {otherStep, 0.0, false}, {otherType, 0.0, false}};
  for (const Case& c : cases) {
    Document run(ui);
    run.Options.RoughTolerances.TanDev = 0.0;
    ASSERT_EQ(testing::PreparePrototype(run, testing::Pyramid(10.0, 4.0), ball, c.Finish, kFinishDirX, c.Stock), "");
    const PrototypeResult r = PrototypeCommand(run, {false});
    EXPECT_EQ(r.GridReused, c.Reused);
    ASSERT_EQ(r.FinishPasses, 1);
    if (c.Reused) {  // same grid, same rows: the same points
      EXPECT_EQ(run.Toolpaths3D[0].Points.size(), run.Toolpaths3D[1].Points.size());
    }
  }
  // A V cutter with another angle is another cutter.
  PrototypeTool v60{kToolV, 3.0, 60.0, 0.5, 100.0, 1}, v90 = v60;
  v90.Angle = 90.0;
  ASSERT_EQ(testing::PreparePrototype(doc, testing::Pyramid(10.0, 4.0), v60, v90, kFinishDirX), "");
  EXPECT_FALSE(PrototypeCommand(doc, {false}).GridReused);
}

TEST_F(PrototypeRun, NoneAsFinishingDirectionSkipsFinishing) {
  const PrototypeTool ball{kToolBall, 3.0, 0.0, 0.5, 100.0, 1};
  ASSERT_EQ(testing::PreparePrototype(doc, testing::Ridge(5.0, 6.0, 3.0), ball, ball, kFinishDirNone), "");
  EXPECT_EQ(doc.MachiningParams.Finish.CutDirection, 0);
  EXPECT_EQ(doc.MachiningParams.FinishMode, kFinishNone);
  const PrototypeResult r = PrototypeCommand(doc, {false});
  EXPECT_EQ(r.Status, PrototypeStatus::Made);
  EXPECT_EQ(r.RoughPasses, 1);
  EXPECT_EQ(r.FinishPasses, 0);
}

// Past 200000 points the view draws only part: said once per pass (rough,
// then finish), naming the running total.
TEST_F(PrototypeRun, MoreThan200000PointsAreAnnouncedOncePerPass) {
  doc.Options.RoughTolerances.TanDev = 0.0;
  const PrototypeTool ball{kToolBall, 1.0, 0.0, 0.03, 100.0, 1};
  ASSERT_EQ(testing::PreparePrototype(doc, testing::Hemisphere(10.0), ball, ball, kFinishDirX), "");
  const PrototypeResult r = PrototypeCommand(doc, {false});
  ASSERT_EQ(r.Status, PrototypeStatus::Made);
  const std::size_t rough = doc.Toolpaths3D[0].Points.size();
  ASSERT_GT(rough, 200000u);
  ASSERT_EQ(ui.Messages.size(), 2u);
  EXPECT_EQ(ui.Messages[0].Text, "Only the first " + std::to_string(rough) + " Toolpaths will be displayed.");
  EXPECT_EQ(ui.Messages[1].Text, DisplayLimitMessage(r.Points));
}

TEST_F(PrototypeRun, EscapeStopsTheRunAndBadJobsAreRefused) {
  const PrototypeTool ball{kToolBall, 3.0, 0.0, 0.2, 1.0, 1};
  ASSERT_EQ(testing::PreparePrototype(doc, testing::Hemisphere(8.0), ball, ball), "");
  Pick running = kPickNone;
  ui.OnProcessEvents = [&](int n) {
    if (n == 1) running = doc.PickMode;
    if (n == 40) doc.RequestAbort();
  };
  PrototypeResult r = PrototypeCommand(doc);
  EXPECT_EQ(running, kPickModePrototype);
  EXPECT_EQ(r.Status, PrototypeStatus::Cancelled);
  EXPECT_EQ(ui.LastStatus(), "Operation Cancelled...");
  EXPECT_EQ(doc.PickMode, kPickNone);
  EXPECT_TRUE(doc.ToolpathsCancelled);
  ui.OnProcessEvents = nullptr;

  // A step that would make a grid of a billion nodes: a message, nothing else.
  doc.MachiningParams.Rough.XYStep = doc.MachiningParams.Rough.YStep = 1e-4;
  ui.Messages.clear();
  r = PrototypeCommand(doc);
  EXPECT_EQ(r.Status, PrototypeStatus::Refused);
  ASSERT_EQ(ui.Messages.size(), 1u);
  EXPECT_NE(ui.Messages[0].Text.find("Rough X and Y steps too small"), std::string::npos) << ui.Messages[0].Text;
  // A Z step far below the depth with a fine grid: refused as well.
  doc.MachiningParams.Rough.XYStep = doc.MachiningParams.Rough.YStep = 0.01;
  doc.MachiningParams.Rough.ZStep = 1e-5;
  EXPECT_EQ(PrototypeCommand(doc).Status, PrototypeStatus::Refused);
  // No model, no rough step: nothing happens.
  doc.MachiningParams.Rough.ZStep = 0.0;
  EXPECT_EQ(PrototypeCommand(doc).Status, PrototypeStatus::None);
  doc.Triangles.clear();
  r = PrototypeCommand(doc);
  EXPECT_EQ(r.Status, PrototypeStatus::None);
  EXPECT_EQ(r.Message, "No STL model loaded.");
}

TEST(AirMoves, RunsAboveTheStockTopBecomeRapidsAtTheRapidHeight) {
  TTNMachiningParameters params;
  params.Z2 = 0.0;
  params.RapidHeight = 3.0;
  TTNOutRegionArray3D passes(1);
  for (float z : {-5.0f, 1.0f, 2.0f, 1.5f, -5.0f, 1.0f, -5.0f}) passes[0].Points.push_back({kPoint3DCut, z, 0.0f, z});
  AirMoves(passes, params, 0);
  const auto& p = passes[0].Points;
  ASSERT_EQ(p.size(), 8u);
  const float want[][2] = {{kPoint3DCut, -5}, {kPoint3DCut, 1}, {kPoint3DRapid, 5}, {kPoint3DRapid, 5},
                           {kPoint3DCut, 1.5}, {kPoint3DCut, -5}, {kPoint3DCut, 1}, {kPoint3DCut, -5}};
  for (std::size_t i = 0; i < p.size(); ++i) {
    EXPECT_EQ(p[i].Kind, static_cast<int32_t>(want[i][0])) << i;
    EXPECT_EQ(p[i].Z, want[i][1]) << i;
  }
  EXPECT_EQ(p[3].X, 1.5f);  // above the run's last point
}

// ---- the dialog's field model ---------------------------------------------

TEST(PrototypeFields, DialogRulesProposeStepsAndSetTheStockBox) {
  SetDecimalSeparator('.');
  PrototypeDialogFields f;
  f.Tools.RoughDiameter = "3";
  RoughDiameterChanged(f, 0.1);
  EXPECT_EQ(f.Tools.RoughStepXY, "0.3000");
  EXPECT_EQ(f.Tools.RoughStepY, "0.3000");
  EXPECT_EQ(f.Tools.FinishDiameter, "3");
  EXPECT_EQ(f.Tools.FinishStepY, "0.3000");
  EXPECT_EQ(f.Tools.StockToLeave, "0.75");
  f.Tools.RoughAngle = "60";
  SetRoughToolType(f, kToolV);
  EXPECT_TRUE(RoughAngleEnabled(f));
  EXPECT_EQ(f.Tools.RoughAngle, "60");
  SetRoughToolType(f, kToolBall);
  EXPECT_FALSE(RoughAngleEnabled(f));
  EXPECT_EQ(f.Tools.RoughAngle, "0");
  f.FinishDir = kFinishDirNone;
  EXPECT_FALSE(FinishFieldsEnabled(f));

  DrawingExtentsRec e{1.0, 11.0, -2.0, 3.0, -4.0, 0.0, -2.0, 5.0, 10.0};
  f.Margin = "1.5";
  ASSERT_TRUE(ApplyMargin(e, f));
  EXPECT_EQ(f.X1, "-0.50");
  EXPECT_EQ(f.Y1, "-3.50");
  EXPECT_EQ(f.X2, "12.50");
  EXPECT_EQ(f.Y2, "4.50");
  EXPECT_EQ(f.Z1, "0.00");  // left alone
  f.Margin = "abc";
  EXPECT_FALSE(ApplyMargin(e, f));
}

TEST(PrototypeFields, FillingChecksTheToolsAndTheBox) {
  testing::TestUserInterface ui;
  Document doc(ui);
  const PrototypeTool ball{kToolBall, 3.0, 0.0, 0.5, 1.0, 4};
  PrototypeTool v = ball;
  v.Type = kToolV;
  v.Angle = 0.0;
  EXPECT_EQ(testing::PreparePrototype(doc, testing::Pyramid(8.0, 3.0), v, ball),
            "Rough tool angle must be between 0 and 180 degrees for a V cutter.");
  PrototypeTool none = ball;
  none.Diameter = 0.0;
  EXPECT_EQ(testing::PreparePrototype(doc, testing::Pyramid(8.0, 3.0), none, ball),
            "Rough tool diameter must be greater than 0.");
  none = ball;
  none.Step = 0.0;
  EXPECT_EQ(testing::PreparePrototype(doc, testing::Pyramid(8.0, 3.0), ball, none),
            "Finish X step must be greater than 0.");
  // The finish tool is not read with "なし".
  EXPECT_EQ(testing::PreparePrototype(doc, testing::Pyramid(8.0, 3.0), ball, none, kFinishDirNone), "");
  EXPECT_EQ(testing::PreparePrototype(doc, testing::Pyramid(8.0, 3.0), ball, ball, kFinishDirY, 0.0, -5.0),
            "Stock X2 must be greater than X1.");

  ASSERT_EQ(testing::PreparePrototype(doc, testing::Pyramid(8.0, 3.0), ball, ball, kFinishDirY, 0.25), "");
  const TTNMachiningParameters& p = doc.MachiningParams;
  EXPECT_EQ(p.Rough.ToolType, kToolBall);
  EXPECT_DOUBLE_EQ(p.Rough.Radius, 1.5);
  EXPECT_EQ(p.Rough.CutDirection, 1);
  EXPECT_EQ(p.Finish.CutDirection, 2);
  EXPECT_DOUBLE_EQ(p.Rough.StockToLeave, 0.25);
  EXPECT_DOUBLE_EQ(p.Finish.StockToLeave, 0.0);
  EXPECT_EQ(p.Rough.ToolNumber, 4);
  EXPECT_DOUBLE_EQ(p.Depth, -3.0);
  EXPECT_DOUBLE_EQ(p.Z1, -3.0);
  EXPECT_EQ(p.Male, 1);
}

TEST(PrototypeFields, PresetsStoreTheExtraKeysAndOneStep) {
  SetDecimalSeparator('.');
  std::random_device rd;
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
      ("tarnak_proto_presets_" + std::to_string(::getpid()) + "_" + std::to_string(rd()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path file = folder / std::string(kPresetFileName);
  PrototypeDialogFields f;
  f.Tools.RoughDiameter = "3";
  RoughDiameterChanged(f, 0.1);
  f.Tools.RoughStepY = "0.7";  // not stored: the preset keeps one step
  SetRoughToolType(f, kToolV);
  f.Tools.RoughAngle = "60";
  SetFinishToolType(f, kToolBall);
  ASSERT_TRUE(SavePrototypePreset(file, kLastPresetName, f));
  const std::string text = testing::ReadAll(file);
  for (const char* line : {"[LAST]", "RoughStepXY=0.3", "RoughAngle=60", "RoughType=2", "FinishAngle=0",
                           "FinishType=1"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  PrototypeDialogFields back;
  ASSERT_EQ(LoadPrototypePreset(file, kLastPresetName, back), PresetLoad::Loaded);
  EXPECT_EQ(back.Tools.RoughStepXY, "0.3");
  EXPECT_EQ(back.Tools.RoughStepY, "0.3");
  EXPECT_EQ(back.Tools.RoughType, kToolV);
  EXPECT_EQ(back.Tools.RoughAngle, "60");
  EXPECT_EQ(back.Tools.FinishType, kToolBall);
  // The command line's settings go by the same keys.
  ApplyPrototypeSetting("RoughType=1", back);
  EXPECT_EQ(back.Tools.RoughType, kToolBall);
  EXPECT_THROW(ApplyPrototypeSetting("RoughType=3", back), PresetSettingError);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

}  // namespace
}  // namespace tarnak
