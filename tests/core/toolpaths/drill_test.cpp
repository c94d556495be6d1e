// Drill toolpaths.
//
// The hole order is checked against a nearest-neighbour walk written here
// from scratch, on random hole sets with and without equal distances, and
// leg by leg: no hole left behind is ever closer than the one drilled next.
// Then the records the NC writer reads, what is and is not drilled, the
// start corner, and the command: depths, selection, messages, Escape.
#include "toolpaths/drill.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "geometry/primitives.h"
#include "shell/selection_commands.h"
#include "shell/document.h"
#include "test_ui.h"
#include "toolpaths/presets.h"
#include "shell/strategy_commands.h"

namespace tarnak {
namespace {

using testing::TestUserInterface;

TTNRegion Circle(double cx, double cy, double r) {
  TTNRegion region;
  region.Elements = {MakeArc(cx, cy, r, 0.0, 0.0)};
  RegionBounds(region);
  return region;
}

TTNRegion Polyline(const std::vector<Point2>& pts, bool closed) {
  TTNRegion region;
  for (size_t k = 0; k + 1 < pts.size(); ++k)
    region.Elements.push_back(MakeLine(pts[k].X, pts[k].Y, pts[k + 1].X, pts[k + 1].Y));
  if (closed)
    region.Elements.push_back(MakeLine(pts.back().X, pts.back().Y, pts[0].X, pts[0].Y));
  region.Open = closed ? 0 : 1;
  RegionBounds(region);
  return region;
}

struct Job {
  TestUserInterface ui;
  Document doc{ui};

  // The drill dialog as a user fills it; the feed field is not the drill's.
  explicit Job(bool linear = false) {
    StrategyDialogFields f;
    f.Depth = "2.5";
    f.RapidHeight = "1.5";
    f.RoughTool = "3";
    f.RoughRPM = "2400";
    f.RoughPlunge = "80";
    f.RoughFeed = "999";
    PresetValues preset = PresetFromFields(StrategyDialog::Drill, f);
    for (auto& [key, value] : preset)
      if (key == "Linear") value = linear ? "True" : "False";
    FieldsFromPreset(StrategyDialog::Drill, preset, f);
    f.Depth = "2.5";  // presets never carry the depth
    FillMachiningParams(StrategyDialog::Drill, f, doc.MachiningParams);
  }

  int Add(TTNRegion r, bool selected = true) {
    r.Selected = selected ? 1 : 0;
    doc.Regions.push_back(std::move(r));
    return static_cast<int>(doc.Regions.size()) - 1;
  }

