// Isolation routing measured against the copper it isolates: every point of
// every routing path keeps the tool radius (less one raster cell) from
// every traced outline, on hand-made boards in inch and millimetres and on
// real boards; pads farther apart than the tool get loops of their own,
// closer ones one loop round both; a second pass keeps its own distance.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "geometry/box_tree.h"
#include "geometry/distance.h"
#include "geometry/element_points.h"
#include "geometry/primitives.h"
#include "selection/region_geometry.h"
#include "shell/document.h"
#include "shell/gerber_command.h"
#include "shell/selection_commands.h"
#include "shell/strategy_commands.h"
#include "test_ui.h"
#include "toolpaths/isolation/isolation.h"
#include "toolpaths/param_checks.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;
using testing::TestUserInterface;

constexpr double kInchCell = 0.002;
constexpr double kMmCell = 0.0508;

fs::path TempFile(const std::string& name) {
  return fs::temp_directory_path() / ("tarnak-isolation-" + std::to_string(::getpid()) + "-" + name);
}

// A board in inches scaled by s (25.4 for millimetres): an outline track
// round 0..2 x 0..1.5, round and square pads, tracks between some, a ring
// of copper with a pad inside, and two test pairs of pads, one farther
// apart than the tool is wide, one closer.
struct PadPair {
  double X1, X2, Y;  // centres, inches
};
constexpr double kPad = 0.06;  // pad diameter, inches
constexpr PadPair kFarPair{0.3, 0.3 + kPad + 0.03, 1.2};
constexpr PadPair kNearPair{1.2, 1.2 + kPad + 0.012, 1.2};

std::string BoardText(bool mm, bool outline = true) {
  const double s = mm ? 25.4 : 1.0;
  auto c = [&](double v) { return std::to_string(static_cast<long long>(std::llround(v * s * 1e5))); };
  std::ostringstream g;
  g << "%FSLAX35Y35*%\n" << (mm ? "%MOMM*%\n" : "%MOIN*%\n");
  g << "%ADD10C," << 0.01 * s << "*%\n%ADD11C," << kPad * s << "*%\n%ADD12R," << 0.07 * s << "X"
    << 0.05 * s << "*%\n%ADD13C," << 0.016 * s << "*%\n";
  if (outline)
    g << "G01*\nD10*X" << c(0) << "Y" << c(0) << "D02*X" << c(2) << "D01*Y" << c(1.5) << "D01*X"
      << c(0) << "D01*Y" << c(0) << "D01*\n";
  // A row of round pads joined by a diagonal track, a row of square pads.
  g << "D11*\n";
  for (int k = 0; k < 6; ++k) g << "X" << c(0.3 + 0.25 * k) << "Y" << c(0.3) << "D03*\n";
  g << "D12*\n";
  for (int k = 0; k < 6; ++k) g << "X" << c(0.3 + 0.25 * k) << "Y" << c(0.7) << "D03*\n";
  g << "D13*X" << c(0.3) << "Y" << c(0.3) << "D02*X" << c(0.55) << "Y" << c(0.7) << "D01*\n";
  g << "X" << c(1.05) << "Y" << c(0.3) << "D02*X" << c(1.55) << "Y" << c(0.7) << "D01*\n";
  g << "X" << c(0.8) << "Y" << c(0.95) << "D02*X" << c(1.7) << "Y" << c(1.0) << "D01*\n";
  // A square ring of copper with a pad in its clear middle.
  g << "G36*X" << c(1.7) << "Y" << c(0.15) << "D02*X" << c(1.95) << "D01*Y" << c(0.4) << "D01*X"
    << c(1.7) << "D01*Y" << c(0.15) << "D01*X" << c(1.75) << "Y" << c(0.2) << "D02*X" << c(1.9)
    << "D01*Y" << c(0.35) << "D01*X" << c(1.75) << "D01*Y" << c(0.2) << "D01*G37*\n";
  g << "%ADD14C," << 0.04 * s << "*%\nD14*X" << c(1.825) << "Y" << c(0.275) << "D03*\n";
  g << "D11*\n";
  for (const PadPair& p : {kFarPair, kNearPair})
    g << "X" << c(p.X1) << "Y" << c(p.Y) << "D03*X" << c(p.X2) << "Y" << c(p.Y) << "D03*\n";
  g << "M02*\n";
  return g.str();
}

// A document with a board imported and selected all as islands.
struct Board {
  TestUserInterface ui;
  Document doc{ui};

