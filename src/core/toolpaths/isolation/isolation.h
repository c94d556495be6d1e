// Circuit-board isolation routing: the tool runs around every copper
// feature of a board (the closed Regions traced from Gerber artwork) so that
// each feature is cut free of its neighbours.
//
// The copper outlines are the Islands of the board outline (as the select
// all as islands command marks them). Each one is offset by the tool radius
// to the side away from the copper: outwards for the outer edge of a pad or
// track, into the hole for the inner edge of a ring or of a clearance in a
// pour (an outline inside an odd number of others). The offsets of all of
// them, and of the board outline, are cut where they cross, and the pieces
// that come closer than the radius to the board outline or to any copper
// are dropped, so that features closer together than one tool diameter get
// one merged outline around both. The surviving pieces are chained into
// closed loops: the loops running the outlines' way round first, then the
// others (in a space closed in by merged features). A loop of the board
// outline's own pieces alone is not cut.
//
// Wider isolation takes more passes: pass k runs at
//     radius + (k - 1) x diameter x (1 - overlap)
// from the copper, each trimmed at its own distance, inner passes first.
#pragma once

#include "base/cancel.h"
#include "base/options.h"
#include "geometry/geometry.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/offset/offset.h"
#include "toolpaths/toolpath_model.h"

namespace tarnak {

// Most passes one routing makes; more is a typing slip.
inline constexpr int32_t kMaxIsolationPasses = 20;

// The distance from the copper of pass `pass` (1 for the first) with the
// rough tool and the parameters' overlap.
double IsolationPassDistance(const TTNMachiningParameters& params, int pass);

// The island offset of routing: every Element offset by `distance` to side
// `side` (0 right, 1 left of its travel), walking the closed chain as
// OffsetRegion does, but with the joints decided by the angle between the
// source Elements rather than by whether the offsets meet:
//  - where the outline turns towards the offset side (an angle up to pi on
//    that side) the two offsets are cut at their meeting point; offsets that
//    are too short to meet are joined by a straight line between their ends,
//    which lies wholly within the distance of the corner and is trimmed
//    away with it;
//  - where it turns away, two lines are extended to the meeting point of
//    their infinite lines (a sharp corner); where an arc takes part, or the
//    lines are parallel, a corner arc about the source corner closes the gap.
// So the raw chain is closed, as the trimming expects. An offset is emitted
// only when longer than 0.000125. Every emitted Element gets `ownerTag`.
// Returns false when no Element could be offset (or on cancellation).
bool OffsetIslandByAngle(const CancelToken& cancel, const TTNRegion& island, int side,
                         double distance, int32_t ownerTag, TTNEntityArray& raw);

// Routes the board whose outline is Region `boundary` (the index the
// select all as islands command recorded) into `toolpaths` (replaced).
//  - With fewer than two Regions, or no valid boundary, nothing is routed.
//  - When the boundary's box does not hold every Island's (a copper layer
//    without the board's outline, where the all-as-islands command took a
//    copper feature for it), the boundary is routed as copper too, inside a
//    frame well clear of the board.
//  - Every selected closed Island (Owner not 0) takes the parameters' depth;
//    each is offset by the pass distance to `side` (the options' Dir: the
//    side outside an outline that runs the Dir way round), a hole in the
//    copper to the other side.
//  - An Island whose offset fails (nothing of it long enough to offset) is
//    passed over.
//  - Loops are simplified with `tolerances`, linked from (0, 0) and
//    appended with the rough tool, pass by pass, each pass's outer loops
//    before its inner ones.
// Escape (cancel.Poll() between Islands) stops the routing and leaves the
// toolpath list empty. Progress counts the Islands offset. Returns the
// number of Toolpaths made.
int RoutePCB(const CancelToken& cancel, TTNRegionArray& regions, TTNOutRegionArray& toolpaths,
             const TTNMachiningParameters& params, int side, const TTNArcTolerances& tolerances,
             int boundary, OffsetStats* stats = nullptr);

}  // namespace tarnak
