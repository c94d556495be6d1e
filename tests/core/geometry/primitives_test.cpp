#include "geometry/primitives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace tarnak {
namespace {

constexpr double kEps = 1e-12;

double Dist(Point2 a, Point2 b) { return std::hypot(a.X - b.X, a.Y - b.Y); }

TEST(PointAngle, AxesAndQuadrants) {
  EXPECT_DOUBLE_EQ(PointAngle({0, 0}, {0, -1}), 3 * kPi / 2);
  EXPECT_DOUBLE_EQ(PointAngle({0, 0}, {-1, 0}), kPi);
  EXPECT_DOUBLE_EQ(PointAngle({0, 0}, {0, 0}), kPi / 2);
  EXPECT_DOUBLE_EQ(PointAngle({0, 0}, {1, 0}), 0.0);
  EXPECT_NEAR(PointAngle({1, 1}, {2, 2}), kPi / 4, kEps);
  EXPECT_NEAR(PointAngle({0, 0}, {-1, 1}), 3 * kPi / 4, kEps);
  EXPECT_NEAR(PointAngle({0, 0}, {-1, -1}), 5 * kPi / 4, kEps);
  EXPECT_NEAR(PointAngle({0, 0}, {1, -1}), 7 * kPi / 4, kEps);
  // Always in [0, 2pi), also a hair below the positive X axis.
  const double a = PointAngle(1.0, -1e-300);
  EXPECT_GE(a, 0.0);
  EXPECT_LT(a, kTwoPi);
}

TEST(ElementBounds, LinesAndFullCircles) {
  TTNEntity l = MakeLine(3, 4, 3, 4);
  EXPECT_EQ(l.MinX, 3);
  EXPECT_EQ(l.MaxX, 3);
  EXPECT_EQ(l.MinY, 4);
  EXPECT_EQ(l.MaxY, 4);
  // Equal angles make a full circle whatever their value.
  TTNEntity c = MakeArc(1, 2, -3, 1.234, 1.234);
  EXPECT_EQ(c.MinX, -2);
  EXPECT_EQ(c.MaxX, 4);
  EXPECT_EQ(c.MinY, -1);
  EXPECT_EQ(c.MaxY, 5);
}

TEST(ElementBounds, HalfCirclesThroughAngleZero) {
  TTNEntity right = MakeArc(0, 0, 2, 3 * kPi / 2, kPi / 2);
  EXPECT_NEAR(right.MinX, 0, 1e-12);
  EXPECT_DOUBLE_EQ(right.MaxX, 2);
  EXPECT_DOUBLE_EQ(right.MinY, -2);
  EXPECT_DOUBLE_EQ(right.MaxY, 2);
  TTNEntity left = MakeArc(0, 0, -2, 3 * kPi / 2, kPi / 2);
  EXPECT_DOUBLE_EQ(left.MinX, -2);
  EXPECT_NEAR(left.MaxX, 0, 1e-12);
  EXPECT_DOUBLE_EQ(left.MinY, -2);
  EXPECT_DOUBLE_EQ(left.MaxY, 2);
}

// The box must hold every point of the arc and touch it on every side:
// checked against dense sampling for random arcs of both directions.
TEST(ElementBounds, MatchesSampledArcs) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> ang(0, kTwoPi), rad(0.1, 5);
  for (int k = 0; k < 500; ++k) {
    const double r = rad(rng) * (k % 2 ? -1 : 1);
    TTNEntity a = MakeArc(1, -1, r, ang(rng), ang(rng));
    const double sweep = ArcSweep(a);
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    for (int s = 0; s <= 20000; ++s) {
      const double t = a.StartAngle() + sweep * s / 20000.0;
      const double x = a.X + std::fabs(r) * std::cos(t), y = a.Y + std::fabs(r) * std::sin(t);
      minX = std::min(minX, x);
      maxX = std::max(maxX, x);
      minY = std::min(minY, y);
      maxY = std::max(maxY, y);
    }
    const double tol = 1e-6 * std::fabs(r) + 1e-12;
    EXPECT_NEAR(a.MinX, minX, tol);
    EXPECT_NEAR(a.MaxX, maxX, tol);
    EXPECT_NEAR(a.MinY, minY, tol);
    EXPECT_NEAR(a.MaxY, maxY, tol);
  }
}

