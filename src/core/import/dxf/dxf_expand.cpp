#include "import/dxf/dxf_expand.h"

#include <algorithm>
#include <cmath>

#include "geometry/element_points.h"
#include "geometry/primitives.h"

namespace tarnak {

namespace {

constexpr double kDegToRad = kPi / 180.0;
// Relative difference below which two axis lengths count as equal and two
// axes as square: a placement within it is a similarity.
constexpr double kSimilarity = 1e-9;
// Deepest subdivision of a span when a spline is sampled (2^16 pieces).
constexpr int kMaxSampleDepth = 16;

double Dist2D(const DxfPoint& a, const DxfPoint& b) { return std::hypot(a.X - b.X, a.Y - b.Y); }

// The XY part of a placement seen from above for a figure in the plane
// spanned by u and v (world vectors before the placement).
struct PlaneMap {
  double a, b, c, d;  // [a b; c d]: columns are the images of u and v in XY
  double Det() const { return a * d - b * c; }
  bool Similar() const {
    const double n1 = a * a + c * c, n2 = b * b + d * d;
    const double big = std::max(n1, n2);
    if (!(big > 0.0)) return false;
    return std::fabs(n1 - n2) <= kSimilarity * big && std::fabs(a * b + c * d) <= kSimilarity * big;
  }
  double Scale() const { return std::sqrt(std::fabs(Det())); }
  double MaxScale() const { return std::sqrt(std::max(a * a + c * c, b * b + d * d)); }
};

PlaneMap MapOf(const DxfAffine& t, const DxfPoint& u, const DxfPoint& v) {
  const DxfPoint pu = t.ApplyVector(u), pv = t.ApplyVector(v);
  return {pu.X, pv.X, pu.Y, pv.Y};
}

constexpr DxfPoint kUx{1, 0, 0, 0};
constexpr DxfPoint kUy{0, 1, 0, 0};

std::unique_ptr<Polyline_> ChainOf(const DXF_Entity& from, std::vector<DxfPoint> pts, bool closed) {
  auto pl = std::make_unique<Polyline_>();
  pl->SetColourFromNumber(from.ColourNumber);
  pl->Closed = closed;
  pl->Vertices = std::move(pts);
  return pl;
}

// A world-plane arc (centre c, radius r, from a0 sweeping `sweep`) as
// placed points, for a placement that is not a similarity.
std::vector<DxfPoint> PlacedArcPoints(const DxfAffine& t, const DxfPoint& c, double r, double a0,
                                      double sweep, double tolerance, double scale) {
  const long n = ChordCount(r * scale, std::fabs(sweep), tolerance);
  std::vector<DxfPoint> pts;
  pts.reserve(static_cast<size_t>(n) + 1);
  for (long i = 0; i <= n; ++i) {
    const double a = a0 + sweep * static_cast<double>(i) / static_cast<double>(n);
    pts.push_back(t.Apply(DxfPoint{c.X + r * std::cos(a), c.Y + r * std::sin(a), c.Z, 0}));
  }
  return pts;
}

}  // namespace

// ---------------------------------------------------------------- placements

DxfPoint DxfAffine::Apply(const DxfPoint& p) const {
  DxfPoint q = ApplyVector(p);
  q.X += T[0];
  q.Y += T[1];
  q.Z += T[2];
  q.W = p.W;
  return q;
}

DxfPoint DxfAffine::ApplyVector(const DxfPoint& v) const {
  return {M[0][0] * v.X + M[0][1] * v.Y + M[0][2] * v.Z, M[1][0] * v.X + M[1][1] * v.Y + M[1][2] * v.Z,
          M[2][0] * v.X + M[2][1] * v.Y + M[2][2] * v.Z, 0.0};
}

DxfAffine DxfAffine::After(const DxfAffine& inner) const {
  DxfAffine r;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j)
      r.M[i][j] = M[i][0] * inner.M[0][j] + M[i][1] * inner.M[1][j] + M[i][2] * inner.M[2][j];
    r.T[i] = M[i][0] * inner.T[0] + M[i][1] * inner.T[1] + M[i][2] * inner.T[2] + T[i];
  }
  return r;
}

