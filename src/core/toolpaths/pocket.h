// Pocket toolpaths: clearing the area inside each selected Boundary down to
// its depth, level by level, around the Islands standing in it.
//
// Each level starts from its first passes: the Boundary offset inwards and
// the Islands offset outwards by the tool radius plus stock, trimmed against
// each other. Loops that contain part of the Boundary's offset (or that run
// the Boundary's way round) are the main loops, the outlines of the area the
// tool centre may cover; the loops that run the other way are the outlines of
// free-standing Islands, the obstacle loops. The main loops are then offset
// inwards again and again by the step-over until nothing is left; where a new
// loop runs into an obstacle loop the two are merged, so that the pass wraps
// round the Island. The passes are ordered by nearness, linked (fed across at
// depth when the way is short and stays inside the area, lifted or fully
// retracted otherwise) and appended as Toolpaths.
//
// A finish pass with a second tool can then cut the Island walls, the
// Boundary walls and the floor, and Island tops below the surface are
// pocketed down to their own depth.
//
// Closed Regions are expected in the direction of the options' Dir (as the
// importer stores them); outlines stored the other way are turned round for
// the offsets, so that the Boundary is always offset inwards and the Islands
// outwards.
#pragma once

#include <span>

#include "base/cancel.h"
#include "geometry/geometry.h"
#include "base/options.h"
#include "toolpaths/machining_groups.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/offset/offset.h"
#include "toolpaths/toolpath_model.h"

