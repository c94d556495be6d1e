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
// Pieces every spline span (or fit segment) starts with before refining.
constexpr int kStartPieces = 8;

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

// Samples curve(u) on [u0, u1] so that no sample interval bends more than
// `flat` away from its chord; appends the points after the first.
template <class Curve>
void Sample(const Curve& curve, double u0, const DxfPoint& p0, double u1, const DxfPoint& p1,
            double flat, int depth, std::vector<DxfPoint>& out) {
  const double um = 0.5 * (u0 + u1);
  const DxfPoint pm = curve(um);
  if (depth < kMaxSampleDepth && SegmentDistance(pm, p0, p1) > flat) {
    Sample(curve, u0, p0, um, pm, flat, depth + 1, out);
    Sample(curve, um, pm, u1, p1, flat, depth + 1, out);
    return;
  }
  out.push_back(pm);
  out.push_back(p1);
}

template <class Curve>
std::vector<DxfPoint> SampleSpan(const Curve& curve, double u0, double u1, double flat) {
  std::vector<DxfPoint> pts{curve(u0)};
  for (int i = 0; i < kStartPieces; ++i) {
    const double a = u0 + (u1 - u0) * i / kStartPieces;
    const double b = i + 1 == kStartPieces ? u1 : u0 + (u1 - u0) * (i + 1) / kStartPieces;
    const DxfPoint pa = pts.back();
    Sample(curve, a, pa, b, curve(b), flat, 0, pts);
  }
  return pts;
}

// Whether the points q[s..e] lie within tol of one arc (or line) from q[s]
// to q[e]; `bulge` is then that arc's bulge (0 for a line).
bool FitsOneSegment(const std::vector<DxfPoint>& q, size_t s, size_t e, double tol, double& bulge) {
  bulge = 0.0;
  if (e <= s + 1) return true;
  const DxfPoint& a = q[s];
  const DxfPoint& b = q[e];
  const DxfPoint& m = q[(s + e) / 2];
  const double chord = Dist2D(a, b);
  if (!(chord > 0.0)) return false;
  const double cross = (m.X - a.X) * (b.Y - a.Y) - (m.Y - a.Y) * (b.X - a.X);
  const double sag = std::fabs(cross) / chord;  // mid sample off the chord
  if (sag <= tol * 0.25) {
    // A line: every sample near the chord, in order along it.
    double last = -1.0;
    const double dx = b.X - a.X, dy = b.Y - a.Y;
    for (size_t i = s + 1; i < e; ++i) {
      if (SegmentDistance(q[i], a, b) > tol) return false;
      const double t = ((q[i].X - a.X) * dx + (q[i].Y - a.Y) * dy) / (chord * chord);
      if (t < last - 1e-12) return false;
      last = t;
    }
    return true;
  }
  // The circle through a, m and b.
  const double ax = a.X - m.X, ay = a.Y - m.Y, bx = b.X - m.X, by = b.Y - m.Y;
  const double den = 2.0 * (ax * by - ay * bx);
  if (!(std::fabs(den) > 0.0)) return false;
  const double a2 = ax * ax + ay * ay, b2 = bx * bx + by * by;
  const double cx = m.X + (by * a2 - ay * b2) / den;
  const double cy = m.Y + (ax * b2 - bx * a2) / den;
  const double r = std::hypot(a.X - cx, a.Y - cy);
  const bool ccw = cross > 0.0;  // m to the right of a->b: the arc turns left
  const double dir = ccw ? 1.0 : -1.0;
  const double start = std::atan2(a.Y - cy, a.X - cx);
  auto swept = [&](const DxfPoint& p) {
    double d = dir * (std::atan2(p.Y - cy, p.X - cx) - start);
    d = std::fmod(d, kTwoPi);
    if (d < 0.0) d += kTwoPi;
    return d;
  };
  const double total = swept(b);
  if (!(total > 0.0) || total > kTwoPi - 1e-6) return false;
  double last = 0.0;
  for (size_t i = s + 1; i < e; ++i) {
    if (std::fabs(std::hypot(q[i].X - cx, q[i].Y - cy) - r) > tol) return false;
    const double d = swept(q[i]);
    if (d < last - 1e-9 || d > total + 1e-9) return false;
    last = d;
  }
  bulge = dir * std::tan(total / 4.0);
  return true;
}

// Appends q as arcs and lines (vertices with bulges) behind out, whose last
// vertex is q[0] already (or out is empty).
void FitArcs(const std::vector<DxfPoint>& q, double tol, std::vector<DxfPoint>& out) {
  if (q.empty()) return;
  if (out.empty()) out.push_back(q[0]);
  size_t s = 0;
  const size_t last = q.size() - 1;
  while (s < last) {
    // Longest fit from s: double the reach while it fits, then halve back.
    double bulge = 0.0, good = 0.0;
    size_t ok = s + 1;
    size_t step = 2;
    while (s + step <= last && FitsOneSegment(q, s, s + step, tol, bulge)) {
      ok = s + step;
      good = bulge;
      step *= 2;
    }
    size_t lo = ok, hi = std::min(last, s + step);
    if (hi > lo && ok != last) {
      while (hi - lo > 1) {
        const size_t mid = (lo + hi) / 2;
        if (FitsOneSegment(q, s, mid, tol, bulge)) {
          lo = mid;
          good = bulge;
        } else {
          hi = mid;
        }
      }
      ok = lo;
    }
    if (ok == s + 1) FitsOneSegment(q, s, ok, tol, good);
    out.back().W = good;
    DxfPoint v = q[ok];
    v.W = 0.0;
    out.push_back(v);
    s = ok;
  }
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
    FitArcs(SampleSpan(curve, 0.0, 1.0, tolerance / 8.0), tolerance / 2.0, out);
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
    FitArcs(SampleSpan(at, u0, u1, tolerance / 8.0), tolerance / 2.0, out);
  }
  return out;
}

}  // namespace tarnak
