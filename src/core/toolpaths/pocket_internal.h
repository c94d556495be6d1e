// Helpers shared by the pocket units; not part of the public interface.
#pragma once

#include <vector>

#include "geometry/geometry.h"
#include "toolpaths/machining_groups.h"

namespace tarnak::pocket_detail {

// Two depths closer than this are the same level: the running sum of Z
// steps carries rounding, and an Island top "on" a level must be found.
inline constexpr double kSameDepth = 1e-8;

bool ValidIndex(const TTNRegionArray& regions, int i);

// Which selected closed Regions lie inside which Region. Region j lies
// inside Region t when t is j's Owner, or when the chain of enclosing
// Regions (Parent) leads from j up to t before it reaches a Region whose
// Level is not deeper than t's. Found once for a job, as the levels and
// groups ask again and again and a scan of the whole list each time would
// grow with the square of its length.
class NestingIndex {
 public:
  explicit NestingIndex(const TTNRegionArray& regions);
  // The selected closed Regions lying inside Region i, in list order.
  const std::vector<int>& Inside(int i) const;
  bool Contains(int outer, int j) const;

 private:
  std::vector<std::vector<int>> inside_;
};

// Removes from `islands` every entry lying inside another entry.
void RemoveNestedIslands(const NestingIndex& nesting, TTNIslandArray& islands);

// The master entry of Region `index` cut as a Boundary: its levels down to
// its depth less the allowance, each with its distance and the Islands
// present (see BuildPocketLevels). Returns false when it would need too
// many levels; an empty master (no level) when its bottom is not below the
// surface.
bool MakePocketMaster(TTNRegionArray& regions, const NestingIndex& nesting,
                      const TTNRegionArray& profiles, int index, double bottomAllowance,
                      double distance, double zStep, bool markIslandTops, TTNMasterRegion& master,
                      bool* noWallMark);

}  // namespace tarnak::pocket_detail