DxfAffine InsertPlacement(const Insert_& insert, const DxfPoint& blockBase, int col, int row) {
  // In the insert's plane: q = At + R (S (p - base) + array offset).
  const double rot = insert.Rotation * kDegToRad;
  const double cr = std::cos(rot), sr = std::sin(rot);
  DxfAffine local;
  local.M[0][0] = cr * insert.ScaleX;
  local.M[0][1] = -sr * insert.ScaleY;
  local.M[1][0] = sr * insert.ScaleX;
  local.M[1][1] = cr * insert.ScaleY;
  local.M[2][2] = insert.ScaleZ;
  const double ox = col * insert.ColumnSpacing, oy = row * insert.RowSpacing;
  const DxfPoint sb = local.ApplyVector(blockBase);
  local.T[0] = insert.At.X + cr * ox - sr * oy - sb.X;
  local.T[1] = insert.At.Y + sr * ox + cr * oy - sb.Y;
  local.T[2] = insert.At.Z - sb.Z;
  if (!insert.Ocs) return local;
  DxfAffine plane;
  const OcsMatrix& m = *insert.Ocs;
  const DxfPoint axes[3] = {m.Ax, m.Ay, m.Az};
  for (int j = 0; j < 3; ++j) {
    plane.M[0][j] = axes[j].X;
    plane.M[1][j] = axes[j].Y;
    plane.M[2][j] = axes[j].Z;
  }
  return plane.After(local);
}

std::vector<DxfPoint> FlattenBulges(const std::vector<DxfPoint>& v, double tolerance) {
  std::vector<DxfPoint> out;
  out.reserve(v.size());
  for (size_t i = 0; i < v.size(); ++i) {
    DxfPoint p = v[i];
    const double b = p.W;
    p.W = 0.0;
    out.push_back(p);
    if (b == 0.0 || i + 1 == v.size() || !std::isfinite(b)) continue;
    const DxfPoint& q = v[i + 1];
    if (!(Dist2D(p, q) > 0.0)) continue;
    const double k = (1.0 / b - b) / 2.0;
    const double cx = (p.X + q.X - (q.Y - p.Y) * k) / 2.0;
    const double cy = (p.Y + q.Y + (q.X - p.X) * k) / 2.0;
    const double radius = std::hypot(p.X - cx, p.Y - cy);
    const double sweep = 4.0 * std::atan(b);  // counter-clockwise when positive
    const double a0 = std::atan2(p.Y - cy, p.X - cx);
    const long n = ChordCount(radius, std::fabs(sweep), tolerance);
    for (long s = 1; s < n; ++s) {
      const double f = static_cast<double>(s) / static_cast<double>(n);
      out.push_back(DxfPoint{cx + radius * std::cos(a0 + sweep * f), cy + radius * std::sin(a0 + sweep * f),
                             p.Z + (q.Z - p.Z) * f, 0.0});
    }
  }
  return out;
}