TEST(ArcSweepAndLength, SignsAndFullCircles) {
  EXPECT_NEAR(ArcSweep(MakeArc(0, 0, 1, 0, kPi / 2)), kPi / 2, kEps);
  EXPECT_NEAR(ArcSweep(MakeArc(0, 0, 1, kPi / 2, 0)), 3 * kPi / 2, kEps);
  EXPECT_NEAR(ArcSweep(MakeArc(0, 0, -1, kPi / 2, 0)), -kPi / 2, kEps);
  EXPECT_NEAR(ArcSweep(MakeArc(0, 0, -1, 0, kPi / 2)), -3 * kPi / 2, kEps);
  EXPECT_NEAR(ArcSweep(MakeArc(0, 0, 1, 1, 1)), kTwoPi, kEps);
  EXPECT_NEAR(ArcSweep(MakeArc(0, 0, -1, 1, 1)), -kTwoPi, kEps);
  EXPECT_NEAR(ElementLength(MakeArc(0, 0, -2, 1, 1 + 1e-9)), 4 * kPi, 1e-9);
  EXPECT_NEAR(ElementLength(MakeArc(0, 0, 2, 0, kPi)), 2 * kPi, kEps);
  EXPECT_DOUBLE_EQ(ElementLength(MakeLine(0, 0, 3, 4)), 5);
}

TEST(ArcMidPoint, HalfwayAlongTheElement) {
  const Point2 m = ArcMidPoint(MakeArc(0, 0, 1, 3 * kPi / 2, kPi / 2));
  EXPECT_NEAR(m.X, 1, kEps);
  EXPECT_NEAR(m.Y, 0, kEps);
  const Point2 c = ArcMidPoint(MakeArc(0, 0, -1, 3 * kPi / 2, kPi / 2));
  EXPECT_NEAR(c.X, -1, kEps);
  EXPECT_NEAR(c.Y, 0, kEps);
  const Point2 l = ArcMidPoint(MakeLine(0, 0, 2, 4));
  EXPECT_EQ(l.X, 1);
  EXPECT_EQ(l.Y, 2);
}

TEST(ElementReverse, SwapsEndsAndKeepsTheBox) {
  TTNEntity a = MakeArc(0, 0, 1, 0.5, 2.0);
  const TTNEntity before = a;
  ElementReverse(a);
  EXPECT_EQ(a.Radius, -1);
  EXPECT_EQ(a.StartAngle(), 2.0);
  EXPECT_EQ(a.EndAngle(), 0.5);
  EXPECT_NEAR(Dist(ElementStart(a), ElementEnd(before)), 0, kEps);
  EXPECT_EQ(a.MinX, before.MinX);
  EXPECT_EQ(a.MaxY, before.MaxY);
  TTNEntity l = MakeLine(1, 2, 3, 4);
  ElementReverse(l);
  EXPECT_EQ(l.X, 3);
  EXPECT_EQ(l.Y2, 2);
}

TEST(ElementSnapEnd, ArcKeepsRadiusAndOtherEnd) {
  TTNEntity a = MakeArc(0, 0, 5, 0, kPi / 2);
  const Point2 otherEnd = ElementEnd(a);
  const Point2 target{5.0003, -0.0002};
  ElementSnapEnd(a, target, 0);
  EXPECT_NEAR(Dist(ElementStart(a), target), 0, 1e-12);
  EXPECT_NEAR(Dist(ElementEnd(a), otherEnd), 0, 1e-12);
  EXPECT_EQ(a.Radius, 5);
  // The new centre stays near the old one (the nearer of the two candidates).
  EXPECT_LT(std::hypot(a.X, a.Y), 0.01);
  // The box follows the new geometry: the start moved below the X axis, so
  // the arc now passes angle 0 and reaches the full radius there.
  EXPECT_GT(a.StartAngle(), kPi);
  EXPECT_DOUBLE_EQ(a.MaxX, a.X + 5);
}

TEST(ElementSnapEnd, ImpossibleArcIsLeftAlone) {
  TTNEntity a = MakeArc(0, 0, 1, 0, kPi / 2);
  const TTNEntity before = a;
  ElementSnapEnd(a, {10, 10}, 1);  // chord longer than the diameter
  EXPECT_EQ(a.X, before.X);
  EXPECT_EQ(a.StartAngle(), before.StartAngle());
  EXPECT_EQ(a.EndAngle(), before.EndAngle());
  TTNEntity l = MakeLine(0, 0, 1, 0);
  ElementSnapEnd(l, {2, 3}, 1);
  EXPECT_EQ(l.X2, 2);
  EXPECT_EQ(l.Y2, 3);
  EXPECT_EQ(l.MaxY, 3);
}