  std::vector<Point2> Holes() const {
    std::vector<Point2> out;
    for (size_t k = 1; k < doc.Toolpaths.size(); ++k) {
      const TTNEntity& e = doc.Toolpaths[k].Elements.at(0);
      out.push_back({e.X, e.Y});
    }
    return out;
  }
};

void ExpectAt(Point2 p, double x, double y) {
  EXPECT_NEAR(p.X, x, 1e-9);
  EXPECT_NEAR(p.Y, y, 1e-9);
}

std::vector<uint8_t> SelectedFlags(const TTNRegionArray& regions) {
  std::vector<uint8_t> flags;
  for (const TTNRegion& r : regions) flags.push_back(r.Selected);
  return flags;
}

// ------------------------------------------------------------ the order

// Nearest-neighbour walk over plain points, first in list order on ties: the
// plain n * n search, the oracle for the grid search of the strategy.
std::vector<int> WalkOrder(std::vector<Point2> pts, Point2 start) {
  std::vector<int> order;
  std::vector<bool> done(pts.size(), false);
  Point2 at = start;
  for (size_t n = 0; n < pts.size(); ++n) {
    int best = -1;
    double bestD = 0;
    for (size_t k = 0; k < pts.size(); ++k) {
      if (done[k]) continue;
      const double dx = pts[k].X - at.X, dy = pts[k].Y - at.Y;
      const double d = dx * dx + dy * dy;
      if (best < 0 || d < bestD) best = static_cast<int>(k), bestD = d;
    }
    done[static_cast<size_t>(best)] = true;
    order.push_back(best);
    at = pts[static_cast<size_t>(best)];
  }
  return order;
}

double Travel(const std::vector<Point2>& path, Point2 start) {
  double total = 0;
  Point2 at = start;
  for (Point2 p : path) total += std::hypot(p.X - at.X, p.Y - at.Y), at = p;
  return total;
}

TEST(DrillOrder, NearestFromTheLowerLeftCorner) {
  Job job;
  const double r = 0.5;
  job.Add(Circle(0, 0, r));
  job.Add(Circle(10, 0, r));
  job.Add(Circle(1, 1, r));
  EXPECT_EQ(DrillCommand(job.doc), DrillResult::Made);
  const std::vector<Point2> holes = job.Holes();
  ASSERT_EQ(holes.size(), 3u);
  ExpectAt(holes[0], 0, 0);
  ExpectAt(holes[1], 1, 1);
  ExpectAt(holes[2], 10, 0);
}

// Random sets, continuous (no equal distances) and on a coarse grid (many),
// mixed with Regions that must not be drilled. The walk here gives the same
// holes in the same order; every leg is the shortest to any hole left.
TEST(DrillOrder, MatchesAnIndependentNearestNeighbourWalk) {
  std::mt19937 rng(20240611);
  for (int round = 0; round < 60; ++round) {
    const bool grid = round % 2 == 1;
    std::uniform_real_distribution<double> coord(-50, 50);
    std::uniform_int_distribution<int> cell(-4, 4);
    Job job;
    std::vector<Point2> expected;  // drilled centres, in Region order
    const int n = 1 + round * 3;
    for (int k = 0; k < n; ++k) {
      const Point2 c = grid ? Point2{cell(rng) * 5.0, cell(rng) * 5.0} : Point2{coord(rng), coord(rng)};
      const int kind = static_cast<int>(rng() % 6);
      if (kind == 0) {
        job.Add(Circle(c.X, c.Y, 1), false);  // not selected
      } else if (kind == 1) {
        job.Add(Polyline({{c.X, c.Y}, {c.X + 3, c.Y - 2}}, false));  // open
      } else {
        job.Add(Circle(c.X, c.Y, 0.5 + static_cast<double>(rng() % 4)));
        expected.push_back(c);
      }
    }
    // Lower-left corner of every selected Region, the open ones included.
    Point2 start{INFINITY, INFINITY};
    for (size_t i = 1; i < job.doc.Regions.size(); ++i) {
      const TTNRegion& reg = job.doc.Regions[i];
      if (!reg.Selected) continue;
      start = {std::min(start.X, reg.MinX), std::min(start.Y, reg.MinY)};
    }
    DrillPaths(job.doc.Cancel, job.doc.Regions, job.doc.Toolpaths, job.doc.MachiningParams);
    const std::vector<Point2> holes = job.Holes();
    ASSERT_EQ(holes.size(), expected.size()) << "round " << round;
    if (expected.empty()) continue;

    std::vector<Point2> walked;
    for (int k : WalkOrder(expected, start)) walked.push_back(expected[static_cast<size_t>(k)]);
    for (size_t k = 0; k < holes.size(); ++k) {
      ExpectAt(holes[k], walked[k].X, walked[k].Y);
      const Point2 from = k == 0 ? start : holes[k - 1];
      const double leg = std::hypot(holes[k].X - from.X, holes[k].Y - from.Y);
      for (size_t j = k + 1; j < holes.size(); ++j)
        ASSERT_LE(leg, std::hypot(holes[j].X - from.X, holes[j].Y - from.Y) + 1e-9)
            << "round " << round << " leg " << k;
    }
    EXPECT_NEAR(Travel(holes, start), Travel(walked, start), 1e-6);
  }
}

// The grid walk gives exactly the oracle's order, point for point, on sets
// made to trip a grid: lattices full of equal distances, repeated points,
// tight clusters far apart, points on one line, huge and tiny spreads, and
// starts inside, outside and far away.
TEST(DrillOrder, GridWalkEqualsThePlainWalk) {
  const CancelToken none;
  for (unsigned seed = 1; seed <= 28; ++seed) {
    std::mt19937 rng(seed);
    const int shape = static_cast<int>(seed % 7);
    // Shape 6: 400 whole-number points spanning 0..40 make grid cells of
    // exactly 2, so that many holes lie right on the cell edges.
    const int n = shape == 6 ? 400 : static_cast<int>(rng() % 2500) + 1;
    std::uniform_real_distribution<double> unit(0, 1);
    std::uniform_int_distribution<int> lattice(0, 30);
    const double scale = seed % 4 == 0 ? 1e-6 : (seed % 4 == 1 ? 1e5 : 1.0);
    std::vector<Point2> pts;
    for (int k = 0; k < n; ++k) {
      Point2 p;
      if (shape == 0 || shape == 3) {
        p = {lattice(rng) * 2.5, lattice(rng) * 2.5};  // many ties and repeats
      } else if (shape == 1) {
        const double cluster = static_cast<double>(rng() % 5) * 1000.0;
        p = {cluster + unit(rng), cluster - unit(rng)};
      } else if (shape == 2) {
        p = {lattice(rng) * 1.0, 7.0};  // all on one line
      } else if (shape == 6) {
        std::uniform_int_distribution<int> whole(0, 40);
        p = k < 2 ? Point2{k * 40.0, k * 40.0} : Point2{whole(rng) * 1.0, whole(rng) * 1.0};
      } else if (shape == 4) {
        p = {unit(rng) * 100, unit(rng) * 100};
      } else {
        p = {std::floor(unit(rng) * unit(rng) * 40), std::floor(unit(rng) * 3)};
      }
      p = {p.X * scale, p.Y * scale};
      if (pts.size() > 2 && rng() % 8 == 0) p = pts[rng() % pts.size()];  // repeated hole
      pts.push_back(p);
    }
    const Point2 starts[] = {{0, 0}, {-1e3 * scale, 50 * scale}, pts[rng() % pts.size()]};
    for (Point2 start : starts) {
      const std::vector<int> oracle = WalkOrder(pts, start);
      const std::vector<size_t> got = NearestNeighbourOrder(pts, start, none);
      ASSERT_EQ(got.size(), oracle.size()) << "seed " << seed;
      for (size_t k = 0; k < got.size(); ++k)
        ASSERT_EQ(got[k], static_cast<size_t>(oracle[k])) << "seed " << seed << " step " << k;
    }
  }
}

// ------------------------------------------------------------ the records

TEST(DrillPaths, HoleRecordsCarryTheDrillSettings) {
  for (bool linear : {false, true}) {
    Job job(linear);
    job.Add(Circle(4, 5, 1));
    job.Add(Circle(8, 5, 1));
    job.doc.Regions[2].Depth = 0.75;
    job.doc.MachiningParams.Depth = 0;  // keep the Regions' own depths
    ASSERT_EQ(DrillCommand(job.doc), DrillResult::Made);
    ASSERT_EQ(ToolpathCount(job.doc.Toolpaths), 2);
    const TTNOutRegion& t = job.doc.Toolpaths[2];
    EXPECT_EQ(t.LinkKind, linear ? kLinkDrillLinear : kLinkDrillCanned);
    EXPECT_EQ(t.Depth, 0.75);
    EXPECT_EQ(t.Feed, 80);  // the plunge feed
    EXPECT_EQ(t.SpindleSpeed, 2400);
    EXPECT_EQ(t.ToolNumber, 3);
    EXPECT_EQ(t.RapidLevel, -1.5);
    EXPECT_EQ(t.LeadMoves, 0);
    EXPECT_EQ(t.Colour, 0);
    EXPECT_EQ(t.PlungeFeed, 0);
    EXPECT_EQ(t.Open, 0);
    EXPECT_EQ(t.EntryMove.Mark, false);
    ASSERT_EQ(t.Elements.size(), 1u);
    const TTNEntity& e = t.Elements[0];
    EXPECT_EQ(e.Radius, 0);
    EXPECT_EQ(e.X, e.X2);
    EXPECT_EQ(e.Y, e.Y2);
    ExpectAt({e.X, e.Y}, 8, 5);
  }
}

TEST(DrillPaths, OnlySelectedClosedRegionsAtTheirBoxCentre) {
  Job job;
  job.Add(Polyline({{0, 0}, {4, 0}, {0, 2}}, true));              // triangle: box centre (2, 1)
  job.Add(Polyline({{10, 10}, {20, 10}, {20, 20}}, false));       // open
  job.Add(Circle(30, 30, 2), false);                              // not selected
  job.Add(TTNRegion{});                                           // no Elements
  ASSERT_EQ(DrillCommand(job.doc), DrillResult::Made);
  const std::vector<Point2> holes = job.Holes();
  ASSERT_EQ(holes.size(), 1u);
  ExpectAt(holes[0], 2, 1);
}

// A selected open Region is not drilled but widens the box the walk starts
// from: here it pulls the start below the holes, nearer the right one.
TEST(DrillPaths, OpenRegionsMoveTheStartCorner) {
  for (bool withOpen : {false, true}) {
    Job job;
    job.Add(Circle(0, 8, 0.5));
    job.Add(Circle(10, 0, 0.5));
    if (withOpen) job.Add(Polyline({{20, -5}, {30, -5}}, false));
    ASSERT_EQ(DrillCommand(job.doc), DrillResult::Made);
    const std::vector<Point2> holes = job.Holes();
    ASSERT_EQ(holes.size(), 2u);
    ExpectAt(holes[0], withOpen ? 10 : 0, withOpen ? 0 : 8);
  }
}

TEST(NearestRegion, SelectedClosedOnlyFirstOnTies) {
  TTNRegionArray regions(1);
  EXPECT_EQ(NearestRegion(regions, {0, 0}).Index, 0);
  EXPECT_FALSE(SelectionBox(regions).has_value());
  auto add = [&](TTNRegion r, bool selected) {
    r.Selected = selected;
    regions.push_back(r);
  };
  add(Circle(1, 0, 1), false);
  add(Polyline({{0, 0.5}, {0, 0.6}}, false), true);  // open, nearer than all
  add(Circle(0, -3, 1), true);
  add(Circle(3, 0, 1), true);   // as far as the one before
  add(Circle(-3, 0, 1), true);  // and this one
  const NearestHole h = NearestRegion(regions, {0, 0});
  EXPECT_EQ(h.Index, 3);
  ExpectAt(h.Centre, 0, -3);
  EXPECT_EQ(NearestRegion(regions, {2.5, 0}).Index, 4);

  const std::optional<Box> box = SelectionBox(regions);
  ASSERT_TRUE(box.has_value());
  EXPECT_DOUBLE_EQ(box->MinX, -4);
  EXPECT_DOUBLE_EQ(box->MinY, -4);
  EXPECT_DOUBLE_EQ(box->MaxX, 4);
  EXPECT_DOUBLE_EQ(box->MaxY, 1);  // the unselected circle does not count
}

// ------------------------------------------------------------ the command

TEST(DrillCommand, DepthsSelectionAndStatus) {
  Job job;
  const int plate = job.Add(Polyline({{0, 0}, {50, 0}, {50, 30}, {0, 30}}, true));
  const int hole = job.Add(Circle(10, 10, 2));
  const int island = job.Add(Circle(40, 20, 2));
  const int spare = job.Add(Circle(25, 15, 2), false);
  job.doc.Regions[static_cast<size_t>(island)].Owner = plate;
  job.doc.Regions[static_cast<size_t>(island)].Depth = 0.4;
  job.doc.Regions[static_cast<size_t>(spare)].Depth = 9;
  const std::vector<uint8_t> before = SelectedFlags(job.doc.Regions);
  std::vector<Pick> pickModes;
  job.ui.OnProcessEvents = [&](int) { pickModes.push_back(job.doc.PickMode); };

  ASSERT_EQ(DrillCommand(job.doc), DrillResult::Made);
  EXPECT_EQ(SelectedFlags(job.doc.Regions), before);
  ASSERT_FALSE(pickModes.empty());
  EXPECT_EQ(pickModes.front(), kPickModeDrill);
  EXPECT_EQ(job.doc.PickMode, kPickNone);
  EXPECT_EQ(job.doc.ViewMode, 0);  // what to show is the window's decision
  EXPECT_TRUE(job.ui.Messages.empty());
  EXPECT_EQ(job.ui.LastStatus(), "Ready...");

  // The dialog depth went to the plate and the free hole, not to the island
  // nor the unselected circle.
  EXPECT_EQ(job.doc.Regions[static_cast<size_t>(hole)].Depth, 2.5);
  EXPECT_EQ(job.doc.Regions[static_cast<size_t>(spare)].Depth, 9);
  ASSERT_EQ(ToolpathCount(job.doc.Toolpaths), 3);
  // From (0, 0): the hole, the plate's centre, the island.
  EXPECT_EQ(job.doc.Toolpaths[1].Depth, 2.5);
  ExpectAt(job.Holes()[1], 25, 15);
  EXPECT_EQ(job.doc.Toolpaths[3].Depth, 0.4);
}

TEST(DrillCommand, NothingToDrill) {
  {
    Job job;
    job.Add(Circle(1, 1, 1), false);
    job.doc.Toolpaths.resize(2);
    job.doc.PickMode = kPickSelectSingle;
    EXPECT_EQ(DrillCommand(job.doc), DrillResult::NothingSelected);
    ASSERT_EQ(job.ui.Messages.size(), 1u);
    EXPECT_EQ(job.ui.Messages[0].Text, "Nothing Selected! - Select Regions First");
    EXPECT_EQ(job.doc.Toolpaths.size(), 2u);
    EXPECT_TRUE(job.ui.Statuses.empty());
    EXPECT_EQ(job.doc.PickMode, kPickSelectSingle);
  }
  {
    Job job;
    job.Add(Polyline({{0, 0}, {5, 5}}, false));
    job.doc.Toolpaths.resize(2);
    EXPECT_EQ(DrillCommand(job.doc), DrillResult::None);
    ASSERT_EQ(job.ui.Messages.size(), 1u);
    EXPECT_EQ(job.ui.Messages[0].Text, "Toolpaths not Created.  Check Parameters.");
    EXPECT_EQ(ToolpathCount(job.doc.Toolpaths), 0);
    EXPECT_EQ(job.ui.LastStatus(), "Ready...");
    EXPECT_EQ(job.doc.PickMode, kPickNone);
  }
}

TEST(DrillCommand, EscapeBeforeTheStartKeepsTheOldToolpaths) {
  Job job;
  job.Add(Circle(1, 1, 1));
  job.doc.Toolpaths.resize(3);  // an earlier job's paths
  job.doc.Cancel.Stop();
  EXPECT_EQ(DrillPaths(job.doc.Cancel, job.doc.Regions, job.doc.Toolpaths, job.doc.MachiningParams),
            0);
  EXPECT_EQ(job.doc.Toolpaths.size(), 3u);  // stopped before the start: not running
  EXPECT_EQ(job.ui.EventsProcessed, 0);
  // The stop is left over from an earlier job: the command ignores it.
  job.ui.OnProcessEvents = [&](int) { job.doc.RequestAbort(); };
  EXPECT_EQ(DrillCommand(job.doc), DrillResult::Cancelled);
  EXPECT_EQ(job.doc.Toolpaths.size(), 3u);
  EXPECT_EQ(job.ui.LastStatus(), "Operation Cancelled...");
  EXPECT_EQ(job.doc.PickMode, kPickNone);
}

// Escape while a large set is ordered stops it with a leading part of the
// full order, and the selection intact.
TEST(DrillCommand, EscapeDuringTheJobKeepsTheHolesSoFar) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> coord(0, 500);
  Job full, cut;
  for (int k = 0; k < 2000; ++k) {
    const double x = coord(rng), y = coord(rng);
    full.Add(Circle(x, y, 1));
    cut.Add(Circle(x, y, 1), k % 5 != 0);
    full.doc.Regions.back().Selected = cut.doc.Regions.back().Selected;
  }
  const std::vector<uint8_t> before = SelectedFlags(cut.doc.Regions);
  ASSERT_EQ(DrillCommand(full.doc), DrillResult::Made);
  cut.ui.OnProcessEvents = [&](int n) {
    if (n == 2) cut.doc.RequestAbort();
  };
  EXPECT_EQ(DrillCommand(cut.doc), DrillResult::Cancelled);
  EXPECT_EQ(SelectedFlags(cut.doc.Regions), before);
  EXPECT_EQ(cut.ui.LastStatus(), "Operation Cancelled...");
  EXPECT_EQ(cut.doc.PickMode, kPickNone);
  const std::vector<Point2> all = full.Holes(), some = cut.Holes();
  EXPECT_EQ(all.size(), 1600u);
  ASSERT_GT(some.size(), 0u);
  ASSERT_LT(some.size(), all.size());
  for (size_t k = 0; k < some.size(); ++k) ExpectAt(some[k], all[k].X, all[k].Y);
}

// The usual way to drill: pick the circles that hold nothing, then drill.
TEST(DrillCommand, AfterSelectingEmptyCircles) {
  Job job;
  job.Add(Polyline({{0, 0}, {40, 0}, {40, 20}, {0, 20}}, true), false);
  job.Add(Circle(30, 10, 3), false);
  job.Add(Circle(30, 10, 1), false);  // inside the one before: that one is not empty
  job.Add(Circle(5, 5, 2), false);
  SelectEmptyCircles(job.doc);
  ASSERT_EQ(DrillCommand(job.doc), DrillResult::Made);
  const std::vector<Point2> holes = job.Holes();
  ASSERT_EQ(holes.size(), 2u);
  ExpectAt(holes[0], 5, 5);
  ExpectAt(holes[1], 30, 10);
}

}  // namespace
}  // namespace tarnak
