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
// skip the (costly) intersection call, which would find nothing. A folded
// offset holds a few large Elements (arcs trimmed the long way round, long
// edges), whose boxes cover thousands of others: those look for their
// partners themselves, along their own circle or line (see RawIndex).
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

// Farthest two Elements can lie apart and still meet: every point
// IntersectElements reports lies within 2.5e-4 of both Elements (on them,
// or just past an end, or a shared end), so Elements more than 5e-4 apart
// never meet. The tests below allow 6e-4 plus rounding relative to the size
// of the coordinates, and so only save calls; they never change an answer.
double MeetLimit(double scale) { return 6e-4 + 1e-9 * (1.0 + scale); }

// True when every point of capsule c lies farther than `limit` from the
// circle of arc a: all inside the circle, or all outside it.
bool OffCircle(const Capsule& a, const Capsule& c, double limit) {
  const double nearest = PointSegmentDist(a.Cx, a.Cy, c.Ax, c.Ay, c.Bx, c.By) - c.R;
  if (nearest - a.Rad > limit) return true;
  const double farthest =
      std::max(std::hypot(c.Ax - a.Cx, c.Ay - a.Cy), std::hypot(c.Bx - a.Cx, c.By - a.Cy)) + c.R;
  return a.Rad - farthest > limit;
}

// True when the two Elements lie so far apart that IntersectElements must
// find nothing.
bool FarApart(const Capsule& a, const Capsule& b) {
  const double limit = MeetLimit(std::max(a.Scale, b.Scale));
  if (SegmentSegmentDist(a, b) - a.R - b.R > limit) return true;
  return (a.Rad > 0 && OffCircle(a, b, limit)) || (b.Rad > 0 && OffCircle(b, a, limit));
}

// True when the whole box lies too far from the Element to hold any part of
// an Element that meets it: off the arc's circle, or beyond the line's
// infinite extension or past either of its ends. A box inside such a box
// is ruled out too, as the box tree's narrowed query needs.
bool BoxOff(const Capsule& c, const Box& b) {
  const double limit = MeetLimit(std::max({c.Scale, std::fabs(b.MinX), std::fabs(b.MaxX),
                                           std::fabs(b.MinY), std::fabs(b.MaxY)}));
  if (c.Rad > 0) {
    const double dx = std::max({b.MinX - c.Cx, 0.0, c.Cx - b.MaxX});
    const double dy = std::max({b.MinY - c.Cy, 0.0, c.Cy - b.MaxY});
    if (std::hypot(dx, dy) - c.Rad > limit) return true;  // all outside the circle
    const double fx = std::max(std::fabs(b.MinX - c.Cx), std::fabs(b.MaxX - c.Cx));
    const double fy = std::max(std::fabs(b.MinY - c.Cy), std::fabs(b.MaxY - c.Cy));
    return c.Rad - std::hypot(fx, fy) > limit;  // all inside it
  }
  const double ux = c.Bx - c.Ax, uy = c.By - c.Ay, len = std::hypot(ux, uy);
  if (!(len > 0)) return false;
  // Signed distances of the corners across and along the line.
  const double xs[2] = {b.MinX - c.Ax, b.MaxX - c.Ax}, ys[2] = {b.MinY - c.Ay, b.MaxY - c.Ay};
  double acrossLo = INFINITY, acrossHi = -INFINITY, alongLo = INFINITY, alongHi = -INFINITY;
  for (const double x : xs) {
    for (const double y : ys) {
      const double across = (x * uy - y * ux) / len, along = (x * ux + y * uy) / len;
      acrossLo = std::min(acrossLo, across);
      acrossHi = std::max(acrossHi, across);
      alongLo = std::min(alongLo, along);
      alongHi = std::max(alongHi, along);
    }
  }
  return acrossLo > limit || acrossHi < -limit || alongLo > len + limit || alongHi < -limit;
}

// Raw Elements whose box is this many times the usual size are "large":
// arcs trimmed the long way round in a folded offset, or long edges beside
// many short ones. Their boxes hold a good part of the chain.
constexpr double kLargeFactor = 16.0;

double Extent(const Box& b) { return std::max(b.MaxX - b.MinX, b.MaxY - b.MinY); }

