// The pocket passes and command: levels of each group cut in turn, Island
// tops, Regions lying in Islands, the finish contours and floor.
#include "toolpaths/pocket.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

#include "editing/walls.h"
#include "geometry/distance.h"
#include "geometry/primitives.h"
#include "selection/region_selection.h"
#include "toolpaths/contour.h"
#include "geometry/box_tree.h"
#include "geometry/intersect.h"
#include "toolpaths/motion_list.h"
#include "toolpaths/pocket_internal.h"

namespace tarnak {

namespace {

using pocket_detail::kSameDepth;
using pocket_detail::MakePocketMaster;
using pocket_detail::NestingIndex;
using pocket_detail::RemoveNestedIslands;
using pocket_detail::ValidIndex;

// Outlines closer than the distance less this are too close (the offset
// engine's clearance margin).
constexpr double kClearanceMargin = 5e-5;

bool Usable(double v) { return std::isfinite(v); }

// ---- distances between outlines ---------------------------------------------

double Wrap(double a) {
  a = std::fmod(a, kTwoPi);
  return a < 0 ? a + kTwoPi : a;
}

// The clearance checks measure exactly: no span tolerance (see
// PointElementDistance).
double PointDistance(Point2 p, const TTNEntity& e) {
  return PointElementDistance(e, p, PastSpan::NearerEnd, 0.0);
}

Point2 OnCircle(const TTNEntity& arc, double angle) {
  const double r = std::fabs(arc.Radius);
  return {arc.X + r * std::cos(angle), arc.Y + r * std::sin(angle)};
}

// Shortest distance between two Elements. Where two Elements do not meet,
// the nearest points are end points, or interior points joined by a line
// square to both: for an arc that line runs through its centre.
double ElementDistance(const TTNEntity& a, const TTNEntity& b) {
  if (IntersectElements(a, b).Count > 0) return 0.0;
  Point2 as, ae, bs, be;
  ElementEnds(a, as, ae);
  ElementEnds(b, bs, be);
  double d = std::min(
      {PointDistance(as, b), PointDistance(ae, b), PointDistance(bs, a), PointDistance(be, a)});
  auto arcTowards = [&](const TTNEntity& arc, const TTNEntity& other, double angle) {
    for (double ang : {angle, angle + kPi})
      if (AngleOnArcSpan(arc, Wrap(ang), 0.0)) d = std::min(d, PointDistance(OnCircle(arc, ang), other));
  };
  if (a.IsLine() && b.IsLine()) return d;
  if (a.IsArc() && b.IsArc()) {
    if (a.X != b.X || a.Y != b.Y) {
      const double ang = std::atan2(b.Y - a.Y, b.X - a.X);
      arcTowards(a, b, ang);
      arcTowards(b, a, ang);
    }
    return d;
  }
  const TTNEntity& line = a.IsLine() ? a : b;
  const TTNEntity& arc = a.IsLine() ? b : a;
  // Points of the arc where it runs parallel to the line.
  arcTowards(arc, line, std::atan2(line.X2 - line.X, -(line.Y2 - line.Y)));
  return d;
}

// ---- the job ---------------------------------------------------------------------

// What one pass (rough or finish) cuts with.
struct Plan {
  const TTNToolSettings* Tool = nullptr;
  const TTNArcTolerances* Tolerances = nullptr;
  double Distance = 0.0;   // tool centre from the walls (radius + stock)
  double Step = 0.0;       // XY step-over
  double Allowance = 0.0;  // material left on floors and Island tops
  double ZStep = 0.0;
  bool MarkTops = false;  // Island tops lying on a level count as cleared by it
  bool Finish = false;
  bool KeepMain = true;     // finish: cut the Boundary contours
  bool ClearFloor = false;  // finish: clear the bottom level's floor again
  bool IslandTops = true;   // pocket the tops of Islands below the surface
};

// How one group level is cut.
struct GroupCut {
  bool KeepMain = true;    // cut the main loops
  bool StepOver = true;    // clear the area inside them
  bool Obstacles = false;  // cut the obstacle loops (Island contours)
  uint8_t LeadMoves = 0;   // contours get entry and exit moves
};

class PocketJob {
 public:
  PocketJob(const CancelToken& cancel, TTNRegionArray& regions, TTNOutRegionArray& toolpaths,
            const TTNMachiningParameters& params, const ProgramOptions& options,
            const TTNRegionArray& profiles, OffsetStats* stats, const Plan& plan)
      : cancel_(cancel),
        regions_(regions),
        toolpaths_(toolpaths),
        params_(params),
        profiles_(profiles),
        nesting_(regions),
        stats_(stats),
        plan_(plan),
        dir_(options.Program.Dir ? 1 : 0),
        pocketDir_(options.Program.PocketDir),
        trace_(options.Program.Trace) {}

