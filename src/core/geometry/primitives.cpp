#include "geometry/primitives.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tarnak {

double PointAngle(double dx, double dy) {
  if (dx == 0.0) return dy >= 0.0 ? kPi / 2.0 : 3.0 * kPi / 2.0;
  if (dy == 0.0) return dx > 0.0 ? 0.0 : kPi;
  double a = std::atan(dy / dx);
  if (dx < 0.0) a += kPi;
  if (a < 0.0) a += kTwoPi;
  // atan rounding can land exactly on 2pi for vectors a hair below the axis.
  if (a >= kTwoPi) a -= kTwoPi;
  return a;
}

double PointAngle(Point2 c, Point2 p) { return PointAngle(p.X - c.X, p.Y - c.Y); }

void ElementEnds(const TTNEntity& e, Point2& start, Point2& end) {
  if (e.Radius == 0.0) {
    start = {e.X, e.Y};
    end = {e.X2, e.Y2};
    return;
  }
  const double r = std::fabs(e.Radius);
  start = {e.X + r * std::cos(e.StartAngle()), e.Y + r * std::sin(e.StartAngle())};
  end = {e.X + r * std::cos(e.EndAngle()), e.Y + r * std::sin(e.EndAngle())};
}

Point2 ElementStart(const TTNEntity& e) {
  if (e.Radius == 0.0) return {e.X, e.Y};
  const double r = std::fabs(e.Radius);
  return {e.X + r * std::cos(e.StartAngle()), e.Y + r * std::sin(e.StartAngle())};
}

Point2 ElementEnd(const TTNEntity& e) {
  if (e.Radius == 0.0) return {e.X2, e.Y2};
  const double r = std::fabs(e.Radius);
  return {e.X + r * std::cos(e.EndAngle()), e.Y + r * std::sin(e.EndAngle())};
}

namespace {

// Box of a counter-clockwise span from a1 to a2 (a1 == a2 handled by caller).
void CcwSpanBox(TTNEntity& e, double r, double a1, double a2) {
  const bool wraps = a1 >= a2;
  auto covers = [&](double t) { return wraps ? (t >= a1 || t <= a2) : (a1 <= t && t <= a2); };
  const double c1 = std::cos(a1), c2 = std::cos(a2);
  const double s1 = std::sin(a1), s2 = std::sin(a2);
  e.MaxX = wraps ? e.X + r : e.X + r * std::max(c1, c2);
  e.MaxY = covers(kPi / 2.0) ? e.Y + r : e.Y + r * std::max(s1, s2);
  e.MinX = covers(kPi) ? e.X - r : e.X + r * std::min(c1, c2);
  e.MinY = covers(3.0 * kPi / 2.0) ? e.Y - r : e.Y + r * std::min(s1, s2);
}

}  // namespace

void ElementBounds(TTNEntity& e) {
  if (e.Radius == 0.0) {
    e.MinX = std::min(e.X, e.X2);
    e.MaxX = std::max(e.X, e.X2);
    e.MinY = std::min(e.Y, e.Y2);
    e.MaxY = std::max(e.Y, e.Y2);
    return;
  }
  const double r = std::fabs(e.Radius);
  if (e.StartAngle() == e.EndAngle()) {
    e.MinX = e.X - r;
    e.MaxX = e.X + r;
    e.MinY = e.Y - r;
    e.MaxY = e.Y + r;
    return;
  }
  if (e.Radius > 0.0)
    CcwSpanBox(e, r, e.StartAngle(), e.EndAngle());
  else
    CcwSpanBox(e, r, e.EndAngle(), e.StartAngle());
}

void ElementReverse(TTNEntity& e) {
  if (e.Radius == 0.0) {
    std::swap(e.X, e.X2);
    std::swap(e.Y, e.Y2);
  } else {
    const double start = e.StartAngle();
    e.SetStartAngle(e.EndAngle());
    e.SetEndAngle(start);
    e.Radius = -e.Radius;
  }
}

void ElementSnapEnd(TTNEntity& e, Point2 p, int which) {
  if (e.Radius == 0.0) {
    if (which == 0) {
      e.X = p.X;
      e.Y = p.Y;
    } else {
      e.X2 = p.X;
      e.Y2 = p.Y;
    }
  } else {
    const Point2 q = which == 0 ? ElementEnd(e) : ElementStart(e);
    const double dx = q.X - p.X, dy = q.Y - p.Y;
    const double d = std::sqrt(dx * dx + dy * dy);
    if (d < 1e-8) return;
    const double h2 = e.Radius * e.Radius - d * d / 4.0;
    if (h2 < 1e-8) return;
    const double h = std::sqrt(h2);
    const Point2 m{(p.X + q.X) / 2.0, (p.Y + q.Y) / 2.0};
    const Point2 c1{m.X - h * dy / d, m.Y + h * dx / d};
    const Point2 c2{m.X + h * dy / d, m.Y - h * dx / d};
    const double d1 = (c1.X - e.X) * (c1.X - e.X) + (c1.Y - e.Y) * (c1.Y - e.Y);
    const double d2 = (c2.X - e.X) * (c2.X - e.X) + (c2.Y - e.Y) * (c2.Y - e.Y);
    const Point2 c = d1 < d2 ? c1 : c2;
    e.X = c.X;
    e.Y = c.Y;
    if (which == 0) {
      e.SetStartAngle(PointAngle(c, p));
      e.SetEndAngle(PointAngle(c, q));
    } else {
      e.SetEndAngle(PointAngle(c, p));
      e.SetStartAngle(PointAngle(c, q));
    }
  }
  ElementBounds(e);
}