void PlaceEntity(const DXF_Entity& e, const DxfAffine& t, double tolerance,
                 std::vector<std::unique_ptr<DXF_Entity>>& out) {
  switch (e.Kind()) {
    case DxfKind::Line: {
      auto c = std::make_unique<Line_>(static_cast<const Line_&>(e));
      c->P1 = t.Apply(c->P1);
      c->P2 = t.Apply(c->P2);
      out.push_back(std::move(c));
      return;
    }
    case DxfKind::Circle:
    case DxfKind::Arc: {
      // Read circles and arcs are world figures parallel to the XY plane.
      const auto& ci = static_cast<const Circle_&>(e);
      const bool isArc = e.Kind() == DxfKind::Arc;
      const double a0 = isArc ? static_cast<const Arc_&>(e).StartAngle : 0.0;
      double a1 = isArc ? static_cast<const Arc_&>(e).EndAngle : kTwoPi;
      if (isArc && !(a1 > a0)) a1 += kTwoPi;
      const PlaneMap map = MapOf(t, kUx, kUy);
      if (!map.Similar()) {
        auto pts = PlacedArcPoints(t, ci.P1, ci.Radius, a0, a1 - a0, tolerance, map.MaxScale());
        out.push_back(ChainOf(e, std::move(pts), !isArc));
        return;
      }
      const DxfPoint centre = t.Apply(ci.P1);
      const double radius = ci.Radius * map.Scale();
      if (!isArc) {
        auto c = std::make_unique<Circle_>(ci);
        c->P1 = centre;
        c->Radius = radius;
        c->Ocs.reset();
        out.push_back(std::move(c));
        return;
      }
      const auto& arc = static_cast<const Arc_&>(e);
      auto c = std::make_unique<Arc_>(arc);
      const DxfPoint s = t.Apply(DxfPoint{ci.P1.X + ci.Radius * std::cos(a0), ci.P1.Y + ci.Radius * std::sin(a0), ci.P1.Z, 0});
      const DxfPoint f = t.Apply(DxfPoint{ci.P1.X + ci.Radius * std::cos(a1), ci.P1.Y + ci.Radius * std::sin(a1), ci.P1.Z, 0});
      double start = PointAngle(Point2{centre.X, centre.Y}, Point2{s.X, s.Y});
      double end = PointAngle(Point2{centre.X, centre.Y}, Point2{f.X, f.Y});
      // A mirror turns the arc clockwise: counter-clockwise it runs from
      // the placed end to the placed start.
      if (map.Det() < 0.0) std::swap(start, end);
      c->P1 = centre;
      c->Radius = radius;
      c->StartAngle = start;
      c->EndAngle = end;
      c->Ocs.reset();
      out.push_back(std::move(c));
      return;
    }
    case DxfKind::Ellipse: {
      const auto& el = static_cast<const Ellipse_&>(e);
      const PlaneMap map = MapOf(t, kUx, kUy);
      double t0 = el.StartParam, t1 = el.EndParam;
      if (!(t1 > t0)) t1 += kTwoPi;
      if (!map.Similar()) {
        const double a = std::hypot(el.P2.X, el.P2.Y) * map.MaxScale();
        const long n = ChordCount(a, t1 - t0, tolerance);
        std::vector<DxfPoint> pts;
        for (long i = 0; i <= n; ++i)
          pts.push_back(t.Apply(el.PointAt(t0 + (t1 - t0) * static_cast<double>(i) / static_cast<double>(n))));
        const bool whole = std::fabs(t1 - t0 - kTwoPi) < 1e-12;
        out.push_back(ChainOf(e, std::move(pts), whole));
        return;
      }
      auto c = std::make_unique<Ellipse_>(el);
      c->P1 = t.Apply(el.P1);
      c->P2 = t.ApplyVector(el.P2);
      if (map.Det() < 0.0) {
        // Mirrored, the parameter runs clockwise: the same points lie
        // between the negated parameters, counter-clockwise.
        c->StartParam = -el.EndParam;
        c->EndParam = -el.StartParam;
      }
      c->Ocs.reset();
      out.push_back(std::move(c));
      return;
    }
    case DxfKind::Polyline: {
      const auto& pl = static_cast<const Polyline_&>(e);
      // Vertices lie in the polyline's own plane: place that plane too.
      DxfAffine full = t;
      if (pl.Ocs) {
        DxfAffine plane;
        const DxfPoint axes[3] = {pl.Ocs->Ax, pl.Ocs->Ay, pl.Ocs->Az};
        for (int j = 0; j < 3; ++j) {
          plane.M[0][j] = axes[j].X;
          plane.M[1][j] = axes[j].Y;
          plane.M[2][j] = axes[j].Z;
        }
        full = t.After(plane);
      }
      const PlaneMap map = MapOf(full, kUx, kUy);
      auto c = std::make_unique<Polyline_>(pl);
      c->Ocs.reset();
      c->Extrusion = DxfPoint{0, 0, 1, 0};
      if (map.Similar()) {
        const double turn = map.Det() < 0.0 ? -1.0 : 1.0;
        for (DxfPoint& v : c->Vertices) {
          v = full.Apply(v);
          v.W *= turn;
        }
        c->Width = pl.Width * map.Scale();
      } else {
        c->Vertices = FlattenBulges(pl.Vertices, tolerance / std::max(1.0, map.MaxScale()));
        for (DxfPoint& v : c->Vertices) v = full.Apply(v);
      }
      out.push_back(std::move(c));
      return;
    }
    case DxfKind::Face3D:
    case DxfKind::Solid: {
      auto c = std::make_unique<Face3D_>(static_cast<const Face3D_&>(e));
      for (DxfPoint& v : c->Vertices) v = t.Apply(v);
      out.push_back(std::move(c));
      return;
    }
    case DxfKind::PolygonMesh: {
      auto c = std::make_unique<Polygon_mesh_>(static_cast<const Polygon_mesh_&>(e));
      for (DxfPoint& v : c->Vertices) v = t.Apply(v);
      out.push_back(std::move(c));
      return;
    }
    case DxfKind::PolyfaceMesh: {
      auto c = std::make_unique<Polyface_mesh_>(static_cast<const Polyface_mesh_&>(e));
      for (DxfPoint& v : c->Vertices) v = t.Apply(v);
      out.push_back(std::move(c));
      return;
    }
    default:
      return;  // points, texts, attributes, blocks: nothing to cut
  }
}