  // Cuts the master's levels, then the Regions lying in its Islands (and in
  // theirs, and so on), each as a group of its own.
  void Run(const TTNMasterRegion& master) {
    std::deque<int> pending;
    CutLevels(master, pending);
    while (!pending.empty() && !cancel_.stopped()) {
      const int k = pending.front();
      pending.pop_front();
      TTNMasterRegion inner;
      if (!MakePocketMaster(regions_, nesting_, profiles_, k, plan_.Allowance, plan_.Distance,
                            plan_.ZStep, plan_.MarkTops, inner, nullptr)) {
        allBuilt_ = false;
        continue;
      }
      CutLevels(inner, pending);
    }
  }

  bool AllBuilt() const { return allBuilt_; }

  // Every group in turn, counted as progress, until the token stops.
  void RunAll(const TTNMasterRegionArray& masters) {
    const int total = static_cast<int>(masters.size());
    int done = 0;
    for (const TTNMasterRegion& master : masters) {
      if (cancel_.stopped()) break;
      Run(master);
      cancel_.Progress(++done, total);
    }
  }

 private:
  void CutLevels(const TTNMasterRegion& master, std::deque<int>& pending) {
    double previous = 0.0;  // depth of the last level that was cut
    for (size_t n = 0; n < master.Levels.size(); ++n) {
      const TTNMachineRegion& level = master.Levels[n];
      if (cancel_.Poll()) return;
      GroupCut how;
      if (plan_.Finish) {
        how.KeepMain = plan_.KeepMain;
        how.StepOver = plan_.ClearFloor && n + 1 == master.Levels.size();
        how.Obstacles = true;
        how.LeadMoves = 1;
      }
      const bool cut = CutGroup(level, previous, how);
      if (plan_.IslandTops && !level.Islands.empty()) CutIslandTops(master.Region, level, previous);
      if (cut) previous = level.Z;
    }
    if (!cancel_.stopped()) CollectRegionsInIslands(master.Region, pending);
  }

  // One level of a group: first passes, step-over, order, links, append.
  bool CutGroup(const TTNMachineRegion& level, double previousZ, const GroupCut& how) {
    TTNRegionArray mainLoops, obstacles;
    if (!FirstPass(cancel_, regions_, level, dir_, *plan_.Tolerances, mainLoops, obstacles, stats_))
      return false;
    TTNRegionArray levelLoops = mainLoops;
    levelLoops.insert(levelLoops.end(), obstacles.begin(), obstacles.end());

    TTNRegionArray passes;
    if (how.KeepMain) passes = mainLoops;
    for (TTNRegion& p : passes) p.MachineFlag = how.LeadMoves;
    const int firstCount = static_cast<int>(passes.size());
    if (how.StepOver)
      StepOver(cancel_, regions_, level, dir_, plan_.Step, *plan_.Tolerances, passes, obstacles,
               !how.Obstacles, stats_);
    if (how.Obstacles) {
      for (TTNRegion& o : obstacles) {
        o.MachineFlag = how.LeadMoves;
        o.Selected = 0;
        passes.push_back(std::move(o));
      }
    }
    if (passes.empty()) return false;

    OrderPasses(passes, firstCount, pocketDir_);
    LinkPocketPasses(passes, levelLoops, params_, tool_, previousZ);
    for (const TTNRegion& p : passes) AppendToolpath(toolpaths_, p, *plan_.Tool);
    const TTNRegion& last = passes.back();
    if (!last.Elements.empty()) tool_ = ElementEnd(last.Elements.back());
    return true;
  }

