#include "toolpaths/isolation/isolation.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/intersect.h"
#include "geometry/primitives.h"
#include "toolpaths/contour.h"

namespace tarnak {

namespace {

constexpr double kDegenerateLine = 1e-8;  // a line this short is a point
constexpr double kShortestEmitted = 0.000125;
constexpr double kSweepMin = 1e-8;
// Joined ends closer than this are the same point already.
constexpr double kSamePointSq = 1e-24;
// Tangents f and g this close to the same direction: the outline doubles
// back on itself.
constexpr double kReversalDot = 1.0 - 1e-8;

bool IsPoint(const TTNEntity& e) {
  return e.IsLine() && std::hypot(e.X2 - e.X, e.Y2 - e.Y) <= kDegenerateLine;
}

// Unit tangent in the direction of travel at the start (`atEnd` false) or
// the end of an Element.
Point2 Tangent(const TTNEntity& e, bool atEnd) {
  if (e.IsLine()) {
    const double dx = e.X2 - e.X, dy = e.Y2 - e.Y, len = std::hypot(dx, dy);
    return len > 0.0 ? Point2{dx / len, dy / len} : Point2{1.0, 0.0};
  }
  const double a = atEnd ? e.EndAngle() : e.StartAngle();
  return e.Radius > 0.0 ? Point2{-std::sin(a), std::cos(a)} : Point2{std::sin(a), -std::cos(a)};
}

double Dist2(Point2 a, Point2 b) { return (a.X - b.X) * (a.X - b.X) + (a.Y - b.Y) * (a.Y - b.Y); }

// The arc about the source corner c from p to q on the offset's side, or
// nothing when it would not sweep.
bool CornerArc(Point2 p, Point2 q, Point2 c, double distance, int side, TTNEntity& arc) {
  arc = MakeArc(c.X, c.Y, side == kOffsetRight ? distance : -distance, PointAngle(c, p),
                PointAngle(c, q));
  if (!(std::fabs(ArcSweep(arc)) > kSweepMin)) return false;
  // The ends lie at the distance from the corner up to rounding, except
  // beside an offset that collapsed; the arc is bent to meet them exactly.
  ElementSnapEnd(arc, p, 0);
  ElementSnapEnd(arc, q, 1);
  ElementBounds(arc);
  return true;
}

// The meeting point of the infinite lines through two line Elements.
bool LinesMeet(const TTNEntity& a, const TTNEntity& b, Point2& at) {
  const double ax = a.X2 - a.X, ay = a.Y2 - a.Y, bx = b.X2 - b.X, by = b.Y2 - b.Y;
  const double det = ax * by - ay * bx;
  const double scale = std::hypot(ax, ay) * std::hypot(bx, by);
  if (!(std::fabs(det) > 1e-8 * scale)) return false;
  const double t = ((b.X - a.X) * by - (b.Y - a.Y) * bx) / det;
  at = {a.X + t * ax, a.Y + t * ay};
  return std::isfinite(at.X) && std::isfinite(at.Y);
}

}  // namespace

double IsolationPassDistance(const TTNMachiningParameters& params, int pass) {
  const double radius = params.Rough.Radius;
  const double overlap = std::clamp(params.IsolationOverlap, 0.0, 0.99);
  return radius + static_cast<double>(std::max(pass, 1) - 1) * 2.0 * radius * (1.0 - overlap);
}

bool OffsetIslandByAngle(const CancelToken& cancel, const TTNRegion& island, int side,
                         double distance, int32_t ownerTag, TTNEntityArray& raw) {
  if (cancel.stopped() || island.Elements.empty() || !std::isfinite(distance)) return false;
  side = side == kOffsetRight ? kOffsetRight : kOffsetLeft;
  std::vector<const TTNEntity*> src;
  src.reserve(island.Elements.size());
  for (const TTNEntity& e : island.Elements)
    if (!IsPoint(e)) src.push_back(&e);
  const size_t n = src.size();
  if (n == 0) return false;

  // Every offset first, then every joint: joint j lies between Element
  // j - 1 and j (the last and the first for j = 0) and may move the end of
  // one and the start of the other, and what fills a gap there goes out
  // just before offset j.
  TTNEntityArray off(n);
  std::vector<char> ok(n, 0);
  bool anyOk = false;
  for (size_t j = 0; j < n; ++j) {
    bool fine = false;
    off[j] = OffsetElement(*src[j], side, distance, fine);
    ok[j] = fine ? 1 : 0;
    anyOk = anyOk || fine;
  }
  if (!anyOk) return false;

  std::vector<TTNEntity> joins;
  std::vector<size_t> joinAt;  // the offset each join goes out before
  auto join = [&](size_t j, const TTNEntity& e) {
    joins.push_back(e);
    joinAt.push_back(j);
  };
  auto bridge = [&](size_t j, Point2 p, Point2 q) {
    if (Dist2(p, q) > kSamePointSq) join(j, MakeLine(p.X, p.Y, q.X, q.Y));
  };
  for (size_t j = 0; j < n; ++j) {
    const size_t i = j == 0 ? n - 1 : j - 1;
    TTNEntity& prev = off[i];
    TTNEntity& cur = off[j];
    const Point2 p = ElementEnd(prev), q = ElementStart(cur);
    if (!ok[i] || !ok[j]) {
      // An offset collapsed to a point: the chain runs through the point.
      bridge(j, p, q);
      continue;
    }
    const Point2 f = Tangent(*src[i], true);
    const Point2 gf = Tangent(*src[j], false);
    const Point2 g{-gf.X, -gf.Y};  // out of the next Element, backwards
    const double dot = std::clamp(f.X * g.X + f.Y * g.Y, -1.0, 1.0);
    double angle = std::acos(dot);
    const double cross = f.X * g.Y - g.X * f.Y;
    if ((cross >= 0.0 && side == kOffsetLeft) || (cross < 0.0 && side == kOffsetRight))
      angle = kTwoPi - angle;
    const Point2 corner = ElementStart(*src[j]);
    if (angle <= kPi) {
      const IntersectResult hit = IntersectElements(prev, cur);
      if (hit.Count > 0) {
        const int k = hit.Count == 2 && hit.ParamA[1] > hit.ParamA[0] ? 1 : 0;
        ElementSnapEnd(prev, hit.P[k], 1);
        ElementSnapEnd(cur, hit.P[k], 0);
        continue;
      }
      TTNEntity arc;
      if (dot > kReversalDot && CornerArc(p, q, corner, distance, side, arc)) {
        join(j, arc);  // doubling back: round the tip
        continue;
      }
      // Offsets too short to meet at an inside corner: the straight way
      // between their ends lies within the distance of the corner, where the
      // trimming drops it, and keeps the chain closed meanwhile.
      bridge(j, p, q);
      continue;
    }
    Point2 at;
    if (prev.IsLine() && cur.IsLine() && LinesMeet(prev, cur, at)) {
      ElementSnapEnd(prev, at, 1);
      ElementSnapEnd(cur, at, 0);
      continue;
    }
    TTNEntity arc;
    if (CornerArc(p, q, corner, distance, side, arc))
      join(j, arc);
    else
      bridge(j, p, q);
  }

  const size_t first = raw.size();
  size_t nextJoin = 0;
  for (size_t j = 0; j < n; ++j) {
    for (; nextJoin < joins.size() && joinAt[nextJoin] == j; ++nextJoin) raw.push_back(joins[nextJoin]);
    if (!ok[j]) continue;
    ElementBounds(off[j]);
    if (ElementLength(off[j]) > kShortestEmitted) raw.push_back(off[j]);
  }
  for (size_t k = first; k < raw.size(); ++k) {
    ElementBounds(raw[k]);
    raw[k].OwnerTag = ownerTag;
    raw[k].Mark = false;
  }
  return true;
}

int RoutePCB(const CancelToken& cancel, TTNRegionArray& regions, TTNOutRegionArray& toolpaths,
             const TTNMachiningParameters& params, int side, const TTNArcTolerances& tolerances,
             int boundary, OffsetStats* stats) {
  ClearToolpaths(toolpaths);
  if (regions.size() < 3) return 0;  // slot 0 and fewer than two Regions
  if (boundary <= 0 || static_cast<size_t>(boundary) >= regions.size()) return 0;
  side = side != 0 ? kOffsetLeft : kOffsetRight;
  const double depth = params.Depth;
  const TTNRegion& outline = regions[static_cast<size_t>(boundary)];

  // The copper: every selected closed Island, at the dialog's depth.
  std::vector<int32_t> copper;
  for (size_t i = 1; i < regions.size(); ++i) {
    TTNRegion& r = regions[i];
    if (static_cast<int>(i) == boundary || !r.Selected || r.Owner == 0 || r.Open) continue;
    if (r.Elements.empty()) continue;
    r.Depth = depth;
    copper.push_back(static_cast<int32_t>(i));
  }
  if (copper.empty()) return 0;

  const int passes = std::clamp(params.IsolationPasses, 1, kMaxIsolationPasses);
  const int total = static_cast<int>(copper.size()) * passes;
  // Polling between every Island of a board with thousands of pads would
  // cost more than the offsets; about 50 times a pass is enough.
  const size_t pollEvery = std::max<size_t>(1, copper.size() / 50);
  TTNRegionArray routes;
  TTNEntityArray raw, pieces;
  TTNRegionArray loops, noExtra;
  for (int pass = 1; pass <= passes; ++pass) {
    const double distance = IsolationPassDistance(params, pass);
    TTNIslandArray islands;
    islands.reserve(copper.size());
    for (const int32_t i : copper) islands.push_back({i, distance});

    raw.clear();
    for (size_t k = 0; k < copper.size(); ++k) {
      if (k % pollEvery == 0) {
        if (cancel.Poll()) break;
        cancel.Progress(static_cast<int>(copper.size()) * (pass - 1) + static_cast<int>(k), total);
      }
      const TTNRegion& island = regions[static_cast<size_t>(copper[k])];
      // The copy's position in the group (1, 2, ...) tags its pieces.
      if (!OffsetIslandByAngle(cancel, island, side, distance, static_cast<int32_t>(k + 1), raw))
        break;
    }
    if (cancel.stopped()) break;

    TrimRawChain(cancel, regions, raw, noExtra, islands, outline, distance, TrimMode::WithIslands,
                 pieces, stats);
    loops.clear();
    ChainPieces(cancel, pieces, false, depth, loops, true);
    if (cancel.stopped()) break;
    // Loops running the outlines' way round go round copper from outside;
    // the others lie inside rings of copper or in spaces the merged
    // outlines close in, and are cut after them.
    std::stable_partition(loops.begin(), loops.end(), [side](const TTNRegion& loop) {
      return RegionIsClockwise(loop) == side;
    });
    for (TTNRegion& loop : loops) {
      if (loop.Open || loop.Elements.empty()) continue;
      SimplifyPath(loop, tolerances);
      loop.Depth = depth;
      loop.MachineFlag = 0;
      RegionBounds(loop);
      routes.push_back(std::move(loop));
    }
  }
  cancel.Progress(total, total);
  // A stopped routing keeps nothing: half a board isolated is no board.
  if (cancel.stopped()) return 0;

  LinkPaths(routes, params, Point2{0.0, 0.0});
  for (const TTNRegion& route : routes) AppendToolpath(toolpaths, route, params.Rough);
  return ToolpathCount(toolpaths);
}

}  // namespace tarnak
