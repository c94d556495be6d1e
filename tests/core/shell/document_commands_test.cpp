// What the document holds across opening another drawing, a failed open,
// a cancelled run and runs that add to the toolpaths: the NC save must
// never write one part's moves under another part's name, nor pass off a
// cut-short run as a whole one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "shell/save_command.h"
#include "shell/selection_commands.h"
#include "shell/strategy_commands.h"
#include "shell/commands.h"
#include "shell/document.h"
#include "test_ui.h"
#include "toolpaths/contour.h"
#include "toolpaths/drill.h"
#include "toolpaths/machining_params.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;

// A square of `size` at (x, y) and a circle of radius 1 inside it.
std::string SquareWithHole(double x, double y, double size) {
  std::string t = "0\nSECTION\n2\nENTITIES\n";
  auto line = [&](double x1, double y1, double x2, double y2) {
    t += "0\nLINE\n8\n0\n10\n" + std::to_string(x1) + "\n20\n" + std::to_string(y1) + "\n11\n" +
         std::to_string(x2) + "\n21\n" + std::to_string(y2) + "\n";
  };
  line(x, y, x + size, y);
  line(x + size, y, x + size, y + size);
  line(x + size, y + size, x, y + size);
  line(x, y + size, x, y);
  t += "0\nCIRCLE\n8\n0\n10\n" + std::to_string(x + size / 2) + "\n20\n" +
       std::to_string(y + size / 2) + "\n40\n1\n";
  return t + "0\nENDSEC\n0\nEOF\n";
}

class DocumentCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    dir_ = fs::temp_directory_path() / ("tarnak-doc-" + std::to_string(rd()));
    fs::create_directories(dir_);
    Write("plate.dxf", SquareWithHole(0, 0, 20));
    Write("bracket.dxf", SquareWithHole(100, 100, 10));
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  void Write(const char* name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }

  // A contour around the plate's square with tool 1, holes drilled with tool 4.
  void Contour(ToolpathsMode mode = ToolpathsMode::Replace) {
    DeselectAll(doc);
    SelectAllClosed(doc);
    TTNMachiningParameters& p = doc.MachiningParams;
    p.Rough.Radius = 1.5;
    p.Rough.ZStep = 1;
    p.Rough.Feed = 600;
    p.Rough.PlungeFeed = 200;
    p.Rough.ToolNumber = 1;
    p.Depth = 1;
    p.RapidHeight = 5;
    p.Compensation = kCompCutout;
    ASSERT_EQ(ContourCommand(doc, mode), ContourResult::Made);
  }
  DrillResult Drill(ToolpathsMode mode) {
    DeselectAll(doc);
    SelectEmptyCircles(doc);
    TTNMachiningParameters& p = doc.MachiningParams;
    p.Rough.ToolNumber = 4;
    p.Rough.Feed = p.Rough.PlungeFeed = 100;
    p.CannedCycles = 1;
    return DrillCommand(doc, mode);
  }

  testing::TestUserInterface ui;
  Document doc{ui};
  fs::path dir_;
};

