#include "selection/region_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "geometry/primitives.h"
#include "selection/region_index.h"
#include "selection_test_util.h"
#include "test_ui.h"

namespace tarnak {
namespace {

using testing::ArcThrough;
using testing::Circle;
using testing::Polygon;
using testing::Rect;
using testing::RoundedRect;

// ---- an independent inside test: winding number of a densely sampled
// outline.

std::vector<Point2> Sample(const TTNRegion& r) {
  std::vector<Point2> pts;
  for (const TTNEntity& e : r.Elements) {
    if (e.IsLine()) {
      pts.push_back({e.X, e.Y});
      continue;
    }
    const double sweep = ArcSweep(e);
    const int k = 360;
    for (int s = 0; s < k; ++s) {
      const double a = e.StartAngle() + sweep * s / k;
      pts.push_back({e.X + std::fabs(e.Radius) * std::cos(a), e.Y + std::fabs(e.Radius) * std::sin(a)});
    }
  }
  return pts;
}

int Winding(const std::vector<Point2>& poly, Point2 p) {
  int wn = 0;
  for (size_t k = 0; k < poly.size(); ++k) {
    const Point2 a = poly[k], b = poly[(k + 1) % poly.size()];
    const double cross = (b.X - a.X) * (p.Y - a.Y) - (p.X - a.X) * (b.Y - a.Y);
    if (a.Y <= p.Y) {
      if (b.Y > p.Y && cross > 0) ++wn;
    } else if (b.Y <= p.Y && cross < 0) {
      --wn;
    }
  }
  return wn;
}

double DistanceToOutline(const std::vector<Point2>& poly, Point2 p) {
  double best = 1e300;
  for (size_t k = 0; k < poly.size(); ++k) {
    const Point2 a = poly[k], b = poly[(k + 1) % poly.size()];
    const double bx = b.X - a.X, by = b.Y - a.Y, len2 = bx * bx + by * by;
    double t = len2 > 0 ? ((p.X - a.X) * bx + (p.Y - a.Y) * by) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    best = std::min(best, std::hypot(p.X - a.X - t * bx, p.Y - a.Y - t * by));
  }
  return best;
}

TTNRegion NotchedRect() {
  // A rectangle with a half-circle bitten out of its top edge.
  TTNRegion r;
  r.Elements = {MakeLine(0, 0, 10, 0), MakeLine(10, 0, 10, 6), MakeLine(10, 6, 7, 6),
                MakeArc(5, 6, -2, 0.0, kPi), MakeLine(3, 6, 0, 6), MakeLine(0, 6, 0, 0)};
  RegionBounds(r);
  return r;
}

TTNRegion DShape() {
  TTNRegion r;
  r.Elements = {MakeLine(0, 0, 0, 4), ArcThrough({0, 2}, {0, 4}, {0, 0}, true)};
  RegionBounds(r);
  return r;
}

TTNRegion Star(double cx, double cy, double r0, double r1, int points) {
  std::vector<Point2> pts;
  for (int k = 0; k < 2 * points; ++k) {
    const double a = kPi * k / points + 0.01;
    const double r = (k % 2) ? r0 : r1;
    pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
  }
  return Polygon(pts);
}

TEST(PointInRegion, AgreesWithWindingNumberOfSampledOutline) {
  TTNRegion rotatedCircle = Circle(3, 3, 2);
  rotatedCircle.Elements[0].SetStartAngle(1.3);
  rotatedCircle.Elements[0].SetEndAngle(1.3);
  const std::vector<TTNRegion> shapes = {
      RoundedRect(0, 0, 8, 5, 1.5), RoundedRect(0, 0, 8, 5, 2.5, true), Circle(1, 2, 3),
      Circle(1, 2, 3, false),       NotchedRect(),                      DShape(),
      Star(0, 0, 2, 5, 40),         rotatedCircle};
  std::mt19937 rng(7);
  const TTNRegionArray list = [&] {
    TTNRegionArray l(1);
    l.insert(l.end(), shapes.begin(), shapes.end());
    return l;
  }();
  const RegionIndex index(list);
  for (size_t s = 0; s < shapes.size(); ++s) {
    const TTNRegion& r = shapes[s];
    const std::vector<Point2> outline = Sample(r);
    std::uniform_real_distribution<double> ux(r.MinX - 1, r.MaxX + 1), uy(r.MinY - 1, r.MaxY + 1);
    int inside = 0, tested = 0;
    for (int k = 0; k < 1500; ++k) {
      Point2 p{ux(rng), uy(rng)};
      if (k % 10 == 0) p.Y = std::round(p.Y);  // rows through joints and horizontal edges
      if (DistanceToOutline(outline, p) < 1e-3) continue;
      const bool expected = Winding(outline, p) != 0;
      ASSERT_EQ(PointInRegion(p, r), expected) << "shape " << s << " at " << p.X << ", " << p.Y;
      ASSERT_EQ(index.PointIn(p, static_cast<int>(s) + 1), expected);
      inside += expected;
      ++tested;
    }
    EXPECT_GT(inside, tested / 10) << "shape " << s;
  }
}

TEST(PointInRegion, OpenRegionsAndFarPointsAreOutside) {
  TTNRegion open = Polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, true);
  EXPECT_FALSE(PointInRegion({5, 5}, open));
  // Just inside the widened box of a rectangle's corner but outside it.
  EXPECT_FALSE(PointInRegion({-0.0004, 5}, Rect(0, 0, 10, 10)));
  EXPECT_TRUE(PointInRegion({0.0004, 5}, Rect(0, 0, 10, 10)));
}

TEST(RegionProbePoint, LineAndArcAtTheOddFraction) {
  TTNRegion r = Rect(0, 0, 4.158, 2);
  Point2 p = RegionProbePoint(r);
  EXPECT_NEAR(p.X, 1.0, 1e-12);
  EXPECT_NEAR(p.Y, 0.0, 1e-12);
  // A clockwise full circle from angle 0: a quarter-ish turn backwards.
  TTNRegion c = Circle(0, 0, 1);
  p = RegionProbePoint(c);
  const double m = kTwoPi - kTwoPi / 4.158;
  EXPECT_NEAR(p.X, std::cos(m), 1e-12);
  EXPECT_NEAR(p.Y, std::sin(m), 1e-12);
}

TEST(RegionInsideRegion, ConcaveOutlineAndOpenRegions) {
  const TTNRegion notched = NotchedRect();
  // The mouth of the bite, level with the top edge, is outside.
  EXPECT_FALSE(PointInRegion({5, 6}, notched));
  // Inside the notch: within the box, outside the Region.
  EXPECT_FALSE(RegionInsideRegion(notched, Rect(4.5, 5, 5.5, 5.8)));
  EXPECT_TRUE(RegionInsideRegion(notched, Rect(1, 1, 2, 2)));
  EXPECT_FALSE(RegionInsideRegion(notched, Polygon({{1, 1}, {2, 1}, {2, 2}}, true)));
  EXPECT_TRUE(RegionInsideRegion(Rect(0, 0, 10, 10), Circle(5, 5, 2)));
  EXPECT_FALSE(RegionInsideRegion(Circle(5, 5, 2), Rect(0, 0, 10, 10)));
}

TEST(RayHitFraction, NearestOutlineToTheRight) {
  DrawingExtentsRec ext;
  ext.MaxX = 10;
  const TTNRegion r = Rect(0, 0, 10, 10);
  EXPECT_NEAR(RayHitFraction(ext, {2, 5}, r), 8.0 / 9.0, 1e-12);
  EXPECT_EQ(RayHitFraction(ext, {2, 20}, r), kNoRayHit);
  EXPECT_NEAR(RayHitFraction(ext, {2, 5}, Circle(5, 5, 2)), 1.0 / 9.0, 1e-12);
}

TEST(PickRegion, StrictToleranceEndsAndLowestIndex) {
  TTNRegionArray list(1);
  list.push_back(Polygon({{0, 0}, {10, 0}}, true));
  const double tol = 0.5;
  EXPECT_EQ(PickRegion(list, {5, 0.5}, false, tol), 0);  // exactly the tolerance: no hit
  EXPECT_EQ(PickRegion(list, {5, 0.49}, false, tol), 1);
  // Beyond the end the distance to the end point counts.
  EXPECT_EQ(PickRegion(list, {10.3, 0.3}, false, tol), 1);
  EXPECT_EQ(PickRegion(list, {10.4, 0.4}, false, tol), 0);
  EXPECT_EQ(PickRegion(list, {-0.4, 0.4}, false, tol), 0);

  // A quarter arc: beyond its span the nearer end point counts.
  TTNRegion arc;
  arc.Elements.push_back(MakeArc(20, 0, 2, 0.0, kPi / 2));
  arc.Open = 1;
  RegionBounds(arc);
  list.push_back(arc);
  EXPECT_EQ(PickRegion(list, {20 + 2 * std::cos(1.0), 2 * std::sin(1.0) + 0.3}, false, tol), 2);
  EXPECT_EQ(PickRegion(list, {20, -2}, false, tol), 0);   // on the circle, off the arc
  EXPECT_EQ(PickRegion(list, {22.3, -0.3}, false, tol), 2);  // 0.42 from the start point

  // Overlapping Regions: the lower index wins; only-selected skips.
  list.push_back(Polygon({{0, 0}, {10, 0}}, true));
  EXPECT_EQ(PickRegion(list, {5, 0.1}, false, tol), 1);
  list[3].Selected = 1;
  EXPECT_EQ(PickRegion(list, {5, 0.1}, true, tol), 3);
}

TEST(PickRegion, RotatedCircleIsPickedAllAround) {
  TTNRegionArray list(1);
  list.push_back(Circle(0, 0, 5));
  list[1].Elements[0].SetStartAngle(2.0);
  list[1].Elements[0].SetEndAngle(2.0);  // turned, still whole
  for (double a = 0.05; a < kTwoPi; a += 0.5)
    EXPECT_EQ(PickRegion(list, {5.1 * std::cos(a), 5.1 * std::sin(a)}, false, 0.2), 1) << a;
}

TEST(PickToleranceForView, EightPixelsOfTheFittedScale) {
  DrawingExtentsRec ext;
  ext.MinX = 0;
  ext.MaxX = 100;
  ext.MinY = 0;
  ext.MaxY = 50;
  EXPECT_DOUBLE_EQ(PickToleranceForView(ext, 1024, 768, 20), 8.0 / (984.0 / 100.0));
  ext.MaxY = 400;  // taller: the vertical scale is the smaller
  EXPECT_DOUBLE_EQ(PickToleranceForView(ext, 1024, 768, 20), 8.0 / (728.0 / 400.0));
  ext.MaxX = 0;  // no width: the horizontal scale is 1
  EXPECT_DOUBLE_EQ(PickToleranceForView(ext, 1024, 768, 20), 8.0);
  ext.MaxY = 2000;
  EXPECT_DOUBLE_EQ(PickToleranceForView(ext, 1024, 768, 20), 8.0 / (728.0 / 2000.0));
  ext.MaxY = 0;  // no size at all: scale 1
  EXPECT_DOUBLE_EQ(PickToleranceForView(ext, 1024, 768, 20), 8.0);
  ext.MaxX = ext.MaxY = 100;  // margins larger than the view
  EXPECT_EQ(PickToleranceForView(ext, 30, 30, 20), 0.0);
}

// ---- the indexed classification against the plain pairwise one.

TTNRegionArray RandomDrawing(std::mt19937& rng, int count) {
  TTNRegionArray list(1);
  std::uniform_int_distribution<int> pos(0, 60), size(1, 30), kind(0, 9);
  for (int k = 0; k < count; ++k) {
    const double x = pos(rng), y = pos(rng), w = size(rng), h = size(rng);
    switch (kind(rng)) {
      case 0: case 1: case 2: list.push_back(Rect(x, y, x + w, y + h)); break;
      case 3: case 4: list.push_back(Circle(x, y, w / 2)); break;
      case 5: list.push_back(RoundedRect(x, y, x + w + 1, y + h + 1, 0.5, k % 2)); break;
      case 6: list.push_back(Star(x, y, w / 4 + 0.5, w / 2 + 1, 12)); break;
      case 7:  // a duplicate of an earlier Region
        if (k >= 2) {
          const TTNRegion copy = list[static_cast<size_t>(1 + k / 2)];
          list.push_back(copy);
        } else {
          list.push_back(Rect(x, y, x + 1, y + 1));
        }
        break;
      case 8: list.push_back(Polygon({{x, y}, {x + w, y}, {x + w, y + h}}, true)); break;
      default: list.push_back(Rect(x, y, x + w, y)); break;  // flat
    }
  }
  return list;
}

void ExpectSameSelection(const TTNRegionArray& a, const TTNRegionArray& b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].Selected, b[i].Selected) << i;
    EXPECT_EQ(a[i].Level, b[i].Level) << i;
    EXPECT_EQ(a[i].Parent, b[i].Parent) << i;
    EXPECT_EQ(a[i].Owner, b[i].Owner) << i;
  }
}

