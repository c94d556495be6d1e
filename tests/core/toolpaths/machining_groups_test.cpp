// Machining groups: which Regions are cut, at which depths, in which order.
#include "toolpaths/machining_groups.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geometry/primitives.h"

namespace tarnak {
namespace {

TTNRegion Square(double x, double y, double size, double depth) {
  TTNRegion r;
  r.Elements = {MakeLine(x, y, x + size, y), MakeLine(x + size, y, x + size, y + size),
                MakeLine(x + size, y + size, x, y + size), MakeLine(x, y + size, x, y)};
  r.Depth = depth;
  r.Selected = 1;
  RegionBounds(r);
  return r;
}

std::vector<double> Zs(const TTNMasterRegion& m) {
  std::vector<double> z;
  for (const TTNMachineRegion& l : m.Levels) z.push_back(l.Z);
  return z;
}

std::vector<int> RegionsOf(const TTNMasterRegion& m) {
  std::vector<int> r;
  for (const TTNMachineRegion& l : m.Levels) r.push_back(l.Region);
  return r;
}

using V = std::vector<double>;

TEST(LevelDepths, StepsDownAndClampsTheLastLevel) {
  EXPECT_EQ(LevelDepths(3, 1), (V{1, 2, 3}));
  EXPECT_EQ(LevelDepths(3, 2), (V{2, 3}));
  EXPECT_EQ(LevelDepths(3, 3), (V{3}));
  EXPECT_EQ(LevelDepths(3, 5), (V{3}));
  EXPECT_EQ(LevelDepths(2.5, 1), (V{1, 2, 2.5}));
  // No step: one level at the bottom.
  EXPECT_EQ(LevelDepths(3, 0), (V{3}));
  EXPECT_EQ(LevelDepths(3, -1), (V{3}));
}

TEST(LevelDepths, RoundingNeverAddsAnAlmostEqualLastLevel) {
  // 0.1 added ten times is 0.9999999999999999, just short of 1.
  const V levels = LevelDepths(1.0, 0.1);
  ASSERT_EQ(levels.size(), 10u);
  EXPECT_EQ(levels.back(), 1.0);
  for (size_t k = 1; k < levels.size(); ++k) EXPECT_NEAR(levels[k] - levels[k - 1], 0.1, 1e-12);
}

TEST(LevelDepths, UnusableInputGivesNoEndlessLoop) {
  EXPECT_TRUE(LevelDepths(1e9, 1e-6).empty());  // far too many levels
  EXPECT_TRUE(LevelDepths(std::nan(""), 1).empty());
  EXPECT_EQ(LevelDepths(-0.5, 1), (V{-0.5}));
}

TEST(BuildLevels, ZStepZeroTakesTheFirstDepthForTheRestOfTheCall) {
  TTNRegionArray regions(1);
  regions.push_back(Square(0, 0, 10, 3));
  regions.push_back(Square(20, 0, 10, 5));
  TTNMasterRegionArray masters;
  ASSERT_TRUE(BuildLevels(regions, {}, 0, true, 0.75, 0, masters));
  ASSERT_EQ(masters.size(), 2u);
  EXPECT_EQ(masters[0].Region, 1);
  EXPECT_EQ(Zs(masters[0]), (V{3}));
  EXPECT_EQ(masters[1].Region, 2);
  EXPECT_EQ(Zs(masters[1]), (V{3, 5}));
  for (const TTNMachineRegion& l : masters[1].Levels) {
    EXPECT_EQ(l.Distance, 0.75);
    EXPECT_TRUE(l.Islands.empty());
  }
}

TEST(BuildLevels, OnlySelectedTopLevelRegionsWithDepthAreMasters) {
  TTNRegionArray regions(1);
  regions.push_back(Square(0, 0, 10, 2));   // 1: cut
  regions.push_back(Square(20, 0, 10, 0));  // 2: no depth
  regions.push_back(Square(40, 0, 10, 2));  // 3: not selected
  regions[3].Selected = 0;
  regions.push_back(Square(60, 0, 10, 2));  // 4: an island of 1, kept with it
  regions[4].Owner = 1;
  regions.push_back(Square(80, 0, 10, std::nan("")));  // 5: unusable depth
  regions[1].MachineFlag = regions[4].MachineFlag = 1;
  TTNMasterRegionArray masters;
  ASSERT_TRUE(BuildLevels(regions, {}, 0, false, 1, 1, masters));
  ASSERT_EQ(masters.size(), 1u);
  EXPECT_EQ(masters[0].Region, 1);
  EXPECT_EQ(regions[1].MachineFlag, 0);
  EXPECT_EQ(regions[4].MachineFlag, 0);
}

TEST(BuildLevels, KeptIslandsAreCutFirstEachDownToItsOwnDepth) {
  TTNRegionArray regions(1);
  regions.push_back(Square(0, 0, 50, 2));  // 1: Boundary
  regions.push_back(Square(5, 5, 5, 1));   // 2: island of 1
  regions.push_back(Square(20, 5, 5, 2));  // 3: island of 1
  regions.push_back(Square(60, 0, 5, 3));  // 4: a second Boundary
  regions[2].Owner = regions[3].Owner = 1;
  TTNMasterRegionArray masters;
  ASSERT_TRUE(BuildLevels(regions, {}, 0, false, 1, 1, masters));
  ASSERT_EQ(masters.size(), 2u);
  EXPECT_EQ(RegionsOf(masters[0]), (std::vector<int>{2, 3, 3, 1, 1}));
  EXPECT_EQ(Zs(masters[0]), (V{1, 1, 2, 1, 2}));
  EXPECT_EQ(RegionsOf(masters[1]), (std::vector<int>{4, 4, 4}));
  EXPECT_EQ(regions[2].Owner, 1);
}

TEST(BuildLevels, DetachedIslandsBecomeRegionsOfTheirOwn) {
  TTNRegionArray regions(1);
  regions.push_back(Square(0, 0, 50, 4));  // 1: Boundary
  regions.push_back(Square(5, 5, 5, 0));   // 2: island without depth
  regions.push_back(Square(20, 5, 5, 1));  // 3: island with its own depth
  regions[2].Owner = regions[3].Owner = 1;
  TTNMasterRegionArray masters;
  ASSERT_TRUE(BuildLevels(regions, {}, 0, true, 1, 2, masters));
  ASSERT_EQ(masters.size(), 3u);
  EXPECT_EQ(regions[2].Owner, 0);
  EXPECT_EQ(regions[3].Owner, 0);
  EXPECT_EQ(regions[2].Depth, 4);
  EXPECT_EQ(regions[3].Depth, 1);
  EXPECT_EQ(Zs(masters[1]), (V{2, 4}));
  EXPECT_EQ(Zs(masters[2]), (V{1}));
}

TEST(BuildLevels, BottomAllowanceRaisesTheLastLevel) {
  TTNRegionArray regions(1);
  regions.push_back(Square(0, 0, 10, 3));
  TTNMasterRegionArray masters;
  ASSERT_TRUE(BuildLevels(regions, {}, 0.5, true, 0, 1, masters));
  ASSERT_EQ(masters.size(), 1u);
  EXPECT_EQ(Zs(masters[0]), (V{1, 2, 2.5}));
}

TEST(BuildLevels, WallProfileSetsTheDistanceOfEachLevel) {
  TTNRegionArray profiles(1);
  TTNRegion slope;
  slope.Elements = {MakeLine(0, 0, 1, 1)};
  RegionBounds(slope);
  profiles.push_back(slope);

  TTNRegionArray regions(1);
  regions.push_back(Square(0, 0, 10, 4));
  regions[1].Parent = 1;
  regions[1].WallProfile = 1;
  regions[1].WallDelta = 2;
  regions.push_back(Square(20, 0, 10, 4));  // no profile
  bool noWalls = true;
  TTNMasterRegionArray masters;
  ASSERT_TRUE(BuildLevels(regions, profiles, 0, true, 0.5, 1, masters, &noWalls));
  EXPECT_FALSE(noWalls);
  ASSERT_EQ(masters.size(), 2u);
  // Depth 4 over height 1, width 1 over delta 2: 0.5 per unit of depth.
  const V expected{0.5 + 1.5, 0.5 + 1.0, 0.5 + 0.5, 0.5};
  ASSERT_EQ(masters[0].Levels.size(), 4u);
  for (size_t k = 0; k < 4; ++k) EXPECT_DOUBLE_EQ(masters[0].Levels[k].Distance, expected[k]);
  for (const TTNMachineRegion& l : masters[1].Levels) EXPECT_EQ(l.Distance, 0.5);
}

TEST(BuildLevels, RegionNeedingTooManyLevelsIsLeftOut) {
  TTNRegionArray regions(1);
  regions.push_back(Square(0, 0, 10, 1e9));
  regions.push_back(Square(20, 0, 10, 2));
  TTNMasterRegionArray masters;
  EXPECT_FALSE(BuildLevels(regions, {}, 0, true, 1, 0.001, masters));
  ASSERT_EQ(masters.size(), 1u);
  EXPECT_EQ(masters[0].Region, 2);
  EXPECT_EQ(masters[0].Levels.size(), 2000u);
}

}  // namespace
}  // namespace tarnak
