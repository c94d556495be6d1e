// The offset engine: raw chains, trimming and chaining.
//
// Besides the individual cases, every offset of a set of outlines (lines,
// arcs of both directions, sharp concave corners, many small notches, random
// polygons) is checked against geometry measured here, independently of the
// engine: every point along the result must lie at the offset distance from
// the source outline, every point that lies at that distance on the wanted
// side must lie on the result, the loops must be closed and continuous, and
// areas must grow and shrink as plane geometry says.
#include "toolpaths/offset/offset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "geometry/primitives.h"
#include "outline_geometry.h"
#include "shell/document.h"

namespace tarnak {
namespace {

using testing::Dist;
using testing::Wrap;
using testing::Sweep;
using testing::Eval;
using testing::SegmentDist;
using testing::ElementDist;
using testing::OutlineDist;

// ------------------------------------------------------------ geometry here

// Unit normal to the right of travel at fraction t.
Point2 RightNormal(const TTNEntity& e, double t) {
  if (e.Radius == 0) {
    const double dx = e.X2 - e.X, dy = e.Y2 - e.Y, len = std::hypot(dx, dy);
    return {dy / len, -dx / len};
  }
  const double a = e.StartAngle() + t * Sweep(e);
  // Counter-clockwise travel has the centre on its left.
  return e.Radius > 0 ? Point2{std::cos(a), std::sin(a)} : Point2{-std::cos(a), -std::sin(a)};
}

double Length(const TTNEntity& e) {
  if (e.Radius == 0) return std::hypot(e.X2 - e.X, e.Y2 - e.Y);
  return std::fabs(Sweep(e) * e.Radius);
}

// Area enclosed by a closed chain (Green's theorem; arcs exactly),
// positive when counter-clockwise.
double SignedArea(const TTNEntityArray& els) {
  double twice = 0;
  for (const TTNEntity& e : els) {
    const Point2 a = Eval(e, 0), b = Eval(e, 1);
    if (e.Radius == 0) {
      twice += a.X * b.Y - b.X * a.Y;
    } else {
      const double r = std::fabs(e.Radius);
      twice += r * r * Sweep(e) + e.X * (b.Y - a.Y) - e.Y * (b.X - a.X);
    }
  }
  return twice / 2;
}

// ------------------------------------------------------------ outlines

TTNRegion Loop(const TTNEntityArray& els, bool open = false) {
  TTNRegion r;
  r.Elements = els;
  r.Open = open ? 1 : 0;
  RegionBounds(r);
  return r;
}

TTNRegion Polygon(const std::vector<Point2>& pts) {
  TTNEntityArray els;
  for (size_t i = 0; i < pts.size(); ++i) {
    const Point2 a = pts[i], b = pts[(i + 1) % pts.size()];
    els.push_back(MakeLine(a.X, a.Y, b.X, b.Y));
  }
  return Loop(els);
}

TTNRegion Rectangle(double x0, double y0, double x1, double y1) {
  return Polygon({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

TTNRegion Circle(double cx, double cy, double r) { return Loop({MakeArc(cx, cy, r, 0, 0)}); }

// A slot of the given width along x, straight part `len` long, with round
// ends; counter-clockwise.
TTNRegion Slot(double len, double width) {
  const double h = width / 2;
  return Loop({MakeLine(0, 0, len, 0), MakeArc(len, h, h, 3 * kPi / 2, kPi / 2),
               MakeLine(len, width, 0, width), MakeArc(0, h, h, kPi / 2, 3 * kPi / 2)});
}

TTNRegion Star(int points, double outer, double inner) {
  std::vector<Point2> pts;
  for (int i = 0; i < 2 * points; ++i) {
    const double a = kPi / 2 + i * kPi / points;
    const double r = i % 2 == 0 ? outer : inner;
    pts.push_back({r * std::cos(a), r * std::sin(a)});
  }
  return Polygon(pts);
}

// A block with a bulge on its right (counter-clockwise arc) and a round
// notch in its top (clockwise arc).
TTNRegion BulgeAndNotch() {
  return Loop({MakeLine(0, 0, 10, 0), MakeArc(10, 5, 5, 3 * kPi / 2, kPi / 2),
               MakeLine(10, 10, 7, 10), MakeArc(5, 10, -2, 0, kPi), MakeLine(3, 10, 0, 10),
               MakeLine(0, 10, 0, 0)});
}

// A comb of n teeth, each with a small square notch in its top: many small
// concave corners, like lettering.
TTNRegion Comb(int n) {
  std::vector<Point2> pts{{0, 0}, {2.0 * n, 0}, {2.0 * n, 3}};
  for (int k = n - 1; k >= 0; --k) {
    const double x = 2.0 * k;
    pts.insert(pts.end(), {{x + 1, 3}, {x + 1, 4.5}, {x + 0.65, 4.5}, {x + 0.65, 4.2},
                           {x + 0.35, 4.2}, {x + 0.35, 4.5}, {x, 4.5}});
    if (k > 0) pts.push_back({x, 3});
  }
  return Polygon(pts);
}

// A random star-shaped polygon around the origin, counter-clockwise.
TTNRegion RandomPolygon(std::mt19937& rng, int n) {
  std::uniform_real_distribution<double> jitter(-0.3, 0.3), radius(3.0, 10.0);
  std::vector<Point2> pts;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * kPi * (i + jitter(rng)) / n;
    const double r = radius(rng);
    pts.push_back({r * std::cos(a), r * std::sin(a)});
  }
  return Polygon(pts);
}

// ------------------------------------------------------------ running it

struct Fixture {
  SilentUserInterface ui;
  Document doc{ui};
  Fixture() = default;
};

TTNRegionArray OffsetLoops(Document& doc, const TTNRegion& src, int side, double d,
                           OffsetStats* stats = nullptr) {
  TTNEntityArray raw, pieces;
  OffsetRegion(doc.Cancel, src, side, d, false, raw, stats);
  TTNRegionArray docRegions(1), extra, out;
  TrimRawChain(doc.Cancel, docRegions, raw, extra, {}, src, d, TrimMode::SourceOnly, pieces, stats);
  ChainPieces(doc.Cancel, pieces, false, 0.0, out);
  return out;
}

void ExpectClosedAndContinuous(const TTNRegion& r) {
  ASSERT_FALSE(r.Elements.empty());
  EXPECT_EQ(r.Open, 0);
  EXPECT_EQ(r.Selected, 1);
  const size_t n = r.Elements.size();
  for (size_t i = 0; i < n; ++i) {
    const Point2 end = Eval(r.Elements[i], 1), next = Eval(r.Elements[(i + 1) % n], 0);
    EXPECT_LE(Dist(end, next), 1e-9) << "gap after Element " << i << " of " << n;
  }
}

// Every point along the result lies at distance d from the source outline.
void ExpectAtDistance(const TTNRegionArray& loops, const TTNRegion& src, double d) {
  double worst = 0;
  Point2 where{};
  for (const TTNRegion& loop : loops) {
    for (const TTNEntity& e : loop.Elements) {
      const int samples = 8 + static_cast<int>(Length(e) / 0.02);
      for (int k = 0; k <= samples; ++k) {
        const Point2 p = Eval(e, static_cast<double>(k) / samples);
        const double err = std::fabs(OutlineDist(src.Elements, p) - d);
        if (err > worst) {
          worst = err;
          where = p;
        }
      }
    }
  }
  EXPECT_LE(worst, 1e-4) << "point (" << where.X << ", " << where.Y << ")";
}

// Every point at distance d on the wanted side of the source lies on the
// result: nothing of the true offset is lost.
void ExpectCovers(const TTNRegionArray& loops, const TTNRegion& src, int side, double d) {
  TTNEntityArray result;
  for (const TTNRegion& loop : loops) result.insert(result.end(), loop.Elements.begin(), loop.Elements.end());
  int checked = 0;
  for (const TTNEntity& e : src.Elements) {
    for (int k = 1; k < 20; ++k) {
      const double t = k / 20.0;
      const Point2 s = Eval(e, t), n = RightNormal(e, t);
      const double sign = side == kOffsetRight ? 1 : -1;
      const Point2 q{s.X + sign * d * n.X, s.Y + sign * d * n.Y};
      if (OutlineDist(src.Elements, q) < d - 1e-7) continue;  // not on the true offset
      ++checked;
      EXPECT_LE(OutlineDist(result, q), 1e-4) << "missing (" << q.X << ", " << q.Y << ")";
    }
  }
  (void)checked;
}

void CheckOffset(Document& doc, const TTNRegion& src, int side, double d, const std::string& name) {
  SCOPED_TRACE(name + " side " + std::to_string(side) + " d " + std::to_string(d));
  const TTNRegionArray loops = OffsetLoops(doc, src, side, d);
  for (const TTNRegion& r : loops) ExpectClosedAndContinuous(r);
  ExpectAtDistance(loops, src, d);
  ExpectCovers(loops, src, side, d);
}

double TotalArea(const TTNRegionArray& loops) {
  double a = 0;
  for (const TTNRegion& r : loops) a += SignedArea(r.Elements);
  return a;
}

// ------------------------------------------------------------ OffsetElement

TEST(OffsetElement, LinesMoveToTheirRightOrLeft) {
  bool ok = false;
  TTNEntity l = MakeLine(0, 0, 10, 0);
  l.OwnerTag = 7;
  l.Mark = true;
  TTNEntity r = OffsetElement(l, kOffsetRight, 2, ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(r.Y, -2);
  EXPECT_EQ(r.Y2, -2);
  EXPECT_EQ(r.X2, 10);
  EXPECT_EQ(r.MinY, -2);  // box recomputed
  EXPECT_EQ(r.OwnerTag, 7);
  EXPECT_FALSE(r.Mark);
  r = OffsetElement(l, kOffsetLeft, 2, ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(r.Y, 2);

  // Shorter than 1.25e-4: collapses to a point at the middle of its offset.
  r = OffsetElement(MakeLine(0, 0, 1e-4, 0), kOffsetLeft, 1, ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(r.Radius, 0);
  EXPECT_NEAR(r.X, 5e-5, 1e-15);
  EXPECT_NEAR(r.Y, 1, 1e-15);
  EXPECT_EQ(r.X, r.X2);
  EXPECT_EQ(r.Y, r.Y2);
  // Just above the limit it is still a line.
  OffsetElement(MakeLine(0, 0, 1.26e-4, 0), kOffsetLeft, 1, ok);
  EXPECT_TRUE(ok);
  OffsetElement(MakeLine(1, 1, 1, 1), kOffsetLeft, 1, ok);
  EXPECT_FALSE(ok);
}

TEST(OffsetElement, ArcsGrowOutsideAndCollapseInside) {
  bool ok = false;
  const TTNEntity ccw = MakeArc(0, 0, 5, 0, kPi / 2);
  EXPECT_EQ(OffsetElement(ccw, kOffsetRight, 1, ok).Radius, 6);
  EXPECT_TRUE(ok);
  EXPECT_EQ(OffsetElement(ccw, kOffsetLeft, 1, ok).Radius, 4);
  EXPECT_TRUE(ok);
  const TTNEntity cw = MakeArc(0, 0, -5, kPi / 2, 0);
  EXPECT_EQ(OffsetElement(cw, kOffsetLeft, 1, ok).Radius, -6);
  EXPECT_TRUE(ok);
  EXPECT_EQ(OffsetElement(cw, kOffsetRight, 1, ok).Radius, -4);
  EXPECT_TRUE(ok);
  // Radius 0.000125 is the smallest kept.
  OffsetElement(ccw, kOffsetLeft, 5 - 0.00013, ok);
  EXPECT_TRUE(ok);
  OffsetElement(ccw, kOffsetLeft, 5 - 0.00012, ok);
  EXPECT_FALSE(ok);

  // Collapsed partial arcs become the point touching both their ends, at
  // distance d from each, on the centre's side; in either direction.
  for (const TTNEntity& arc : {ccw, cw}) {
    const int inward = arc.Radius > 0 ? kOffsetLeft : kOffsetRight;
    const TTNEntity p = OffsetElement(arc, inward, 8, ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(p.Radius, 0);
    EXPECT_EQ(p.X, p.X2);
    EXPECT_NEAR(Dist({p.X, p.Y}, {5, 0}), 8, 1e-12);
    EXPECT_NEAR(Dist({p.X, p.Y}, {0, 5}), 8, 1e-12);
    EXPECT_LT(p.X + p.Y, 5);  // beyond the chord, towards the centre
  }
  OffsetElement(MakeArc(0, 0, 5, 1, 1), kOffsetLeft, 6, ok);  // a full circle just fails
  EXPECT_FALSE(ok);
}

// ------------------------------------------------------------ OffsetRegion

TEST(OffsetRegion, RectangleOutwardGetsQuarterArcsAtTheCorners) {
  Fixture f;
  const TTNRegion rect = Rectangle(0, 0, 20, 10);
  const TTNRegionArray loops = OffsetLoops(f.doc, rect, kOffsetRight, 1.5);
  ASSERT_EQ(loops.size(), 1u);
  ExpectClosedAndContinuous(loops[0]);
  int arcs = 0;
  for (const TTNEntity& e : loops[0].Elements) {
    if (e.Radius == 0) continue;
    ++arcs;
    EXPECT_EQ(e.Radius, 1.5);
    EXPECT_NEAR(std::fabs(Sweep(e)), kPi / 2, 1e-12);
    const bool atCorner = (std::fabs(e.X) < 1e-12 || std::fabs(e.X - 20) < 1e-12) &&
                          (std::fabs(e.Y) < 1e-12 || std::fabs(e.Y - 10) < 1e-12);
    EXPECT_TRUE(atCorner) << e.X << ", " << e.Y;
  }
  EXPECT_EQ(arcs, 4);
  EXPECT_EQ(loops[0].Elements.size(), 8u);
  EXPECT_NEAR(SignedArea(loops[0].Elements), 200 + 60 * 1.5 + kPi * 1.5 * 1.5, 1e-9);
}

TEST(OffsetRegion, RectangleInwardHasSharpTrimmedCorners) {
  Fixture f;
  const TTNRegionArray loops = OffsetLoops(f.doc, Rectangle(0, 0, 20, 10), kOffsetLeft, 1.5);
  ASSERT_EQ(loops.size(), 1u);
  ExpectClosedAndContinuous(loops[0]);
  ASSERT_EQ(loops[0].Elements.size(), 4u);
  for (const TTNEntity& e : loops[0].Elements) {
    EXPECT_EQ(e.Radius, 0);
    EXPECT_TRUE(e.X == 1.5 || e.X == 18.5);
    EXPECT_TRUE(e.Y == 1.5 || e.Y == 8.5);
  }
  EXPECT_NEAR(SignedArea(loops[0].Elements), 17 * 7, 1e-9);
  EXPECT_EQ(loops[0].Direction, 0);  // still counter-clockwise
  EXPECT_NEAR(loops[0].MinX, 1.5, 1e-12);
}

TEST(OffsetRegion, CirclesGrowShrinkAndVanish) {
  Fixture f;
  const TTNRegion c = Circle(3, 4, 5);
  TTNRegionArray loops = OffsetLoops(f.doc, c, kOffsetRight, 2);
  ASSERT_EQ(loops.size(), 1u);
  ASSERT_EQ(loops[0].Elements.size(), 1u);
  EXPECT_EQ(loops[0].Elements[0].Radius, 7);
  EXPECT_NEAR(SignedArea(loops[0].Elements), kPi * 49, 1e-9);

  loops = OffsetLoops(f.doc, c, kOffsetLeft, 2);
  ASSERT_EQ(loops.size(), 1u);
  EXPECT_EQ(loops[0].Elements[0].Radius, 3);

  // Inward by more than R - 0.000125: nothing is left.
  TTNEntityArray raw;
  EXPECT_FALSE(OffsetRegion(f.doc.Cancel, c, kOffsetLeft, 5 - 0.0001, false, raw));
  EXPECT_TRUE(raw.empty());
  EXPECT_TRUE(OffsetLoops(f.doc, c, kOffsetLeft, 5 - 0.0001).empty());
  EXPECT_TRUE(OffsetLoops(f.doc, c, kOffsetLeft, 7).empty());

  // A circle drawn as two halves behaves the same.
  const TTNRegion halves = Loop({MakeArc(0, 0, 5, 0, kPi), MakeArc(0, 0, 5, kPi, 0)});
  loops = OffsetLoops(f.doc, halves, kOffsetLeft, 1);
  ASSERT_EQ(loops.size(), 1u);
  ExpectClosedAndContinuous(loops[0]);
  EXPECT_NEAR(SignedArea(loops[0].Elements), kPi * 16, 1e-9);
  EXPECT_TRUE(OffsetLoops(f.doc, halves, kOffsetLeft, 5.5).empty());
}

TEST(OffsetRegion, DistanceZeroGivesTheRegionItself) {
  Fixture f;
  const TTNRegion src = BulgeAndNotch();
  TTNEntityArray raw;
  ASSERT_TRUE(OffsetRegion(f.doc.Cancel, src, kOffsetLeft, 0, true, raw));
  ASSERT_EQ(raw.size(), src.Elements.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    EXPECT_EQ(raw[i].X, src.Elements[i].X);
    EXPECT_EQ(raw[i].Radius, src.Elements[i].Radius);
    EXPECT_EQ(raw[i].X2, src.Elements[i].X2);
  }
  // Through trimming and chaining it comes back as the same loop.
  const TTNRegionArray loops = OffsetLoops(f.doc, src, kOffsetLeft, 0);
  ASSERT_EQ(loops.size(), 1u);
  ExpectClosedAndContinuous(loops[0]);
  EXPECT_EQ(loops[0].Elements.size(), src.Elements.size());
  EXPECT_NEAR(SignedArea(loops[0].Elements), SignedArea(src.Elements), 1e-9);
}

TEST(OffsetRegion, CornerArcOnlyWhereTheOffsetsLeaveAGap) {
  Fixture f;
  // An open path turning left by about 101 degrees; the second leg is short,
  // so on the inner side the offsets miss each other and the would-be arc
  // runs the long way round (more than pi + 0.01): none is made.
  const TTNRegion path = Loop({MakeLine(0, 0, 1, 0), MakeLine(1, 0, 0.9, 0.5)}, true);
  TTNEntityArray raw;
  ASSERT_TRUE(OffsetRegion(f.doc.Cancel, path, kOffsetLeft, 2, false, raw));
  ASSERT_EQ(raw.size(), 2u);
  EXPECT_EQ(raw[0].Radius, 0);
  EXPECT_EQ(raw[1].Radius, 0);
  // On the outer side an arc about the corner with the turning angle as
  // its sweep bridges the gap.
  raw.clear();
  ASSERT_TRUE(OffsetRegion(f.doc.Cancel, path, kOffsetRight, 2, false, raw));
  ASSERT_EQ(raw.size(), 3u);
  EXPECT_EQ(raw[1].Radius, 2);
  EXPECT_EQ(raw[1].X, 1);
  EXPECT_EQ(raw[1].Y, 0);
  EXPECT_NEAR(Sweep(raw[1]), kPi - std::atan2(0.5, 0.1), 1e-12);
  EXPECT_NEAR(Dist(Eval(raw[0], 1), Eval(raw[1], 0)), 0, 1e-12);
  EXPECT_NEAR(Dist(Eval(raw[1], 1), Eval(raw[2], 0)), 0, 1e-12);

  // A full reversal (a hairpin) turns by exactly pi and still gets its arc.
  raw.clear();
  const TTNRegion hairpin = Loop({MakeLine(0, 0, 5, 0), MakeLine(5, 0, 0, 0)}, true);
  ASSERT_TRUE(OffsetRegion(f.doc.Cancel, hairpin, kOffsetRight, 1, false, raw));
  ASSERT_EQ(raw.size(), 3u);
  EXPECT_NEAR(Sweep(raw[1]), kPi, 1e-12);
}

TEST(OffsetRegion, OpenRegionsAndIslandTags) {
  Fixture f;
  // The first Elements collapse: the chain starts at the first one that
  // offsets, and ends with the last one.
  // (a clockwise quarter arc of radius 0.5, offset towards its centre by 1)
  const TTNRegion path = Loop({MakeArc(0, 0, -0.5, kPi, kPi / 2), MakeLine(0, 0.5, 10, 0.5),
                               MakeLine(10, 0.5, 10, -5)},
                              true);
  TTNEntityArray raw;
  ASSERT_TRUE(OffsetRegion(f.doc.Cancel, path, kOffsetRight, 1, false, raw));
  ASSERT_EQ(raw.size(), 2u);  // the lines, trimmed at their concave corner
  EXPECT_NEAR(raw[0].Y, -0.5, 1e-12);
  EXPECT_NEAR(raw[0].X2, 9, 1e-12);
  EXPECT_NEAR(raw[1].X, 9, 1e-12);
  EXPECT_NEAR(raw[1].Y2, -5, 1e-12);

  // Nothing offsets: failure, nothing appended.
  raw.clear();
  const TTNRegion tiny = Loop({MakeArc(0, 0, -0.5, kPi, kPi / 2)}, true);
  EXPECT_FALSE(OffsetRegion(f.doc.Cancel, tiny, kOffsetRight, 1, false, raw));
  EXPECT_TRUE(raw.empty());

  // Islands inside a boundary carry the owning Boundary's index.
  TTNRegion island = Rectangle(0, 0, 2, 2);
  island.Owner = 4;
  ASSERT_TRUE(OffsetRegion(f.doc.Cancel, island, kOffsetRight, 1, true, raw));
  ASSERT_EQ(raw.size(), 8u);
  for (const TTNEntity& e : raw) EXPECT_EQ(e.OwnerTag, 4);
  raw.clear();
  ASSERT_TRUE(OffsetRegion(f.doc.Cancel, island, kOffsetRight, 1, false, raw));
  for (const TTNEntity& e : raw) EXPECT_EQ(e.OwnerTag, 0);
}

TEST(OffsetRegion, PointsAndTinyEdgesInTheOutlineKeepItClosed) {
  Fixture f;
  // A repeated vertex (a zero-length edge) and an edge far shorter than the
  // collapse limit, on convex corners: the loop still closes, round the
  // corners, at the right distance.
  const TTNRegion src = Polygon({{0, 0}, {10, 0}, {10, 0}, {10, 5}, {10.00005, 5.00005}, {0, 5}});
  const TTNRegionArray loops = OffsetLoops(f.doc, src, kOffsetRight, 1);
  ASSERT_EQ(loops.size(), 1u);
  ExpectClosedAndContinuous(loops[0]);
  ExpectAtDistance(loops, src, 1);
  EXPECT_NEAR(SignedArea(loops[0].Elements), 50 + 30 + kPi, 1e-3);
}

TEST(OffsetRegion, RoundNotchNarrowerThanTheToolFromOutside) {
  Fixture f;
  // The notch (radius 2) collapses when offset outwards by 2.5: the path
  // runs about each notch corner into the point touching both, (5, 11.5),
  // and out again; it stays one closed loop.
  const TTNRegion src = BulgeAndNotch();
  const TTNRegionArray loops = OffsetLoops(f.doc, src, kOffsetRight, 2.5);
  ASSERT_EQ(loops.size(), 1u);
  ExpectClosedAndContinuous(loops[0]);
  EXPECT_LT(OutlineDist(loops[0].Elements, {5, 11.5}), 1e-9);
  ExpectAtDistance(loops, src, 2.5);
  ExpectCovers(loops, src, kOffsetRight, 2.5);
}

// ------------------------------------------------------------ shapes

TEST(OffsetShapes, SlotNarrowerThanTwiceTheDistanceVanishes) {
  Fixture f;
  const TTNRegion slot = Slot(10, 4);
  TTNRegionArray loops = OffsetLoops(f.doc, slot, kOffsetLeft, 1.5);
  ASSERT_EQ(loops.size(), 1u);
  EXPECT_NEAR(SignedArea(loops[0].Elements), 10 * 1 + kPi * 0.25, 1e-9);
  EXPECT_TRUE(OffsetLoops(f.doc, slot, kOffsetLeft, 2.5).empty());
  CheckOffset(f.doc, slot, kOffsetLeft, 1.5, "slot");
  CheckOffset(f.doc, slot, kOffsetRight, 3, "slot");
}

TEST(OffsetShapes, NarrowChannelSplitsIntoTwoLoops) {
  Fixture f;
  // Two 10 x 10 rooms joined by a channel 2 wide.
  const TTNRegion rooms = Polygon({{0, 0}, {10, 0}, {10, 4}, {16, 4}, {16, 0}, {26, 0}, {26, 10},
                                   {16, 10}, {16, 6}, {10, 6}, {10, 10}, {0, 10}});
  TTNRegionArray loops = OffsetLoops(f.doc, rooms, kOffsetLeft, 1.5);
  ASSERT_EQ(loops.size(), 2u);
  for (const TTNRegion& r : loops) ExpectClosedAndContinuous(r);
  // Each a 7 x 7 square, bulging a little towards the channel mouth.
  EXPECT_NEAR(SignedArea(loops[0].Elements), SignedArea(loops[1].Elements), 1e-9);
  EXPECT_GT(SignedArea(loops[0].Elements), 49.1);
  EXPECT_LT(SignedArea(loops[0].Elements), 49.5);
  EXPECT_EQ(OffsetLoops(f.doc, rooms, kOffsetLeft, 0.9).size(), 1u);
  CheckOffset(f.doc, rooms, kOffsetLeft, 1.5, "rooms");
  CheckOffset(f.doc, rooms, kOffsetLeft, 0.9, "rooms");
  CheckOffset(f.doc, rooms, kOffsetRight, 1.5, "rooms");
}

TEST(OffsetShapes, ConvexOutwardOffsetAddsPerimeterTimesDistance) {
  Fixture f;
  std::vector<Point2> hex;
  for (int i = 0; i < 6; ++i) hex.push_back({3 * std::cos(i * kPi / 3), 3 * std::sin(i * kPi / 3)});
  const TTNRegion h = Polygon(hex);
  const double area = SignedArea(h.Elements), perimeter = 18;
  for (double d : {0.1, 1.0, 7.0}) {
    const TTNRegionArray loops = OffsetLoops(f.doc, h, kOffsetRight, d);
    ASSERT_EQ(loops.size(), 1u);
    EXPECT_NEAR(TotalArea(loops), area + perimeter * d + kPi * d * d, 1e-9);
  }
  // Inwards the hexagon shrinks to a similar one (inradius 3 cos 30deg).
  const double inr = 3 * std::cos(kPi / 6);
  const TTNRegionArray in = OffsetLoops(f.doc, h, kOffsetLeft, 1);
  ASSERT_EQ(in.size(), 1u);
  EXPECT_NEAR(TotalArea(in), area * std::pow((inr - 1) / inr, 2), 1e-9);
  EXPECT_TRUE(OffsetLoops(f.doc, h, kOffsetLeft, inr + 0.01).empty());
}

TEST(OffsetShapes, EveryResultPointIsAtTheDistance) {
  Fixture f;
  struct Case {
    std::string Name;
    TTNRegion Src;
    std::vector<double> Distances;
  };
  const std::vector<Case> cases = {
      {"rectangle", Rectangle(0, 0, 20, 10), {0.5, 3, 4.9}},
      {"circle", Circle(1, 2, 4), {0.5, 3.9}},
      {"star", Star(5, 10, 4), {0.3, 1, 2.5}},
      {"sharp star", Star(7, 12, 2), {0.2, 0.7, 1.5}},
      {"bulge and notch", BulgeAndNotch(), {0.4, 1.5, 2.5, 4}},
      {"comb", Comb(6), {0.1, 0.2, 0.4, 0.6, 1.2}},
  };
  for (const Case& c : cases) {
    for (double d : c.Distances) {
      CheckOffset(f.doc, c.Src, kOffsetLeft, d, c.Name);
      CheckOffset(f.doc, c.Src, kOffsetRight, d, c.Name);
    }
  }
  // The same outlines run the other way round swap the sides.
  TTNRegion star = Star(5, 10, 4);
  RegionReverse(star);
  CheckOffset(f.doc, star, kOffsetRight, 1, "reversed star");
  TTNRegion bn = BulgeAndNotch();
  RegionReverse(bn);
  CheckOffset(f.doc, bn, kOffsetLeft, 1.5, "reversed bulge and notch");
  CheckOffset(f.doc, bn, kOffsetRight, 1.5, "reversed bulge and notch");
}

TEST(OffsetShapes, RandomPolygons) {
  Fixture f;
  std::mt19937 rng(20240611);
  for (int round = 0; round < 12; ++round) {
    const TTNRegion src = RandomPolygon(rng, 24 + 4 * round);
    for (double d : {0.15, 0.6, 1.7}) {
      const std::string name = "random polygon " + std::to_string(round);
      CheckOffset(f.doc, src, kOffsetLeft, d, name);
      CheckOffset(f.doc, src, kOffsetRight, d, name);
    }
  }
}

TEST(OffsetShapes, OutwardAndInwardAreasAreOrdered) {
  Fixture f;
  const TTNRegion comb = Comb(5);
  const double a = SignedArea(comb.Elements);
  double prevOut = a, prevIn = a;
  for (double d : {0.1, 0.2, 0.4, 0.8}) {
    const double out = TotalArea(OffsetLoops(f.doc, comb, kOffsetRight, d));
    const double in = TotalArea(OffsetLoops(f.doc, comb, kOffsetLeft, d));
    EXPECT_GT(out, prevOut);
    EXPECT_LT(in, prevIn);
    prevOut = out;
    prevIn = in;
  }
}

// ------------------------------------------------------------ trimming

TEST(TrimRawChain, IslandsAreKeptClearOfAndMergedWith) {
  Fixture f;
  // A square boundary with a round island; one raw chain of the boundary
  // inwards and the island (run the other way) outwards.
  for (double cx : {10.0, 15.5}) {
    SCOPED_TRACE(cx);
    TTNRegionArray regions(1);
    regions.push_back(Rectangle(0, 0, 20, 20));
    TTNRegion island = Circle(cx, 10, 3);
    island.Elements[0].Radius = -3;
    island.Owner = 1;
    RegionBounds(island);
    regions.push_back(island);
    const double d = 1;
    TTNEntityArray raw, pieces;
    ASSERT_TRUE(OffsetRegion(f.doc.Cancel, regions[1], kOffsetLeft, d, false, raw));
    ASSERT_TRUE(OffsetRegion(f.doc.Cancel, regions[2], kOffsetLeft, d, true, raw));
    TTNRegionArray extra, loops;
    TrimRawChain(f.doc.Cancel, regions, raw, extra, {{2, d}}, regions[1], d, TrimMode::Pocket,
                 pieces);
    ChainPieces(f.doc.Cancel, pieces, false, 0, loops, true);
    ASSERT_EQ(loops.size(), cx == 10 ? 2u : 1u);
    for (const TTNRegion& r : loops) ExpectClosedAndContinuous(r);
    TTNRegion both;
    both.Elements = regions[1].Elements;
    both.Elements.push_back(regions[2].Elements[0]);
    ExpectAtDistance(loops, both, d);
    if (cx == 10) {
      EXPECT_NEAR(TotalArea(loops), 18 * 18 - kPi * 16, 1e-9);
    }
    // Without the tagged pieces the boundary loop alone is chained when it
    // stands free; merged with the island it is tagged in part.
    for (TTNEntity& e : pieces) e.Mark = false;
    loops.clear();
    ChainPieces(f.doc.Cancel, pieces, false, 0, loops);
    EXPECT_EQ(loops.size(), 1u);
  }
}

TEST(TrimRawChain, NewPassWrapsAroundTheObstacleLoops) {
  Fixture f;
  // Pocket step: the previous pass is the square 1..19, the next pass one
  // step (2) further in; an obstacle loop (the island at (16, 10) radius 1.5
  // offset by 1) stands across the new pass's right side.
  TTNRegionArray regions(1);
  TTNRegion island = Circle(16, 10, 1.5);
  regions.push_back(island);
  const TTNRegion pass = Rectangle(1, 1, 19, 19);
  TTNRegionArray extra(1);
  extra[0] = Circle(16, 10, 2.5);
  extra[0].Elements[0].Radius = -2.5;
  extra[0].Elements[0].OwnerTag = 0;
  extra[0].Selected = 1;
  TTNRegion farAway = Circle(100, 100, 1);
  extra.push_back(farAway);
  extra[1].Selected = 1;  // flags from an earlier call are not taken over
  extra[1].Elements[0].Mark = true;

  TTNEntityArray raw, pieces;
  ASSERT_TRUE(OffsetRegion(f.doc.Cancel, pass, kOffsetLeft, 2, false, raw));
  TrimRawChain(f.doc.Cancel, regions, raw, extra, {{1, 1.0}}, pass, 2, TrimMode::Pocket, pieces);
  EXPECT_EQ(extra[0].Selected, 1);  // run into
  EXPECT_EQ(extra[1].Selected, 0);  // cleared, not touched
  EXPECT_FALSE(extra[1].Elements[0].Mark);
  EXPECT_TRUE(extra[0].Elements[0].Mark);
  TTNRegionArray loops;
  ChainPieces(f.doc.Cancel, pieces, false, 0, loops);
  ASSERT_EQ(loops.size(), 1u);
  ExpectClosedAndContinuous(loops[0]);
  // Everything lies 2 from the old pass and clear of the island by 1, and
  // touches one of the two.
  for (const TTNEntity& e : loops[0].Elements) {
    for (int k = 0; k <= 50; ++k) {
      const Point2 p = Eval(e, k / 50.0);
      const double toPass = OutlineDist(pass.Elements, p) - 2;
      const double toIsland = OutlineDist(island.Elements, p) - 1;
      EXPECT_GE(toPass, -1e-4);
      EXPECT_GE(toIsland, -1e-4);
      EXPECT_LE(std::min(toPass, toIsland), 1e-4);
    }
  }
  // The square 3..17 less the part of the obstacle circle inside it.
  const double r = 2.5, h = 1;  // circle centre 1 left of the side x = 17
  const double outside = r * r * std::acos(h / r) - h * std::sqrt(r * r - h * h);
  EXPECT_NEAR(TotalArea(loops), 14 * 14 - (kPi * r * r - outside), 1e-9);
}

TEST(TrimRawChain, TinyDistancesRemoveNothing) {
  Fixture f;
  // The outline's own Elements lie at distance 0 from it: clear of it below
  // 5e-5, not above.
  const TTNRegion src = Star(5, 10, 4);
  TTNEntityArray raw = src.Elements, pieces;
  TTNRegionArray regions(1), extra;
  TrimRawChain(f.doc.Cancel, regions, raw, extra, {}, src, 4e-5, TrimMode::SourceOnly, pieces);
  EXPECT_EQ(pieces.size(), src.Elements.size());
  TrimRawChain(f.doc.Cancel, regions, raw, extra, {}, src, 2e-4, TrimMode::SourceOnly, pieces);
  EXPECT_TRUE(pieces.empty());
  EXPECT_TRUE(ClearOf(src, {10, 0}, 4.9e-5));
  EXPECT_TRUE(ClearOf(src, {0, 10}, 0));
  EXPECT_FALSE(ClearOf(src, {0, 10}, 1e-4));
}

TEST(TrimRawChain, LinesCutFewerThanTwiceAreConsumed) {
  Fixture f;
  TTNEntityArray raw = {MakeLine(0, 0, 10, 0), MakeLine(5, -5, 5, 5), MakeArc(20, 0, 1, 0, 1),
                        MakeArc(30, 0, 1, 0, 0)};
  TTNEntityArray pieces;
  TTNRegionArray regions(1), extra;
  const TTNRegion far = Rectangle(-100, -100, -90, -90);
  TrimRawChain(f.doc.Cancel, regions, raw, extra, {}, far, 1, TrimMode::SourceOnly, pieces);
  // The crossing lines are cut once each: nothing; the lone partial arc:
  // nothing; the lone circle: kept whole.
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_TRUE(pieces[0].IsFullCircle());
  EXPECT_TRUE(raw[0].Mark);
  EXPECT_TRUE(raw[1].Mark);
  // With islands about, a circle stays only when its start is clear of them.
  regions.push_back(Circle(32.5, 0, 1));
  TrimRawChain(f.doc.Cancel, regions, raw, extra, {{1, 0.4}}, far, 1, TrimMode::SourceOnly, pieces);
  EXPECT_EQ(pieces.size(), 1u);
  TrimRawChain(f.doc.Cancel, regions, raw, extra, {{1, 0.6}}, far, 1, TrimMode::SourceOnly, pieces);
  EXPECT_TRUE(pieces.empty());
  // An island index outside the list is passed over.
  TrimRawChain(f.doc.Cancel, regions, raw, extra, {{9, 0.6}, {-1, 1}}, far, 1, TrimMode::SourceOnly,
               pieces);
  EXPECT_EQ(pieces.size(), 1u);
}

TEST(ClearOf, IndexAgreesWithThePlainTest) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> coord(-13, 13), dist(0, 4);
  for (const TTNRegion& src : {Star(7, 12, 2), BulgeAndNotch(), Comb(4), Circle(0, 0, 5)}) {
    const ClearanceIndex index(src);
    int blocked = 0;
    for (int i = 0; i < 3000; ++i) {
      const Point2 p{coord(rng), coord(rng)};
      const double d = dist(rng);
      const bool plain = ClearOf(src, p, d);
      ASSERT_EQ(index.Clear(p, d), plain) << p.X << ", " << p.Y << " d " << d;
      blocked += plain ? 0 : 1;
      // And both agree with the distance measured here.
      const double true_d = OutlineDist(src.Elements, p);
      if (true_d < d - 5e-5 - 1e-9) {
        EXPECT_FALSE(plain);
      } else if (true_d > d - 5e-5 + 1e-9) {
        EXPECT_TRUE(plain);
      }
    }
    EXPECT_GT(blocked, 100);
  }
}

// ------------------------------------------------------------ ChainPieces

TEST(ChainPieces, DeadEndsAreDroppedAndTheSearchGoesOnAfterTheLastPiece) {
  Fixture f;
  // A spur leaves the first corner of a square; it is found first (it comes
  // right after the piece taken), leads nowhere, and is dropped.
  TTNEntityArray pieces = {MakeLine(0, 0, 1, 0), MakeLine(1, 0, 2, 0), MakeLine(1, 0, 1, 1),
                           MakeLine(1, 1, 0, 1), MakeLine(0, 1, 0, 0)};
  TTNRegionArray out;
  EXPECT_EQ(ChainPieces(f.doc.Cancel, pieces, true, 3.5, out), 1);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].Elements.size(), 4u);
  EXPECT_EQ(out[0].Open, 0);
  EXPECT_EQ(out[0].Selected, 1);
  EXPECT_EQ(out[0].Depth, 3.5);
  EXPECT_EQ(out[0].MaxX, 1);
  for (const TTNEntity& e : out[0].Elements) EXPECT_FALSE(e.Mark);

  // Two pieces start where the chain ends: the one after the last piece
  // taken wins over an earlier one (which is tagged, so starts no chain).
  pieces = {MakeLine(1, 0, 1, 5), MakeLine(0, 0, 1, 0), MakeLine(1, 0, 0, 0)};
  pieces[0].OwnerTag = 2;
  out.clear();
  EXPECT_EQ(ChainPieces(f.doc.Cancel, pieces, false, 0, out), 1);
  ASSERT_EQ(out[0].Elements.size(), 2u);
  EXPECT_EQ(out[0].Elements[1].Y2, 0);
  EXPECT_FALSE(pieces[0].Mark);
  // Pocket chaining starts chains at tagged pieces too: the first one leads
  // nowhere, is dropped, and the chain goes on from its start.
  for (TTNEntity& e : pieces) e.Mark = false;
  out.clear();
  EXPECT_EQ(ChainPieces(f.doc.Cancel, pieces, false, 0, out, true), 1);
  EXPECT_EQ(out[0].Elements.size(), 2u);
  EXPECT_TRUE(pieces[0].Mark);
}

TEST(ChainPieces, OpenPathsKeepTheirLastElement) {
  Fixture f;
  // A contour without compensation chains the profile's own Elements: the
  // dead end at the path's end does not cost it its last Element.
  const TTNRegion path = Loop({MakeLine(0, 0, 5, 0), MakeArc(5, 2, 2, 3 * kPi / 2, 0),
                               MakeLine(7, 2, 7, 9)},
                              true);
  TTNEntityArray raw;
  ASSERT_TRUE(OffsetRegion(f.doc.Cancel, path, kOffsetLeft, 0, false, raw));
  TTNRegionArray out;
  EXPECT_EQ(ChainPieces(f.doc.Cancel, raw, true, 2, out), 1);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].Open, 1);
  EXPECT_EQ(out[0].Elements.size(), 3u);
  EXPECT_EQ(out[0].Depth, 2);
}

TEST(ChainPieces, ClosingSnapsOpenChainsAndCircles) {
  Fixture f;
  // The last piece ends 2e-4 off the start: moved onto it.
  TTNEntityArray pieces = {MakeLine(0, 0, 4, 0), MakeLine(4, 0, 4, 3), MakeLine(4, 3, 2e-4, -1e-4),
                           MakeLine(50, 50, 60, 50), MakeArc(0, 0, 2, 1, 1),
                           MakeArc(10, 0, 1, 0.5, 0.5 + 2 * kPi - 1e-5)};
  TTNRegionArray out;
  EXPECT_EQ(ChainPieces(f.doc.Cancel, pieces, false, 0, out), 3);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].Elements[2].X2, 0);
  EXPECT_EQ(out[0].Elements[2].Y2, 0);
  EXPECT_EQ(out[1].Elements.size(), 1u);  // the circle by itself
  EXPECT_EQ(out[2].Elements.size(), 1u);  // an arc whose ends meet closes
  EXPECT_EQ(out[2].Open, 0);
  // With open results allowed the lone line comes out open and unselected.
  for (TTNEntity& e : pieces) e.Mark = false;
  out.clear();
  EXPECT_EQ(ChainPieces(f.doc.Cancel, pieces, true, 0, out), 4);
  EXPECT_EQ(out[1].Open, 1);
  EXPECT_EQ(out[1].Selected, 0);