  bool Open(const fs::path& file) {
    const GerberOpenResult r = OpenBoardFile(doc, file.string());
    if (r.Status != OpenResult::Loaded) return false;
    doc.PickTolerance = 0.001;
    SelectAllAsIslands(doc);
    return doc.Regions[0].Owner != 0;
  }
  bool OpenText(const std::string& text, const std::string& name) {
    const fs::path file = TempFile(name);
    std::ofstream(file, std::ios::binary) << text;
    const bool ok = Open(file);
    fs::remove(file);
    return ok;
  }
  // The dialog's fields as the action button fills them.
  void Params(double diameter, int passes = 1, double overlap = 0.5, double depth = 0.1) {
    StrategyDialogFields f;
    f.Depth = std::to_string(depth);
    f.RapidHeight = "1";
    f.RoughDiameter = std::to_string(diameter);
    f.RoughFeed = "10";
    f.RoughPlunge = "5";
    f.Passes = std::to_string(passes);
    f.Overlap = std::to_string(overlap);
    LineNumbering lines;
    ASSERT_FALSE(FillCheckedParams(StrategyDialog::CircuitBoard, f, doc.MachiningParams, lines));
  }
};

// The nearest any traced outline comes to points along the paths, found
// through a box tree over every outline Element.
class CopperDistance {
 public:
  explicit CopperDistance(const TTNRegionArray& regions) : regions_(regions) {
    std::vector<Box> boxes;
    for (size_t r = 1; r < regions.size(); ++r)
      for (size_t k = 0; k < regions[r].Elements.size(); ++k) {
        refs_.push_back({r, k});
        boxes.push_back(regions[r].Elements[k].Bounds());
      }
    tree_.Build(std::move(boxes));
    std::vector<Box> outlines;
    for (size_t r = 1; r < regions.size(); ++r) outlines.push_back(regions[r].Bounds());
    outlines_.Build(std::move(outlines));
  }
  // True when p lies in copper: inside an odd number of outlines (a pad in
  // the clear hole of a pour lies inside two).
  bool InCopper(Point2 p) const {
    // Off the height of the traced vertices, where the crossing count's
    // allowance would count both edges meeting at a vertex.
    p.Y += 1.7e-6;
    int count = 0;
    outlines_.Query(Box::FromMinMax(p.X, p.Y, p.X, p.Y), [&](int32_t r) {
      if (PointInRegion(p, regions_[static_cast<size_t>(r) + 1])) ++count;
    });
    return (count & 1) != 0;
  }
  // True when some outline lies nearer than `limit` to p.
  bool Nearer(Point2 p, double limit) const {
    return tree_.AnyNear(p, limit, [&](int32_t item) {
      const Ref ref = refs_[static_cast<size_t>(item)];
      const TTNEntity& e = regions_[ref.Region].Elements[ref.Element];
      return PointElementDistance(e, p, PastSpan::NearerEnd, 0.0) < limit;
    });
  }

 private:
  struct Ref {
    size_t Region, Element;
  };
  const TTNRegionArray& regions_;
  std::vector<Ref> refs_;
  BoxTree tree_, outlines_;
};

// Points every `step` along every Element of toolpaths first..last; the
// number of them nearer than `limit` to the copper or in it, the first one
// in `at`.
int Violations(const TTNOutRegionArray& paths, size_t first, size_t last,
               const CopperDistance& copper, double limit, double step, Point2& at,
               size_t& samples) {
  int bad = 0;
  for (size_t t = first; t <= last && t < paths.size(); ++t) {
    for (const TTNEntity& e : paths[t].Elements) {
      const double length = ElementLength(e);
      const int n = std::max(2, static_cast<int>(std::ceil(length / step)) + 1);
      for (int k = 0; k < n; ++k) {
        const Point2 p = PointAtIn(e, static_cast<double>(k) / (n - 1));
        ++samples;
        // Inside copper a path runs for long: a few points of each Element tell.
        if (copper.Nearer(p, limit) || (k % 8 == 0 && copper.InCopper(p))) {
          if (bad++ == 0) at = p;
        }
      }
    }
  }
  return bad;
}

// Every routing path keeps the pass distance less one cell from the copper,
// and runs outside it (not along the inside of a ring of copper).
void ExpectIsolated(const Board& b, size_t first, size_t last, double distance, double cell) {
  const CopperDistance copper(b.doc.Regions);
  Point2 at{};
  size_t samples = 0;
  const int bad =
      Violations(b.doc.Toolpaths, first, last, copper, distance - cell, cell / 4, at, samples);
  EXPECT_EQ(bad, 0) << "first at " << at.X << ", " << at.Y << " of " << samples << " samples";
  EXPECT_GT(samples, 100u);
}

