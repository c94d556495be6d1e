#include "geometry/intersect.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "geometry/primitives.h"

// How two Elements meet.
//
// The work is done in long double (extended precision on the usual desktop
// targets) and only the results are rounded to double: offsetting creates
// nearly parallel and nearly tangent pairs all the time, and the extra bits
// keep their crossing points on both Elements.
//
// Behaviour in the degenerate cases, decided here once for every caller:
//  - A zero-length line is a point without direction. It crosses nothing;
//    it meets another Element only when it lies within 2.5e-4 of one of that
//    Element's end points (the shared-end rule below). Against another line
//    this falls out of the parallel test, since its determinant is 0.
//  - Two lines whose determinant is at most 1e-8 count as parallel
//    (collinear ones included). Overlapping parallel lines do not cross; they
//    meet only where their end points coincide. The determinant is not
//    normalised, so very short lines (around 1e-4 and below) are always
//    "parallel" and meet only end to end; their ends lie within the shared-end
//    distance of any crossing anyway.
//  - Concentric circles never cross. Coincident circles (same centre and
//    radius) share every point, which gives no useful cut; two arcs of the
//    same circle meet only at their common end points. Centres closer than a
//    rounding-level distance count as the same centre.
//  - Tangent pairs (a line touching a circle, circles touching outside or
//    inside) give one point. Touching is recognised within a rounding-level
//    allowance (1e-12 of the size of the coordinates), so that a tangent
//    configuration that misses by a few last bits is still found.
//  - An arc never has radius 0; radius 0 makes the Element a line.
//
// When no crossing lies on both Elements, coinciding end points count as the
// meeting points. Up to two of them are reported, so that two arcs of one
// circle which together close a loop (a circle drawn as two halves) meet at
// both joints; without the second one the trimming step would see each half
// cut only once and would drop the loop.