  // One all-zero Element is no result.
  pieces = {TTNEntity{}};
  EXPECT_EQ(ChainPieces(f.doc.Cancel, pieces, true, 0, out), 0);
}

// ------------------------------------------------------------ cancelling, scale

TEST(OffsetEngine, CancelledOperationsReturnNothing) {
  Fixture f;
  const TTNRegion rect = Rectangle(0, 0, 10, 10);
  TTNEntityArray raw, pieces;
  ASSERT_TRUE(OffsetRegion(f.doc.Cancel, rect, kOffsetLeft, 1, false, raw));
  TTNRegionArray regions(1), extra, out;
  TrimRawChain(f.doc.Cancel, regions, raw, extra, {}, rect, 1, TrimMode::SourceOnly, pieces);
  ASSERT_FALSE(pieces.empty());

  f.doc.RequestAbort();
  TTNEntityArray raw2;
  EXPECT_FALSE(OffsetRegion(f.doc.Cancel, rect, kOffsetLeft, 1, false, raw2));
  EXPECT_TRUE(raw2.empty());
  EXPECT_EQ(ChainPieces(f.doc.Cancel, pieces, true, 0, out), 0);
  EXPECT_TRUE(out.empty());
  TrimRawChain(f.doc.Cancel, regions, raw, extra, {}, rect, 1, TrimMode::SourceOnly, pieces);
  EXPECT_TRUE(pieces.empty());
}

TEST(OffsetEngine, LargeOutlineNeedsFewIntersectionTestsPerElement) {
  Fixture f;
  // A wavy circle of 20000 short arcs and lines.
  const int n = 20000;
  TTNEntityArray els;
  Point2 prev{};
  for (int i = 0; i <= n; ++i) {
    const double a = 2 * kPi * i / n;
    const double r = 100 + 0.5 * std::sin(200 * a);
    const Point2 p{r * std::cos(a), r * std::sin(a)};
    if (i > 0) {
      if (i % 2 == 0) {
        els.push_back(MakeLine(prev.X, prev.Y, p.X, p.Y));
      } else {
        // A slight arc through both points, bulging outwards.
        const double mx = (prev.X + p.X) / 2, my = (prev.Y + p.Y) / 2;
        const double cx = mx * 0.9, cy = my * 0.9;
        const double rad = std::hypot(p.X - cx, p.Y - cy);
        TTNEntity arc = MakeArc(cx, cy, rad, PointAngle({cx, cy}, prev), PointAngle({cx, cy}, p));
        ElementSnapEnd(arc, prev, 0);
        els.push_back(arc);
      }
    }
    prev = p;
  }
  const Point2 first = ElementStart(els.front());
  els.back().X2 = first.X;
  els.back().Y2 = first.Y;
  ElementBounds(els.back());
  const TTNRegion src = Loop(els);
  for (int side : {kOffsetLeft, kOffsetRight}) {
    OffsetStats stats;
    const TTNRegionArray loops = OffsetLoops(f.doc, src, side, 0.3, &stats);
    ASSERT_EQ(loops.size(), 1u);
    ExpectClosedAndContinuous(loops[0]);
    EXPECT_LT(stats.IntersectionTests, 12 * n) << "side " << side;
    EXPECT_LT(stats.DistanceTests, 40 * n) << "side " << side;
  }
}

}  // namespace
}  // namespace tarnak