TTNRegion Square(bool clockwise) {
  TTNRegion r;
  const double p[5][2] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
  for (int i = 0; i < 4; ++i) r.Elements.push_back(MakeLine(p[i][0], p[i][1], p[i + 1][0], p[i + 1][1]));
  if (clockwise) {
    std::reverse(r.Elements.begin(), r.Elements.end());
    for (auto& e : r.Elements) ElementReverse(e);
  }
  RegionBounds(r);
  return r;
}

TEST(RegionDirection, OrientationOfPolygonsAndCircles) {
  EXPECT_EQ(RegionIsClockwise(Square(false)), 0);
  EXPECT_EQ(RegionIsClockwise(Square(true)), 1);
  TTNRegion open = Square(true);
  open.Open = 1;
  EXPECT_EQ(RegionIsClockwise(open), 0);
  TTNRegion circle;
  circle.Elements.push_back(MakeArc(0, 0, -1, 0, 0));
  EXPECT_EQ(RegionIsClockwise(circle), 1);
  circle.Elements[0].Radius = 1;
  EXPECT_EQ(RegionIsClockwise(circle), 0);
  // Two half circles: the arc middle points carry the orientation.
  TTNRegion halves;
  halves.Elements.push_back(MakeArc(0, 0, -1, kPi, 0));
  halves.Elements.push_back(MakeArc(0, 0, -1, 0, kPi));
  EXPECT_EQ(RegionIsClockwise(halves), 1);
}

TEST(RegionDirection, SetAndReverse) {
  TTNRegion r = Square(false);
  RegionSetDirection(r, 1);
  EXPECT_EQ(r.Direction, 1);
  EXPECT_EQ(RegionIsClockwise(r), 1);
  // Still a chain: every end meets the next start exactly.
  for (size_t i = 0; i < r.Elements.size(); ++i) {
    const Point2 e = ElementEnd(r.Elements[i]);
    const Point2 s = ElementStart(r.Elements[(i + 1) % r.Elements.size()]);
    EXPECT_EQ(e.X, s.X);
    EXPECT_EQ(e.Y, s.Y);
  }
  // Reversing twice restores the Region exactly, Direction included.
  TTNRegion twice = r;
  RegionReverse(twice);
  EXPECT_EQ(twice.Direction, 0);
  RegionReverse(twice);
  ASSERT_EQ(twice.Elements.size(), r.Elements.size());
  EXPECT_EQ(twice.Direction, r.Direction);
  for (size_t i = 0; i < r.Elements.size(); ++i) {
    EXPECT_EQ(twice.Elements[i].X, r.Elements[i].X);
    EXPECT_EQ(twice.Elements[i].Y2, r.Elements[i].Y2);
  }
}

TEST(RegionBoxes, StoreWidensAndBoundsClearsMarks) {
  TTNRegion r;
  r.Elements.resize(2);
  TTNEntity a = MakeLine(0, 0, 1, 1);
  TTNEntity b = MakeArc(5, 5, 1, 0, 0);
  b.Mark = true;
  RegionStoreElement(a, r, false, 0);
  RegionStoreElement(b, r, true, 1);
  EXPECT_EQ(r.MinX, 0);
  EXPECT_EQ(r.MaxX, 6);
  EXPECT_EQ(r.MaxY, 6);
  EXPECT_EQ(r.Elements[1].Radius, -1);
  RegionBounds(r);
  EXPECT_FALSE(r.Elements[1].Mark);
}

TEST(BoxTests, Tolerances) {
  const Box b = Box::FromMinMax(0, 0, 1, 1);
  EXPECT_TRUE(PointNearBox({-0.0004, 1.0004}, b));
  EXPECT_FALSE(PointNearBox({-0.0006, 0.5}, b));
  EXPECT_TRUE(BoxesEqual(b, Box::FromMinMax(0.0005, 0, 1, 1)));
  EXPECT_FALSE(BoxesEqual(b, Box::FromMinMax(0.0006, 0, 1, 1)));
  const TTNEntity l = MakeLine(0, 0, 1, 0);
  EXPECT_TRUE(PointNearElementBox({0.5, 0.00004}, l));
  EXPECT_FALSE(PointNearElementBox({0.5, 0.00006}, l));
}

TEST(RegionCountOpenClosed, SkipsReservedSlot) {
  TTNRegionArray list(1);
  EXPECT_EQ(RegionCountOpenClosed(list).Open, 0);
  EXPECT_EQ(RegionCountOpenClosed(list).Closed, 0);
  list.push_back(Square(false));
  list.push_back(Square(true));
  list.back().Open = 1;
  EXPECT_EQ(RegionCountOpenClosed(list).Open, 1);
  EXPECT_EQ(RegionCountOpenClosed(list).Closed, 1);
}

}  // namespace
}  // namespace tarnak
