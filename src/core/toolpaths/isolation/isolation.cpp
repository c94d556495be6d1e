#include "toolpaths/isolation/isolation.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "geometry/box_tree.h"
#include "geometry/intersect.h"
#include "geometry/primitives.h"
#include "selection/region_geometry.h"
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


// A point of the outline to test where it lies: the middle of its first
// Element that is not a level line (a traced outline's vertices all lie on
// the cell corners, so a level ray through such a middle meets no vertex of
// any outline); the selection's probe point when there is none.
Point2 ProbeOf(const TTNRegion& r) {
  for (const TTNEntity& e : r.Elements)
    if (e.IsLine() && e.Y != e.Y2) return {(e.X + e.X2) / 2, (e.Y + e.Y2) / 2};
  return RegionProbePoint(r);
}

// Whether a point lies inside a closed outline: the selection's crossing
// count, through an index over the Elements for large outlines of lines
// (a copper pour holds many thousands of them and encloses most pads).
class InsideTest {
 public:
  explicit InsideTest(const TTNRegion& r) : region_(r) {
    constexpr size_t kIndexFrom = 64;
    const bool lines = std::all_of(r.Elements.begin(), r.Elements.end(),
                                   [](const TTNEntity& e) { return e.IsLine(); });
    if (!lines || r.Elements.size() < kIndexFrom) return;
    std::vector<Box> boxes;
    boxes.reserve(r.Elements.size());
    for (const TTNEntity& e : r.Elements) boxes.push_back(e.Bounds());
    tree_ = std::make_unique<BoxTree>(std::move(boxes));
  }
  bool Inside(Point2 p) const {
    if (region_.Open) return false;
    if (!tree_) return PointInRegion(p, region_);
    if (!PointNearBox(p, region_.Bounds())) return false;
    // The crossings of the ray from p towards +X, as PointInRegion counts
    // them for lines.
    const Box ray = Box::FromMinMax(p.X, p.Y - 1e-7, region_.MaxX + 1.0, p.Y + 1e-7);
    int count = 0;
    tree_->Query(ray, [&](int32_t k) {
      const TTNEntity& e = region_.Elements[static_cast<size_t>(k)];
      if (!(e.MinY < p.Y && p.Y <= e.MaxY + 1e-8 && p.X < e.MaxX) || e.Y == e.Y2) return;
      const double x = e.X + (e.X2 - e.X) * (p.Y - e.Y) / (e.Y2 - e.Y);
      if (x > p.X) ++count;
    });
    return (count & 1) != 0;
  }

 private:
  const TTNRegion& region_;
  std::unique_ptr<BoxTree> tree_;
};

// Which outlines are the inner edges of copper (holes in a pour, the inside
// of a ring): those lying inside an odd number of the others. Traced
// outlines never cross, so one point of each tells.
std::vector<char> HoleFlags(const TTNRegionArray& regions, const std::vector<int32_t>& outlines,
                            const CancelToken& cancel) {
  const size_t n = outlines.size();
  std::vector<char> hole(n, 0);
  std::vector<Box> boxes;
  boxes.reserve(n);
  for (const int32_t i : outlines) boxes.push_back(regions[static_cast<size_t>(i)].Bounds());
  const BoxTree tree(boxes);
  std::vector<std::unique_ptr<InsideTest>> tests(n);
  for (size_t a = 0; a < n && !cancel.stopped(); ++a) {
    const TTNRegion& inner = regions[static_cast<size_t>(outlines[a])];
    const Point2 p = ProbeOf(inner);
    int count = 0;
    tree.Query(Box::FromMinMax(p.X, p.Y, p.X, p.Y), [&](int32_t b) {
      const size_t k = static_cast<size_t>(b);
      if (k == a || !BoxInsideBox(boxes[k], boxes[a])) return;
      if (!tests[k]) tests[k] = std::make_unique<InsideTest>(regions[static_cast<size_t>(outlines[k])]);
      if (tests[k]->Inside(p)) ++count;
    });
    hole[a] = (count & 1) != 0 ? 1 : 0;
  }
  return hole;
}

