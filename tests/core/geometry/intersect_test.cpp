// Element/Element intersection. Every result is checked against geometry
// computed here independently: the point must lie on both Elements, each
// parameter must lead back to the point, and swapping the arguments must
// give the same points with the parameters swapped.
#include "geometry/intersect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "geometry/primitives.h"

namespace tarnak {
namespace {

constexpr double kSnap = 2.5e-4;  // end points this close are the same point

double Dist(Point2 p, Point2 q) { return std::hypot(p.X - q.X, p.Y - q.Y); }

// Signed sweep, worked out here from the angles rather than taken from the
// library.
double Sweep(const TTNEntity& e) {
  if (e.StartAngle() == e.EndAngle()) return e.Radius > 0 ? 2 * kPi : -2 * kPi;
  double s = e.Radius > 0 ? e.EndAngle() - e.StartAngle() : e.StartAngle() - e.EndAngle();
  s = std::fmod(s, 2 * kPi);
  if (s <= 0) s += 2 * kPi;
  return e.Radius > 0 ? s : -s;
}

Point2 OnArc(const TTNEntity& e, double angle) {
  return {e.X + std::fabs(e.Radius) * std::cos(angle), e.Y + std::fabs(e.Radius) * std::sin(angle)};
}

Point2 Eval(const TTNEntity& e, double t) {
  if (e.Radius == 0) return {e.X + t * (e.X2 - e.X), e.Y + t * (e.Y2 - e.Y)};
  return OnArc(e, e.StartAngle() + t * Sweep(e));
}

// How far along the arc's travel from its start the direction of p lies, in
// [0, 2pi).
double TurnFromStart(const TTNEntity& e, Point2 p) {
  double a = std::atan2(p.Y - e.Y, p.X - e.X);
  double d = e.Radius > 0 ? a - e.StartAngle() : e.StartAngle() - a;
  d = std::fmod(d, 2 * kPi);
  return d < 0 ? d + 2 * kPi : d;
}

double DistToElement(const TTNEntity& e, Point2 p) {
  const Point2 s = Eval(e, 0), f = Eval(e, 1);
  if (e.Radius == 0) {
    const double dx = f.X - s.X, dy = f.Y - s.Y, len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.X - s.X) * dx + (p.Y - s.Y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return Dist(p, {s.X + t * dx, s.Y + t * dy});
  }
  if (TurnFromStart(e, p) <= std::fabs(Sweep(e)))
    return std::fabs(std::hypot(p.X - e.X, p.Y - e.Y) - std::fabs(e.Radius));
  return std::min(Dist(p, s), Dist(p, f));
}

// Distance to the whole line or circle the Element lies on.
double DistToCurve(const TTNEntity& e, Point2 p) {
  if (e.Radius != 0) return std::fabs(std::hypot(p.X - e.X, p.Y - e.Y) - std::fabs(e.Radius));
  const double dx = e.X2 - e.X, dy = e.Y2 - e.Y;
  return std::fabs(dx * (p.Y - e.Y) - dy * (p.X - e.X)) / std::hypot(dx, dy);
}

// Checks every point of r for a against b, and the swapped call. `tol` is
// how far a point may be from each Element and from where its parameters
// lead.
void ExpectSound(const TTNEntity& a, const TTNEntity& b, const IntersectResult& r, double tol) {
  ASSERT_GE(r.Count, 0);
  ASSERT_LE(r.Count, 2);
  for (int i = 0; i < r.Count; ++i) {
    SCOPED_TRACE(testing::Message() << "point " << i << " (" << r.P[i].X << ", " << r.P[i].Y << ")");
    EXPECT_GE(r.ParamA[i], 0.0);
    EXPECT_LE(r.ParamA[i], 1.0);
    EXPECT_GE(r.ParamB[i], 0.0);
    EXPECT_LE(r.ParamB[i], 1.0);
    EXPECT_LE(DistToElement(a, r.P[i]), tol);
    EXPECT_LE(DistToElement(b, r.P[i]), tol);
    EXPECT_LE(Dist(Eval(a, r.ParamA[i]), r.P[i]), tol);
    EXPECT_LE(Dist(Eval(b, r.ParamB[i]), r.P[i]), tol);
  }
  const IntersectResult s = IntersectElements(b, a);
  ASSERT_EQ(s.Count, r.Count) << "swapped arguments";
  for (int i = 0; i < r.Count; ++i) {
    int j = s.Count == 2 && Dist(s.P[1], r.P[i]) < Dist(s.P[0], r.P[i]) ? 1 : 0;
    EXPECT_LE(Dist(s.P[j], r.P[i]), tol) << "swapped arguments";
    EXPECT_LE(Dist(Eval(a, s.ParamB[j]), Eval(a, r.ParamA[i])), tol) << "swapped arguments";
    EXPECT_LE(Dist(Eval(b, s.ParamA[j]), Eval(b, r.ParamB[i])), tol) << "swapped arguments";
  }
}

constexpr double kOn = 1e-9;

IntersectResult Check(const TTNEntity& a, const TTNEntity& b, double tol = kOn) {
  const IntersectResult r = IntersectElements(a, b);
  ExpectSound(a, b, r, tol);
  return r;
}

TTNEntity Line(double x1, double y1, double x2, double y2) { return MakeLine(x1, y1, x2, y2); }
TTNEntity Arc(double cx, double cy, double r, double a1, double a2) { return MakeArc(cx, cy, r, a1, a2); }
TTNEntity Circle(double cx, double cy, double r) { return MakeArc(cx, cy, r, 0, 0); }

// ---------------------------------------------------------------- lines

TEST(IntersectLines, CrossingAndTJunction) {
  IntersectResult r = Check(Line(0, 0, 4, 4), Line(0, 4, 4, 0));
  ASSERT_EQ(r.Count, 1);
  EXPECT_NEAR(r.P[0].X, 2, 1e-12);
  EXPECT_NEAR(r.ParamA[0], 0.5, 1e-12);
  EXPECT_NEAR(r.ParamB[0], 0.5, 1e-12);
  EXPECT_EQ(Check(Line(-1.3, 0.2, 2.7, 3.1), Line(0.5, -2, 1.1, 4)).Count, 1);

  r = Check(Line(0, 0, 10, 0), Line(3, 5, 3, 0));  // b ends on a
  ASSERT_EQ(r.Count, 1);
  EXPECT_NEAR(r.ParamA[0], 0.3, 1e-12);
  EXPECT_NEAR(r.ParamB[0], 1.0, 1e-12);

  // b stops 1e-5 short of a: its parameter comes out just above 1 and is
  // snapped to exactly 1; 1e-3 short it is a miss.
  r = Check(Line(0, 0, 10, 0), Line(3, 5, 3, 1e-5), kSnap);
  ASSERT_EQ(r.Count, 1);
  EXPECT_EQ(r.ParamB[0], 1.0);
  EXPECT_NEAR(r.P[0].Y, 0, 1e-12);  // the point stays where the lines cross
  EXPECT_EQ(Check(Line(0, 0, 10, 0), Line(3, 5, 3, 1e-3)).Count, 0);
  EXPECT_EQ(Check(Line(0, 0, 1, 0), Line(3, -1, 3, 1)).Count, 0);
}

TEST(IntersectLines, ParallelMeetOnlyAtSharedEnds) {
  EXPECT_EQ(Check(Line(0, 0, 1, 0), Line(0, 1, 1, 1)).Count, 0);
  EXPECT_EQ(Check(Line(0, 0, 2, 0), Line(1, 0, 3, 0)).Count, 0);  // collinear, overlapping
  EXPECT_EQ(Check(Line(0, 0, 1, 0), Line(3, 0, 4, 0)).Count, 0);

  // The four ways two collinear lines can share an end.
  struct Case {
    TTNEntity B;
    double Ta, Tb, X;
  } cases[] = {{Line(1, 0, 2, 0), 1, 0, 1},
               {Line(-1, 0, 0, 0), 0, 1, 0},
               {Line(0, 0, -1, 0), 0, 0, 0},
               {Line(2, 0, 1, 0), 1, 1, 1}};
  for (const Case& c : cases) {
    const IntersectResult r = Check(Line(0, 0, 1, 0), c.B);
    ASSERT_EQ(r.Count, 1);
    EXPECT_EQ(r.ParamA[0], c.Ta);
    EXPECT_EQ(r.ParamB[0], c.Tb);
    EXPECT_EQ(r.P[0].X, c.X);
  }

  // Parallel lines 1e-4 apart still touch end to end (at the middle of the
  // two ends); 3e-4 apart they do not.
  IntersectResult r = Check(Line(0, 0, 1, 0), Line(1, 1e-4, 2, 1e-4), kSnap);
  ASSERT_EQ(r.Count, 1);
  EXPECT_NEAR(r.P[0].Y, 5e-5, 1e-15);
  EXPECT_EQ(Check(Line(0, 0, 1, 0), Line(1, 3e-4, 2, 3e-4)).Count, 0);

  // A line and its reverse (a two-line loop) touch at both ends.
  r = Check(Line(0, 0, 1, 0), Line(1, 0, 0, 0));
  ASSERT_EQ(r.Count, 2);
  EXPECT_EQ(r.ParamA[0], 1.0);
  EXPECT_EQ(r.ParamB[0], 0.0);
  EXPECT_EQ(r.ParamA[1], 0.0);
  EXPECT_EQ(r.ParamB[1], 1.0);

  // Just above the parallel limit the crossing is computed.
  r = Check(Line(0, 0, 1, 0), Line(0, -2e-8, 1, 2e-8));
  ASSERT_EQ(r.Count, 1);
  EXPECT_NEAR(r.ParamA[0], 0.5, 1e-9);
}

TEST(IntersectLines, EndToEndWhenCrossingIsFarAway) {
  // Nearly parallel lines whose crossing lies far outside both; their ends
  // are 1.4e-4 apart, so they meet there.
  const IntersectResult r = Check(Line(0, 0, 1, 0), Line(1.0001, 1e-4, 2, 1.01e-4), kSnap);
  ASSERT_EQ(r.Count, 1);
  EXPECT_EQ(r.ParamA[0], 1.0);
  EXPECT_EQ(r.ParamB[0], 0.0);
}

TEST(IntersectLines, TinyAndZeroLength) {
  // A 1e-6 line across a long one is a normal crossing.
  IntersectResult r = Check(Line(0, 0, 10, 0), Line(5, -5e-7, 5, 5e-7));
  ASSERT_EQ(r.Count, 1);
  EXPECT_NEAR(r.ParamB[0], 0.5, 1e-9);
  // Two crossing 1e-6 lines are below the parallel limit: they meet end to
  // end, within the same-point distance of the true crossing.
  r = Check(Line(0, 0, 1e-6, 1e-6), Line(0, 1e-6, 1e-6, 0), kSnap);
  ASSERT_EQ(r.Count, 1);
  EXPECT_EQ(r.ParamA[0], 1.0);
  EXPECT_EQ(r.ParamB[0], 0.0);
  // A zero-length line crosses nothing, but meets at a shared end.
  EXPECT_EQ(Check(Line(0, 0, 10, 0), Line(5, 0, 5, 0)).Count, 0);
  r = Check(Line(0, 0, 10, 0), Line(10, 0, 10, 0));
  ASSERT_EQ(r.Count, 1);
  EXPECT_EQ(r.ParamA[0], 1.0);
}

// ---------------------------------------------------------------- line/arc

TEST(IntersectLineArc, LineThroughFullCircle) {
  for (double radius : {1.0, -1.0}) {
    const IntersectResult r = Check(Line(-2, 0, 2, 0), Circle(0, 0, radius));
    ASSERT_EQ(r.Count, 2);
    for (int i = 0; i < 2; ++i) {
      const bool right = r.P[i].X > 0;
      EXPECT_NEAR(r.ParamA[i], right ? 0.75 : 0.25, 1e-15);
      EXPECT_NEAR(r.ParamB[i], right ? 0.0 : 0.5, 1e-15);
    }
  }
  // A circle whose start and end sit at angle 1.0, off the origin.
  EXPECT_EQ(Check(Line(-3, -2.2, 4, 1.9), MakeArc(0.3, -0.2, 1.7, 1.0, 1.0)).Count, 2);
}

TEST(IntersectLineArc, TangentLineGivesOnePoint) {
  IntersectResult r = Check(Line(-2, 1, 2, 1), Circle(0, 0, 1));
  ASSERT_EQ(r.Count, 1);
  EXPECT_NEAR(r.ParamB[0], 0.25, 1e-15);
  // Tangents at many angles, where the discriminant rounds either way.
  for (int k = 0; k < 360; k += 7) {
    const double t = k * kPi / 180, cx = 1.3, cy = -0.7, rad = 2.9;
    const Point2 touch{cx + rad * std::cos(t), cy + rad * std::sin(t)};
    const double dx = -std::sin(t), dy = std::cos(t);
    const TTNEntity line = Line(touch.X - 3 * dx, touch.Y - 3 * dy, touch.X + 2 * dx, touch.Y + 2 * dy);
    r = Check(line, Circle(cx, cy, rad));
    ASSERT_EQ(r.Count, 1) << "angle " << k;
    EXPECT_LE(Dist(r.P[0], touch), 1e-9);
  }
  EXPECT_EQ(Check(Line(-2, 1 + 1e-6, 2, 1 + 1e-6), Circle(0, 0, 1)).Count, 0);
}

TEST(IntersectLineArc, OnlyRootsOnTheArcCount) {
  IntersectResult r = Check(Line(-2, 0.5, 2, 0.5), Arc(0, 0, 1, 0, kPi / 2));
  ASSERT_EQ(r.Count, 1);
  EXPECT_NEAR(r.P[0].X, std::sqrt(0.75), 1e-15);
  EXPECT_NEAR(r.ParamB[0], 1.0 / 3, 1e-15);

  // Counter-clockwise from 3pi/2 to pi/2 is the right half, through angle 0.
  r = Check(Line(0.5, -2, 0.5, 2), Arc(0, 0, 1, 3 * kPi / 2, kPi / 2));
  ASSERT_EQ(r.Count, 2);
  for (int i = 0; i < 2; ++i) EXPECT_NEAR(r.ParamB[i], r.P[i].Y < 0 ? 1.0 / 6 : 5.0 / 6, 1e-15);
  // The same arc with its start given as -pi/2.
  r = Check(Line(0.5, -2, 0.5, 2), Arc(0, 0, 1, -kPi / 2, kPi / 2));
  ASSERT_EQ(r.Count, 2);
  for (int i = 0; i < 2; ++i) EXPECT_NEAR(r.ParamB[i], r.P[i].Y < 0 ? 1.0 / 6 : 5.0 / 6, 1e-15);
  // Clockwise between the same angles is the left half.
  EXPECT_EQ(Check(Line(0.5, -2, 0.5, 2), Arc(0, 0, -1, 3 * kPi / 2, kPi / 2)).Count, 0);
  r = Check(Line(-0.5, -2, -0.5, 2), Arc(0, 0, -1, 3 * kPi / 2, kPi / 2));
  ASSERT_EQ(r.Count, 2);
  for (int i = 0; i < 2; ++i) EXPECT_NEAR(r.ParamB[i], r.P[i].Y < 0 ? 1.0 / 6 : 5.0 / 6, 1e-15);
}

TEST(IntersectLineArc, CrossingJustPastAnArcEndSnaps) {
  const TTNEntity quarter = Arc(0, 0, 1, 0, kPi / 2);
  // Just past the end (angle a hair above pi/2).
  IntersectResult r = Check(Line(-1e-6, -2, -1e-6, 2), quarter, kSnap);
  ASSERT_EQ(r.Count, 1);
  EXPECT_EQ(r.ParamB[0], 1.0);
  // Just before the start (angle a hair below 0, 2pi away in travel).
  r = Check(Line(0, -1e-6, 2, -1e-6), quarter, kSnap);
  ASSERT_EQ(r.Count, 1);
  EXPECT_EQ(r.ParamB[0], 0.0);
  EXPECT_NEAR(r.ParamA[0], 0.5, 1e-6);
  // The same for a clockwise arc, from its end side.
  r = Check(Line(-2, -1e-6, 2, -1e-6), Arc(0, 0, -1, kPi / 2, 0), kSnap);
  ASSERT_EQ(r.Count, 1);
  EXPECT_EQ(r.ParamB[0], 1.0);
  EXPECT_EQ(Check(Line(-1e-3, -2, -1e-3, 2), quarter).Count, 0);
}

TEST(IntersectLineArc, NearbyRootsMerge) {
  // Chord of 2.8e-4: one point, in the middle.
  IntersectResult r = Check(Line(-2, 1 - 1e-8, 2, 1 - 1e-8), Circle(0, 0, 1), 1e-7);
  ASSERT_EQ(r.Count, 1);
  EXPECT_NEAR(r.P[0].X, 0, 1e-12);
  EXPECT_NEAR(r.ParamB[0], 0.25, 1e-9);
  EXPECT_EQ(Check(Line(-2, 1 - 1e-6, 2, 1 - 1e-6), Circle(0, 0, 1)).Count, 2);

  // The two roots straddle the start of the circle (parameters near 1 and
  // near 0): the merged point's parameter must stay there, not jump to the
  // opposite side.
  for (double radius : {1.0, -1.0}) {
    r = Check(Line(1 - 1e-8, -1, 1 - 1e-8, 1), Circle(0, 0, radius), 1e-7);
    ASSERT_EQ(r.Count, 1);
    EXPECT_NEAR(r.P[0].Y, 0, 1e-12);
  }
  // A circle of radius 1e-6 crossed through its centre: the two points are
  // 2e-6 apart and become one.
  r = Check(Line(-1, 0, 1, 0), Circle(0, 0, 1e-6), 2e-6);
  EXPECT_EQ(r.Count, 1);
}

TEST(IntersectLineArc, DegenerateLinesAndSharedEnds) {
  const TTNEntity quarter = Arc(0, 0, 1, 0, kPi / 2);
  // A zero-length line on the circle meets the arc only at its ends.
  EXPECT_EQ(Check(Line(std::sqrt(0.5), std::sqrt(0.5), std::sqrt(0.5), std::sqrt(0.5)), quarter).Count, 0);
  IntersectResult r = Check(quarter, Line(0, 1, 0, 1), 1e-15);
  ASSERT_EQ(r.Count, 1);
  EXPECT_EQ(r.ParamA[0], 1.0);
  // A line leaving the arc's end tangentially, 1.4e-4 away, misses the
  // circle but shares the end.
  r = Check(quarter, Line(-1e-4, 1 + 1e-4, -1, 1 + 1e-4), kSnap);
  ASSERT_EQ(r.Count, 1);
  EXPECT_EQ(r.ParamA[0], 1.0);
  EXPECT_EQ(r.ParamB[0], 0.0);
}

// ---------------------------------------------------------------- arc/arc

TEST(IntersectArcs, CrossingTwice) {
  IntersectResult r = Check(Circle(0, 0, 1), Circle(1, 0, 1));
  ASSERT_EQ(r.Count, 2);
  for (int i = 0; i < 2; ++i) {
    const bool up = r.P[i].Y > 0;
    EXPECT_NEAR(r.ParamA[i], up ? 1.0 / 6 : 5.0 / 6, 1e-15);
    EXPECT_NEAR(r.ParamB[i], up ? 1.0 / 3 : 2.0 / 3, 1e-15);
  }
  // Clockwise from pi/2 to 3pi/2 runs through angle 0.
  r = Check(Arc(0, 0, -1, kPi / 2, 3 * kPi / 2), Arc(1, 0, 1, kPi / 2, 3 * kPi / 2));
  ASSERT_EQ(r.Count, 2);
  for (int i = 0; i < 2; ++i) EXPECT_NEAR(r.ParamA[i], r.P[i].Y > 0 ? 1.0 / 6 : 5.0 / 6, 1e-15);
  EXPECT_EQ(Check(Arc(0, 0, 1, kPi / 2, 3 * kPi / 2), Circle(1, 0, 1)).Count, 0);
  EXPECT_EQ(Check(Circle(0, 0, 1), Circle(3, 0, 1)).Count, 0);
  EXPECT_EQ(Check(Circle(0, 0, 3), Circle(0.5, 0, 1)).Count, 0);
  // Only one of the two crossings on the arcs, the other just past an end.
  r = Check(Arc(0, 0, 1, 0, kPi / 3 - 1e-6), Arc(1, 0, -1, 2 * kPi / 3, kPi), kSnap);
  ASSERT_EQ(r.Count, 1);
  EXPECT_EQ(r.ParamA[0], 1.0);
}

TEST(IntersectArcs, TangentCirclesTouchOnce) {
  for (int k = 0; k < 360; k += 11) {
    const double t = k * kPi / 180, ux = std::cos(t), uy = std::sin(t);
    const double cx = -0.4, cy = 2.1;
    // Outside each other, then one inside the other (in both orders).
    IntersectResult r = Check(Circle(cx, cy, 1.5), Circle(cx + 4 * ux, cy + 4 * uy, -2.5));
    ASSERT_EQ(r.Count, 1) << "angle " << k;
    EXPECT_LE(Dist(r.P[0], {cx + 1.5 * ux, cy + 1.5 * uy}), 1e-9);
    r = Check(Circle(cx, cy, 3), Circle(cx + 1.75 * ux, cy + 1.75 * uy, 1.25));
    ASSERT_EQ(r.Count, 1) << "angle " << k;
    EXPECT_LE(Dist(r.P[0], {cx + 3 * ux, cy + 3 * uy}), 1e-9);
    r = Check(Circle(cx + 1.75 * ux, cy + 1.75 * uy, 1.25), Circle(cx, cy, -3));
    ASSERT_EQ(r.Count, 1) << "angle " << k;
  }
}

TEST(IntersectArcs, SameCentre) {
  EXPECT_EQ(Check(Circle(1, 1, 1), Circle(1, 1, 2)).Count, 0);
  // Coincident and overlapping without a common end: no point.
  EXPECT_EQ(Check(Arc(0, 0, 1, 0, kPi), Arc(0, 0, 1, kPi / 2, 3 * kPi / 2)).Count, 0);
  // Centres a rounding error apart are the same centre, not two circles
  // crossing at right angles to the offset.
  EXPECT_EQ(Check(Arc(0, 0, 1, 0, kPi), Arc(1e-14, 0, 1, kPi / 2, 3 * kPi / 2)).Count, 0);
  // End to end on the same circle.
  IntersectResult r = Check(Arc(0, 0, 1, 0, kPi / 2), Arc(0, 0, -1, kPi, kPi / 2), 1e-15);
  ASSERT_EQ(r.Count, 1);
  EXPECT_EQ(r.ParamA[0], 1.0);
  EXPECT_EQ(r.ParamB[0], 1.0);
  // A circle drawn as two halves meets at both joints.
  r = Check(Arc(0, 0, 1, 0, kPi), Arc(0, 0, 1, kPi, 0), 1e-15);
  ASSERT_EQ(r.Count, 2);
  EXPECT_EQ(r.ParamA[0], 1.0);
  EXPECT_EQ(r.ParamB[0], 0.0);
  EXPECT_EQ(r.ParamA[1], 0.0);
  EXPECT_EQ(r.ParamB[1], 1.0);
  // Two copies of a full circle touch at their common start.
  r = Check(Circle(0, 0, 1), Circle(0, 0, 1));
  ASSERT_EQ(r.Count, 1);
  EXPECT_NEAR(r.P[0].X, 1, 1e-15);
}

TEST(IntersectArcs, NearlyTangentMergeAndTinyArcs) {
  IntersectResult r = Check(Circle(0, 0, 1), Circle(2 - 1e-8, 0, 1), 1e-7);
  ASSERT_EQ(r.Count, 1);
  EXPECT_NEAR(r.P[0].X, 1, 1e-8);
  // Arcs 1e-6 across lie wholly within the same-point distance: their
  // crossings (one on both arcs, one just past an end) become one point.
  r = Check(Arc(0, 0, 1e-6, 0, kPi), Arc(1e-6, 0, 1e-6, kPi / 2, 3 * kPi / 2), kSnap);
  ASSERT_EQ(r.Count, 1);
  EXPECT_LE(Dist(r.P[0], {0.5e-6, std::sqrt(0.75) * 1e-6}), 1e-6);
}

// ---------------------------------------------------------------- random

TTNEntity RandomElement(std::mt19937_64& rng) {
  std::uniform_real_distribution<double> pos(-3, 3), rad(0.1, 3), ang(0, 2 * kPi), u(0, 1);
  if (u(rng) < 0.4) return Line(pos(rng), pos(rng), pos(rng), pos(rng));
  const double cx = pos(rng), cy = pos(rng), r = (u(rng) < 0.5 ? -1 : 1) * rad(rng);
  if (u(rng) < 0.2) {
    const double a = ang(rng);
    return Arc(cx, cy, r, a, a);
  }
  return Arc(cx, cy, r, ang(rng), ang(rng));
}

// Crossings found by walking along a in steps of 2e-4 and watching the sign
// of a's position relative to b (side of b's line, or inside/outside b's
// circle) change, each refined by bisection and kept when it lies on b.
// Stretches of 0.01 where that value is too large to reach 0 (it changes at
// most `slope` per unit of length) are skipped.
std::vector<Point2> SampledCrossings(const TTNEntity& a, const TTNEntity& b) {
  const Point2 bs = Eval(b, 0), be = Eval(b, 1);
  auto side = [&](double t) {
    const Point2 p = Eval(a, t);
    if (b.Radius == 0) return (be.X - bs.X) * (p.Y - bs.Y) - (be.Y - bs.Y) * (p.X - bs.X);
    return std::hypot(p.X - b.X, p.Y - b.Y) - std::fabs(b.Radius);
  };
  const double slope = b.Radius == 0 ? Dist(bs, be) : 1.0;
  const double len = a.Radius == 0 ? Dist(Eval(a, 0), Eval(a, 1)) : std::fabs(Sweep(a) * a.Radius);
  constexpr int kFine = 50;
  const int coarse = std::max(1, static_cast<int>(len / (kFine * 2e-4)));
  const int n = coarse * kFine;
  std::vector<Point2> found;
  for (int c = 0; c < coarse; ++c) {
    const double reach = slope * len / coarse * 1.01;
    if (std::fabs(side(static_cast<double>(c) / coarse)) > reach ||
        std::fabs(side(static_cast<double>(c + 1) / coarse)) > reach)
      continue;
    double prev = side(static_cast<double>(c * kFine) / n);
    for (int i = c * kFine + 1; i <= (c + 1) * kFine; ++i) {
      const double cur = side(static_cast<double>(i) / n);
      if ((prev < 0 && cur > 0) || (prev > 0 && cur < 0)) {
        double lo = static_cast<double>(i - 1) / n, hi = static_cast<double>(i) / n;
        const bool loNeg = prev < 0;
        for (int k = 0; k < 60; ++k) {
          const double mid = (lo + hi) / 2;
          ((side(mid) < 0) == loNeg ? lo : hi) = mid;
        }
        const Point2 p = Eval(a, (lo + hi) / 2);
        if (DistToElement(b, p) < 1e-9) found.push_back(p);
      }
      prev = cur;
    }
  }
  return found;
}

TEST(IntersectRandom, FindsEverySampledCrossing) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> u(0, 1);
  int crossings = 0, joints = 0;
  for (int pair = 0; pair < 3000; ++pair) {
    const TTNEntity a = RandomElement(rng);
    TTNEntity b = RandomElement(rng);
    // Every fourth pair is a chain joint: b starts where a ends.
    const bool joint = pair % 4 == 0;
    const Point2 ae = Eval(a, 1);
    if (joint && b.Radius == 0) {
      b = Line(ae.X, ae.Y, b.X2, b.Y2);
    } else if (joint) {
      b = Arc(ae.X - std::fabs(b.Radius) * std::cos(b.StartAngle()), ae.Y - std::fabs(b.Radius) * std::sin(b.StartAngle()),
              b.Radius, b.StartAngle(), b.EndAngle());
    }
    SCOPED_TRACE(testing::Message() << "pair " << pair);
    const IntersectResult r = IntersectElements(a, b);
    ExpectSound(a, b, r, 2.6e-4);
    // Points found as crossings (not from shared ends) lie on both curves;
    // merging two of them moves the point off a curve by at most the
    // sagitta of a 0.0005 chord.
    for (int i = 0; i < r.Count; ++i) {
      const bool ends = (r.ParamA[i] == 0 || r.ParamA[i] == 1) && (r.ParamB[i] == 0 || r.ParamB[i] == 1);
      if (ends) continue;
      EXPECT_LE(DistToCurve(a, r.P[i]), 1e-6);
      EXPECT_LE(DistToCurve(b, r.P[i]), 1e-6);
    }
    const std::vector<Point2> truth = SampledCrossings(a, b);
    for (size_t k = 0; k < truth.size(); ++k) {
      bool isolated = true;
      for (size_t m = 0; m < truth.size(); ++m)
        if (m != k && Dist(truth[k], truth[m]) <= 0.001) isolated = false;
      if (!isolated) continue;
      ++crossings;
      // Near an end, a crossing may be merged with one just past the end
      // (or exactly at it, which the sign test cannot see).
      double tol = 1e-6;
      for (const Point2 end : {Eval(a, 0), Eval(a, 1), Eval(b, 0), Eval(b, 1)})
        if (Dist(end, truth[k]) < 0.0005) tol = 2.6e-4;
      bool hit = false;
      for (int i = 0; i < r.Count; ++i) hit = hit || Dist(r.P[i], truth[k]) < tol;
      EXPECT_TRUE(hit) << "missed crossing at (" << truth[k].X << ", " << truth[k].Y << ")";
    }
    if (joint) {
      ++joints;
      bool found = false;
      for (int i = 0; i < r.Count; ++i)
        found = found || (Dist(r.P[i], ae) <= kSnap && Dist(Eval(a, r.ParamA[i]), ae) <= kSnap &&
                          Dist(Eval(b, r.ParamB[i]), ae) <= kSnap);
      EXPECT_TRUE(found) << "joint not found";
    }
  }
  // The sampler must have had something to compare against.
  EXPECT_GT(crossings, 600);
  EXPECT_EQ(joints, 750);
}

}  // namespace
}  // namespace tarnak