// The loops narrower than `size` that hold the point inside them (the
// loop inside the board outline holds every pad).
std::vector<size_t> LoopsAround(const TTNOutRegionArray& paths, Point2 p, double size) {
  std::vector<size_t> found;
  for (size_t t = 1; t < paths.size(); ++t) {
    TTNRegion loop;
    loop.Elements = paths[t].Elements;
    loop.Open = 0;
    RegionBounds(loop);
    if (loop.MaxX - loop.MinX > size || loop.MaxY - loop.MinY > size) continue;
    if (PointInRegion(p, loop)) found.push_back(t);
  }
  return found;
}

TEST(RoutePCB, HandMadeBoardsAreIsolatedAndNeighboursMergeOnlyWhenTooClose) {
  struct Case {
    bool Mm;
    double Cell;
    bool Clockwise;
  };
  for (const Case c : {Case{false, kInchCell, false}, Case{true, kMmCell, true}}) {
    SCOPED_TRACE(c.Mm ? "millimetres" : "inches");
    const double s = c.Mm ? 25.4 : 1.0;
    Board b;
    b.doc.Options.Program.Dir = c.Clockwise;
    ASSERT_TRUE(b.OpenText(BoardText(c.Mm), c.Mm ? "mm.gbr" : "in.gbr"));
    const double diameter = 0.02 * s;  // the far pair's gap 0.03 is wider, the near 0.012 narrower
    b.Params(diameter);
    ASSERT_EQ(RoutePcbCommand(b.doc), RoutePcbResult::Made);
    EXPECT_EQ(b.doc.PickMode, kPickNone);
    EXPECT_EQ(b.ui.LastStatus(), "Routing complete...");
    const TTNOutRegionArray& paths = b.doc.Toolpaths;
    ExpectIsolated(b, 1, paths.size() - 1, diameter / 2, c.Cell);
    for (size_t t = 1; t < paths.size(); ++t) {
      EXPECT_EQ(paths[t].Depth, 0.1);
      EXPECT_EQ(paths[t].Open, 0);
    }

    auto centre = [&](double x, double y) { return Point2{x * s, y * s}; };
    const auto farA = LoopsAround(paths, centre(kFarPair.X1, kFarPair.Y), s);
    const auto farB = LoopsAround(paths, centre(kFarPair.X2, kFarPair.Y), s);
    ASSERT_EQ(farA.size(), 1u);
    ASSERT_EQ(farB.size(), 1u);
    EXPECT_NE(farA[0], farB[0]) << "pads a tool diameter apart share a loop";
    const auto nearA = LoopsAround(paths, centre(kNearPair.X1, kNearPair.Y), s);
    const auto nearB = LoopsAround(paths, centre(kNearPair.X2, kNearPair.Y), s);
    ASSERT_EQ(nearA.size(), 1u);
    EXPECT_EQ(nearA, nearB) << "pads closer than the tool are not routed as one";
    // Every pad of the rows has its loop: none is left unrouted.
    for (int k = 0; k < 6; ++k)
      EXPECT_EQ(LoopsAround(paths, centre(0.3 + 0.25 * k, 0.7), s).size(), 1u) << "square pad " << k;

    // A second pass keeps its own, wider distance; the first is as before.
    const size_t onePass = paths.size() - 1;
    const TTNOutRegionArray first = paths;
    b.Params(diameter, 2, 0.25);
    ASSERT_EQ(RoutePcbCommand(b.doc), RoutePcbResult::Made);
    ASSERT_GT(paths.size() - 1, onePass);
    for (size_t t = 1; t <= onePass; ++t) EXPECT_EQ(paths[t].Elements.size(), first[t].Elements.size());
    ExpectIsolated(b, onePass + 1, paths.size() - 1, diameter / 2 + diameter * 0.75, c.Cell);
  }
}

// A copper layer without the board's outline: the feature the all-as-islands
// command takes for the outline is routed round like every other one.
TEST(RoutePCB, CopperWithoutBoardOutlineIsRoutedWhole) {
  Board b;
  ASSERT_TRUE(b.OpenText(BoardText(false, false), "copper.gbr"));
  b.Params(0.02);
  ASSERT_EQ(RoutePcbCommand(b.doc), RoutePcbResult::Made);
  const TTNOutRegionArray& paths = b.doc.Toolpaths;
  ExpectIsolated(b, 1, paths.size() - 1, 0.01, kInchCell);
  // Every pad of both rows (the round row's first one is the feature
  // nearest the lower-left corner) has its own loop round it.
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(LoopsAround(paths, {0.3 + 0.25 * k, 0.3}, 1.0).size(), 1u) << "round pad " << k;
    EXPECT_EQ(LoopsAround(paths, {0.3 + 0.25 * k, 0.7}, 1.0).size(), 1u) << "square pad " << k;
  }
}

