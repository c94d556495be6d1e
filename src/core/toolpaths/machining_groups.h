// Machining groups: the work of a strategy, grouped per Boundary into the
// depth levels at which it is cut.
//
// One master entry per selected top-level Region (Owner 0, depth above 0)
// holds its levels in cutting order. A level names the Region cut there,
// the offset distance at that depth (which a wall profile can vary), the
// level's Z, and the islands standing at that level with their own
// distances. Contour, pocket and circuit-board routing share these records.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/geometry.h"
#include "toolpaths/offset/offset.h"

namespace tarnak {

// One level: the Region to cut, the offset distance at this depth, the
// depth (Z, positive downwards) and the islands present.
struct TTNMachineRegion {
  int32_t Region = 0;
  double Distance = 0.0;
  double Z = 0.0;
  TTNIslandArray Islands;
};

// One Boundary (or free Region) with its levels in cutting order.
struct TTNMasterRegion {
  int32_t Region = 0;
  std::vector<TTNMachineRegion> Levels;
};

using TTNMasterRegionArray = std::vector<TTNMasterRegion>;

// More levels than this for one Region is taken for a mistyped Z step: the
// Region is left out rather than the program running out of memory.
inline constexpr int kMaxLevelsPerRegion = 100000;

// Depths of the levels that cut down to `bottom` in steps of `zStep`:
// zStep, 2 zStep, ... and `bottom` itself as the last level. A step that
// reaches the bottom within 1e-8 counts as reaching it, so rounding in the
// running sum never adds a second, practically equal last level. A step of
// 0 (or less, or not a number) cuts in one level. Returns an empty list
// when `bottom` is not finite or the levels would be more than
// kMaxLevelsPerRegion.
std::vector<double> LevelDepths(double bottom, double zStep);

// Builds the machining groups of the selected Regions into `out` (replaced).
//  1. Every selected Region's lead-move flag (MachineFlag) is cleared. With
//     `detachIslands`, every selected island with depth 0 first takes its
//     Boundary's depth, then its Owner is set to 0.
//  2. Each selected Region with a depth above 0 and Owner 0, in list order
//     from index 1, gets a master entry. A Z step of 0 is replaced by the
//     depth of the Region at hand, and the replacement holds for the
//     following Regions of this call.
//  3. Unless islands are detached, the master first gets the levels of its
//     islands (selected, depth above 0, Owner = this Region), in list order,
//     each down to the island's depth less the bottom allowance;
//  4. then its own levels down to its depth less the bottom allowance.
//  5. Each level's distance is `distance`, or what the Region's wall profile
//     gives at the level's depth (WallDistance).
// The levels' island lists are left empty: contours trim against their own
// outline only. Returns false when a Region was left out because it would
// need more than kMaxLevelsPerRegion levels.
bool BuildLevels(TTNRegionArray& regions, const TTNRegionArray& profiles, double bottomAllowance,
                 bool detachIslands, double distance, double zStep, TTNMasterRegionArray& out,
                 bool* noWallMark = nullptr);

}  // namespace tarnak