// True when the board outline's box holds the box of every copper outline.
bool BoardOutlineHoldsCopper(const TTNRegionArray& regions, int boundary, const std::vector<int32_t>& copper) {
  const Box outer = regions[static_cast<size_t>(boundary)].Bounds();
  return std::all_of(copper.begin(), copper.end(), [&](int32_t i) {
    return BoxInsideBox(outer, regions[static_cast<size_t>(i)].Bounds());
  });
}

// A closed rectangle `margin` outside the box of the given Regions.
TTNRegion FrameAround(const TTNRegionArray& regions, const std::vector<int32_t>& which, double margin) {
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  for (const int32_t i : which) {
    const Box b = regions[static_cast<size_t>(i)].Bounds();
    x0 = std::min(x0, b.MinX);
    y0 = std::min(y0, b.MinY);
    x1 = std::max(x1, b.MaxX);
    y1 = std::max(y1, b.MaxY);
  }
  x0 -= margin;
  y0 -= margin;
  x1 += margin;
  y1 += margin;
  TTNRegion frame;
  frame.Open = 0;
  frame.Elements = {MakeLine(x0, y0, x1, y0), MakeLine(x1, y0, x1, y1), MakeLine(x1, y1, x0, y1),
                    MakeLine(x0, y1, x0, y0)};
  RegionBounds(frame);
  return frame;
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

  // One Element (a full circle) meets only itself: no joint to make.
  const size_t joints = n > 1 ? n : 0;
  std::vector<TTNEntity> joins;
  std::vector<size_t> joinAt;  // the offset each join goes out before
  auto join = [&](size_t j, const TTNEntity& e) {
    joins.push_back(e);
    joinAt.push_back(j);
  };
  auto bridge = [&](size_t j, Point2 p, Point2 q) {
    if (Dist2(p, q) > kSamePointSq) join(j, MakeLine(p.X, p.Y, q.X, q.Y));
  };
  // The joint angle: f the tangent at the end of the previous Element,
  // g the tangent out of the next one backwards; pi for a straight run,
  // above pi where the outline turns away from the offset side.
  std::vector<double> angle(n, kPi), dot(n, -1.0);
  for (size_t j = 0; j < joints; ++j) {
    const size_t i = j == 0 ? n - 1 : j - 1;
    const Point2 f = Tangent(*src[i], true);
    const Point2 gf = Tangent(*src[j], false);
    const Point2 g{-gf.X, -gf.Y};
    dot[j] = std::clamp(f.X * g.X + f.Y * g.Y, -1.0, 1.0);
    angle[j] = std::acos(dot[j]);
    const double cross = f.X * g.Y - g.X * f.Y;
    if ((cross >= 0.0 && side == kOffsetLeft) || (cross < 0.0 && side == kOffsetRight))
      angle[j] = kTwoPi - angle[j];
  }
  // Sharp outer corners first: the lines grow to their meeting point, and
  // only then are the inner corners cut. On a staircase of short steps (an
  // outline traced from a raster) the offsets of two steps meet only once
  // both have grown at their outer ends.
  std::vector<char> done(n, 0);
  for (size_t j = 0; j < joints; ++j) {
    const size_t i = j == 0 ? n - 1 : j - 1;
    if (!ok[i] || !ok[j] || angle[j] <= kPi || !off[i].IsLine() || !off[j].IsLine()) continue;
    Point2 at;
    if (!LinesMeet(off[i], off[j], at)) continue;
    ElementSnapEnd(off[i], at, 1);
    ElementSnapEnd(off[j], at, 0);
    done[j] = 1;
  }
  for (size_t j = 0; j < joints; ++j) {
    if (done[j]) continue;
    const size_t i = j == 0 ? n - 1 : j - 1;
    TTNEntity& prev = off[i];
    TTNEntity& cur = off[j];
    const Point2 p = ElementEnd(prev), q = ElementStart(cur);
    if (!ok[i] || !ok[j]) {
      // An offset collapsed to a point: the chain runs through the point.
      bridge(j, p, q);
      continue;
    }
    const Point2 corner = ElementStart(*src[j]);
    TTNEntity arc;
    if (angle[j] <= kPi) {
      const IntersectResult hit = IntersectElements(prev, cur);
      if (hit.Count > 0) {
        const int k = hit.Count == 2 && hit.ParamA[1] > hit.ParamA[0] ? 1 : 0;
        ElementSnapEnd(prev, hit.P[k], 1);
        ElementSnapEnd(cur, hit.P[k], 0);
        continue;
      }
      if (dot[j] > kReversalDot && CornerArc(p, q, corner, distance, side, arc)) {
        join(j, arc);  // doubling back: round the tip
        continue;
      }
      // Offsets that do not reach each other at an inside corner: the
      // straight way between their ends lies within the distance of the
      // corner, where the trimming drops it, and keeps the chain closed.
      bridge(j, p, q);
      continue;
    }
    // An outer corner where an arc takes part, or of parallel lines.
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

  // A copper layer often comes without the board's outline, and then the
  // all-as-islands command makes the copper feature nearest the drawing's
  // lower-left corner the board outline. Left as the outline, that pad or
  // track would get no isolation, and every path near it would be trimmed
  // away. So when the outline does not hold the rest of the copper, it is
  // routed as copper too, inside a frame well clear of the whole board.
  TTNRegion frame;
  const TTNRegion* outlinePtr = &regions[static_cast<size_t>(boundary)];
  if (!BoardOutlineHoldsCopper(regions, boundary, copper)) {
    regions[static_cast<size_t>(boundary)].Depth = depth;
    copper.push_back(static_cast<int32_t>(boundary));
    frame = FrameAround(regions, copper, 4.0 * IsolationPassDistance(params, params.IsolationPasses) + 1.0);
    outlinePtr = &frame;
  }
  const TTNRegion& outline = *outlinePtr;
  const bool framed = outlinePtr == &frame;

  // Every closed Region is turned the Dir way round, the holes of the
  // copper too: the side outside the copper is the other side for them.
  std::vector<int32_t> outlines = copper;
  if (!framed) outlines.push_back(boundary);
  const std::vector<char> hole = HoleFlags(regions, outlines, cancel);
  auto sideOf = [&](size_t k) { return hole[k] ? 1 - side : side; };

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
      // The copy's position in the group (1, 2, ...) tags its pieces. An
      // outline too small to offset (all of it shorter than 1e-8) has no
      // copper to route round; it is passed over rather than ending the
      // routing there, which would leave the rest of the board uncut and
      // still say the routing was complete.
      OffsetIslandByAngle(cancel, island, sideOf(k), distance, static_cast<int32_t>(k + 1), raw);
    }
    if (cancel.stopped()) break;
    // The board outline's offset goes in untagged. The clearance tests of
    // the trimming look at a piece's middle and quarter point only, and a
    // piece of an Island's offset that runs into the outline's reach is cut
    // there only where something of the chain crosses it: without the
    // outline's own offset, such a piece would keep its end within the
    // reach and cut into the outline. Loops of the outline's pieces alone
    // are not cut (the outline itself is not routed); where copper runs
    // into its reach, the merged loop follows it.
    // (An open outline, which the all-as-islands command may pick, has no
    // sides to offset.)
    // A frame lies far from the copper: nothing runs into its reach.
    if (!outline.Open && !framed)
      OffsetIslandByAngle(cancel, outline, sideOf(copper.size()), distance, 0, raw);

    TrimRawChain(cancel, regions, raw, noExtra, islands, outline, distance, TrimMode::WithIslands,
                 pieces, stats);
    loops.clear();
    ChainPieces(cancel, pieces, false, depth, loops, true);
    if (cancel.stopped()) break;
    // Loops running the outlines' way round go round copper (or along the
    // inside of a hole in it); the others lie in spaces that merged
    // outlines close in, and are cut after them.
    std::stable_partition(loops.begin(), loops.end(), [side](const TTNRegion& loop) {
      return RegionIsClockwise(loop) == side;
    });
    for (TTNRegion& loop : loops) {
      if (loop.Open || loop.Elements.empty()) continue;
      if (std::none_of(loop.Elements.begin(), loop.Elements.end(),
                       [](const TTNEntity& e) { return e.OwnerTag != 0; }))
        continue;  // the board outline by itself
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
