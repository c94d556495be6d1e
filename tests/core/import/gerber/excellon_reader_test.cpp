// Drill files: every corpus hole becomes a full circle of its tool, and the
// holes land on the copper board drawn beside them (same unit, same place);
// a hand-made file for slots, unknown lines and a hole without a tool.
#include "import/gerber/excellon_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "test_files.h"
#include "test_ui.h"

namespace tarnak {
namespace {

using testing::TestUserInterface;


TEST(ExcellonReader, CorpusHolesLandOnTheirBoards) {
  const std::string dir = std::string(TARNAK_CORPUS_DIR) + "/gerber/";
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"pcb2gcode_EasySDR_Gerber_Drill_PTH.DRL", "pcb2gcode_EasySDR_Gerber_TopLayer.GTL"},
      {"gerbv_hellboard.plated-drill.cnc", "gerbv_hellboard.front.gbr"},
      // Drilled from the board editor's auxiliary origin, not the copper's.
      {"pcb2gcode_project-controller.drl", ""},
      {"pcb2gcode_D1MiniGSR-PTH.drl", ""}};
  for (const auto& [drill, board] : pairs) {
    const std::string text = testing::ReadAll(dir + drill);
    TestUserInterface ui;
    TTNRegionArray holes;
    ASSERT_EQ(ExcellonImportText(text, drill, holes, ui), GerberStatus::Imported) << drill;
    EXPECT_TRUE(ui.Messages.empty()) << drill << ": " << ui.Messages[0].Text;
    // One Region per coordinate line.
    std::istringstream lines(text);
    std::string l;
    size_t expected = 0;
    while (std::getline(lines, l)) expected += !l.empty() && (l[0] == 'X' || l[0] == 'Y');
    EXPECT_EQ(holes.size() - 1, expected) << drill;
    for (size_t i = 1; i < holes.size(); ++i) {
      ASSERT_EQ(holes[i].Elements.size(), 1u);
      EXPECT_TRUE(holes[i].Elements[0].IsFullCircle());
    }
    if (board.empty()) continue;
    TTNRegionArray copper(1);
    const CancelToken never;
    ASSERT_EQ(GerberImport(dir + board, copper, 0, 0, ui, never), GerberStatus::Imported);
    double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
    for (size_t i = 1; i < copper.size(); ++i) {
      minX = std::min(minX, copper[i].MinX);
      maxX = std::max(maxX, copper[i].MaxX);
      minY = std::min(minY, copper[i].MinY);
      maxY = std::max(maxY, copper[i].MaxY);
    }
    for (size_t i = 1; i < holes.size(); ++i) {
      const TTNEntity& c = holes[i].Elements[0];
      EXPECT_TRUE(c.X >= minX && c.X <= maxX && c.Y >= minY && c.Y <= maxY)
          << drill << " hole " << i << " at " << c.X << ", " << c.Y;
    }
  }
}

TEST(ExcellonReader, SlotsUnknownLinesAndHoleWithoutTool) {
  const std::string file =
      "M48\nINCH,TZ\nT01C0.040\nT02C0.125\n%\nG90\nT01\nX010000Y020000\nY030000\nQ17\nZ9\n"
      "T02\nX1.5Y2.5\nX0.1Y0.1G85X0.5Y0.1\nM30\n";
  TestUserInterface ui;
  TTNRegionArray r;
  ASSERT_EQ(ExcellonImportText(file, "a.drl", r, ui), GerberStatus::Imported);
  ASSERT_EQ(ui.Messages.size(), 1u);  // Q17 reported, Z9 not again
  EXPECT_NE(ui.Messages[0].Text.find("line 10"), std::string::npos) << ui.Messages[0].Text;
  ASSERT_EQ(r.size(), 5u);
  EXPECT_DOUBLE_EQ(r[1].Elements[0].X, 1.0);
  EXPECT_DOUBLE_EQ(r[1].Elements[0].Y, 2.0);
  EXPECT_DOUBLE_EQ(r[1].Elements[0].Radius, 0.02);
  EXPECT_DOUBLE_EQ(r[2].Elements[0].Y, 3.0);
  EXPECT_DOUBLE_EQ(r[3].Elements[0].Radius, 0.0625);
  EXPECT_EQ(r[4].Open, 1);
  EXPECT_DOUBLE_EQ(r[4].Elements[0].X2, 0.5);

  TestUserInterface u2;
  TTNRegionArray kept(3);
  EXPECT_EQ(ExcellonImportText("M48\nMETRIC\nT1C0.8\n%\nX1.0Y1.0\n", "b.drl", kept, u2),
            GerberStatus::Stopped);
  ASSERT_EQ(u2.Messages.size(), 1u);
  EXPECT_EQ(u2.Messages[0].Text, "Drill file 'b.drl', line 5: a hole before any tool is selected");
  EXPECT_EQ(kept.size(), 3u);
}

}  // namespace
}  // namespace tarnak
