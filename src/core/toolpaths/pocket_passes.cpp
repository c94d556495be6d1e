// The passes of one pocket level: the first passes, the step-over loop, the
// cutting order and the links between passes.
#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/distance.h"
#include "geometry/primitives.h"
#include "selection/region_geometry.h"
#include "toolpaths/contour.h"
#include "geometry/box_tree.h"
#include "geometry/intersect.h"
#include "toolpaths/pocket.h"
#include "toolpaths/pocket_internal.h"

namespace tarnak {

namespace {

using pocket_detail::ValidIndex;

// A link this short starts where the tool stands: nothing to cross.
constexpr double kLinkTolerance = 0.0001;
// Crossings this close to the ends of a link line (as a fraction of it)
// belong to the passes the line joins.
constexpr double kLinkEndFraction = 0.01;
// Below this distance a first-pass loop may run on the Region's own outline,
// where inside and outside cannot be told.
constexpr double kInsideTestDistance = 5e-5;
// A link longer than this many tool radii lifts the tool.
constexpr double kLiftRadii = 3.0;

// The loop contains part of the Boundary's offset: some piece carries no
// Island tag.
bool HasBoundaryPiece(const TTNRegion& loop) {
  return std::any_of(loop.Elements.begin(), loop.Elements.end(),
                     [](const TTNEntity& e) { return e.OwnerTag == 0; });
}

// Twice the signed area of a closed chain of lines and arcs, and its length.
void AreaAndLength(const TTNRegion& loop, double& twiceArea, double& length) {
  twiceArea = 0.0;
  length = 0.0;
  for (const TTNEntity& e : loop.Elements) {
    Point2 a, b;
    ElementEnds(e, a, b);
    if (e.IsLine()) {
      twiceArea += a.X * b.Y - b.X * a.Y;
    } else {
      const double sweep = ArcSweep(e);
      twiceArea += e.X * (b.Y - a.Y) - e.Y * (b.X - a.X) + e.Radius * e.Radius * sweep;
    }
    length += ElementLength(e);
  }
}

// A loop thinner than this (twice its area over its length) runs out and
// back along itself: the area inside it has vanished.
constexpr double kDegenerateWidth = 1e-4;

bool IsDegenerateLoop(const TTNRegion& loop) {
  double twiceArea, length;
  AreaAndLength(loop, twiceArea, length);
  return !(length > 0.0) || std::fabs(twiceArea) < kDegenerateWidth * length;
}

Box Shrunk(const Box& b, double w) {
  return Box::FromMinMax(b.MinX + w, b.MinY + w, b.MaxX - w, b.MaxY - w);
}

// The link line tests of one level, over the outlines of the area the tool
// centre may cover.
class LinkTester {
 public:
  LinkTester(const TTNRegionArray& loops, const TTNMachiningParameters& params, double z)
      : loops_(loops), rapid_(params.RapidHeight), lift_(kLiftRadii * params.Rough.Radius), z_(z) {
    std::vector<Box> boxes;
    for (size_t r = 0; r < loops.size(); ++r) {
      for (size_t k = 0; k < loops[r].Elements.size(); ++k) {
        refs_.push_back({static_cast<int32_t>(r), static_cast<int32_t>(k)});
        boxes.push_back(loops[r].Elements[k].Bounds());
      }
    }
    tree_.Build(std::move(boxes));
  }

  // Whether the tool must rise for the way from a to b, and to which
  // height: the level before less the rapid height for a long way, minus
  // the rapid height (a full retract) for one that leaves the area. A rise
  // is told apart from none by the flag, not by the height: the level
  // before may lie exactly the rapid height down.
  struct Rise {
    bool Needed = false;
    double Height = 0.0;
  };
  Rise Test(Point2 a, Point2 b) const {
    Rise rise;
    const double length = std::hypot(b.X - a.X, b.Y - a.Y);
    if (!(length > kLinkTolerance)) return rise;
    if (length > lift_) rise = {true, z_ <= 0.0 ? -rapid_ : z_ - rapid_};
    if (Crosses(a, b) || !InsideArea({(a.X + b.X) / 2, (a.Y + b.Y) / 2})) rise = {true, -rapid_};
    return rise;
  }

