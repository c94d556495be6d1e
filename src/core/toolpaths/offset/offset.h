// The offset engine: the path of the tool centre at a distance to the right
// or left of an outline.
//
// It works in three separate stages, which the strategies call in turn:
//  1. OffsetRegion offsets every Element of a Region and joins neighbouring
//     offsets (trimmed at concave corners, bridged by corner arcs at convex
//     ones) into one raw chain;
//  2. TrimRawChain cuts the raw chain wherever it crosses itself or the
//     other loops of the machining level, and keeps only the pieces that stay
//     the offset distance clear of the source outline (and of the islands);
//  3. ChainPieces joins the surviving pieces back into Regions.
// Everything is lines and circular arcs; nothing is approximated by
// polygons. Arithmetic is done in long double, results are stored as double.
//
// Every stage first looks at the cancel token: once it is stopped (the user
// pressed Escape), the stage returns at once with an empty result.
#pragma once

#include <cstdint>
#include <vector>

#include "base/cancel.h"
#include "geometry/box_tree.h"
#include "geometry/geometry.h"
#include "geometry/intersect.h"

namespace tarnak {

// Side codes: the offset lies to the right (0) or the left (1) of the
// direction of travel.
inline constexpr int kOffsetRight = 0;
inline constexpr int kOffsetLeft = 1;

// One island standing in a machining level: the index of its Region in the
// document's Region list and the offset distance that applies to it (which
// differs from the boundary's when walls are profiled).
struct TTNIsland {
  int32_t Region = 0;
  double Distance = 0.0;
};
using TTNIslandArray = std::vector<TTNIsland>;

// Work counters, for benchmarks and tests. Pass one in to have it filled;
// the counts are added to what it already holds.
struct OffsetStats {
  int64_t CandidatePairs = 0;     // Element pairs looked at in trimming (boxes overlap, not
                                  // ruled out by a large Element's circle or line)
  int64_t IntersectionTests = 0;  // IntersectElements calls
  int64_t ClearanceTests = 0;     // points tested for clearance
  int64_t DistanceTests = 0;      // point/Element distances computed for them
};

// The Element moved sideways by `distance` (side 0 right, 1 left of its
// travel). The copy keeps the owner tag and has Mark cleared. `ok` is false
// when the offset collapses: a line shorter than 1.25e-4 becomes a
// zero-length line at the middle of its offset, a partial arc offset inwards
// past radius 0.000125 becomes a zero-length line where the tool touches both
// its end points; a line shorter than 1e-8 and a collapsing full circle are
// returned unmoved.
TTNEntity OffsetElement(const TTNEntity& element, int side, double distance, bool& ok);

// Appends the raw offset chain of the Region to `raw`. Distance 0 appends
// the Region's own Elements. Neighbouring offsets that meet are trimmed to
// their meeting point; where they leave a gap (a convex corner, or either
// side of an Element whose offset collapsed to a point) a corner arc about
// the source corner bridges it, when it sweeps more than 1e-8 and at most
// pi + 0.01. Lines shorter than 1e-8 are points and are passed over. With
// `tagIslands` every appended Element gets the Region's Owner as its owner
// tag. Returns false when no Element of the Region could be offset (or on
// cancellation).
bool OffsetRegion(const CancelToken& cancel, const TTNRegion& region, int side, double distance,
                  bool tagIslands, TTNEntityArray& raw, OffsetStats* stats = nullptr);

// True when `point` lies at least distance - 5e-5 from every Element of the
// Region whose box, widened by distance + 0.0005, contains the point. A
// distance below 5e-5 makes every point clear.
bool ClearOf(const TTNRegion& region, Point2 point, double distance);

// ClearOf with an index over the Region's Elements, for many points against
// one Region. Gives the same answers as ClearOf. The Region must outlive the
// index and keep its Elements unchanged.
class ClearanceIndex {
 public:
  explicit ClearanceIndex(const TTNRegion& region);
  bool Clear(Point2 point, double distance, OffsetStats* stats = nullptr) const;

 private:
  // Per Element a segment and a radius that hold all of it, for a cheap
  // lower bound of its distance.
  struct Hull {
    double Ax, Ay, Bx, By, R;
  };
  const TTNRegion* region_;
  BoxTree tree_;
  std::vector<Hull> hulls_;
};

// Cuts the raw chain into the pieces of the finished offset.
//  - documentRegions: the list the island indices refer to;
//  - extraRegions: other loops of the level (the pocket's obstacle loops)
//    that the new pass must merge with; their Selected flags end up set on
//    the ones the raw chain ran into, and the Marks of their Elements on the
//    Elements it ran into;
//  - islands: the level's islands, each with its own distance;
//  - sourceRegion, distance: what the pieces must stay clear of;
//  - mode: SourceOnly tests pieces against the source only, WithIslands
//    against the islands too (as do raw Elements that ran into an extra
//    Region), Pocket as WithIslands and keeps the pieces of the extra
//    Regions clear of the islands as well (pocket step-over).
// A full circle that nothing cuts (or only touches, at one point) is kept
// whole, or with islands about only when its start point is clear of them.
// `pieces` is replaced by the result. Marks of raw Elements that produced
// nothing are set.
enum class TrimMode { SourceOnly, WithIslands, Pocket };

void TrimRawChain(const CancelToken& cancel, const TTNRegionArray& documentRegions,
                  TTNEntityArray& raw, TTNRegionArray& extraRegions, const TTNIslandArray& islands,
                  const TTNRegion& sourceRegion, double distance, TrimMode mode,
                  TTNEntityArray& pieces, OffsetStats* stats = nullptr);

// Chains pieces whose ends meet (within 0.00025 in x and y) into Regions and
// appends them to `out`: closed ones with Selected set, unclosed ones only
// when `allowOpen`. A piece that leads to a dead end is dropped when another
// way on exists from the end before it; otherwise the chain ends with it.
// The pieces are moved so that each ends exactly where the next starts. Every Region gets `depth` and its box. Pieces with an
// owner tag do not start a chain unless `chainTagged` (pocket chaining,
// which also joins the loops around islands). The Marks of the pieces are
// used as the consumed flag. Returns the number of Regions added.
int ChainPieces(const CancelToken& cancel, TTNEntityArray& pieces, bool allowOpen, double depth,
                TTNRegionArray& out, bool chainTagged = false);

}  // namespace tarnak