// Where the raw Elements meet each other. Every ordered pair (e, other)
// whose boxes overlap (margin 0.0005) and which may meet goes through
// IntersectElements(e, other) once, and its parameters on e are e's.
//
// The pairs are found through two box trees, one over the usual Elements
// and one over the large ones. A usual Element looks for its partners
// among the usual ones only. A large Element looks in both trees, passing
// over every subtree whose box lies off its circle or line, and works out
// both its own parameters and, for each usual partner, that partner's: so
// the thousands of usual Elements inside a large one's box never have to
// look at it one by one. Either way every pair is tried exactly once each
// way round, as when every Element is tried against every other.
class RawIndex {
 public:
  RawIndex(const TTNEntityArray& raw, const std::vector<Capsule>& caps, OffsetStats* stats)
      : raw_(raw), caps_(caps), stats_(stats), large_(raw.size(), 0), slot_(raw.size(), 0) {
    std::vector<double> extents;
    extents.reserve(raw.size());
    for (const TTNEntity& e : raw) {
      const double x = Extent(e.Bounds());
      if (std::isfinite(x)) extents.push_back(x);
    }
    double usual = 0.0;
    if (!extents.empty()) {
      const auto mid = extents.begin() + static_cast<std::ptrdiff_t>(extents.size() / 2);
      std::nth_element(extents.begin(), mid, extents.end());
      usual = *mid;
    }
    std::vector<Box> usualBoxes, largeBoxes;
    usualBoxes.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
      const Box b = raw[i].Bounds();
      // A box of NaN is never large: no comparison accepts it.
      large_[i] = Extent(b) > kLargeFactor * usual ? 1 : 0;
      std::vector<int32_t>& ids = large_[i] ? largeIds_ : usualIds_;
      slot_[i] = static_cast<int32_t>(ids.size());
      ids.push_back(static_cast<int32_t>(i));
      (large_[i] ? largeBoxes : usualBoxes).push_back(b);
    }
    usualTree_.Build(std::move(usualBoxes));
    largeTree_.Build(std::move(largeBoxes));
    Prepare();
  }

  // Appends the parameters on raw[i] of its meetings with the rest of the
  // chain.
  void Meetings(size_t i, std::vector<double>& params) const {
    if (large_[i]) {
      const std::vector<double>& own = largeParams_[static_cast<size_t>(slot_[i])];
      params.insert(params.end(), own.begin(), own.end());
      return;
    }
    const TTNEntity& e = raw_[i];
    const Box eb = e.Bounds();
    usualTree_.Query(Widened(eb, 2 * kBoxMargin), [&](int32_t s) {
      const size_t k = RawOf(usualIds_, s);
      if (k == i) return;
      Try(i, k, params);
    });
    const auto [from, to] = std::equal_range(handed_.begin(), handed_.end(),
                                             static_cast<int32_t>(i), Handed::ByElement{});
    for (auto it = from; it != to; ++it) params.push_back(it->Param);
  }

  // Calls visit(k) for the raw Elements whose box meets the box b widened
  // by 0.0005 twice over.
  template <class Visit>
  void ForNear(const Box& b, Visit&& visit) const {
    const Box near = Widened(b, 2 * kBoxMargin);
    usualTree_.Query(near, [&](int32_t s) { visit(RawOf(usualIds_, s)); });
    largeTree_.Query(near, [&](int32_t s) { visit(RawOf(largeIds_, s)); });
  }

 private:
  struct Handed {
    int32_t Element;
    double Param;
    struct ByElement {
      bool operator()(const Handed& a, int32_t b) const { return a.Element < b; }
      bool operator()(int32_t a, const Handed& b) const { return a < b.Element; }
      bool operator()(const Handed& a, const Handed& b) const { return a.Element < b.Element; }
    };
  };

  // The raw index of item s of the tree over `ids`.
  static size_t RawOf(const std::vector<int32_t>& ids, int32_t s) {
    return static_cast<size_t>(ids[static_cast<size_t>(s)]);
  }

  // IntersectElements(raw[i], raw[k]) when their boxes overlap and they
  // may meet; its parameters on raw[i] go to params.
  void Try(size_t i, size_t k, std::vector<double>& params) const {
    const TTNEntity& e = raw_[i];
    const TTNEntity& other = raw_[k];
    if (!BoxesOverlap(e.Bounds(), other.Bounds(), kBoxMargin)) return;
    if (stats_) ++stats_->CandidatePairs;
    if (FarApart(caps_[i], caps_[k])) return;
    const IntersectResult hit = IntersectElements(e, other);
    if (stats_) ++stats_->IntersectionTests;
    for (int j = 0; j < hit.Count; ++j) params.push_back(hit.ParamA[j]);
  }

  // Every large Element against everything near its circle or line.
  void Prepare() {
    largeParams_.resize(largeIds_.size());
    std::vector<double> theirs;
    for (size_t s = 0; s < largeIds_.size(); ++s) {
      const size_t i = static_cast<size_t>(largeIds_[s]);
      const Capsule& c = caps_[i];
      const Box near = Widened(raw_[i].Bounds(), 2 * kBoxMargin);
      const auto may = [&c](const Box& b) { return !BoxOff(c, b); };
      std::vector<double>& own = largeParams_[s];
      usualTree_.QueryWhere(near, may, [&](int32_t u) {
        const size_t k = RawOf(usualIds_, u);
        Try(i, k, own);
        theirs.clear();
        Try(k, i, theirs);
        for (const double t : theirs) handed_.push_back({static_cast<int32_t>(k), t});
      });
      largeTree_.QueryWhere(near, may, [&](int32_t l) {
        const size_t k = RawOf(largeIds_, l);
        if (k != i) Try(i, k, own);
      });
    }
    std::sort(handed_.begin(), handed_.end(), Handed::ByElement{});
  }

  const TTNEntityArray& raw_;
  const std::vector<Capsule>& caps_;
  OffsetStats* stats_;
  std::vector<uint8_t> large_;
  std::vector<int32_t> slot_;  // position in usualIds_ or largeIds_
  std::vector<int32_t> usualIds_, largeIds_;
  BoxTree usualTree_, largeTree_;
  std::vector<std::vector<double>> largeParams_;
  std::vector<Handed> handed_;  // parameters on usual Elements found by large ones
};

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

  std::vector<Capsule> rawCaps;
  rawCaps.reserve(raw.size());
  for (const TTNEntity& e : raw) rawCaps.push_back(CapsuleOf(e));
  const RawIndex rawIndex(raw, rawCaps, stats);
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
    rawIndex.Meetings(i, params);
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
      rawIndex.ForNear(ob, [&](size_t k) {
        const TTNEntity& other = raw[k];
        if (!BoxesOverlap(ob, other.Bounds(), kBoxMargin)) return;
        if (stats) ++stats->CandidatePairs;
        if (FarApart(oc, rawCaps[k])) return;
        const IntersectResult hit = IntersectElements(o, other);
        if (stats) ++stats->IntersectionTests;
        for (int j = 0; j < hit.Count; ++j) params.push_back(hit.ParamA[j]);
      });
      trim.Split(o, params, extraMode);
    }
  }
}

}  // namespace tarnak