  // The tops of the level's Islands that no level clears: each pocketed
  // once, down to its own depth, around the Regions standing on it.
  void CutIslandTops(int boundary, const TTNMachineRegion& level, double previousZ) {
    for (const TTNIsland& isl : level.Islands) {
      if (cancel_.Poll()) return;
      if (!ValidIndex(regions_, isl.Region)) continue;
      TTNRegion& island = regions_[static_cast<size_t>(isl.Region)];
      if (island.PocketFlag) continue;
      island.PocketFlag = 1;
      if (!(island.Depth > 0.0) || !Usable(island.Depth)) continue;

      TTNMachineRegion top;
      top.Region = isl.Region;
      top.Z = island.Depth - plan_.Allowance;
      if (!(top.Z > 0.0)) continue;
      for (int j : nesting_.Inside(isl.Region)) {
        TTNRegion& r = regions_[static_cast<size_t>(j)];
        if (r.Level != island.Level + 1) continue;
        if (std::fabs(r.Depth - island.Depth) <= kSameDepth) {
          r.PocketFlag = 1;  // flush with the top: cleared with it
        } else if (r.Depth < island.Depth) {
          // Standing on the top. Always kept clear at the full distance:
          // tracing is for the top's own edge, not for what stands on it.
          top.Islands.push_back(
              {j, WallDistance(regions_, j, top.Z, profiles_, plan_.Distance, nullptr)});
        }
      }
      RemoveNestedIslands(nesting_, top.Islands);
      top.Distance = trace_ && TraceIsClear(boundary, level, isl.Region) ? 0.0 : plan_.Distance;
      CutGroup(top, previousZ, GroupCut{});
    }
  }

  // With the tool centre on an Island's outline, the tool reaches the
  // radius beyond it: into the Boundary's wall or a taller neighbour when
  // they stand closer than that. Tracing is then left out for this Island.
  bool TraceIsClear(int boundary, const TTNMachineRegion& level, int index) const {
    const TTNRegion& island = regions_[static_cast<size_t>(index)];
    std::vector<const TTNEntity*> others;
    std::vector<Box> boxes;
    auto add = [&](const TTNRegion& r) {
      for (const TTNEntity& e : r.Elements) {
        others.push_back(&e);
        boxes.push_back(e.Bounds());
      }
    };
    if (ValidIndex(regions_, boundary)) add(regions_[static_cast<size_t>(boundary)]);
    for (const TTNIsland& other : level.Islands) {
      if (other.Region == index || !ValidIndex(regions_, other.Region)) continue;
      const TTNRegion& r = regions_[static_cast<size_t>(other.Region)];
      if (r.Depth < island.Depth) add(r);  // stands above the tool
    }
    const BoxTree tree(std::move(boxes));
    const double limit = plan_.Distance - kClearanceMargin;
    if (!(limit > 0.0)) return true;
    for (const TTNEntity& e : island.Elements) {
      const Box b = e.Bounds();
      const Box reach =
          Box::FromMinMax(b.MinX - limit, b.MinY - limit, b.MaxX + limit, b.MaxY + limit);
      bool clear = true;
      tree.Query(reach, [&](int32_t k) {
        if (clear && ElementDistance(e, *others[static_cast<size_t>(k)]) < limit) clear = false;
      });
      if (!clear) return false;
    }
    return true;
  }

