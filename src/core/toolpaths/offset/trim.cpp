// Trimming the raw offset chain: cut it wherever it meets itself or the
// other loops of the level, and keep the pieces that stay clear of the
// source outline (and of the islands).
//
// Which Elements can meet is found with box trees over the raw chain and the
// extra loops, and clearance is tested through indexes over the source and
// the islands. The trees only narrow the search: every candidate still goes
// through the same box test with the 0.0005 margin and the same
// IntersectElements call as when every Element is tried against every
// other, so the pieces come out the same, only without the quadratic cost.
// Pairs whose boxes overlap but which lie provably too far apart to meet
// skip the (costly) intersection call, which would find nothing.
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "geometry/primitives.h"
#include "toolpaths/offset/offset.h"
#include "toolpaths/offset/offset_math.h"

namespace tarnak {

using offset_math::Capsule;
using offset_math::CapsuleOf;
using offset_math::PointSegmentDist;
using offset_math::Real;

namespace {

constexpr Real kLineSplit = 1e-5L;           // shortest line piece, as a fraction of the line
constexpr Real kArcSplitLength = 0.000125L;  // shortest arc piece, as a length
// Islands with no more Elements than this are tested without an index.
constexpr size_t kSmallIsland = 8;

// The level's islands, with an index over their reach (box widened by
// 0.0005 plus the island's own distance) and, built when first needed, an
// index over each island's Elements.
class IslandSet {
 public:
  IslandSet(const TTNRegionArray& regions, const TTNIslandArray& islands) {
    std::vector<Box> reach;
    for (const TTNIsland& isl : islands) {
      if (isl.Region < 0 || static_cast<size_t>(isl.Region) >= regions.size()) continue;
      const TTNRegion& r = regions[static_cast<size_t>(isl.Region)];
      if (r.Elements.empty()) continue;
      entries_.push_back({&r, isl.Distance, nullptr});
      reach.push_back(Widened(r.Bounds(), kBoxMargin + isl.Distance));
    }
    tree_.Build(std::move(reach));
  }

  // True when p is clear of every island whose reach overlaps `box`, each
  // at its own distance.
  bool Clear(Point2 p, const Box& box, OffsetStats* stats) {
    bool clear = true;
    tree_.Query(box, [&](int32_t k) {
      if (!clear) return;
      Entry& en = entries_[static_cast<size_t>(k)];
      if (en.R->Elements.size() <= kSmallIsland) {
        if (stats) ++stats->ClearanceTests;
        clear = ClearOf(*en.R, p, en.Distance);
        return;
      }
      if (!en.Index) en.Index = std::make_unique<ClearanceIndex>(*en.R);
      clear = en.Index->Clear(p, en.Distance, stats);
    });
    return clear;
  }

 private:
  struct Entry {
    const TTNRegion* R;
    double Distance;
    std::unique_ptr<ClearanceIndex> Index;
  };
  std::vector<Entry> entries_;
  BoxTree tree_;
};

struct Trimmer {
  const ClearanceIndex& Source;
  double Distance;
  IslandSet& Islands;
  OffsetStats* Stats;
  TTNEntityArray& Pieces;

  bool Keep(Point2 p, const Box& pieceBox, int mode) {
    if (!Source.Clear(p, Distance, Stats)) return false;
    return mode != 2 || Islands.Clear(p, pieceBox, Stats);
  }

  // The part of e from fraction t1 to t2. False when the result would not
  // be the wanted piece (an arc piece too short for its angles to differ
  // would read as a full circle).
  static bool MakePiece(const TTNEntity& e, Real t1, Real t2, TTNEntity& piece) {
    piece = e;
    piece.Mark = false;
    if (e.IsLine()) {
      Real x, y;
      offset_math::PointAt(e, t1, x, y);
      piece.X = static_cast<double>(x);
      piece.Y = static_cast<double>(y);
      offset_math::PointAt(e, t2, x, y);
      piece.X2 = static_cast<double>(x);
      piece.Y2 = static_cast<double>(y);
    } else {
      const Real start = e.StartAngle(), sweep = ArcSweep(e);
      piece.SetStartAngle(offset_math::WrapAngle(start + t1 * sweep));
      piece.SetEndAngle(offset_math::WrapAngle(start + t2 * sweep));
      if (piece.StartAngle() == piece.EndAngle() && t2 - t1 < 0.5L) return false;
    }
    ElementBounds(piece);
    return true;
  }

