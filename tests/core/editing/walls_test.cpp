// Wall distances: the offset distance that a wall profile gives at a depth.
// Expected values are worked out by hand from the profile's geometry.
#include "editing/walls.h"

#include <gtest/gtest.h>

#include <cmath>

#include "geometry/primitives.h"

namespace tarnak {
namespace {

TTNRegion Profile(TTNEntityArray els) {
  TTNRegion p;
  p.Open = 1;
  p.Elements = std::move(els);
  RegionBounds(p);
  return p;
}

// A library laid out like the Region list: slot 0 reserved.
TTNRegionArray Library(std::initializer_list<TTNRegion> profiles) {
  TTNRegionArray lib(1);
  lib.insert(lib.end(), profiles.begin(), profiles.end());
  return lib;
}

// Slot 0, a Boundary (index 1) of the given depth with the profile, and an
// Island (index 2) standing in it.
TTNRegionArray Job(double boundaryDepth, int profile, float delta, double islandDepth = 2.0) {
  TTNRegionArray regions(3);
  regions[1].Parent = 1;
  regions[1].Depth = boundaryDepth;
  regions[1].WallProfile = profile;
  regions[1].WallDelta = delta;
  regions[2].Parent = 1;
  regions[2].Owner = 1;
  regions[2].Level = 1;
  regions[2].Depth = islandDepth;
  regions[2].WallProfile = profile;
  regions[2].WallDelta = delta;
  return regions;
}

const double kD0 = 0.75;

TEST(WallDistance, WithoutUsableProfileTheBaseDistanceStands) {
  const TTNRegionArray lib = Library({Profile({MakeLine(0, 0, 1, 1)})});
  bool noWalls = true;
  EXPECT_EQ(WallDistance(Job(10, 0, 2), 1, 0.0, lib, kD0, &noWalls), kD0);
  EXPECT_TRUE(noWalls);
  // A number beyond the library is ignored, and so is an empty library.
  EXPECT_EQ(WallDistance(Job(10, 2, 2), 1, 0.0, lib, kD0, &noWalls), kD0);
  EXPECT_EQ(WallDistance(Job(10, 1, 2), 1, 0.0, TTNRegionArray{}, kD0, &noWalls), kD0);
  EXPECT_EQ(WallDistance(Job(10, 1, 2), 1, 0.0, TTNRegionArray(1), kD0, &noWalls), kD0);
  EXPECT_TRUE(noWalls);
  // A Region index outside the list.
  EXPECT_EQ(WallDistance(Job(10, 1, 2), 7, 0.0, lib, kD0, &noWalls), kD0);
  EXPECT_EQ(WallDistance(Job(10, 1, 2), -1, 0.0, lib, kD0, &noWalls), kD0);
}

TEST(WallDistance, SlopingLineSpreadsTheDeltaOverTheBoundaryWall) {
  const TTNRegionArray lib = Library({Profile({MakeLine(0, 0, 1, 1)})});
  const TTNRegionArray job = Job(10, 1, 2);
  bool noWalls = true;
  EXPECT_DOUBLE_EQ(WallDistance(job, 1, 10.0, lib, kD0, &noWalls), kD0);  // floor
  EXPECT_FALSE(noWalls);
  EXPECT_DOUBLE_EQ(WallDistance(job, 1, 0.0, lib, kD0), kD0 + 2);  // top surface
  EXPECT_DOUBLE_EQ(WallDistance(job, 1, 5.0, lib, kD0), kD0 + 1);
  EXPECT_DOUBLE_EQ(WallDistance(job, 1, 7.5, lib, kD0), kD0 + 0.5);
}

TEST(WallDistance, IslandWallRunsFromItsTopToTheBoundaryFloor) {
  const TTNRegionArray lib = Library({Profile({MakeLine(0, 0, 1, 1)})});
  // Island top at 2, Boundary floor at 10: a wall of height 8.
  const TTNRegionArray job = Job(10, 1, 4, 2.0);
  EXPECT_DOUBLE_EQ(WallDistance(job, 2, 2.0, lib, kD0), kD0 + 4);   // top of the profile
  EXPECT_DOUBLE_EQ(WallDistance(job, 2, 10.0, lib, kD0), kD0);      // bottom of the profile
  EXPECT_DOUBLE_EQ(WallDistance(job, 2, 6.0, lib, kD0), kD0 + 2);
}

TEST(WallDistance, FirstElementSpanningTheHeightIsRead) {
  // Two slopes: 0.5 up to height 0.5, then 1. Width 1.5 stretched to 3
  // (x2), height 1 to the depth 4.
  const TTNRegionArray lib =
      Library({Profile({MakeLine(0, 0, 1, 0.5), MakeLine(1, 0.5, 1.5, 1)})});
  const TTNRegionArray job = Job(4, 1, 3);
  EXPECT_DOUBLE_EQ(WallDistance(job, 1, 2.0, lib, kD0), kD0 + 2);  // y = 0.5: x = 1
  EXPECT_DOUBLE_EQ(WallDistance(job, 1, 0.0, lib, kD0), kD0 + 3);  // y = 1: x = 1.5
  EXPECT_DOUBLE_EQ(WallDistance(job, 1, 3.0, lib, kD0), kD0 + 1);  // y = 0.25: x = 0.5
}

TEST(WallDistance, ArcProfileIsReadOnTheArcItself) {
  const double y = 0.5, off = std::sqrt(0.75);
  // Counter-clockwise quarter from (1, 1) to (0, 0) about (1, 0): at height
  // 0.5 the arc is at x = 1 - sqrt(0.75), not at 1 + sqrt(0.75).
  const TTNRegionArray ccw = Library({Profile({MakeArc(1, 0, 1, kPi / 2, kPi)})});
  // Clockwise quarter from (0, 1) to (1, 0) about (0, 0): here the arc is
  // at x = +sqrt(0.75).
  const TTNRegionArray cw = Library({Profile({MakeArc(0, 0, -1, kPi / 2, 0)})});
  const TTNRegionArray job = Job(4, 1, 2);  // height 1 -> 4, width 1 -> 2
  const double z = 4 - y * 4;
  EXPECT_NEAR(WallDistance(job, 1, z, ccw, kD0), kD0 + (1 - off) * 2, 1e-12);
  EXPECT_NEAR(WallDistance(job, 1, z, cw, kD0), kD0 + off * 2, 1e-12);
  // At the very ends of the arc.
  EXPECT_NEAR(WallDistance(job, 1, 0.0, cw, kD0), kD0, 1e-9);
  EXPECT_NEAR(WallDistance(job, 1, 4.0, cw, kD0), kD0 + 2, 1e-9);
}

TEST(WallDistance, UnreadableProfilesGiveTheBaseDistance) {
  bool noWalls = true;
  // No wall height (a Boundary of depth 0).
  const TTNRegionArray slope = Library({Profile({MakeLine(0, 0, 1, 1)})});
  EXPECT_EQ(WallDistance(Job(0, 1, 2), 1, 0.0, slope, kD0, &noWalls), kD0);
  EXPECT_FALSE(noWalls);  // the Region still uses a profile
  // A depth outside the wall: no Element at that height.
  EXPECT_EQ(WallDistance(Job(10, 1, 2), 1, 12.0, slope, kD0), kD0);
  // A vertical line alone: no width to stretch, no slope to read.
  const TTNRegionArray vertical = Library({Profile({MakeLine(0, 0, 0, 1)})});
  EXPECT_EQ(WallDistance(Job(10, 1, 2), 1, 5.0, vertical, kD0), kD0);
  // A vertical step met first.
  const TTNRegionArray step =
      Library({Profile({MakeLine(0, 0, 0.00005, 1), MakeLine(0.00005, 1, 1, 2)})});
  EXPECT_EQ(WallDistance(Job(10, 1, 2), 1, 7.0, step, kD0), kD0);
  // A horizontal line spanning the height asked for.
  const TTNRegionArray flat =
      Library({Profile({MakeLine(0, 0, 1, 0), MakeLine(1, 0, 1.5, 1)})});
  EXPECT_EQ(WallDistance(Job(10, 1, 2), 1, 10.0, flat, kD0), kD0);
  EXPECT_NEAR(WallDistance(Job(10, 1, 3), 1, 0.0, flat, kD0), kD0 + 3, 1e-12);
}

}  // namespace
}  // namespace tarnak
