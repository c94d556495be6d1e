// Combine: overlapping selected closed Regions merged into the outline of
// their union.
//
// Two crossing Regions are merged by walking the outline: start on A at a
// point that is surely outside B (on the side of the pair's box that A
// reaches first), follow A until it crosses B, follow B until it crosses A,
// and so on until the walk is back on A's start. The walk is checked by its
// result: the union's box must be the union of the two boxes, else the pair
// stays two Regions. Holes of the union (where A and B enclose a space
// between them) are not kept; the outline is the outer one.
//
// A pass merges each Region with at most one other; passes are repeated
// until one merges nothing. Candidates of a pass come from a box tree of the
// Regions, so that a large drawing does not compare every pair.
#pragma once

#include "base/cancel.h"
#include "geometry/geometry.h"

namespace tarnak {

// Points of a box side counted as on it (the too-short Element tolerance).
inline constexpr double kSideTolerance = 0.00025;

// A full circle (a Region of one Element) as two half circles of the same
// centre and radius; other Regions are left as they are.
void SplitCircle(TTNRegion& r);

// The Element of A where a walk around A and B may start: the first one
// touching the side of A's box that lies outermost (left when A reaches
// furthest left, else bottom, else right, else top). -1 when none does.
int SideStartElement(const TTNRegion& a, const TTNRegion& b);

// The outer outline of two crossing closed Regions, starting on A, with kB
// the index of an Element of B that crosses A. B is walked in A's
// direction. False (out untouched) when there is no start Element, the
// walk does not close within its step limit, or its box is not the union of
// the two boxes.
bool UnionWalk(const TTNRegion& a, const TTNRegion& b, int kB, TTNRegion& out);

// One pass over the list (slot 0 kept): Regions sorted by MinX, each
// selected closed Region merged with the first later one it crosses. The
// list becomes slot 0, the unselected and open Regions, then the merged and
// unmerged selected ones. Parent and Owner links follow their Regions; a
// link to a merged Region names the union. Returns the number of merges.
int CombinePass(TTNRegionArray& list);

// Passes until one merges nothing (at most the Region count + 1); slot 0's
// Owner is cleared. Returns the number of Regions before; false in
// `stopped` when the cancel token stopped it (what was merged stays).
int CombineSelected(const CancelToken& cancel, TTNRegionArray& list, bool* stopped = nullptr);

}  // namespace tarnak