// ---------------------------------------------------------------- splines

namespace {

// Evaluates a (rational) B-spline by de Boor's algorithm.
class BSpline {
 public:
  BSpline(int degree, std::vector<double> knots, std::vector<DxfPoint> control,
          std::vector<double> weights)
      : p_(degree), u_(std::move(knots)), c_(std::move(control)), w_(std::move(weights)) {}

  int Degree() const { return p_; }
  size_t Count() const { return c_.size(); }
  double Knot(size_t i) const { return u_[i]; }

  // The point at u in span k (u_[k] <= u <= u_[k+1]).
  DxfPoint At(size_t k, double u) const {
    const size_t p = static_cast<size_t>(p_);
    double d[32][4];
    for (size_t j = 0; j <= p; ++j) {
      const size_t i = k - p + j;
      const double w = w_[i];
      d[j][0] = c_[i].X * w;
      d[j][1] = c_[i].Y * w;
      d[j][2] = c_[i].Z * w;
      d[j][3] = w;
    }
    for (size_t r = 1; r <= p; ++r) {
      for (size_t j = p; j >= r; --j) {
        const size_t i = k - p + j;
        const double den = u_[i + p - r + 1] - u_[i];
        const double a = den > 0.0 ? (u - u_[i]) / den : 0.0;
        for (int q = 0; q < 4; ++q) d[j][q] = (1.0 - a) * d[j - 1][q] + a * d[j][q];
      }
    }
    const double w = d[p][3];
    if (!(std::fabs(w) > 0.0)) return DxfPoint{d[p][0], d[p][1], d[p][2], 0};
    return DxfPoint{d[p][0] / w, d[p][1] / w, d[p][2] / w, 0};
  }

