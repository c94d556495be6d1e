// Selection state kept in the Region records themselves.
#pragma once

#include "geometry/geometry.h"

namespace tarnak {

// Resets Selected, Owner, Depth and the four selection work values; leaves
// Parent, Level, Open and the Elements alone.
void ClearRegionSelection(TTNRegion& r);
// True when some Region from index 1 on is selected.
bool AnyRegionSelected(const TTNRegionArray& list);

}  // namespace tarnak
