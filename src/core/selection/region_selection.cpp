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

void RenumberRegionLinks(TTNRegionArray& list, std::span<const int32_t> newIndex) {
  const auto renumbered = [&](int32_t old) -> int32_t {
    if (old <= 0 || static_cast<std::size_t>(old) >= newIndex.size()) return 0;
    return newIndex[static_cast<std::size_t>(old)];
  };
  for (std::size_t i = 0; i < list.size(); ++i) {
    TTNRegion& r = list[i];
    r.Owner = renumbered(r.Owner);
    if (i > 0) r.Parent = renumbered(r.Parent);
  }
}

}  // namespace tarnak