  // Cuts e at its parameters (at least two) and keeps the pieces that pass
  // the clearance tests at their middle and quarter points.
  void Split(const TTNEntity& e, std::vector<double>& params, int mode) {
    std::sort(params.begin(), params.end());
    Real tol;
    if (e.IsLine()) {
      tol = kLineSplit;
    } else {
      const Real len = offset_math::LengthOf(e);
      tol = len > 0 ? kArcSplitLength / len : std::numeric_limits<Real>::infinity();
    }
    for (size_t k = 0; k + 1 < params.size(); ++k) {
      const Real t1 = params[k], t2 = params[k + 1];
      if (!(t2 - t1 >= tol)) continue;
      TTNEntity piece;
      if (!MakePiece(e, t1, t2, piece)) continue;
      const Box box = piece.Bounds();
      if (!Keep(offset_math::PointAt(e, (t1 + t2) / 2), box, mode)) continue;
      if (!Keep(offset_math::PointAt(e, t1 + (t2 - t1) / 4), box, mode)) continue;
      Pieces.push_back(piece);
    }
  }
};

double Orient(double ax, double ay, double bx, double by, double cx, double cy) {
  return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
}

double SegmentSegmentDist(const Capsule& a, const Capsule& b) {
  const double o1 = Orient(a.Ax, a.Ay, a.Bx, a.By, b.Ax, b.Ay);
  const double o2 = Orient(a.Ax, a.Ay, a.Bx, a.By, b.Bx, b.By);
  const double o3 = Orient(b.Ax, b.Ay, b.Bx, b.By, a.Ax, a.Ay);
  const double o4 = Orient(b.Ax, b.Ay, b.Bx, b.By, a.Bx, a.By);
  // Crossing, or too close to call: no distance to speak of.
  if (!((o1 > 0 && o2 > 0) || (o1 < 0 && o2 < 0)) && !((o3 > 0 && o4 > 0) || (o3 < 0 && o4 < 0)))
    return 0.0;
  return std::min({PointSegmentDist(a.Ax, a.Ay, b.Ax, b.Ay, b.Bx, b.By),
                   PointSegmentDist(a.Bx, a.By, b.Ax, b.Ay, b.Bx, b.By),
                   PointSegmentDist(b.Ax, b.Ay, a.Ax, a.Ay, a.Bx, a.By),
                   PointSegmentDist(b.Bx, b.By, a.Ax, a.Ay, a.Bx, a.By)});
}

// True when the two Elements lie so far apart that IntersectElements must
// find nothing: every point it reports lies within 2.5e-4 of both Elements
// (on them, or just past an end, or a shared end), so Elements more than
// 5e-4 apart never meet. The test allows 6e-4 plus rounding, and so only
// saves the call; it never changes an answer.
// True when every point of capsule c lies farther than `limit` from the
// circle of arc a: all inside the circle, or all outside it.
bool OffCircle(const Capsule& a, const Capsule& c, double limit) {
  const double nearest = PointSegmentDist(a.Cx, a.Cy, c.Ax, c.Ay, c.Bx, c.By) - c.R;
  if (nearest - a.Rad > limit) return true;
  const double farthest =
      std::max(std::hypot(c.Ax - a.Cx, c.Ay - a.Cy), std::hypot(c.Bx - a.Cx, c.By - a.Cy)) + c.R;
  return a.Rad - farthest > limit;
}

bool FarApart(const Capsule& a, const Capsule& b) {
  const double limit = 6e-4 + 1e-9 * (1.0 + std::max(a.Scale, b.Scale));
  if (SegmentSegmentDist(a, b) - a.R - b.R > limit) return true;
  return (a.Rad > 0 && OffCircle(a, b, limit)) || (b.Rad > 0 && OffCircle(b, a, limit));
}

std::vector<Box> BoxesOf(const TTNEntityArray& els) {
  std::vector<Box> boxes;
  boxes.reserve(els.size());
  for (const TTNEntity& e : els) boxes.push_back(e.Bounds());
  return boxes;
}

}  // namespace

void TrimRawChain(const CancelToken& cancel, const TTNRegionArray& documentRegions,
                  TTNEntityArray& raw, TTNRegionArray& extraRegions, const TTNIslandArray& islands,
                  const TTNRegion& sourceRegion, double distance, TrimMode mode,
                  TTNEntityArray& pieces, OffsetStats* stats) {
  if (&pieces == &raw) {  // the result must not overwrite its own input
    TTNEntityArray copy = raw;
    TrimRawChain(cancel, documentRegions, copy, extraRegions, islands, sourceRegion, distance, mode,
                 pieces, stats);
    return;
  }
  pieces.clear();
  if (cancel.stopped()) return;
  // A pocket keeps every piece clear of the islands, those of the loops it
  // merges with included.
  const bool forced = mode == TrimMode::Pocket;
  const int baseMode = mode == TrimMode::SourceOnly ? 1 : 2;

  // Hit flags refer to this call only: the Regions' Selected flags, and
  // the Marks of their Elements, which mark the Elements the chain ran into.
  for (TTNRegion& r : extraRegions) {
    r.Selected = 0;
    for (TTNEntity& e : r.Elements) e.Mark = false;
  }

  const BoxTree rawTree(BoxesOf(raw));
  std::vector<Capsule> rawCaps;
  rawCaps.reserve(raw.size());
  for (const TTNEntity& e : raw) rawCaps.push_back(CapsuleOf(e));
  struct ExtraRef {
    int32_t Region, Element;
  };
  std::vector<ExtraRef> extraRefs;
  std::vector<Box> extraBoxes;
  for (size_t r = 0; r < extraRegions.size(); ++r) {
    const TTNEntityArray& els = extraRegions[r].Elements;
    for (size_t k = 0; k < els.size(); ++k) {
      extraRefs.push_back({static_cast<int32_t>(r), static_cast<int32_t>(k)});
      extraBoxes.push_back(els[k].Bounds());
    }
  }
  const BoxTree extraTree(std::move(extraBoxes));
  const ClearanceIndex source(sourceRegion);
  IslandSet islandSet(documentRegions, islands);
  Trimmer trim{source, distance, islandSet, stats, pieces};
  pieces.reserve(raw.size() + extraRefs.size() / 4 + 8);

  std::vector<double> params;
  for (size_t i = 0; i < raw.size(); ++i) {
    const TTNEntity& e = raw[i];
    const Box eb = e.Bounds();
    const Box near = Widened(eb, 2 * kBoxMargin);
    int emode = baseMode;
    params.clear();

    // Against the other loops of the level.
    extraTree.Query(near, [&](int32_t k) {
      const ExtraRef ref = extraRefs[static_cast<size_t>(k)];
      TTNRegion& region = extraRegions[static_cast<size_t>(ref.Region)];
      TTNEntity& other = region.Elements[static_cast<size_t>(ref.Element)];
      if (!BoxesOverlap(region.Bounds(), eb, kBoxMargin)) return;
      if (!BoxesOverlap(other.Bounds(), eb, kBoxMargin)) return;
      if (stats) ++stats->CandidatePairs;
      if (FarApart(rawCaps[i], CapsuleOf(other))) return;
      const IntersectResult hit = IntersectElements(e, other);
      if (stats) ++stats->IntersectionTests;
      if (hit.Count == 0) return;
      for (int j = 0; j < hit.Count; ++j) params.push_back(hit.ParamA[j]);
      other.Mark = true;
      region.Selected = 1;
      emode = 2;
    });
    // Against the rest of the raw chain (its neighbours included, which
    // gives a closed chain's Elements their end parameters).
    rawTree.Query(near, [&](int32_t k) {
      if (static_cast<size_t>(k) == i) return;
      const TTNEntity& other = raw[static_cast<size_t>(k)];
      if (!BoxesOverlap(eb, other.Bounds(), kBoxMargin)) return;
      if (stats) ++stats->CandidatePairs;
      if (FarApart(rawCaps[i], rawCaps[static_cast<size_t>(k)])) return;
      const IntersectResult hit = IntersectElements(e, other);
      if (stats) ++stats->IntersectionTests;
      for (int j = 0; j < hit.Count; ++j) params.push_back(hit.ParamA[j]);
    });

    if (params.size() >= 2) {
      // A lone circle has no neighbours to give it the ends 0 and 1: without
      // them the piece running through its start point would be lost.
      if (e.IsFullCircle()) {
        params.push_back(0.0);
        params.push_back(1.0);
      }
      trim.Split(e, params, emode);
    } else if (e.IsLine()) {
      raw[i].Mark = true;  // consumed: nothing of it survives
    } else if (e.IsFullCircle()) {
      // A circle that meets nothing (or only touches something) is a loop by
      // itself; with islands about it stays only when clear of them.
      TTNEntity whole = e;
      whole.Mark = false;
      if (islands.empty() || islandSet.Clear(ElementStart(e), eb, stats)) pieces.push_back(whole);
    }
    // A partial arc cut fewer than twice produces nothing.
  }

  // The loops the chain ran into are merged with it: their hit Elements are
  // cut where the chain crosses them and tested like the chain's pieces,
  // their other Elements are taken whole.
  const int extraMode = forced ? 2 : 1;
  for (TTNRegion& region : extraRegions) {
    if (!region.Selected) continue;
    for (const TTNEntity& o : region.Elements) {
      if (!o.Mark) {
        TTNEntity whole = o;
        whole.Mark = false;
        pieces.push_back(whole);
        continue;
      }
      const Box ob = o.Bounds();
      const Capsule oc = CapsuleOf(o);
      params.assign({0.0, 1.0});
      rawTree.Query(Widened(ob, 2 * kBoxMargin), [&](int32_t k) {
        const TTNEntity& other = raw[static_cast<size_t>(k)];
        if (!BoxesOverlap(ob, other.Bounds(), kBoxMargin)) return;
        if (stats) ++stats->CandidatePairs;
        if (FarApart(oc, rawCaps[static_cast<size_t>(k)])) return;
        const IntersectResult hit = IntersectElements(o, other);
        if (stats) ++stats->IntersectionTests;
        for (int j = 0; j < hit.Count; ++j) params.push_back(hit.ParamA[j]);
      });
      trim.Split(o, params, extraMode);
    }
  }
}

}  // namespace tarnak
