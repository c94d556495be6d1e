// Contour (profile) toolpaths: the tool runs along the selected Regions,
// open or closed, with its centre on the line or offset to the right or left
// by the tool radius plus stock, level by level down to each Region's depth,
// optionally followed by a finish pass with a second tool, with entry and
// exit moves.
//
// Linking, path simplification and lead moves are shared with pocketing.
#pragma once

#include <span>

#include "base/cancel.h"
#include "geometry/geometry.h"
#include "base/options.h"
#include "toolpaths/machining_groups.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/toolpath_model.h"

namespace tarnak {

// The compensation code of the parameters; codes outside 0..3 are taken as
// none.
int CompensationOf(const TTNMachiningParameters& params);

// The rough pass. Replaces the toolpath list with the rough contours of the
// selected Regions, cut with the rough tool.
//  - Compensation none: the tool radius of both tools is set to 0 in
//    `params`, and the rough stock is moved into a bottom allowance (left on
//    the floor instead of on the wall).
//  - Right/left: every selected Region is cut by itself (islands detached),
//    on the right (left) of its direction of travel.
//  - Cutout: every selected Region at an odd nesting Level becomes an island
//    of its enclosing Region and takes that Region's depth when its own is 0
//    or deeper; the islands are cut first, then the Boundary. Closed Regions
//    stored in the `Dir` direction of the options are cut outside, their
//    islands inside; open Regions are not cut.
// Escape (the token stopped, looked for through cancel.Poll() before each
// level) stops the pass; what was appended so far stays. Progress counts
// the selected Regions (groups) finished. Entry and exit moves are added at
// the end. Returns false when a Region was left out because its Z step would
// give more than kMaxLevelsPerRegion levels.
bool ContourRough(const CancelToken& cancel, TTNRegionArray& regions, TTNOutRegionArray& toolpaths,
                  TTNMachiningParameters& params, const ProgramOptions& options,
                  const TTNRegionArray& profiles, const TTNArcTolerances& tolerances);

// The finish pass: runs when the finish mode is at least 1 and the
// compensation is not cutout. Each selected Region by itself at the finish
// radius (no stock), finish Z step, on the rough pass's side, with the
// finish tool; appended after the rough paths, all with lead moves. Returns
// false as ContourRough does.
bool ContourFinish(const CancelToken& cancel, TTNRegionArray& regions, TTNOutRegionArray& toolpaths,
                   TTNMachiningParameters& params, const ProgramOptions& options,
                   const TTNRegionArray& profiles, const TTNArcTolerances& tolerances);

// Sets LinkKind and RapidLevel on Regions about to be cut in this order,
// with the tool standing at `toolPosition` (the end of the last path cut;
// not a number when nothing says where the tool is, as at the start of a
// program, so that no path counts as already in place):
//  - the first Region: LinkKind 3 (already in place) with RapidLevel = its
//    depth when it starts within 0.0001 of the tool, else LinkKind 1 with
//    RapidLevel = minus the rapid height;
//  - each following Region: LinkKind 0 (feed on at depth) with RapidLevel =
//    the previous Region's depth when it starts within 0.0001 of the
//    previous Region's end, else LinkKind 1 with minus the rapid height.
void LinkPaths(std::span<TTNRegion> regions, const TTNMachiningParameters& params,
               Point2 toolPosition);

// Simplifies a path of at least two Elements: arcs shorter than the minimum
// arc length, or of a radius below the minimum arc radius, become the lines
// between their ends (not when both minimums are 0; a full circle is never
// turned into a line); then runs of lines are merged: a line absorbs the
// following lines whose end points lie within the tangent deviation of its
// infinite extension, as long as they go on forwards, and is extended to
// the last one absorbed. Arcs are never absorbed. The caller skips this
// while an abort is pending.
void SimplifyPath(TTNRegion& region, const TTNArcTolerances& tolerances);

// Adds entry and exit moves to every Toolpath whose lead-move flag is set;
// kinds 1 arc, 2 perpendicular, 3 tangent; a kind of 0 or a length of 0
// leaves the move absent. The side the moves come from follows the side
// option `dir` (the options' Dir as 0/1), the compensation and the
// Toolpath's island flag, so that they approach from the side the tool is
// offset to. An arc lead is a quarter circle of the length as its radius,
// tangent to the path at its start (end).
void AddLeadMoves(TTNOutRegionArray& toolpaths, int entryKind, int exitKind, int dir,
                  int compensation, double exitLength, double entryLength);

}  // namespace tarnak