  // Regions lying in an Island of this group (an Owner, and a Parent that
  // is itself an Island of the group), not yet handled: pocketed after the
  // group, each as a group of its own.
  void CollectRegionsInIslands(int boundary, std::deque<int>& pending) {
    std::vector<int> found;
    for (int p : nesting_.Inside(boundary)) {
      if (regions_[static_cast<size_t>(p)].Owner == 0) continue;  // not an Island
      for (int k : nesting_.Inside(p)) {
        const TTNRegion& r = regions_[static_cast<size_t>(k)];
        if (r.Parent == p && r.Owner != 0 && !r.PocketFlag) found.push_back(k);
      }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    for (int k : found) {
      regions_[static_cast<size_t>(k)].PocketFlag = 1;
      pending.push_back(k);
    }
  }

  const CancelToken& cancel_;
  TTNRegionArray& regions_;
  TTNOutRegionArray& toolpaths_;
  const TTNMachiningParameters& params_;
  const TTNRegionArray& profiles_;
  const NestingIndex nesting_;  // the nesting does not change while the job runs
  OffsetStats* stats_;
  Plan plan_;
  int dir_;
  bool pocketDir_;
  bool trace_;
  // A pass starts where the one before left the tool (nowhere known for
  // the first pass of a program).
  Point2 tool_ = ToolpathListEnd(toolpaths_);
  bool allBuilt_ = true;
};

}  // namespace

bool PocketRough(const CancelToken& cancel, TTNRegionArray& regions, TTNOutRegionArray& toolpaths,
                 TTNMachiningParameters& params, const ProgramOptions& options,
                 const TTNRegionArray& profiles, const TTNArcTolerances& tolerances,
                 OffsetStats* stats) {
  // The job replaces the toolpath list even when the rough pass cuts
  // nothing: paths of an earlier job left in it would pass for its result.
  ClearToolpaths(toolpaths);
  const double step = params.Rough.XYStep;
  if (!(step > 0.0) || !Usable(step)) return true;
  const double radius = params.Rough.Radius;
  if (!(radius >= 0.0) || !Usable(radius) || !Usable(params.Rough.StockToLeave)) return true;

  Plan plan;
  plan.Tool = &params.Rough;
  plan.Tolerances = &tolerances;
  plan.Distance = radius + params.Rough.StockToLeave;
  plan.Step = step;
  plan.Allowance = Usable(params.BottomStock) ? params.BottomStock : 0.0;
  plan.MarkTops = true;

  TTNMasterRegionArray masters;
  const bool allBuilt = BuildPocketLevels(regions, profiles, plan.Allowance, plan.Distance,
                                          params.Rough.ZStep, true, masters);
  plan.ZStep = params.Rough.ZStep;

  PocketJob job(cancel, regions, toolpaths, params, options, profiles, stats, plan);
  job.RunAll(masters);
  return allBuilt && job.AllBuilt();
}

bool PocketFinish(const CancelToken& cancel, TTNRegionArray& regions, TTNOutRegionArray& toolpaths,
                  TTNMachiningParameters& params, const ProgramOptions& options,
                  const TTNRegionArray& profiles, const TTNArcTolerances& tolerances,
                  OffsetStats* stats) {
  const int mode = params.FinishMode;
  if (mode < kFinishIslands || mode > kFinishAll) return true;
  const double radius = params.Finish.Radius;
  if (!(radius > 0.0) || !Usable(radius)) return true;
  if (cancel.stopped()) return true;

  bool noWall = true;
  TTNMasterRegionArray masters;
  const bool allBuilt = BuildPocketLevels(regions, profiles, 0.0, radius, params.Finish.ZStep,
                                          false, masters, &noWall);
  for (size_t i = 1; i < regions.size() && noWall; ++i)
    if (regions[i].Selected && regions[i].WallProfile > 0) noWall = false;

  const double stock = params.Finish.StockToLeave;
  Plan plan;
  plan.Tool = &params.Finish;
  plan.Tolerances = &tolerances;
  plan.Distance = radius;
  plan.Step = params.Finish.XYStep;
  plan.ZStep = params.Finish.ZStep;
  plan.Finish = true;
  // The rough pass already ran the tool along exactly these contours.
  const bool sameContours = stock == 0.0 && radius == params.Rough.Radius && noWall;
  plan.KeepMain = mode != kFinishIslands && !sameContours;
  plan.ClearFloor = mode == kFinishAll && stock > 0.0;
  plan.IslandTops = mode == kFinishAll && stock > 0.0;

  PocketJob job(cancel, regions, toolpaths, params, options, profiles, stats, plan);
  job.RunAll(masters);
  AddLeadMoves(toolpaths, params.EntryKind, params.ExitKind, options.Program.Dir ? 1 : 0, kCompNone,
               params.ExitLength, params.EntryLength);
  return allBuilt && job.AllBuilt();
}

}  // namespace tarnak