 private:
  int p_;
  std::vector<double> u_;
  std::vector<DxfPoint> c_;
  std::vector<double> w_;
};

// Distance from p to the segment a-b, seen from above.
double SegmentDistance(const DxfPoint& p, const DxfPoint& a, const DxfPoint& b) {
  const double dx = b.X - a.X, dy = b.Y - a.Y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0.0 ? ((p.X - a.X) * dx + (p.Y - a.Y) * dy) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(a.X + t * dx - p.X, a.Y + t * dy - p.Y);
}

// ---- biarcs
//
// A spline is cut into pieces, each replaced by one arc or a biarc (two
// arcs meeting with a common tangent) that starts along the curve's tangent
// at its start and ends along the tangent at its end. Neighbouring pieces
// share the tangent of their common point, so the outline turns smoothly
// where the curve does: the NC program gets G2/G3 moves without kinks, and
// an offset of it has no little gaps or loops at the joints. A piece whose
// arcs stray from the curve by more than the tolerance is halved.

// Unit direction seen from above; {0, 0} for a zero vector.
struct Dir2 {
  double X = 0.0, Y = 0.0;
};

Dir2 Unit(double x, double y) {
  const double len = std::hypot(x, y);
  if (!(len > 0.0) || !std::isfinite(len)) return {};
  return {x / len, y / len};
}

// Signed angle turning a to b, in (-pi, pi].
double TurnAngle(Dir2 a, double bx, double by) { return std::atan2(a.X * by - a.Y * bx, a.X * bx + a.Y * by); }

Dir2 Rotated(Dir2 d, double angle) {
  const double c = std::cos(angle), sn = std::sin(angle);
  return {d.X * c - d.Y * sn, d.X * sn + d.Y * c};
}

// Tangent of the curve at u: a central difference inside [lo, hi], a
// one-sided one of the same (second) order at its ends; longer steps where
// the curve stands still, as at repeated control points.
template <class Curve>
Dir2 TangentAt(const Curve& curve, double u, double lo, double hi) {
  for (double f : {1e-5, 1e-3, 1e-2}) {
    const double h = (hi - lo) * f;
    double dx = 0.0, dy = 0.0;
    DxfPoint ref = curve(u);
    if (u - h >= lo && u + h <= hi) {
      const DxfPoint a = curve(u - h), b = curve(u + h);
      dx = b.X - a.X;
      dy = b.Y - a.Y;
    } else {
      const double s = u + h <= hi ? 1.0 : -1.0;
      const DxfPoint a = curve(u + s * h), b = curve(u + 2.0 * s * h);
      dx = s * (4.0 * a.X - b.X - 3.0 * ref.X);
      dy = s * (4.0 * a.Y - b.Y - 3.0 * ref.Y);
    }
    const Dir2 d = Unit(dx, dy);
    const double scale = std::max({1.0, std::fabs(ref.X), std::fabs(ref.Y)});
    if ((d.X != 0.0 || d.Y != 0.0) && std::hypot(dx, dy) > 1e-12 * scale) return d;
  }
  return {};
}

// One arc of a piece: from A to B with bulge W (0: a line).
struct BulgeSpan {
  DxfPoint A, B;
  double W = 0.0;
};

// Distance from p to the span, seen from above.
double SpanDistance(const BulgeSpan& s, const DxfPoint& p) {
  if (s.W == 0.0) return SegmentDistance(p, s.A, s.B);
  const double kk = (1.0 / s.W - s.W) / 2.0;
  const double cx = (s.A.X + s.B.X - (s.B.Y - s.A.Y) * kk) / 2.0;
  const double cy = (s.A.Y + s.B.Y + (s.B.X - s.A.X) * kk) / 2.0;
  const double r = std::hypot(s.A.X - cx, s.A.Y - cy);
  const double sweep = 4.0 * std::atan(s.W);
  const double dir = sweep > 0.0 ? 1.0 : -1.0;
  double d = dir * (std::atan2(p.Y - cy, p.X - cx) - std::atan2(s.A.Y - cy, s.A.X - cx));
  d = std::fmod(d, kTwoPi);
  if (d < 0.0) d += kTwoPi;
  if (d <= std::fabs(sweep)) return std::fabs(std::hypot(p.X - cx, p.Y - cy) - r);
  return std::min(Dist2D(p, s.A), Dist2D(p, s.B));
}

DxfPoint SpanMidPoint(const BulgeSpan& s) {
  const double mx = (s.A.X + s.B.X) / 2.0, my = (s.A.Y + s.B.Y) / 2.0;
  // The sagitta, to the right of A->B for a positive (left-turning) bulge.
  const double h = s.W * Dist2D(s.A, s.B) / 2.0;
  const Dir2 n = Unit(s.B.Y - s.A.Y, -(s.B.X - s.A.X));
  return DxfPoint{mx + n.X * h, my + n.Y * h, (s.A.Z + s.B.Z) / 2.0, 0.0};
}

// The arc from a to b leaving a along t turns by twice the angle between t
// and the chord; nearly straight arcs become lines.
BulgeSpan ArcLeaving(const DxfPoint& a, Dir2 t, const DxfPoint& b, double tol, double& turn) {
  const double half = TurnAngle(t, b.X - a.X, b.Y - a.Y);
  turn = 2.0 * half;
  const double w = std::tan(half / 2.0);
  BulgeSpan s{a, b, w};
  if (std::fabs(w) * Dist2D(a, b) / 2.0 < 1e-6 * tol) s.W = 0.0;
  return s;
}

// The arc from a to b arriving at b along t.
BulgeSpan ArcArriving(const DxfPoint& a, const DxfPoint& b, Dir2 t, double tol) {
  const double half = TurnAngle(Unit(b.X - a.X, b.Y - a.Y), t.X, t.Y);
  const double w = std::tan(half / 2.0);
  BulgeSpan s{a, b, w};
  if (std::fabs(w) * Dist2D(a, b) / 2.0 < 1e-6 * tol) s.W = 0.0;
  return s;
}

// Tangents that agree within this angle count as one direction: an arc
// ending this close to the curve's next tangent needs no second arc.
constexpr double kTangentAngle = 1e-4;
// Points checked inside each piece.
constexpr int kPieceSamples = 16;

// Whether the spans stay within tol of the curve: every sample of the
// curve near some span, and the middle of every span near the samples.
bool SpansFollow(const std::vector<BulgeSpan>& spans, const std::vector<DxfPoint>& samples, double tol) {
  for (const DxfPoint& q : samples) {
    double best = 1e300;
    for (const BulgeSpan& s : spans) best = std::min(best, SpanDistance(s, q));
    if (!(best <= tol)) return false;
  }
  for (const BulgeSpan& s : spans) {
    const DxfPoint m = SpanMidPoint(s);
    double best = 1e300;
    for (size_t i = 0; i + 1 < samples.size(); ++i) best = std::min(best, SegmentDistance(m, samples[i], samples[i + 1]));
    if (!(best <= tol)) return false;
  }
  return true;
}

void Emit(const BulgeSpan& s, std::vector<DxfPoint>& out) {
  out.back().W = s.W;
  DxfPoint v = s.B;
  v.W = 0.0;
  out.push_back(v);
}

// Fits the curve on [u0, u1] (points p0, p1, tangents t0, t1) with one arc
// or a biarc, halving the piece until one fits; out ends with p0.
template <class Curve>
void FitPiece(const Curve& curve, double u0, const DxfPoint& p0, Dir2 t0, double u1, const DxfPoint& p1,
              Dir2 t1, double lo, double hi, double tol, int depth, std::vector<DxfPoint>& out) {
  const bool tangents = (t0.X != 0.0 || t0.Y != 0.0) && (t1.X != 0.0 || t1.Y != 0.0);
  const double chord = Dist2D(p0, p1);
  // A curve that leaves the finite numbers has no outline to follow.
  if (!std::isfinite(chord)) return;
  const bool canSplit = depth < kMaxSampleDepth;
  std::vector<DxfPoint> samples{p0};
  for (int k = 1; k < kPieceSamples; ++k) samples.push_back(curve(u0 + (u1 - u0) * k / kPieceSamples));
  samples.push_back(p1);
  // A piece no longer than the tolerance that stays near its chord is a
  // line: whatever kink that leaves is within the tolerance, and it bounds
  // the halving by the size of the curve instead of by the depth limit.
  if (chord > 0.0 && chord <= tol && SpansFollow({BulgeSpan{p0, p1, 0.0}}, samples, tol)) {
    Emit(BulgeSpan{p0, p1, 0.0}, out);
    return;
  }
  if (chord > 0.0 && tangents) {
    // One arc, when it leaves and arrives along the curve.
    double turn = 0.0;
    const BulgeSpan one = ArcLeaving(p0, t0, p1, tol, turn);
    const Dir2 arrive = Rotated(t0, turn);
    if (std::fabs(turn) < kPi && std::fabs(TurnAngle(arrive, t1.X, t1.Y)) <= kTangentAngle &&
        SpansFollow({one}, samples, tol)) {
      Emit(one, out);
      return;
    }
    // A biarc with equal tangent lengths d: the joint is the middle of
    // p0 + d t0 and p1 - d t1.
    const double vx = p1.X - p0.X, vy = p1.Y - p0.Y;
    const double tx = t0.X + t1.X, ty = t0.Y + t1.Y;
    const double vt = vx * tx + vy * ty, vv = vx * vx + vy * vy;
    const double den = 2.0 * (1.0 - (t0.X * t1.X + t0.Y * t1.Y));
    double d = -1.0;
    if (den > 1e-12) {
      d = (-vt + std::sqrt(vt * vt + den * vv)) / den;
    } else {
      const double vt1 = vx * t1.X + vy * t1.Y;
      if (vt1 > 0.0) d = vv / (4.0 * vt1);
    }
    if (d > 0.0 && std::isfinite(d)) {
      DxfPoint joint{(p0.X + d * t0.X + p1.X - d * t1.X) / 2.0, (p0.Y + d * t0.Y + p1.Y - d * t1.Y) / 2.0,
                     samples[kPieceSamples / 2].Z, 0.0};
      double turn1 = 0.0;
      const BulgeSpan first = ArcLeaving(p0, t0, joint, tol, turn1);
      const BulgeSpan second = ArcArriving(joint, p1, t1, tol);
      if (std::fabs(turn1) < kPi && std::fabs(4.0 * std::atan(second.W)) < kPi && Dist2D(p0, joint) > 0.0 &&
          Dist2D(joint, p1) > 0.0 && (!canSplit || SpansFollow({first, second}, samples, tol))) {
        Emit(first, out);
        Emit(second, out);
        return;
      }
    }
  }
  if (!canSplit) {
    if (chord > 0.0) Emit(BulgeSpan{p0, p1, 0.0}, out);
    return;
  }
  const double um = (u0 + u1) / 2.0;
  const DxfPoint pm = curve(um);
  const Dir2 tm = TangentAt(curve, um, lo, hi);
  FitPiece(curve, u0, p0, t0, um, pm, tm, lo, hi, tol, depth + 1, out);
  FitPiece(curve, um, pm, tm, u1, p1, t1, lo, hi, tol, depth + 1, out);
}

// Consecutive arcs of one circle (the same centre and radius, turning the
// same way) become one, as do consecutive lines along one direction.
void MergeSpans(std::vector<DxfPoint>& v, double tol) {
  if (v.size() < 3) return;
  std::vector<DxfPoint> out{v[0]};
  for (size_t i = 1; i + 1 < v.size(); ++i) {
    DxfPoint& a = out.back();
    const DxfPoint& b = v[i];
    const DxfPoint& c = v[i + 1];
    bool merged = false;
    if (a.W == 0.0 && b.W == 0.0) {
      merged = SegmentDistance(b, a, c) <= 1e-9 * std::max(1.0, Dist2D(a, c)) &&
               (b.X - a.X) * (c.X - b.X) + (b.Y - a.Y) * (c.Y - b.Y) > 0.0;
    } else if (a.W != 0.0 && b.W != 0.0 && (a.W > 0.0) == (b.W > 0.0)) {
      const double total = 4.0 * std::atan(a.W) + 4.0 * std::atan(b.W);
      if (std::fabs(total) < kPi) {
        const BulgeSpan whole{a, c, std::tan(total / 4.0)};
        const BulgeSpan first{a, b, a.W}, second{b, c, b.W};
        merged = SpanDistance(whole, b) <= 1e-4 * tol && SpanDistance(whole, SpanMidPoint(first)) <= 1e-4 * tol &&
                 SpanDistance(whole, SpanMidPoint(second)) <= 1e-4 * tol;
        if (merged) a.W = whole.W;
      }
    }
    if (!merged) {
      out.push_back(b);
    }
  }
  out.push_back(v.back());
  v = std::move(out);
}

// Appends the curve on [u0, u1] as arcs behind out (whose last vertex is
// the curve's start already, or out is empty). Arcs are merged within the
// span only, so a circle drawn as spans keeps one arc per span.
template <class Curve>
void FitSpan(const Curve& curve, double u0, double u1, double tol, std::vector<DxfPoint>& out) {
  const DxfPoint p0 = curve(u0);
  std::vector<DxfPoint> span{out.empty() ? p0 : out.back()};
  span.back().W = 0.0;
  const DxfPoint p1 = curve(u1);
  // The whole span is tried first; a closed span (equal ends) or one that
  // loops is halved until its pieces fit.
  FitPiece(curve, u0, span.back(), TangentAt(curve, u0, u0, u1), u1, p1, TangentAt(curve, u1, u0, u1), u0, u1,
           tol, 0, span);
  MergeSpans(span, tol);
  if (out.empty()) out.push_back(span[0]);
  out.back().W = span[0].W;
  out.insert(out.end(), span.begin() + 1, span.end());
  // The pieces may have ended a rounding away from the curve's end.
  out.back().X = p1.X;
  out.back().Y = p1.Y;
  out.back().Z = p1.Z;
}

// A clamped uniform knot vector for n control points of degree p.
std::vector<double> ClampedKnots(size_t n, int p) {
  std::vector<double> k;
  const size_t pp = static_cast<size_t>(p);
  for (size_t i = 0; i < n + pp + 1; ++i) {
    if (i <= pp)
      k.push_back(0.0);
    else if (i >= n)
      k.push_back(static_cast<double>(n - pp));
    else
      k.push_back(static_cast<double>(i - pp));
  }
  return k;
}

// A C2 cubic through the fit points, parametrised by chord length: natural
// ends, or the given end tangents. Per segment a cubic Hermite piece.
std::vector<DxfPoint> FitPointVertices(const SplineData& s, double tolerance) {
  std::vector<DxfPoint> p;
  for (const DxfPoint& f : s.Fit)
    if (p.empty() || Dist2D(p.back(), f) > 0.0 || p.back().Z != f.Z) p.push_back(f);
  const size_t n = p.size();
  if (n < 2) return {};
  std::vector<double> h(n - 1);
  for (size_t i = 0; i + 1 < n; ++i) {
    h[i] = std::sqrt((p[i + 1].X - p[i].X) * (p[i + 1].X - p[i].X) +
                     (p[i + 1].Y - p[i].Y) * (p[i + 1].Y - p[i].Y) +
                     (p[i + 1].Z - p[i].Z) * (p[i + 1].Z - p[i].Z));
    if (!(h[i] > 0.0)) return {};
  }
  // Tangents D solve the tridiagonal system of a C2 spline (Thomas
  // algorithm), one coordinate at a time.
  std::vector<DxfPoint> d(n);
  for (int axis = 0; axis < 3; ++axis) {
    auto get = [&](const DxfPoint& q) { return axis == 0 ? q.X : axis == 1 ? q.Y : q.Z; };
    std::vector<double> lo(n, 0.0), di(n, 0.0), up(n, 0.0), rhs(n, 0.0);
    auto unit = [&](const DxfPoint& t) {
      const double len = std::sqrt(t.X * t.X + t.Y * t.Y + t.Z * t.Z);
      return len > 0.0 ? get(t) / len : 0.0;
    };
    if (s.HasStartTangent) {
      di[0] = 1.0;
      rhs[0] = unit(s.StartTangent);
    } else {
      di[0] = 2.0 / h[0];
      up[0] = 1.0 / h[0];
      rhs[0] = 3.0 * (get(p[1]) - get(p[0])) / (h[0] * h[0]);
    }
    for (size_t i = 1; i + 1 < n; ++i) {
      lo[i] = 1.0 / h[i - 1];
      di[i] = 2.0 / h[i - 1] + 2.0 / h[i];
      up[i] = 1.0 / h[i];
      rhs[i] = 3.0 * ((get(p[i]) - get(p[i - 1])) / (h[i - 1] * h[i - 1]) +
                      (get(p[i + 1]) - get(p[i])) / (h[i] * h[i]));
    }
    if (s.HasEndTangent) {
      di[n - 1] = 1.0;
      rhs[n - 1] = unit(s.EndTangent);
    } else {
      lo[n - 1] = 1.0 / h[n - 2];
      di[n - 1] = 2.0 / h[n - 2];
      rhs[n - 1] = 3.0 * (get(p[n - 1]) - get(p[n - 2])) / (h[n - 2] * h[n - 2]);
    }
    for (size_t i = 1; i < n; ++i) {
      const double f = lo[i] / di[i - 1];
      di[i] -= f * up[i - 1];
      rhs[i] -= f * rhs[i - 1];
    }
    std::vector<double> x(n);
    x[n - 1] = rhs[n - 1] / di[n - 1];
    for (size_t i = n - 1; i-- > 0;) x[i] = (rhs[i] - up[i] * x[i + 1]) / di[i];
    for (size_t i = 0; i < n; ++i) (axis == 0 ? d[i].X : axis == 1 ? d[i].Y : d[i].Z) = x[i];
  }
  std::vector<DxfPoint> out;
  for (size_t i = 0; i + 1 < n; ++i) {
    const DxfPoint a = p[i], b = p[i + 1];
    const DxfPoint ta = d[i], tb = d[i + 1];
    const double hi = h[i];
    auto curve = [&](double u) {
      const double t = u, t2 = t * t, t3 = t2 * t;
      const double h00 = 2 * t3 - 3 * t2 + 1, h10 = t3 - 2 * t2 + t, h01 = -2 * t3 + 3 * t2,
                   h11 = t3 - t2;
      return DxfPoint{h00 * a.X + h10 * hi * ta.X + h01 * b.X + h11 * hi * tb.X,
                      h00 * a.Y + h10 * hi * ta.Y + h01 * b.Y + h11 * hi * tb.Y,
                      h00 * a.Z + h10 * hi * ta.Z + h01 * b.Z + h11 * hi * tb.Z, 0.0};
    };
    FitSpan(curve, 0.0, 1.0, tolerance / 2.0, out);
  }
  return out;
}

}  // namespace