 private:
  bool Crosses(Point2 a, Point2 b) const {
    const TTNEntity line = MakeLine(a.X, a.Y, b.X, b.Y);
    const Box q = Box::FromMinMax(std::min(a.X, b.X) - 0.0005, std::min(a.Y, b.Y) - 0.0005,
                                  std::max(a.X, b.X) + 0.0005, std::max(a.Y, b.Y) + 0.0005);
    bool crossed = false;
    tree_.Query(q, [&](int32_t item) {
      if (crossed) return;
      const Ref ref = refs_[static_cast<size_t>(item)];
      const TTNRegion& loop = loops_[static_cast<size_t>(ref.Loop)];
      const TTNEntity& e = loop.Elements[static_cast<size_t>(ref.Element)];
      const IntersectResult hit = IntersectElements(line, e);
      // A main loop is crossed in the middle of the line; an obstacle loop
      // anywhere past its start, so that a line ending on an Island's
      // outline still counts.
      const double upper = loop.Parent == 1 ? 1.0 - kLinkEndFraction : 1.0;
      for (int j = 0; j < hit.Count; ++j)
        if (hit.ParamA[j] > kLinkEndFraction && hit.ParamA[j] < upper) crossed = true;
    });
    return crossed;
  }

  // Even-odd over all outlines: inside a main loop and outside every
  // obstacle loop. A line that meets no outline in its middle part lies
  // wholly in or out of the area there; its middle tells which. This
  // catches a line between two separate parts of the area (both ends on
  // their outlines) that would cut straight through the wall between them.
  bool InsideArea(Point2 p) const {
    int count = 0;
    for (const TTNRegion& loop : loops_)
      if (PointInRegion(p, loop)) ++count;
    return (count & 1) != 0;
  }