namespace tarnak {
namespace {

// A lone circle in the raw chain, crossed twice by an obstacle loop: the
// piece through the circle's start point must survive too, not only the
// one between the crossings.
TEST(TrimRawChain, LoneCircleCutTwiceKeepsEveryPiece) {
  SilentUserInterface ui;
  Document doc(ui);
  TTNRegionArray regions(1);
  TTNRegion circle;
  circle.Elements = {MakeArc(0, 0, 5, 0, 0)};
  RegionBounds(circle);
  TTNEntityArray raw = circle.Elements, pieces;
  TTNRegionArray extra(1);
  extra[0].Elements = {MakeLine(-1, 3, 1, 3), MakeLine(1, 3, 1, 7), MakeLine(1, 7, -1, 7),
                       MakeLine(-1, 7, -1, 3)};
  RegionBounds(extra[0]);
  // Distance 0 keeps every piece: only the cutting is under test.
  TrimRawChain(doc.Cancel, regions, raw, extra, {}, circle, 0.0, TrimMode::SourceOnly, pieces);
  double circleLength = 0;
  for (const TTNEntity& p : pieces)
    if (p.IsArc()) circleLength += ElementLength(p);
  EXPECT_NEAR(circleLength, 2 * kPi * 5, 1e-9);
}

}  // namespace
}  // namespace tarnak
