#include "selection/region_selection.h"

#include <cstddef>

namespace tarnak {

void ClearRegionSelection(TTNRegion& r) {
  r.Selected = 0;
  r.Owner = 0;
  r.Depth = 0.0;
  r.SelValue1 = 0;
  r.SelValue2 = 0;
  r.WallProfile = 0;
  r.WallDelta = 0.0f;
}

bool AnyRegionSelected(const TTNRegionArray& list) {
  for (std::size_t i = 1; i < list.size(); ++i)
    if (list[i].Selected == 1) return true;
  return false;
}

}  // namespace tarnak
