// Selection state kept in the Region records themselves.
#pragma once

#include <cstdint>
#include <span>

#include "geometry/geometry.h"

namespace tarnak {

// Resets Selected, Owner, Depth and the four selection work values; leaves
// Parent, Level, Open and the Elements alone.
void ClearRegionSelection(TTNRegion& r);
// True when some Region from index 1 on is selected.
bool AnyRegionSelected(const TTNRegionArray& list);

// The one renumbering of Region links, for every command that reorders,
// inserts or removes Regions. `newIndex[old]` is where the Region that was
// at index `old` now stands (0: removed); the list is already in its new
// order. Every Parent and Owner, and slot 0's Owner (the Boundary of the
// all-as-islands command), is rewritten to name the same Region as before;
// a link to a removed Region, or to an index outside `newIndex`, becomes 0.
void RenumberRegionLinks(TTNRegionArray& list, std::span<const int32_t> newIndex);

}  // namespace tarnak
