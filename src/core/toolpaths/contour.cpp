#include "toolpaths/contour.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/element_points.h"
#include "geometry/primitives.h"
#include "geometry/box_tree.h"
#include "geometry/intersect.h"
#include "toolpaths/motion_list.h"
#include "toolpaths/offset/offset.h"

namespace tarnak {

int CompensationOf(const TTNMachiningParameters& params) {
  const int c = params.Compensation;
  return c >= kCompNone && c <= kCompCutout ? c : kCompNone;
}

namespace {

constexpr double kLinkTolerance = 0.0001;  // a path starts where the tool stands
constexpr double kLineSplit = 1e-5;        // shortest line piece, as a fraction
constexpr double kArcSplitLength = 0.000125;  // shortest arc piece, as a length
constexpr double kDegenerate = 1e-8;          // a shorter line has no direction

double Dist(Point2 a, Point2 b) { return std::hypot(a.X - b.X, a.Y - b.Y); }

// ---- points and pieces of Elements ------------------------------------------

// Points and angles in double, as this trimming has always worked.
Point2 PointAt(const TTNEntity& e, double t) { return PointAtIn(e, t); }
double WrapAngle(double a) { return WrapAngleIn(a); }

// Only ever asked of arcs here.
double LengthOf(const TTNEntity& e) { return ElementLengthIn<double>(e); }

// Unit direction of travel at fraction t; false for a line too short to
// have one.
bool TangentAt(const TTNEntity& e, double t, Point2& dir) {
  if (e.IsLine()) {
    const double dx = e.X2 - e.X, dy = e.Y2 - e.Y, len = std::hypot(dx, dy);
    if (!(len > kDegenerate)) return false;
    dir = {dx / len, dy / len};
    return true;
  }
  const double a = e.StartAngle() + t * ArcSweep(e);
  dir = e.Radius > 0 ? Point2{-std::sin(a), std::cos(a)} : Point2{std::sin(a), -std::cos(a)};
  return true;
}

// The part of e from fraction t1 to t2; false when an arc piece would come
// out with equal angles (which would read as a full circle).
bool MakePiece(const TTNEntity& e, double t1, double t2, TTNEntity& piece) {
  piece = e;
  piece.Mark = false;
  if (e.IsLine()) {
    const Point2 a = PointAt(e, t1), b = PointAt(e, t2);
    piece.X = a.X;
    piece.Y = a.Y;
    piece.X2 = b.X;
    piece.Y2 = b.Y;
  } else {
    const double sweep = ArcSweep(e);
    piece.SetStartAngle(WrapAngle(e.StartAngle() + t1 * sweep));
    piece.SetEndAngle(WrapAngle(e.StartAngle() + t2 * sweep));
    if (piece.StartAngle() == piece.EndAngle()) return false;
  }
  ElementBounds(piece);
  return true;
}

// Shortest piece of e kept when it is cut, as a fraction of e: a fixed
// fraction of a line, a fixed length of an arc.
double SplitTolerance(const TTNEntity& e) {
  if (e.IsLine()) return kLineSplit;
  const double len = LengthOf(e);
  return len > 0 ? kArcSplitLength / len : INFINITY;
}

// Cuts e at its (at least two) parameters and keeps the pieces whose middle
// and quarter points are clear of the source at the distance.
void SplitAndKeep(const TTNEntity& e, std::vector<double>& params, const ClearanceIndex& source,
                  double distance, TTNEntityArray& pieces) {
  std::sort(params.begin(), params.end());
  const double tol = SplitTolerance(e);
  for (size_t k = 0; k + 1 < params.size(); ++k) {
    const double t1 = params[k], t2 = params[k + 1];
    if (!(t2 - t1 >= tol)) continue;
    if (!source.Clear(PointAt(e, (t1 + t2) / 2), distance)) continue;
    if (!source.Clear(PointAt(e, t1 + (t2 - t1) / 4), distance)) continue;
    TTNEntity piece;
    if (MakePiece(e, t1, t2, piece)) pieces.push_back(piece);
  }
}

// Trimming of the raw offset of an open Region: its Elements are cut where
// they meet each other, and the pieces that come closer to the source than
// the distance are dropped.
//
// An open outline does not fence anything in, so the offset on one side can
// wander close to another stretch of the outline from that stretch's far
// side, or round one of its ends, without crossing any other offset of its
// own side; tested only at its middle and quarter points, such a stretch
// could be kept and cut into the outline. So the Elements are also cut
// where they meet `cutters`: lines and circles that contain the whole edge
// of the band the tool must keep out of. Every piece between two cuts then
// lies wholly inside or outside that band, and the clearance test at its
// middle tells which. And the two free ends of the chain count as cuts, so
// that the part of the first (last) Element before (after) a crossing is
// tested like every other piece instead of being lost.
void TrimOpenChain(const TTNEntityArray& raw, const TTNEntityArray& cutters,
                   const TTNRegion& source, double distance, TTNEntityArray& pieces) {
  pieces.clear();
  if (raw.empty() || source.Elements.empty()) return;
  auto treeOf = [](const TTNEntityArray& els) {
    std::vector<Box> boxes;
    boxes.reserve(els.size());
    for (const TTNEntity& e : els) boxes.push_back(e.Bounds());
    return BoxTree(std::move(boxes));
  };
  const BoxTree rawTree = treeOf(raw);
  const BoxTree cutterTree = treeOf(cutters);
  const ClearanceIndex clear(source);
  std::vector<double> params;
  const size_t n = raw.size();
  for (size_t i = 0; i < n; ++i) {
    const TTNEntity& e = raw[i];
    const Box eb = e.Bounds();
    const Box near = Widened(eb, 2 * kBoxMargin);
    params.clear();
    rawTree.Query(near, [&](int32_t k) {
      if (static_cast<size_t>(k) == i) return;
      const TTNEntity& other = raw[static_cast<size_t>(k)];
      if (!BoxesOverlap(eb, other.Bounds(), kBoxMargin)) return;
      const IntersectResult hit = IntersectElements(e, other);
      for (int j = 0; j < hit.Count; ++j) params.push_back(hit.ParamA[j]);
    });
    // Only cuts inside the Element count: the chain's own ends touch the
    // end circles, and a touch beside an end would only leave a piece too
    // short to keep and shift the start of the next one.
    const double inner = SplitTolerance(e);
    cutterTree.Query(near, [&](int32_t k) {
      const TTNEntity& cutter = cutters[static_cast<size_t>(k)];
      if (!BoxesOverlap(eb, cutter.Bounds(), kBoxMargin)) return;
      const IntersectResult hit = IntersectElements(e, cutter);
      for (int j = 0; j < hit.Count; ++j) {
        const double t = hit.ParamA[j];
        if (t >= inner && t <= 1.0 - inner) params.push_back(t);
      }
    });
    if (params.empty()) {
      if (clear.Clear(PointAt(e, 0.5), distance)) {
        TTNEntity whole = e;
        whole.Mark = false;
        pieces.push_back(whole);
      }
      continue;
    }
    if (i == 0) params.push_back(0.0);
    if (i + 1 == n) params.push_back(1.0);
    if (params.size() == 1) params.insert(params.end(), {0.0, 1.0});
    SplitAndKeep(e, params, clear, distance, pieces);
  }
}

// The cutters of TrimOpenChain: the edge of the band within `distance` of
// an outline lies on the offsets of its Elements to both sides and on the
// circles of that radius round their end points. The Elements' own offsets
// are taken rather than the joined offset chain, whose trimming at
// crossings can leave parts of that edge out.
TTNEntityArray OpenCutters(const TTNRegion& source, double distance) {
  TTNEntityArray cutters;
  if (!(distance > 0.0) || source.Elements.empty()) return cutters;
  cutters.reserve(3 * source.Elements.size() + 1);
  for (const TTNEntity& e : source.Elements) {
    for (int side : {kOffsetRight, kOffsetLeft}) {
      bool ok = false;
      const TTNEntity off = OffsetElement(e, side, distance, ok);
      if (ok) cutters.push_back(off);
    }
    const Point2 p = ElementStart(e);
    cutters.push_back(MakeArc(p.X, p.Y, distance, 0.0, 0.0));
  }
  const Point2 end = ElementEnd(source.Elements.back());
  cutters.push_back(MakeArc(end.X, end.Y, distance, 0.0, 0.0));
  return cutters;
}

// ---- cutting the levels -------------------------------------------------------

struct PassPlan {
  int Compensation = kCompNone;
  int SideBoundary = kOffsetRight;
  int SideIsland = kOffsetRight;
  uint8_t LeadFlag = 0;
  const TTNToolSettings* Tool = nullptr;
  const TTNArcTolerances* Tolerances = nullptr;
};

// Cuts one level: offset, trim, chain, simplify, link and append. The tool
// position moves to the end of the last path appended.
void CutLevel(const CancelToken& cancel, const TTNRegionArray& regions,
              TTNOutRegionArray& toolpaths, const TTNMachineRegion& level, const PassPlan& plan,
              const TTNMachiningParameters& params, Point2& tool) {
  if (level.Region <= 0 || static_cast<size_t>(level.Region) >= regions.size()) return;
  const TTNRegion& source = regions[static_cast<size_t>(level.Region)];
  if (source.Elements.empty()) return;
  const bool cutout = plan.Compensation == kCompCutout;
  if (cutout && source.Open) return;
  const bool island = cutout && source.Owner != 0;
  const int side = island ? plan.SideIsland : plan.SideBoundary;

  TTNEntityArray raw;
  if (!OffsetRegion(cancel, source, side, level.Distance, false, raw)) return;
  TTNRegionArray made;
  if (plan.Compensation == kCompNone) {
    for (TTNEntity& e : raw) e.Mark = false;  // the Region's own Elements, as chaining input
    ChainPieces(cancel, raw, true, level.Z, made);
  } else {
    TTNEntityArray pieces;
    if (!source.Open) {
      TTNRegionArray noExtra;
      TrimRawChain(cancel, regions, raw, noExtra, level.Islands, source, level.Distance,
                   TrimMode::SourceOnly, pieces);
      ChainPieces(cancel, pieces, false, level.Z, made);
    } else {
      if (cancel.stopped()) return;
      TrimOpenChain(raw, OpenCutters(source, level.Distance), source, level.Distance, pieces);
      ChainPieces(cancel, pieces, true, level.Z, made);
    }
  }
  if (made.empty()) return;

  for (TTNRegion& r : made) {
    r.MachineFlag = plan.LeadFlag;
    if (!cancel.stopped()) SimplifyPath(r, *plan.Tolerances);
  }
  LinkPaths(made, params, tool);
  for (const TTNRegion& r : made) AppendToolpath(toolpaths, r, *plan.Tool, island);
  const TTNRegion& last = made.back();
  if (!last.Elements.empty()) tool = ElementEnd(last.Elements.back());
}

void CutMasters(const CancelToken& cancel, const TTNRegionArray& regions,
                TTNOutRegionArray& toolpaths, const TTNMasterRegionArray& masters,
                const PassPlan& plan, const TTNMachiningParameters& params) {
  // A pass starts where the one before left the tool; the first pass of a
  // program does not know where the tool is, so none of its paths counts
  // as already in place.
  Point2 tool = ToolpathListEnd(toolpaths);
  const int total = static_cast<int>(masters.size());
  int done = 0;
  for (const TTNMasterRegion& master : masters) {
    for (const TTNMachineRegion& level : master.Levels) {
      if (cancel.Poll()) return;
      CutLevel(cancel, regions, toolpaths, level, plan, params, tool);
    }
    cancel.Progress(++done, total);
  }
}

// Cutout: every selected Region at an odd nesting Level becomes an island of
// the Region enclosing it; a selected island deeper than its Boundary, or
// without a depth, takes the Boundary's depth.
void MakeCutoutIslands(TTNRegionArray& regions) {
  const int count = static_cast<int>(regions.size());
  auto valid = [&](int k) { return k > 0 && k < count; };
  for (int i = 1; i < count; ++i) {
    TTNRegion& r = regions[static_cast<size_t>(i)];
    if (r.Selected && r.Level % 2 != 0 && valid(r.Parent) && r.Parent != i) r.Owner = r.Parent;
  }
  for (int i = 1; i < count; ++i) {
    TTNRegion& r = regions[static_cast<size_t>(i)];
    if (!r.Selected || r.Owner == 0 || !valid(r.Owner)) continue;
    const double boundaryDepth = regions[static_cast<size_t>(r.Owner)].Depth;
    if (r.Depth == 0.0 || r.Depth > boundaryDepth) r.Depth = boundaryDepth;
  }
}

// The side of the lead moves for a Toolpath: +1 to the left of travel at
// the start, -1 to the right.
int EntrySign(int dir, int compensation, bool island) {
  if (dir == 1) {
    switch (compensation) {
      case kCompLeft: return 1;
      case kCompCutout: return island ? -1 : 1;
      default: return -1;
    }
  }
  switch (compensation) {
    case kCompRight: return -1;
    case kCompCutout: return island ? 1 : -1;
    default: return 1;
  }
}

// Direction of travel where the path starts (ends), passing over Elements
// too short to have one.
bool StartTangent(const TTNEntityArray& els, Point2& dir) {
  for (const TTNEntity& e : els)
    if (TangentAt(e, 0.0, dir)) return true;
  return false;
}

bool EndTangent(const TTNEntityArray& els, Point2& dir) {
  for (auto it = els.rbegin(); it != els.rend(); ++it)
    if (TangentAt(*it, 1.0, dir)) return true;
  return false;
}

TTNEntity LeadLine(Point2 a, Point2 b) {
  TTNEntity e = MakeLine(a.X, a.Y, b.X, b.Y);
  e.Mark = true;
  return e;
}

TTNEntity LeadArc(Point2 centre, double radius, double start, double end) {
  TTNEntity e = MakeArc(centre.X, centre.Y, radius, WrapAngle(start), WrapAngle(end));
  e.Mark = true;
  return e;
}

bool UsableLength(double length) { return length != 0.0 && std::isfinite(length); }

}  // namespace

// ---- linking and simplification ---------------------------------------------

void LinkPaths(std::span<TTNRegion> regions, const TTNMachiningParameters& params,
               Point2 toolPosition) {
  for (size_t k = 0; k < regions.size(); ++k) {
    TTNRegion& r = regions[k];
    bool inPlace = false;
    double level = 0.0;
    if (!r.Elements.empty()) {
      const Point2 start = ElementStart(r.Elements.front());
      if (k == 0) {
        inPlace = Dist(start, toolPosition) <= kLinkTolerance;
        level = r.Depth;
      } else {
        const TTNRegion& prev = regions[k - 1];
        inPlace = !prev.Elements.empty() &&
                  Dist(start, ElementEnd(prev.Elements.back())) <= kLinkTolerance;
        level = prev.Depth;
      }
    }
    if (inPlace) {
      r.LinkKind = k == 0 ? kLinkInPlace : kLinkFeedAtDepth;
      r.RapidLevel = level;
    } else {
      r.LinkKind = kLinkRetract;
      r.RapidLevel = -params.RapidHeight;
    }
  }
}

void SimplifyPath(TTNRegion& region, const TTNArcTolerances& tolerances) {
  TTNEntityArray& els = region.Elements;
  if (els.size() < 2) return;

  // Short or tight arcs become the chords between their ends.
  if (tolerances.MinArcLength > 0.0 || tolerances.MinArcRad > 0.0) {
    for (TTNEntity& e : els) {
      if (!e.IsArc() || e.IsFullCircle()) continue;
      if (LengthOf(e) < tolerances.MinArcLength || std::fabs(e.Radius) < tolerances.MinArcRad) {
        Point2 s, t;
        ElementEnds(e, s, t);
        const int32_t tag = e.OwnerTag;
        e = MakeLine(s.X, s.Y, t.X, t.Y);
        e.OwnerTag = tag;
      }
    }
  }

  // Runs of nearly collinear lines become one line.
  TTNEntityArray out;
  out.reserve(els.size());
  size_t i = 0;
  while (i < els.size()) {
    TTNEntity kept = els[i++];
    if (kept.IsLine()) {
      const Point2 a{kept.X, kept.Y};
      Point2 dir{kept.X2 - kept.X, kept.Y2 - kept.Y};
      double len = std::hypot(dir.X, dir.Y);
      Point2 end{kept.X2, kept.Y2};
      while (i < els.size() && els[i].IsLine()) {
        const TTNEntity& next = els[i];
        const Point2 q{next.X2, next.Y2};
        if (!(len > kDegenerate)) {
          // A line without length has no extension: it becomes the next line.
          dir = {q.X - a.X, q.Y - a.Y};
          len = std::hypot(dir.X, dir.Y);
          end = q;
          ++i;
          continue;
        }
        const double deviation = std::fabs(dir.X * (q.Y - a.Y) - dir.Y * (q.X - a.X)) / len;
        // A line that turns back along the extension is not absorbed: the
        // path would lose the stretch it runs out and back.
        const double forwards = dir.X * (next.X2 - next.X) + dir.Y * (next.Y2 - next.Y);
        if (!(deviation <= tolerances.TanDev) || forwards < 0.0) break;
        end = q;
        ++i;
      }
      kept.X2 = end.X;
      kept.Y2 = end.Y;
      ElementBounds(kept);
    }
    out.push_back(kept);
  }
  els = std::move(out);
  RegionBounds(region);
}

// ---- lead moves ---------------------------------------------------------------

void AddLeadMoves(TTNOutRegionArray& toolpaths, int entryKind, int exitKind, int dir,
                  int compensation, double exitLength, double entryLength) {
  dir = dir != 0 ? 1 : 0;
  for (size_t k = 1; k < toolpaths.size(); ++k) {
    TTNOutRegion& path = toolpaths[k];
    if (path.LeadMoves != 1 || path.Elements.empty()) continue;
    const int sign = EntrySign(dir, compensation, path.Island != 0);

    path.EntryMove = TTNEntity{};
    Point2 f;
    if (entryKind > kLeadNone && entryKind <= kLeadTangent && UsableLength(entryLength) &&
        StartTangent(path.Elements, f)) {
      const double length = entryLength;
      const Point2 p = ElementStart(path.Elements.front());
      const Point2 b{-f.X, -f.Y};  // backwards along the path
      const double s = sign * length;
      const Point2 n{p.X + s * b.Y, p.Y - s * b.X};
      if (entryKind == kLeadArc) {
        const double toP = PointAngle(n, p);
        const double a0 = s <= 0 ? toP + kPi / 2 : toP - kPi / 2;
        path.EntryMove = LeadArc(n, s, a0, toP);
      } else if (entryKind == kLeadPerpendicular) {
        path.EntryMove = LeadLine(n, p);
      } else {
        path.EntryMove = LeadLine({p.X + length * b.X, p.Y + length * b.Y}, p);
      }
    }

    path.ExitMove = TTNEntity{};
    if (exitKind > kLeadNone && exitKind <= kLeadTangent && UsableLength(exitLength) &&
        EndTangent(path.Elements, f)) {
      const double length = exitLength;
      const Point2 e = ElementEnd(path.Elements.back());
      const double s = -sign * length;
      const Point2 m{e.X + s * f.Y, e.Y - s * f.X};
      if (exitKind == kLeadArc) {
        const double fromE = PointAngle(m, e);
        const double a1 = s < 0 ? fromE + kPi / 2 : fromE - kPi / 2;
        path.ExitMove = LeadArc(m, -s, fromE, a1);
      } else if (exitKind == kLeadPerpendicular) {
        path.ExitMove = LeadLine(e, m);
      } else {
        path.ExitMove = LeadLine(e, {e.X + length * f.X, e.Y + length * f.Y});
      }
    }
  }
}

// ---- the passes -----------------------------------------------------------------

bool ContourRough(const CancelToken& cancel, TTNRegionArray& regions, TTNOutRegionArray& toolpaths,
                  TTNMachiningParameters& params, const ProgramOptions& options,
                  const TTNRegionArray& profiles, const TTNArcTolerances& tolerances) {
  const int comp = CompensationOf(params);
  double bottomAllowance = 0.0;
  if (comp == kCompNone) {
    // On the line there is no wall to leave stock on: it stays on the floor.
    params.Rough.Radius = 0.0;
    params.Finish.Radius = 0.0;
    bottomAllowance = params.Rough.StockToLeave;
    params.Rough.StockToLeave = 0.0;
  }
  const double distance = params.Rough.Radius + params.Rough.StockToLeave;

  TTNMasterRegionArray masters;
  bool allBuilt;
  if (comp == kCompCutout) {
    MakeCutoutIslands(regions);
    allBuilt = BuildLevels(regions, profiles, 0.0, false, distance, params.Rough.ZStep, masters);
  } else {
    allBuilt = BuildLevels(regions, profiles, bottomAllowance, true, distance, params.Rough.ZStep,
                           masters);
  }
  ClearToolpaths(toolpaths);

  const int dir = options.Program.Dir ? 1 : 0;
  PassPlan plan;
  plan.Compensation = comp;
  switch (comp) {
    case kCompLeft:
      plan.SideBoundary = plan.SideIsland = kOffsetLeft;
      break;
    case kCompCutout:
      plan.SideBoundary = dir;
      plan.SideIsland = 1 - dir;
      break;
    default:
      plan.SideBoundary = plan.SideIsland = kOffsetRight;
      break;
  }
  plan.LeadFlag = params.EntryKind != kLeadNone || params.ExitKind != kLeadNone ? 1 : 0;
  plan.Tool = &params.Rough;
  plan.Tolerances = &tolerances;
  CutMasters(cancel, regions, toolpaths, masters, plan, params);

  AddLeadMoves(toolpaths, params.EntryKind, params.ExitKind, dir, comp, params.ExitLength,
               params.EntryLength);
  return allBuilt;
}

bool ContourFinish(const CancelToken& cancel, TTNRegionArray& regions, TTNOutRegionArray& toolpaths,
                   TTNMachiningParameters& params, const ProgramOptions& options,
                   const TTNRegionArray& profiles, const TTNArcTolerances& tolerances) {
  const int comp = CompensationOf(params);
  if (params.FinishMode < 1 || comp == kCompCutout) return true;
  if (cancel.stopped()) return true;

  TTNMasterRegionArray masters;
  const bool allBuilt =
      BuildLevels(regions, profiles, 0.0, true, params.Finish.Radius, params.Finish.ZStep, masters);

  const int dir = options.Program.Dir ? 1 : 0;
  PassPlan plan;
  plan.Compensation = comp;
  plan.SideBoundary = plan.SideIsland = comp == kCompLeft ? kOffsetLeft : kOffsetRight;
  plan.LeadFlag = 1;
  plan.Tool = &params.Finish;
  plan.Tolerances = &tolerances;
  CutMasters(cancel, regions, toolpaths, masters, plan, params);

  AddLeadMoves(toolpaths, params.EntryKind, params.ExitKind, dir, comp, params.ExitLength,
               params.EntryLength);
  return allBuilt;
}

}  // namespace tarnak