TEST(RegionIndex, ClassifiesExactlyAsThePairwiseTests) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 12; ++round) {
    const TTNRegionArray drawing = RandomDrawing(rng, 60 + 10 * round);
    DrawingExtentsRec ext;
    ext.MaxX = 95;

    TTNRegionArray plain = drawing, fast = drawing;
    RegionIndex index(fast);
    for (int i = 1; i < static_cast<int>(drawing.size()); ++i) {
      ClassifyRegion(plain, ext, i, ClassifyVariant{});
      index.Classify(fast, ext, i, ClassifyVariant{});
    }
    ExpectSameSelection(plain, fast);

    ClassifyVariant window;
    window.Kind = ClassifyKind::Window;
    window.Window = Box::FromMinMax(10.0 + round, 5, 80, 70);
    for (int i = 1; i < static_cast<int>(drawing.size()); ++i) {
      ClassifyRegion(plain, ext, i, window);
      index.Classify(fast, ext, i, window);
    }
    ExpectSameSelection(plain, fast);

    ClassifyVariant region;
    region.Kind = ClassifyKind::Region;
    region.Clicked = 1 + round;
    for (int i = 1; i < static_cast<int>(drawing.size()); ++i) {
      ClassifyRegion(plain, ext, i, region);
      index.Classify(fast, ext, i, region);
    }
    ExpectSameSelection(plain, fast);

    // The ray through the banded outlines.
    std::uniform_real_distribution<double> u(-5, 95);
    for (int k = 0; k < 300; ++k) {
      const Point2 p{u(rng), std::round(u(rng) * 2) / 2};
      const int j = 1 + k % static_cast<int>(drawing.size() - 1);
      ASSERT_EQ(index.RayHit(ext, p, j), RayHitFraction(ext, p, drawing[static_cast<size_t>(j)]));
      ASSERT_EQ(index.PointIn(p, j), PointInRegion(p, drawing[static_cast<size_t>(j)]));
    }
  }
}

TEST(ClassifyRegion, OutOfRangeAndAlreadySelected) {
  TTNRegionArray list(1);
  list.push_back(Rect(0, 0, 10, 10));
  list.push_back(Rect(2, 2, 4, 4));
  DrawingExtentsRec ext;
  EXPECT_EQ(ClassifyRegion(list, ext, 0, ClassifyVariant{}), 0);
  EXPECT_EQ(ClassifyRegion(list, ext, 3, ClassifyVariant{}), 0);
  ClassifyVariant region;
  region.Kind = ClassifyKind::Region;
  region.Clicked = 9;
  EXPECT_EQ(ClassifyRegion(list, ext, 2, region), 0);
  EXPECT_EQ(list[2].Selected, 0);
  list[2].Selected = 1;
  list[2].Level = 5;
  EXPECT_EQ(ClassifyRegion(list, ext, 2, ClassifyVariant{}), kClassifiedBoundary);
  EXPECT_EQ(list[2].Level, 5);  // untouched
}

}  // namespace
}  // namespace tarnak
