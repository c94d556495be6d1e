#include "toolpaths/offset/offset.h"

#include <cmath>

#include "geometry/primitives.h"
#include "toolpaths/offset/offset_math.h"

namespace tarnak {

using offset_math::Real;

namespace {

constexpr Real kDegenerateLine = 1e-8L;        // a line this short cannot be offset
constexpr Real kCollapsedLineSq = 1.5625e-8L;  // offset line shorter than 1.25e-4
constexpr Real kCollapsedRadius = 0.000125L;   // smallest radius an inward arc offset keeps
constexpr double kCornerSweepMin = 1e-8;
constexpr double kCornerSweepMax = 3.1515926535897933;  // pi + 0.01
constexpr Real kShortestKept = 1e-8L;  // a trimmed offset shorter than this is left out
constexpr double kClearanceMargin = 5e-5;
constexpr double kArcEndMissSq = 1e-20;  // (1e-10)^2

double Dist2(Point2 a, Point2 b) { return (a.X - b.X) * (a.X - b.X) + (a.Y - b.Y) * (a.Y - b.Y); }

bool IsDegenerateLine(const TTNEntity& e) {
  if (!e.IsLine()) return false;
  const Real dx = static_cast<Real>(e.X2) - e.X, dy = static_cast<Real>(e.Y2) - e.Y;
  return std::sqrt(dx * dx + dy * dy) <= kDegenerateLine;
}

TTNEntity ZeroLine(Real x, Real y, const TTNEntity& like) {
  TTNEntity e = like;
  e.Radius = 0.0;
  e.X = e.X2 = static_cast<double>(x);
  e.Y = e.Y2 = static_cast<double>(y);
  ElementBounds(e);
  return e;
}

// The corner arc about the source corner c from p (end of the previous
// offset) to q (start of the next one), appended when its sweep is usable:
// a sweep near a whole turn means the offsets overlap rather than leave a
// gap, and the arc would run the long way round.
void AppendCornerArc(Point2 p, Point2 q, Point2 c, double distance, int side, TTNEntityArray& raw) {
  TTNEntity arc;
  arc.X = c.X;
  arc.Y = c.Y;
  arc.Radius = side == kOffsetRight ? distance : -distance;
  arc.SetStartAngle(offset_math::AngleOf(static_cast<Real>(p.X) - c.X, static_cast<Real>(p.Y) - c.Y));
  arc.SetEndAngle(offset_math::AngleOf(static_cast<Real>(q.X) - c.X, static_cast<Real>(q.Y) - c.Y));
  const double sweep = std::fabs(ArcSweep(arc));
  if (!(sweep > kCornerSweepMin && sweep <= kCornerSweepMax)) return;
  // p and q lie at the distance from c, up to rounding, except beside a
  // collapsed Element, whose point lies about as far from the corner but not
  // exactly; there the arc is bent to run exactly from p to q, so that the
  // chain stays continuous.
  if (Dist2(ElementStart(arc), p) > kArcEndMissSq) ElementSnapEnd(arc, p, 0);
  if (Dist2(ElementEnd(arc), q) > kArcEndMissSq) ElementSnapEnd(arc, q, 1);
  ElementBounds(arc);
  raw.push_back(arc);
}

}  // namespace

TTNEntity OffsetElement(const TTNEntity& element, int side, double distance, bool& ok) {
  TTNEntity out = element;
  out.Mark = false;
  ok = false;
  if (!std::isfinite(distance)) {
    ElementBounds(out);
    return out;
  }
  side = side == kOffsetRight ? kOffsetRight : kOffsetLeft;
  if (distance < 0.0) {  // a negative distance is the other side
    distance = -distance;
    side = 1 - side;
  }
  const Real d = distance;

  if (element.IsLine()) {
    const Real ax = element.X, ay = element.Y;
    const Real dx = static_cast<Real>(element.X2) - ax, dy = static_cast<Real>(element.Y2) - ay;
    const Real len = std::sqrt(dx * dx + dy * dy);
    if (!(len > kDegenerateLine)) {
      ElementBounds(out);
      return out;
    }
    Real ux = dx / len, uy = dy / len;
    if (side == kOffsetLeft) {
      ux = -ux;
      uy = -uy;
    }
    const Real nx = d * uy, ny = -d * ux;
    out.X = static_cast<double>(ax + nx);
    out.Y = static_cast<double>(ay + ny);
    out.X2 = static_cast<double>(element.X2 + nx);
    out.Y2 = static_cast<double>(element.Y2 + ny);
    const Real ox = static_cast<Real>(out.X2) - out.X, oy = static_cast<Real>(out.Y2) - out.Y;
    if (ox * ox + oy * oy <= kCollapsedLineSq) {
      return ZeroLine((static_cast<Real>(out.X) + out.X2) / 2, (static_cast<Real>(out.Y) + out.Y2) / 2,
                      out);
    }
    ElementBounds(out);
    ok = true;
    return out;
  }

  // Arc: the radius grows on the outer side, shrinks on the inner one.
  const Real r = element.Radius;
  Real nr;
  bool fits;
  if (r > 0) {
    nr = side == kOffsetRight ? r + d : r - d;
    fits = side == kOffsetRight || nr >= kCollapsedRadius;
  } else {
    nr = side == kOffsetLeft ? r - d : r + d;
    fits = side == kOffsetLeft || nr <= -kCollapsedRadius;
  }
  if (fits) {
    out.Radius = static_cast<double>(nr);
    ElementBounds(out);
    ok = true;
    return out;
  }
  if (element.IsFullCircle()) {
    ElementBounds(out);
    return out;
  }
  // The tool no longer fits inside the arc: it stands where it touches both
  // end points.
  Real sx, sy, ex, ey;
  offset_math::ArcEnds(element, sx, sy, ex, ey);
  const Real cx = ex - sx, cy = ey - sy;
  const Real c = std::sqrt(cx * cx + cy * cy);
  const Real mx = (sx + ex) / 2, my = (sy + ey) / 2;
  if (!(c > 0)) return ZeroLine(mx, my, out);
  Real ux = cx / c, uy = cy / c;  // clockwise: from start to end
  if (r > 0) {
    ux = -ux;
    uy = -uy;
  }
  const Real h = std::sqrt(std::fabs(d * d - (c / 2) * (c / 2)));
  return ZeroLine(mx + h * uy, my - h * ux, out);
}

bool OffsetRegion(const CancelToken& cancel, const TTNRegion& region, int side, double distance,
                  bool tagIslands, TTNEntityArray& raw, OffsetStats* stats) {
  if (cancel.stopped()) return false;
  const TTNEntityArray& src = region.Elements;
  if (src.empty()) return false;
  if (distance == 0.0) {
    raw.insert(raw.end(), src.begin(), src.end());
    return true;
  }
  if (!std::isfinite(distance)) return false;
  side = side == kOffsetRight ? kOffsetRight : kOffsetLeft;
  if (distance < 0.0) {
    distance = -distance;
    side = 1 - side;
  }

  // Lines shorter than 1e-8 are points: they are passed over, so that their
  // neighbours meet as if they were not there.
  const size_t n = src.size();
  const size_t firstEmitted = raw.size();
  bool anyOk = false;
  TTNEntity prev;
  bool prevOk = false;
  size_t i = 0;
  if (region.Open) {
    for (; i < n; ++i) {
      if (IsDegenerateLine(src[i])) continue;
      prev = OffsetElement(src[i], side, distance, prevOk);
      if (prevOk) break;
    }
    if (!prevOk) return false;
    ++i;
  } else {
    size_t last = n;
    while (last > 0 && IsDegenerateLine(src[last - 1])) --last;
    if (last == 0) return false;
    prev = OffsetElement(src[last - 1], side, distance, prevOk);
  }
  anyOk = prevOk;

  for (; i < n; ++i) {
    const TTNEntity& source = src[i];
    if (IsDegenerateLine(source)) continue;
    bool ok = false;
    TTNEntity cur = OffsetElement(source, side, distance, ok);
    anyOk = anyOk || ok;
    if (!ok || !prevOk) {
      // One side of this joint collapsed to a point (the collapsed offset
      // stands for it). The previous offset goes out as it is, and the gap
      // to the next offset or point is bridged about the source corner. On
      // both sides of a collapsed Element alike: a round notch narrower
      // than the tool, offset from outside, needs the arc into the point
      // where the tool touches both notch corners and the arc out of it.
      if (prevOk) raw.push_back(prev);
      AppendCornerArc(ElementEnd(prev), ElementStart(cur), ElementStart(source), distance, side, raw);
    } else {
      const IntersectResult hit = IntersectElements(prev, cur);
      if (stats) ++stats->IntersectionTests;
      if (hit.Count == 0) {
        // Convex corner: the offsets leave a gap, bridged about the corner.
        raw.push_back(prev);
        AppendCornerArc(ElementEnd(prev), ElementStart(cur), ElementStart(source), distance, side,
                        raw);
      } else {
        // Concave corner or crossing: both offsets end at the meeting point
        // nearest the end of the previous one.
        const int k = hit.Count == 2 && hit.ParamA[1] > hit.ParamA[0] ? 1 : 0;
        ElementSnapEnd(prev, hit.P[k], 1);
        ElementSnapEnd(cur, hit.P[k], 0);
        if (offset_math::LengthOf(prev) > kShortestKept) raw.push_back(prev);
      }
    }
    prev = cur;
    prevOk = ok;
  }
  if (region.Open && prevOk) raw.push_back(prev);

  if (tagIslands) {
    for (size_t k = firstEmitted; k < raw.size(); ++k) raw[k].OwnerTag = region.Owner;
  }
  return anyOk;
}

namespace offset_math {

Real DistSqToElement(const TTNEntity& e, Point2 p) {
  const Real px = p.X, py = p.Y;
  if (e.IsLine()) {
    const Real ax = e.X, ay = e.Y, bx = e.X2, by = e.Y2;
    const Real dx = bx - ax, dy = by - ay;
    const Real len2 = dx * dx + dy * dy;
    const Real wx = px - ax, wy = py - ay;
    const Real t = len2 > 0 ? (wx * dx + wy * dy) / len2 : -1;
    if (t < 0 || t > 1) {
      const Real da = wx * wx + wy * wy;
      const Real db = (px - bx) * (px - bx) + (py - by) * (py - by);
      return da < db ? da : db;
    }
    const Real cross = wx * dy - wy * dx;
    return cross * cross / len2;
  }
  const Real cx = px - e.X, cy = py - e.Y;
  bool within = e.IsFullCircle();
  if (!within) {
    const Real a = AngleOf(cx, cy);
    const Real sweep = ArcSweep(e);
    Real along = sweep > 0 ? a - e.StartAngle() : e.StartAngle() - a;
    if (along < 0) along += kTwoPiL;
    within = along <= std::fabs(sweep);
  }
  if (within) {
    const Real gap = std::sqrt(cx * cx + cy * cy) - std::fabs(static_cast<Real>(e.Radius));
    return gap * gap;
  }
  Real sx, sy, ex, ey;
  ArcEnds(e, sx, sy, ex, ey);
  const Real ds = (px - sx) * (px - sx) + (py - sy) * (py - sy);
  const Real de = (px - ex) * (px - ex) + (py - ey) * (py - ey);
  return ds < de ? ds : de;
}

bool CloserThan(const TTNEntity& e, Point2 p, Real limit2) {
  const Real px = p.X, py = p.Y;
  const Real bound = limit2 * (1 + 1e-9L) + 1e-30L;
  if (e.IsLine()) {
    const Real dx = static_cast<Real>(e.X2) - e.X, dy = static_cast<Real>(e.Y2) - e.Y;
    const Real len2 = dx * dx + dy * dy;
    if (len2 > 0) {
      const Real cross = (px - e.X) * dy - (py - e.Y) * dx;
      if (cross * cross > bound * len2) return false;  // the whole line is farther
    }
  } else {
    const Real cx = px - e.X, cy = py - e.Y;
    const Real gap = std::sqrt(cx * cx + cy * cy) - std::fabs(static_cast<Real>(e.Radius));
    if (gap * gap > bound) return false;  // the whole circle is farther
  }
  return DistSqToElement(e, p) < limit2;
}

}  // namespace offset_math

namespace {

// The Element is near enough to be looked at: its box widened by w
// contains p.
bool InWidenedBox(const TTNEntity& e, Point2 p, double w) {
  return p.X >= e.MinX - w && p.X <= e.MaxX + w && p.Y >= e.MinY - w && p.Y <= e.MaxY + w;
}

}  // namespace

bool ClearOf(const TTNRegion& region, Point2 point, double distance) {
  if (distance < kClearanceMargin) return true;
  const double w = distance + kBoxMargin;
  const Real limit = static_cast<Real>(distance) - kClearanceMargin;
  const Real limit2 = limit * limit;
  for (const TTNEntity& e : region.Elements) {
    if (!InWidenedBox(e, point, w)) continue;
    if (offset_math::CloserThan(e, point, limit2)) return false;
  }
  return true;
}

ClearanceIndex::ClearanceIndex(const TTNRegion& region) : region_(&region) {
  std::vector<Box> boxes;
  boxes.reserve(region.Elements.size());
  hulls_.reserve(region.Elements.size());
  for (const TTNEntity& e : region.Elements) {
    boxes.push_back(e.Bounds());
    const offset_math::Capsule c = offset_math::CapsuleOf(e);
    hulls_.push_back({c.Ax, c.Ay, c.Bx, c.By, c.R});
  }
  tree_.Build(std::move(boxes));
}

bool ClearanceIndex::Clear(Point2 point, double distance, OffsetStats* stats) const {
  if (stats) ++stats->ClearanceTests;
  if (distance < kClearanceMargin) return true;
  const double w = distance + kBoxMargin;
  const Real limit = static_cast<Real>(distance) - kClearanceMargin;
  const Real limit2 = limit * limit;
  // Only Elements whose box lies within the limit can come closer than it;
  // the search reaches a little further than that to allow for rounding
  // (of the boxes and of the distances, relative to the coordinates), and
  // less far than the widened box, which is tested exactly.
  const double scale = std::fabs(point.X) + std::fabs(point.Y) + distance;
  const double reach = static_cast<double>(limit) * (1 + 1e-9) + 1e-9 * (1 + scale);
  const TTNEntityArray& els = region_->Elements;
  const bool blocked = tree_.AnyNear(point, reach, [&](int32_t k) {
    const TTNEntity& e = els[static_cast<size_t>(k)];
    if (!InWidenedBox(e, point, w)) return false;
    const Hull& h = hulls_[static_cast<size_t>(k)];
    if (offset_math::PointSegmentDist(point.X, point.Y, h.Ax, h.Ay, h.Bx, h.By) - h.R > reach)
      return false;  // the whole Element is farther than the limit
    if (stats) ++stats->DistanceTests;
    return offset_math::CloserThan(e, point, limit2);
  });
  return !blocked;
}

}  // namespace tarnak