  struct Ref {
    int32_t Loop, Element;
  };
  const TTNRegionArray& loops_;
  std::vector<Ref> refs_;
  BoxTree tree_;
  double rapid_, lift_, z_;
};

// The trimming cuts an Element only between the parameters it finds on it,
// and a lone circle finds no end parameters (it has no neighbours): the arc
// through its start point would be lost wherever the circle is crossed. As
// two half circles, each gives the other its ends.
void SplitFullCircles(TTNEntityArray& raw) {
  for (size_t k = 0; k < raw.size(); ++k) {
    if (!raw[k].IsFullCircle()) continue;
    TTNEntity first = raw[k];
    TTNEntity second = raw[k];
    const double a = first.StartAngle();
    const double b = a + kPi < kTwoPi ? a + kPi : a - kPi;
    first.SetEndAngle(b);
    second.SetStartAngle(b);
    second.SetEndAngle(a);
    ElementBounds(first);
    ElementBounds(second);
    raw[k] = first;
    raw.insert(raw.begin() + static_cast<std::ptrdiff_t>(k) + 1, second);
    ++k;
  }
}

}  // namespace

bool FirstPass(const CancelToken& cancel, const TTNRegionArray& regions,
               const TTNMachineRegion& level, int dir, const TTNArcTolerances& tolerances,
               TTNRegionArray& mainLoops, TTNRegionArray& obstacleLoops, OffsetStats* stats) {
  mainLoops.clear();
  obstacleLoops.clear();
  if (!ValidIndex(regions, level.Region)) return false;
  dir = dir != 0 ? 1 : 0;
  const int side = 1 - dir;

  // The Boundary runs the options' way and the Islands the other, so that
  // one side code takes the Boundary inwards and the Islands outwards.
  TTNRegion boundary = regions[static_cast<size_t>(level.Region)];
  if (boundary.Open || boundary.Elements.empty()) return false;
  boundary.Owner = 0;
  RegionSetDirection(boundary, dir);
  TTNEntityArray raw;
  if (!OffsetRegion(cancel, boundary, side, level.Distance, false, raw, stats)) return false;
  for (TTNEntity& e : raw) e.OwnerTag = 0;

  int32_t position = 0;
  for (const TTNIsland& isl : level.Islands) {
    if (!ValidIndex(regions, isl.Region)) return false;
    TTNRegion island = regions[static_cast<size_t>(isl.Region)];
    island.Owner = ++position;
    RegionSetDirection(island, 1 - dir);
    const size_t before = raw.size();
    if (!OffsetRegion(cancel, island, side, isl.Distance, true, raw, stats)) return false;
    // Tagged here as well: a distance of 0 copies the outline untagged.
    for (size_t k = before; k < raw.size(); ++k) raw[k].OwnerTag = position;
  }

  SplitFullCircles(raw);
  TTNEntityArray pieces;
  TTNRegionArray noExtra;
  TrimRawChain(cancel, regions, raw, noExtra, level.Islands, boundary, level.Distance,
               TrimMode::Pocket, pieces, stats);
  TTNRegionArray loops;
  ChainPieces(cancel, pieces, false, level.Z, loops, true);

  // Loops lie inside the Region, the distance in from its outline. One
  // that does not comes from an Island standing (partly) outside it, which
  // the manual Island command lets the user pick.
  const bool testInside = level.Distance >= kInsideTestDistance;
  for (TTNRegion& loop : loops) {
    if (loop.Open || loop.Elements.empty()) continue;
    if (testInside && !PointInRegion(ElementStart(loop.Elements.front()), boundary)) continue;
    // A loop of Island pieces alone that runs the Boundaries' way encloses
    // open area (between Islands); one that runs the other way is the
    // outline of Islands standing free.
    const bool main = HasBoundaryPiece(loop) || RegionIsClockwise(loop) == dir;
    if (!cancel.stopped()) SimplifyPath(loop, tolerances);
    loop.Depth = level.Z;
    loop.Selected = main ? 1 : 0;
    loop.Parent = main ? 1 : 0;
    loop.MachineFlag = 0;
    (main ? mainLoops : obstacleLoops).push_back(std::move(loop));
  }
  if (mainLoops.empty()) {
    obstacleLoops.clear();
    return false;
  }
  return true;
}

int StepOver(const CancelToken& cancel, const TTNRegionArray& regions,
             const TTNMachineRegion& level, int dir, double step,
             const TTNArcTolerances& tolerances, TTNRegionArray& passes,
             TTNRegionArray& obstacleLoops, bool cutReachedObstacles, OffsetStats* stats) {
  // Without a step the loops would never shrink.
  if (!(step > 0.0) || !std::isfinite(step)) return 0;
  dir = dir != 0 ? 1 : 0;
  const int side = 1 - dir;
  int added = 0;
  std::vector<bool> obstacleCut(obstacleLoops.size(), false);
  TTNEntityArray raw, pieces;
  TTNRegionArray loops;
  for (size_t i = 0; i < passes.size(); ++i) {
    if (!passes[i].Selected) continue;
    passes[i].Selected = 0;
    if (cancel.Poll()) break;

    const TTNRegion& parent = passes[i];
    raw.clear();
    if (!OffsetRegion(cancel, parent, side, step, false, raw, stats)) continue;
    SplitFullCircles(raw);
    TrimRawChain(cancel, regions, raw, obstacleLoops, level.Islands, parent, step, TrimMode::Pocket,
                 pieces, stats);
    loops.clear();
    ChainPieces(cancel, pieces, false, level.Z, loops, true);
    const Box parentBox = parent.Bounds();
    // A loop that has not moved a good part of the step inwards from its
    // parent would not shrink to nothing: it is cut but not offset again.
    const Box limit = Shrunk(parentBox, step / 4);
    TTNRegionArray made;
    for (TTNRegion& loop : loops) {
      if (loop.Open || loop.Elements.empty()) continue;
      // Every true inward offset lies inside its parent. A loop that does
      // not (the outline round a parent that has shrunk to a line) and a
      // loop without width (where the area has just vanished) add nothing.
      if (!BoxInsideBox(parentBox, loop.Bounds()) || IsDegenerateLoop(loop)) continue;
      bool selected = BoxInsideBox(limit, loop.Bounds());
      if (RegionIsClockwise(loop) != dir) {
        // Running the other way it is the outline of Islands, which would
        // grow when offset again. Made only of obstacle pieces it is an
        // obstacle loop, cut in full below.
        if (!HasBoundaryPiece(loop)) continue;
        selected = false;
      }
      if (!cancel.stopped()) SimplifyPath(loop, tolerances);
      loop.Depth = level.Z;
      loop.Parent = 0;
      loop.MachineFlag = 0;
      loop.Selected = selected ? 1 : 0;
      made.push_back(std::move(loop));
    }
    // An obstacle loop that a pass has reached is cut once in full: the
    // merged pass follows it only where it lies a step inside the parent,
    // and the Island's wall along the rest would keep a sliver the parent
    // pass cannot reach.
    if (cutReachedObstacles) {
      for (size_t k = 0; k < obstacleLoops.size(); ++k) {
        if (!obstacleLoops[k].Selected || obstacleCut[k]) continue;
        obstacleCut[k] = true;
        TTNRegion whole = obstacleLoops[k];
        RegionBounds(whole);
        whole.Depth = level.Z;
        whole.Parent = 0;
        whole.MachineFlag = 0;
        whole.Selected = 0;
        made.push_back(std::move(whole));
      }
    }
    // `parent` is not used past this point: the list may move.
    for (TTNRegion& loop : made) passes.push_back(std::move(loop));
    added += static_cast<int>(made.size());
  }
  return added;
}

void OrderPasses(TTNRegionArray& passes, int firstCount, bool pocketDir) {
  const size_t n = passes.size();
  if (n == 0) return;
  bool any = false;
  Point2 p{0.0, 0.0};
  for (size_t k = 0; k < n; ++k) {
    TTNRegion& pass = passes[k];
    pass.Parent = k < static_cast<size_t>(std::max(firstCount, 0)) ? 1 : 0;
    pass.Selected = 1;
    for (const TTNEntity& e : pass.Elements) {
      if (!any) {
        p = {e.MinX, e.MinY};
        any = true;
      }
      p.X = std::min(p.X, e.MinX);
      p.Y = std::min(p.Y, e.MinY);
    }
  }
  if (!any) return;

  TTNRegionArray ordered;
  ordered.reserve(n);
  for (size_t round = 0; round < n; ++round) {
    double best = 1e99;
    int bestPass = -1, bestElement = -1;
    for (size_t k = 0; k < n; ++k) {
      const TTNRegion& pass = passes[k];
      if (!pass.Selected) continue;
      for (size_t e = 0; e < pass.Elements.size(); ++e) {
        const double d = PointElementDistance(pass.Elements[e], p, PastSpan::StartPoint);
        if (d <= best) {  // the later Element wins a tie
          best = d;
          bestPass = static_cast<int>(k);
          bestElement = static_cast<int>(e);
        }
      }
    }
    if (bestPass < 0) break;
    TTNRegion& taken = passes[static_cast<size_t>(bestPass)];
    taken.Selected = 0;
    std::rotate(taken.Elements.begin(), taken.Elements.begin() + bestElement, taken.Elements.end());
    p = ElementStart(taken.Elements.front());
    ordered.push_back(std::move(taken));
  }
  if (pocketDir) std::reverse(ordered.begin(), ordered.end());
  for (TTNRegion& pass : ordered) pass.Selected = pass.Parent == 1 ? 1 : 0;
  passes = std::move(ordered);
}

void LinkPocketPasses(std::span<TTNRegion> passes, const TTNRegionArray& levelLoops,
                      const TTNMachiningParameters& params, Point2 toolPosition, double z) {
  const LinkTester tester(levelLoops, params, z);
  for (size_t k = 0; k < passes.size(); ++k) {
    TTNRegion& pass = passes[k];
    pass.LinkKind = kLinkRetract;
    pass.RapidLevel = -params.RapidHeight;
    if (pass.Elements.empty()) continue;
    const Point2 start = ElementStart(pass.Elements.front());
    if (k == 0) {
      // From a tool position nobody knows, only a full retract is safe.
      const bool known = std::isfinite(toolPosition.X) && std::isfinite(toolPosition.Y);
      if (z >= 0.0 && known) {
        const LinkTester::Rise rise = tester.Test(toolPosition, start);
        pass.RapidLevel = rise.Needed ? rise.Height : z - params.RapidHeight;
      }
      continue;
    }
    const TTNRegion& prev = passes[k - 1];
    if (prev.Elements.empty()) continue;
    const LinkTester::Rise rise = tester.Test(ElementEnd(prev.Elements.back()), start);
    if (rise.Needed) {
      pass.RapidLevel = rise.Height;
    } else {
      pass.LinkKind = kLinkFeedAtDepth;
      pass.RapidLevel = prev.Depth;
    }
  }
}

}  // namespace tarnak