namespace tarnak {
namespace {

using Real = long double;

constexpr Real kParallelDet = 1e-8L;
// Two end points closer than 2.5e-4 are the same point; compared squared.
constexpr Real kSharedEndSq = 6.25e-8L;
// Two meeting points closer than 0.0005 are one; compared squared.
constexpr Real kMergeSq = 0.0005L * 0.0005L;
// Rounding allowance for tangency and for concentric centres, relative to
// the size of the coordinates involved.
constexpr Real kTouchRel = 1e-12L;
constexpr Real kPiL = 3.141592653589793238462643383279502884L;

struct Candidate {
  Real X = 0, Y = 0;
  Real A = 0, B = 0;  // parameters on the caller's first and second Element
};

Real Dist2(Real x, Real y, Point2 p) {
  const Real dx = x - p.X, dy = y - p.Y;
  return dx * dx + dy * dy;
}

Real MaxAbs(std::initializer_list<double> values) {
  Real m = 0;
  for (double v : values) m = std::max(m, std::fabs(static_cast<Real>(v)));
  return m;
}

// Parameter range of one full turn in the arc's parameter units.
Real ArcPeriod(const TTNEntity& e) { return std::fabs(static_cast<Real>(kTwoPi) / ArcSweep(e)); }

// Fraction of the arc's sweep from its start to the direction of (x, y) seen
// from the centre; points outside the arc give values above 1 (up to one
// full turn).
Real ArcParam(const TTNEntity& e, Real x, Real y) {
  const double angle = PointAngle(static_cast<double>(x - e.X), static_cast<double>(y - e.Y));
  Real start = e.StartAngle();
  if (start < 0 || start >= kTwoPi) {
    // Stored angles are normally in [0, 2pi) already; keep the difference
    // below within one turn if one is not.
    start = std::fmod(start, static_cast<Real>(kTwoPi));
    if (start < 0) start += kTwoPi;
  }
  const Real p = (angle - start) / ArcSweep(e);
  return p < 0 ? p + ArcPeriod(e) : p;
}

// Accepts a parameter within 0..1, or one just beyond an end when the point
// lies within 2.5e-4 of that end (the parameter then becomes exactly 0 or 1).
bool Validate(const TTNEntity& e, Real x, Real y, Real& p) {
  if (p >= 0 && p <= 1) return true;
  Point2 start, end;
  ElementEnds(e, start, end);
  if (e.IsLine()) {
    if (p < 0 && Dist2(x, y, start) <= kSharedEndSq) {
      p = 0;
      return true;
    }
    if (p > 1 && Dist2(x, y, end) <= kSharedEndSq) {
      p = 1;
      return true;
    }
    return false;  // too far off, or not a number
  }
  // Arc parameters wrap around into 1..period, so a point in the gap of the
  // arc may sit just past its end or just before its start: the nearer end
  // is the one it belongs to.
  if (!(p > 1)) return false;
  const Real toStart = Dist2(x, y, start), toEnd = Dist2(x, y, end);
  if (toEnd <= toStart) {
    if (toEnd > kSharedEndSq) return false;
    p = 1;
  } else {
    if (toStart > kSharedEndSq) return false;
    p = 0;
  }
  return true;
}

// Parameter of the middle of two nearby points on one Element. Along a line,
// and along an arc where the short way between the points runs on the arc,
// it is the mean. On an arc the short way may instead cross the start of a
// full circle (parameters near 1 and near 0) or the gap of an arc: the mean
// would then lie on the far side, so the middle is taken the other way
// round, and kept on the arc.
Real MeanParam(const TTNEntity& e, Real p, Real q) {
  const Real mean = (p + q) / 2;
  if (e.IsLine()) return mean;
  const Real sweep = std::fabs(static_cast<Real>(ArcSweep(e)));
  if (std::fabs(p - q) * sweep <= kPiL) return mean;
  const Real period = ArcPeriod(e);
  Real m = mean + period / 2;
  if (m >= 1) {
    if (e.IsFullCircle())
      m -= 1;
    else if (m > 1)
      m = (m - 1 < period - m) ? 1 : 0;
  }
  return m;
}

// Crossing of two lines; none when they are parallel.
int LineLine(const TTNEntity& a, const TTNEntity& b, Candidate* out) {
  const Real rx = static_cast<Real>(a.X2) - a.X, ry = static_cast<Real>(a.Y2) - a.Y;
  const Real sx = static_cast<Real>(b.X2) - b.X, sy = static_cast<Real>(b.Y2) - b.Y;
  const Real det = rx * sy - ry * sx;
  if (std::fabs(det) <= kParallelDet) return 0;
  const Real qx = static_cast<Real>(b.X) - a.X, qy = static_cast<Real>(b.Y) - a.Y;
  const Real t = (qx * sy - qy * sx) / det;
  const Real u = (qx * ry - qy * rx) / det;
  out[0] = {a.X + t * rx, a.Y + t * ry, t, u};
  return 1;
}

// Points where the line A + t(B - A) meets the circle of the arc. Fills the
// line's parameter into A and the arc's into B.
int LineArc(const TTNEntity& line, const TTNEntity& arc, Candidate* out) {
  const Real ax = line.X, ay = line.Y;
  const Real dx = static_cast<Real>(line.X2) - ax, dy = static_cast<Real>(line.Y2) - ay;
  const Real fx = ax - arc.X, fy = ay - arc.Y;
  const Real r = std::fabs(static_cast<Real>(arc.Radius));
  const Real a2 = dx * dx + dy * dy;
  if (a2 == 0) return 0;
  // |A + t d - C|^2 = r^2 is a2 t^2 + 2 (d.f) t + |f|^2 - r^2 = 0. A quarter
  // of its discriminant is a2 r^2 - (d x f)^2 (Lagrange's identity), which
  // avoids subtracting two large, nearly equal squares.
  const Real half = dx * fx + dy * fy;
  const Real cross = dx * fy - dy * fx;
  Real disc = a2 * r * r - cross * cross;
  if (disc < 0) {
    const Real gap = std::fabs(cross) / std::sqrt(a2) - r;  // line to circle
    const Real scale = MaxAbs({line.X, line.Y, line.X2, line.Y2, arc.X, arc.Y, arc.Radius});
    if (gap > kTouchRel * scale) return 0;
    disc = 0;
  }
  const Real root = std::sqrt(disc);
  const int n = root > 0 ? 2 : 1;
  for (int i = 0; i < n; ++i) {
    const Real t = (-half + (i == 0 ? -root : root)) / a2;
    Candidate& c = out[i];
    c.X = ax + t * dx;
    c.Y = ay + t * dy;
    c.A = t;
    c.B = ArcParam(arc, c.X, c.Y);
  }
  return n;
}

// Points where the circles of two arcs meet.
int ArcArc(const TTNEntity& a, const TTNEntity& b, Candidate* out) {
  const Real r1 = std::fabs(static_cast<Real>(a.Radius));
  const Real r2 = std::fabs(static_cast<Real>(b.Radius));
  const Real ex = static_cast<Real>(b.X) - a.X, ey = static_cast<Real>(b.Y) - a.Y;
  const Real d = std::sqrt(ex * ex + ey * ey);
  const Real tol = kTouchRel * MaxAbs({a.X, a.Y, a.Radius, b.X, b.Y, b.Radius});
  if (d <= tol) return 0;                      // concentric or coincident
  if (d - (r1 + r2) > tol) return 0;           // apart
  if (std::fabs(r1 - r2) - d > tol) return 0;  // one inside the other
  // Foot of the common chord on the line of centres, at distance `along`
  // from a's centre; the chord's half length is h.
  const Real along = (d * d + r1 * r1 - r2 * r2) / (2 * d);
  const Real h2 = r1 * r1 - along * along;
  const Real ux = ex / d, uy = ey / d;
  const Real mx = a.X + along * ux, my = a.Y + along * uy;
  int n = 1;
  if (h2 <= 0) {
    out[0].X = mx;
    out[0].Y = my;
  } else {
    const Real h = std::sqrt(h2);
    out[0].X = mx - h * uy;
    out[0].Y = my + h * ux;
    out[1].X = mx + h * uy;
    out[1].Y = my - h * ux;
    n = 2;
  }
  for (int i = 0; i < n; ++i) {
    out[i].A = ArcParam(a, out[i].X, out[i].Y);
    out[i].B = ArcParam(b, out[i].X, out[i].Y);
  }
  return n;
}

void Add(IntersectResult& r, Real x, Real y, Real pa, Real pb) {
  const int i = r.Count++;
  r.P[i] = {static_cast<double>(x), static_cast<double>(y)};
  r.ParamA[i] = static_cast<double>(pa);
  r.ParamB[i] = static_cast<double>(pb);
}

// End points of a and b that coincide, tried in a fixed order: a's end with
// b's start (the usual joint of a chain), a's start with b's end, the two
// starts, the two ends. A coinciding pair counts as a meeting point at the
// middle of the two ends; a pair that would repeat an earlier point (closer
// than 0.0005 to it) is skipped.
void SharedEnds(const TTNEntity& a, const TTNEntity& b, IntersectResult& r) {
  Point2 as, ae, bs, be;
  ElementEnds(a, as, ae);
  ElementEnds(b, bs, be);
  struct Pair {
    Point2 OnA, OnB;
    Real TA, TB;
  };
  const Pair pairs[4] = {{ae, bs, 1, 0}, {as, be, 0, 1}, {as, bs, 0, 0}, {ae, be, 1, 1}};
  for (const Pair& pr : pairs) {
    if (Dist2(pr.OnA.X, pr.OnA.Y, pr.OnB) > kSharedEndSq) continue;
    const Real x = (static_cast<Real>(pr.OnA.X) + pr.OnB.X) / 2;
    const Real y = (static_cast<Real>(pr.OnA.Y) + pr.OnB.Y) / 2;
    if (r.Count == 1 && Dist2(x, y, r.P[0]) < kMergeSq) continue;
    Add(r, x, y, pr.TA, pr.TB);
    if (r.Count == 2) return;
  }
}

}  // namespace

IntersectResult IntersectElements(const TTNEntity& a, const TTNEntity& b) {
  Candidate cand[2];
  int n = 0;
  if (a.IsLine() && b.IsLine()) {
    n = LineLine(a, b, cand);
  } else if (a.IsLine()) {
    n = LineArc(a, b, cand);
  } else if (b.IsLine()) {
    n = LineArc(b, a, cand);
    for (int i = 0; i < n; ++i) std::swap(cand[i].A, cand[i].B);
  } else {
    n = ArcArc(a, b, cand);
  }

  Candidate kept[2];
  int m = 0;
  for (int i = 0; i < n; ++i) {
    Candidate c = cand[i];
    if (Validate(a, c.X, c.Y, c.A) && Validate(b, c.X, c.Y, c.B)) kept[m++] = c;
  }
  if (m == 2) {
    const Real dx = kept[0].X - kept[1].X, dy = kept[0].Y - kept[1].Y;
    if (dx * dx + dy * dy < kMergeSq) {
      kept[0].X = (kept[0].X + kept[1].X) / 2;
      kept[0].Y = (kept[0].Y + kept[1].Y) / 2;
      kept[0].A = MeanParam(a, kept[0].A, kept[1].A);
      kept[0].B = MeanParam(b, kept[0].B, kept[1].B);
      m = 1;
    }
  }

  IntersectResult r;
  for (int i = 0; i < m; ++i) Add(r, kept[i].X, kept[i].Y, kept[i].A, kept[i].B);
  if (r.Count == 0) SharedEnds(a, b, r);
  return r;
}

}  // namespace tarnak