namespace tarnak {

// Builds the pocket groups of the selected Regions into `out` (replaced).
//  - The handled mark (PocketFlag) of every selected closed Region is
//    cleared first.
//  - Each selected closed Region with a depth above 0 and Owner 0, in list
//    order, gets a master entry with levels zStep, 2 zStep, ... down to its
//    depth less the bottom allowance (the last level clamped to it). A
//    zStep of 0 (or less) is replaced by the depth of the Region at hand,
//    and written back, so that it holds for the following Regions and for
//    later runs. A Region whose bottom is not below the surface gets no
//    entry: there is nothing to remove.
//  - Each level gets the Region's distance at its depth (its wall profile,
//    or `distance`), and the Islands present: selected closed Islands lying
//    in the Region (through the Parent chain, or by Owner) whose top (depth
//    less the allowance) lies above the level; Islands lying inside another
//    Island of the list are left out (they stand on it); each Island gets
//    its own distance.
//  - With `markIslandTops` (rough pass), an Island whose top lies on a level
//    (within 1e-8) is marked handled: that level clears its top (unless it
//    stands in an Island present at that level).
// Returns false when a Region was left out because its Z step would give
// more than kMaxLevelsPerRegion levels. `noWallMark`, when given, is
// cleared when a Region of the job uses a wall profile.
bool BuildPocketLevels(TTNRegionArray& regions, const TTNRegionArray& profiles,
                       double bottomAllowance, double distance, double& zStep, bool markIslandTops,
                       TTNMasterRegionArray& out, bool* noWallMark = nullptr);

// The first passes of a level: the level's Region offset inwards by the
// level's distance, its Islands outwards by their own distances (the side
// code 1 - `dir`, with the Region turned to run `dir`, the options' Dir as
// 0/1, and the Islands the other way), trimmed so that every piece stays
// clear of the Region and of every Island, and chained into closed loops
// (simplified with `tolerances`, depth = the level's Z, Parent 1 for main
// loops and 0 for obstacle loops). Loops not inside the Region (from an
// Island standing outside it) are left out. Main loops go to `mainLoops`
// (selected), obstacle loops to `obstacleLoops` (not selected). Returns
// false, with both lists empty, when an Island's offset fails or no main
// loop results.
bool FirstPass(const CancelToken& cancel, const TTNRegionArray& regions,
               const TTNMachineRegion& level, int dir, const TTNArcTolerances& tolerances,
               TTNRegionArray& mainLoops, TTNRegionArray& obstacleLoops,
               OffsetStats* stats = nullptr);

// The step-over loop: walks `passes` from the first entry to its end (new
// loops are appended as they are made); every selected pass is offset
// inwards by `step`, trimmed against the pass (at `step`), the level's
// Islands and the obstacle loops (which the new loops merge with where they
// run into them), chained, simplified and appended with the level's depth.
//  - A processed pass is deselected; a new loop whose box is not inside its
//    parent's box shrunk by step / 4 is not offset further.
//  - New loops that are no inward offset are dropped: outside the parent's
//    box, or without width (the area has vanished there).
//  - A new loop running against `dir` (the way Islands run) is not offset
//    further; made only of obstacle pieces it is dropped, being an obstacle
//    loop.
//  - With `cutReachedObstacles`, every obstacle loop a new loop ran into is
//    appended once in full, not to be offset: the merged loop follows only
//    the part of it a step inside the parent, and the rest of the Island's
//    wall would keep a sliver.
// A step that is not above 0 does nothing. Looks for Escape through
// cancel.Poll() and stops once the token is stopped. Returns the number of
// loops added.
int StepOver(const CancelToken& cancel, const TTNRegionArray& regions,
             const TTNMachineRegion& level, int dir, double step,
             const TTNArcTolerances& tolerances, TTNRegionArray& passes,
             TTNRegionArray& obstacleLoops, bool cutReachedObstacles = true,
             OffsetStats* stats = nullptr);

// Orders the passes of a level: from the lower-left corner of all their
// Elements' boxes, the pass with the Element nearest to the current point
// (nearest-Element rules of the selection; on equal distances the later
// Element) is taken next, its Element list rotated to start at that
// Element, and the point moves to that Element's start. The first
// `firstCount` entries are the first passes: their Parent field is set to 1
// (0 for the others) before ordering and travels with them; after ordering
// only they are selected. With `pocketDir` the order is reversed (inside
// outwards).
void OrderPasses(TTNRegionArray& passes, int firstCount, bool pocketDir);

// Sets LinkKind and RapidLevel on the ordered passes of a level.
// `levelLoops` are the outlines of the area the tool centre may cover at
// this level: the main loops (Parent 1) and the obstacle loops (Parent 0).
// `z` is the depth of the level cut before (0 for the first); heights are
// depths, negative above the surface.
//  - A link line is tested: longer than 3 x the rough radius it asks for a
//    lift to z - rapid height (-rapid height when z <= 0), else for no
//    rise; crossing a main loop between 1 % and 99 % of its length, an
//    obstacle loop between 1 % and its end, or running outside the area
//    (its middle outside), it asks for a full retract (-rapid height).
//  - The first pass: LinkKind 1, at the test's height from the tool
//    position, z - rapid height when the test asks for no rise; a full
//    retract when the tool position is not a number (not known).
//  - Each following pass from the end of the one before: LinkKind 1 at the
//    test's height, or LinkKind 0 (fed across at depth) when it asks for
//    nothing.
void LinkPocketPasses(std::span<TTNRegion> passes, const TTNRegionArray& levelLoops,
                      const TTNMachiningParameters& params, Point2 toolPosition, double z);

// The offset engine trims every pocket pass in its pocket mode, keeping
// all pieces clear of the Islands.
//
// The rough pass. Empties the toolpath list; cuts nothing more when the
// rough XY step is not above 0 (or the rough radius is below 0); otherwise
// pockets every group level by level with the rough tool (distance rough
// radius + stock, rough Z step, bottom stock as bottom allowance), then the
// tops of the Islands that no level cleared, then the Regions lying in an
// Island of the group. Escape (the token stopped, looked for through
// cancel.Poll()) stops it, keeping what was appended. Progress counts the
// groups finished. Returns false when a Region was left out for too many
// levels.
bool PocketRough(const CancelToken& cancel, TTNRegionArray& regions, TTNOutRegionArray& toolpaths,
                 TTNMachiningParameters& params, const ProgramOptions& options,
                 const TTNRegionArray& profiles, const TTNArcTolerances& tolerances,
                 OffsetStats* stats = nullptr);

// The finish pass, with the finish tool at the finish radius (no stock),
// finish Z step, no bottom allowance; runs when the finish mode is 1..3 and
// the finish radius is above 0. Mode 1 cuts the Island contours, mode 2 the
// Boundary contours too (unless the rough pass already cut exactly them: no
// stock, the same radius, no wall profile), mode 3 also clears the floor of
// the bottom level again, and the Island tops, with the finish XY step when
// stock was left. Contours get entry and exit moves (added at the end over
// the whole list). Returns false as PocketRough does.
bool PocketFinish(const CancelToken& cancel, TTNRegionArray& regions, TTNOutRegionArray& toolpaths,
                  TTNMachiningParameters& params, const ProgramOptions& options,
                  const TTNRegionArray& profiles, const TTNArcTolerances& tolerances,
                  OffsetStats* stats = nullptr);

}  // namespace tarnak