TEST(RoutePCB, RealBoardsAreIsolated) {
  const std::string boards = std::string(TARNAK_CORPUS_DIR) + "/gerber/";
  struct Case {
    const char* File;
    double Diameter, Cell;
  };
  for (const Case c : {Case{"gerbv_eaglecad1_top-cop.gbx", 0.008, kInchCell},
                       Case{"pcb2gcode_EasySDR_Gerber_TopLayer.GTL", 0.2, kMmCell}}) {
    SCOPED_TRACE(c.File);
    Board b;
    ASSERT_TRUE(b.Open(boards + c.File));
    b.Params(c.Diameter);
    ASSERT_EQ(RoutePcbCommand(b.doc), RoutePcbResult::Made);
    EXPECT_GT(ToolpathCount(b.doc.Toolpaths), 10);
    ExpectIsolated(b, 1, b.doc.Toolpaths.size() - 1, c.Diameter / 2, c.Cell);
  }
}

TEST(RoutePcbCommand, RefusesWithoutTheBoardOutlineRoutesAgainAndCancelsToNothing) {
  Board b;
  ASSERT_TRUE(b.OpenText(BoardText(false), "cmd.gbr"));
  b.Params(0.02);

  // Without the all-as-islands selection.
  const int outline = b.doc.Regions[0].Owner;
  b.doc.Regions[0].Owner = 0;
  EXPECT_EQ(RoutePcbCommand(b.doc), RoutePcbResult::NotAllAsIslands);
  ASSERT_EQ(b.ui.Messages.size(), 1u);
  EXPECT_EQ(b.ui.Messages[0].Text, "Use Select All as Islands for this function");
  EXPECT_FALSE(CheckRoutePcbSelection(b.doc));
  b.doc.Regions[0].Owner = outline;
  EXPECT_TRUE(CheckRoutePcbSelection(b.doc));

  // PickMode 207 while it runs; routing twice gives the same paths, not twice as many.
  int seen = 0;
  b.ui.OnProcessEvents = [&](int) {
    if (b.doc.PickMode == Pick{207}) ++seen;
  };
  b.ui.Statuses.clear();
  ASSERT_EQ(RoutePcbCommand(b.doc), RoutePcbResult::Made);
  EXPECT_GT(seen, 0);
  ASSERT_FALSE(b.ui.Statuses.empty());
  EXPECT_EQ(b.ui.Statuses.front(), "Routing in progress...");
  const TTNOutRegionArray once = b.doc.Toolpaths;
  ASSERT_EQ(RoutePcbCommand(b.doc), RoutePcbResult::Made);
  ASSERT_EQ(b.doc.Toolpaths.size(), once.size());
  for (size_t t = 1; t < once.size(); ++t)
    EXPECT_EQ(b.doc.Toolpaths[t].Elements.size(), once[t].Elements.size());

  // Escape half way: nothing is kept.
  int polls = 0;
  b.ui.OnProcessEvents = [&](int) {
    if (++polls == 3) b.doc.RequestAbort();
  };
  b.ui.Messages.clear();
  EXPECT_EQ(RoutePcbCommand(b.doc), RoutePcbResult::Cancelled);
  EXPECT_EQ(ToolpathCount(b.doc.Toolpaths), 0);
  EXPECT_EQ(b.ui.LastStatus(), "Operation Cancelled...");
  EXPECT_EQ(b.doc.PickMode, kPickNone);
  b.ui.OnProcessEvents = nullptr;

  // An outline too small to offset does not stop the routing of the rest.
  const int first = outline == 1 ? 2 : 1;
  const TTNEntityArray kept = b.doc.Regions[static_cast<size_t>(first)].Elements;
  b.doc.Regions[static_cast<size_t>(first)].Elements = {MakeLine(0.5, 0.5, 0.5, 0.5)};
  EXPECT_EQ(RoutePcbCommand(b.doc), RoutePcbResult::Made);
  EXPECT_GE(ToolpathCount(b.doc.Toolpaths), ToolpathCount(once) - 1);
  b.doc.Regions[static_cast<size_t>(first)].Elements = kept;

  // Only the outline selected: nothing to route.
  for (size_t i = 1; i < b.doc.Regions.size(); ++i)
    if (static_cast<int>(i) != outline) b.doc.Regions[i].Selected = 0;
  b.ui.Messages.clear();
  EXPECT_EQ(RoutePcbCommand(b.doc), RoutePcbResult::None);
  EXPECT_EQ(ToolpathCount(b.doc.Toolpaths), 0);
  ASSERT_EQ(b.ui.Messages.size(), 1u);
  EXPECT_EQ(b.ui.Messages[0].Text, "Toolpaths not Created.  Check Parameters.");
}

}  // namespace
}  // namespace tarnak