TEST_F(DocumentCommands, AnotherDrawingTakesNoToolpathsOfTheLastOneAndAFailedOpenKeepsAll) {
  ASSERT_EQ(OpenDxfCommand(doc, Path("plate.dxf")), OpenResult::Loaded);
  Contour();
  const TTNOutRegionArray plate = doc.Toolpaths;
  const TTNRegionArray plateRegions = doc.Regions;
  const double plateMaxX = doc.DrawingExtents.MaxX;

  // A file that cannot be read, and Escape after the read or during the
  // import: the plate stays, drawing, name and toolpaths together.
  const struct {
    const char* file;
    int escapeAt;  // the chance to process events at which Escape comes
  } failures[] = {{"missing.dxf", 0}, {"bracket.dxf", 1}, {"bracket.dxf", 2}};
  for (const auto& bad : failures) {
    SCOPED_TRACE(std::string(bad.file) + " " + std::to_string(bad.escapeAt));
    int chance = 0;
    ui.OnProcessEvents = [&](int) {
      if (++chance == bad.escapeAt) doc.RequestAbort();
    };
    const OpenResult r = OpenDxfCommand(doc, Path(bad.file));
    ui.OnProcessEvents = nullptr;
    EXPECT_TRUE(bad.escapeAt == 0 || chance >= bad.escapeAt);
    EXPECT_TRUE(r == OpenResult::Failed || r == OpenResult::Cancelled);
    EXPECT_EQ(doc.FileName, "plate");
    EXPECT_EQ(doc.Regions.size(), plateRegions.size());
    EXPECT_EQ(doc.DrawingExtents.MaxX, plateMaxX);
    EXPECT_EQ(doc.Toolpaths.size(), plate.size());
    EXPECT_EQ(ProposedNcFileName(doc), "plate." + doc.PostDefinition.Extension);
  }

  // Opening another drawing asks first; Cancel keeps everything.
  ui.Messages.clear();
  ui.Answers = {MsgResult::Cancel};
  int saves = 0;
  EXPECT_FALSE(ConfirmDiscardToolpaths(doc, [&] { return ++saves, true; }));
  ASSERT_EQ(ui.Messages.size(), 1u);
  EXPECT_EQ(ui.Messages[0].Text, kSaveBeforeOpeningText);
  EXPECT_EQ(ui.Messages[0].Buttons, MsgButtons::YesNoCancel);
  // Yes goes on only when the save wrote the file.
  ui.Answers = {MsgResult::Yes, MsgResult::Yes};
  EXPECT_FALSE(ConfirmDiscardToolpaths(doc, [&] { return ++saves, false; }));
  EXPECT_TRUE(ConfirmDiscardToolpaths(doc, [&] { return ++saves, true; }));
  EXPECT_EQ(saves, 2);
  ui.Answers = {MsgResult::No};
  EXPECT_TRUE(ConfirmDiscardToolpaths(doc, [&] { return ++saves, true; }));
  EXPECT_EQ(saves, 2);

  ASSERT_EQ(OpenDxfCommand(doc, Path("bracket.dxf")), OpenResult::Loaded);
  EXPECT_EQ(doc.FileName, "bracket");
  EXPECT_EQ(ToolpathCount(doc.Toolpaths), 0);
  EXPECT_TRUE(doc.Toolpaths3D.empty());
  // Nothing is left to ask about.
  ui.Messages.clear();
  EXPECT_TRUE(ConfirmDiscardToolpaths(doc, {}));
  EXPECT_TRUE(ui.Messages.empty());
  // What a save would now write: a program without a single cutting move.
  const fs::path nc = dir_ / "bracket.nc";
  SaveToolpathsCommand(doc, nc);
  std::ifstream in(nc, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(ProposedNcFileName(doc), "bracket." + doc.PostDefinition.Extension);
  EXPECT_EQ(text.find("G1"), std::string::npos) << text;
  EXPECT_EQ(text.find("G01"), std::string::npos) << text;
}

TEST_F(DocumentCommands, AddedRunsFollowTheEarlierToolpathsAndACutShortRunAsksBeforeSaving) {
  ASSERT_EQ(OpenDxfCommand(doc, Path("plate.dxf")), OpenResult::Loaded);
  Contour();
  const int contours = ToolpathCount(doc.Toolpaths);
  ASSERT_EQ(Drill(ToolpathsMode::Append), DrillResult::Made);
  ASSERT_EQ(ToolpathCount(doc.Toolpaths), contours + 1);
  for (int i = 1; i <= contours; ++i) EXPECT_EQ(doc.Toolpaths[static_cast<size_t>(i)].ToolNumber, 1);
  EXPECT_EQ(doc.Toolpaths.back().ToolNumber, 4);
  EXPECT_EQ(doc.Toolpaths.back().LinkKind, kLinkDrillCanned);
  EXPECT_FALSE(doc.ToolpathsCancelled);
  ui.Messages.clear();
  EXPECT_TRUE(ConfirmSaveToolpaths(doc));
  EXPECT_TRUE(ui.Messages.empty());

  // Adding a contour again keeps the holes and puts their lead-free
  // records through untouched.
  Contour(ToolpathsMode::Append);
  EXPECT_EQ(ToolpathCount(doc.Toolpaths), 2 * contours + 1);
  EXPECT_EQ(doc.Toolpaths[static_cast<size_t>(contours + 1)].ToolNumber, 4);

  // Escape during an added run: what was there stays, and the set is
  // known to be incomplete until a whole run replaces it.
  ui.OnProcessEvents = [&](int) { doc.RequestAbort(); };
  EXPECT_EQ(Drill(ToolpathsMode::Append), DrillResult::Cancelled);
  ui.OnProcessEvents = nullptr;
  EXPECT_GE(ToolpathCount(doc.Toolpaths), 2 * contours + 1);
  EXPECT_TRUE(doc.ToolpathsCancelled);
  ui.Messages.clear();
  ui.Answers = {MsgResult::No, MsgResult::Yes};
  EXPECT_FALSE(ConfirmSaveToolpaths(doc));
  EXPECT_TRUE(ConfirmSaveToolpaths(doc));
  ASSERT_EQ(ui.Messages.size(), 2u);
  EXPECT_EQ(ui.Messages[0].Text, kIncompleteToolpathsText);
  EXPECT_EQ(ui.Messages[0].Buttons, MsgButtons::YesNo);

  ASSERT_EQ(Drill(ToolpathsMode::Replace), DrillResult::Made);
  EXPECT_EQ(ToolpathCount(doc.Toolpaths), 1);
  EXPECT_FALSE(doc.ToolpathsCancelled);
}

}  // namespace
}  // namespace tarnak