std::vector<DxfPoint> SplineToBulgeVertices(const SplineData& s, double tolerance) {
  if (!(tolerance > 0.0)) return {};
  if (s.Control.empty()) return FitPointVertices(s, tolerance);
  const int p = s.Degree;
  const size_t n = s.Control.size();
  if (p < 1 || p > 30 || n < static_cast<size_t>(p) + 1) return {};
  std::vector<double> knots = s.Knots;
  if (knots.size() != n + static_cast<size_t>(p) + 1) knots = ClampedKnots(n, p);
  for (size_t i = 1; i < knots.size(); ++i)
    if (!(knots[i] >= knots[i - 1]) || !std::isfinite(knots[i])) return {};
  std::vector<double> weights = s.Weights;
  if (weights.size() != n) weights.assign(n, 1.0);
  for (double w : weights)
    if (!(w > 0.0) || !std::isfinite(w)) return {};
  const BSpline curve(p, std::move(knots), s.Control, std::move(weights));

  std::vector<DxfPoint> out;
  const size_t pp = static_cast<size_t>(p);
  for (size_t k = pp; k < n; ++k) {
    const double u0 = curve.Knot(k), u1 = curve.Knot(k + 1);
    if (!(u1 > u0)) continue;
    auto at = [&](double u) { return curve.At(k, u); };
    FitSpan(at, u0, u1, tolerance / 2.0, out);
  }
  return out;
}

}  // namespace tarnak
