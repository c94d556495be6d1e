// The Edit menu's changes to the Region list: delete, reverse, choose the
// first Element, explode, join, move/scale/rotate and depths.
//
// None of them has an undo, so each must leave a list the strategies can
// trust. Every function that removes, splits or reorders Regions ends with
// RenumberRegionLinks, so that Parent and Owner (and slot 0's Owner) still
// name the Regions they named before, or 0 when that Region is gone.
// Lists keep slot 0 in front; Regions are walked from index 1.
#pragma once

#include <cstdint>
#include <vector>

#include "base/cancel.h"
#include "geometry/geometry.h"

namespace tarnak {

// ---- one Region

// The list becomes Elements k .. last followed by 0 .. k-1; the Elements
// and Direction are not changed. False (nothing done) for an open Region or
// k outside 1 .. count-1.
bool SetFirstElement(TTNRegion& r, int k);
// The Element of `r` nearest to p, the first of equal distances winning:
// perpendicular or radial where p projects onto the Element, otherwise to
// its start point. -1 for a Region without Elements.
int NearestElement(const TTNRegion& r, Point2 p);

// Every coordinate multiplied by f about (0, 0); nothing for f = 0 or 1.
// Element boxes are recomputed, the Region's box is left to the caller.
void ScaleRegion(TTNRegion& r, double f);
// Every Element turned counter-clockwise by `angle` (radians) about c;
// nothing for angle 0. Arc angles are brought back into [0, 2pi]. Element
// boxes are recomputed, the Region's box is left to the caller.
void RotateRegion(TTNRegion& r, Point2 c, double angle);
// Every Element moved by (dx, dy); all boxes recomputed.
void TranslateRegion(TTNRegion& r, double dx, double dy);

// ---- the list

// The box of the selected Regions (from index 1); false when none is
// selected.
bool SelectionBox(const TTNRegionArray& list, Box& box);

// Drops the selected Regions (slot 0 kept, its Selected cleared).
// Returns how many were dropped.
int DeleteSelectedRegions(TTNRegionArray& list);
// RegionReverse on every selected Region; returns how many.
int ReverseSelectedRegions(TTNRegionArray& list);
// Every selected Region of more than one Element keeps its first Element;
// the others become new one-Element open Regions at the end, unselected.
// The exploded Regions become open, unselected Boundaries (Owner 0).
// Returns the number of new Regions.
int ExplodeRegions(TTNRegionArray& list);
// The Elements of the selected Regions chained again (tolerance, closed
// direction 1 = clockwise); the list becomes slot 0, the chains, then the
// unselected Regions, every Owner 0. False when stopped (list unchanged).
bool JoinSelectedRegions(const CancelToken& cancel, TTNRegionArray& list, int closedDirection,
                         double tolerance);

// The move window's Apply on Regions: every selected Region scaled by
// `scale` and turned by `angle` (radians) about `centre`, then the whole
// selection moved so that its box's lower-left corner lands on `lowerLeft`.
// False when nothing is selected.
bool MoveScaleRotateSelection(TTNRegionArray& list, Point2 lowerLeft, double scale, double angle,
                              Point2 centre);

// Which Regions the depth window sets.
enum class DepthTarget { None, Boundaries, Islands, Single };
// Sets Depth := d on the selected Boundaries (Owner 0), the selected
// Islands (Owner != 0) or Region `single` (selected or not, when it exists),
// then decides each selected Region's role from its depth: shallower than
// its Parent it is an Island of it (Owner := Parent), otherwise a Boundary
// (Owner 0). A Parent outside the list counts as the surface (depth 0).
void ApplyDepths(TTNRegionArray& list, DepthTarget target, double d, int single);

}  // namespace tarnak
