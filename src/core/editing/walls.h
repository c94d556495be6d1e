// Wall profiles: a Region may carry the number of a profile from the
// profile library and a wall delta. The profile's outline, stretched to the
// Region's wall height and to the delta sideways, tells how much further
// from the outline the tool must stay at each depth, so that a wall can be
// drafted, rounded or stepped instead of vertical.
#pragma once

#include "geometry/geometry.h"

namespace tarnak {

// The offset distance for Region `i` of `regions` at depth `z` (positive
// downwards): `baseDistance` plus the profile's sideways step at that depth,
// scaled so that the profile's full width is the Region's wall delta.
//
// `profiles` is the profile library, laid out like the Region list: slot 0
// is reserved and profile k is `profiles[k]`. A Region without a profile
// (number 0), with a number beyond the library, or whose profile cannot be
// read at that depth (no Element at that height, a vertical or horizontal
// line, a wall of no height, a profile of no width or height) gets
// `baseDistance` unchanged.
//
// The profile's bottom stands at the floor of the wall and its top at the
// top of the wall: for a Boundary (Parent = itself) the wall runs from the
// surface (z = 0) down to its depth; for an Island it runs from the island's
// top (its depth) down to its Parent's depth.
//
// When the Region uses a profile from the library and `noWallMark` is
// given, *noWallMark is cleared: the caller's record that no Region of the
// job uses a wall profile.
double WallDistance(const TTNRegionArray& regions, int i, double z, const TTNRegionArray& profiles,
                    double baseDistance, bool* noWallMark = nullptr);

}  // namespace tarnak