double ArcSweep(const TTNEntity& e) {
  const double a1 = e.StartAngle(), a2 = e.EndAngle();
  if (e.Radius > 0.0) return a1 < a2 ? a2 - a1 : a2 - a1 + kTwoPi;
  return a2 < a1 ? a2 - a1 : a2 - a1 - kTwoPi;
}

double ElementLength(const TTNEntity& e) {
  if (e.Radius == 0.0) return std::hypot(e.X2 - e.X, e.Y2 - e.Y);
  if (std::fabs(e.StartAngle() - e.EndAngle()) < 1e-8) return kTwoPi * std::fabs(e.Radius);
  return std::fabs(ArcSweep(e) * e.Radius);
}

Point2 ArcMidPoint(const TTNEntity& e) {
  if (e.Radius == 0.0) return {(e.X + e.X2) / 2.0, (e.Y + e.Y2) / 2.0};
  double m = e.StartAngle() + ArcSweep(e) / 2.0;
  if (m >= kTwoPi)
    m -= kTwoPi;
  else if (m < 0.0)
    m += kTwoPi;
  const double r = std::fabs(e.Radius);
  return {e.X + r * std::cos(m), e.Y + r * std::sin(m)};
}

namespace {

void WidenBox(TTNRegion& r, const TTNEntity& e) {
  r.MinX = std::min(r.MinX, e.MinX);
  r.MinY = std::min(r.MinY, e.MinY);
  r.MaxY = std::max(r.MaxY, e.MaxY);
  r.MaxX = std::max(r.MaxX, e.MaxX);
}

void SetBox(TTNRegion& r, const TTNEntity& e) {
  r.MinX = e.MinX;
  r.MinY = e.MinY;
  r.MaxY = e.MaxY;
  r.MaxX = e.MaxX;
}

}  // namespace

void RegionBounds(TTNRegion& r) {
  if (r.Elements.empty()) return;
  SetBox(r, r.Elements[0]);
  for (TTNEntity& e : r.Elements) {
    WidenBox(r, e);
    e.Mark = false;
  }
}

void RegionStoreElement(const TTNEntity& e, TTNRegion& r, bool reversed, int i) {
  TTNEntity& slot = r.Elements[static_cast<size_t>(i)];
  slot = e;
  if (reversed) ElementReverse(slot);
  if (i == 0)
    SetBox(r, e);
  else
    WidenBox(r, e);
}

int RegionIsClockwise(const TTNRegion& r) {
  if (r.Open != 0 || r.Elements.empty()) return 0;
  if (r.Elements.size() == 1) return r.Elements[0].Radius < 0.0 ? 1 : 0;
  // Polygon through every start point and every arc's middle point; the
  // last Element's end closes it back to the first start. The shoelace sum
  // runs over the points as they come (no copy of the polygon: this runs
  // for every closed Region of an import), edge by edge in polygon order.
  double s = 0.0;
  Point2 first{}, previous{};
  bool started = false;
  auto add = [&](Point2 p) {
    if (started)
      s += p.X * previous.Y - previous.X * p.Y;
    else
      first = p;
    started = true;
    previous = p;
  };
  for (const TTNEntity& e : r.Elements) {
    add(ElementStart(e));
    if (e.Radius != 0.0) add(ArcMidPoint(e));
  }
  add(ElementEnd(r.Elements.back()));
  s += first.X * previous.Y - previous.X * first.Y;
  return s > 0.0 ? 1 : 0;
}

namespace {

void ReverseChain(TTNRegion& r) {
  std::reverse(r.Elements.begin(), r.Elements.end());
  for (TTNEntity& e : r.Elements) ElementReverse(e);
}

}  // namespace

void RegionSetDirection(TTNRegion& r, int wanted) {
  r.Direction = static_cast<uint8_t>(wanted);
  if (RegionIsClockwise(r) != wanted) ReverseChain(r);
}

void RegionReverse(TTNRegion& r) {
  ReverseChain(r);
  r.Direction = r.Direction ? 0 : 1;
}

bool PointNearBox(Point2 p, const Box& b) {
  constexpr double t = 0.0005;
  return p.X >= b.MinX - t && p.X <= b.MaxX + t && p.Y >= b.MinY - t && p.Y <= b.MaxY + t;
}

bool BoxesEqual(const Box& a, const Box& b) {
  constexpr double t = 0.0005;
  return std::fabs(a.MinX - b.MinX) <= t && std::fabs(a.MinY - b.MinY) <= t &&
         std::fabs(a.MaxY - b.MaxY) <= t && std::fabs(a.MaxX - b.MaxX) <= t;
}

bool PointNearElementBox(Point2 p, const TTNEntity& e) {
  constexpr double t = 0.00005;
  return p.X >= e.MinX - t && p.X <= e.MaxX + t && p.Y >= e.MinY - t && p.Y <= e.MaxY + t;
}

OpenClosedCount RegionCountOpenClosed(const TTNRegionArray& list) {
  OpenClosedCount c;
  for (size_t i = 1; i < list.size(); ++i) {
    if (list[i].Open)
      ++c.Open;
    else
      ++c.Closed;
  }
  return c;
}

TTNEntity MakeLine(double x1, double y1, double x2, double y2) {
  TTNEntity e;
  e.X = x1;
  e.Y = y1;
  e.Radius = 0.0;
  e.X2 = x2;
  e.Y2 = y2;
  ElementBounds(e);
  return e;
}

TTNEntity MakeArc(double cx, double cy, double radius, double startAngle, double endAngle) {
  TTNEntity e;
  e.X = cx;
  e.Y = cy;
  e.Radius = radius;
  e.SetStartAngle(startAngle);
  e.SetEndAngle(endAngle);
  ElementBounds(e);
  return e;
}

}  // namespace tarnak
