#include "toolpaths/machining_groups.h"

#include <cmath>

#include "editing/walls.h"

namespace tarnak {

namespace {

// A running sum that ends this close to the bottom has reached it.
constexpr double kLevelReach = 1e-8;

bool ValidIndex(const TTNRegionArray& regions, int i) {
  return i > 0 && static_cast<size_t>(i) < regions.size();
}

bool UsableDepth(double depth) { return depth > 0.0 && std::isfinite(depth); }

// Appends the levels of Region `index` down to `bottom`; false when there
// would be too many of them.
bool AppendLevels(const TTNRegionArray& regions, const TTNRegionArray& profiles, int index,
                  double bottom, double zStep, double distance, bool* noWallMark,
                  std::vector<TTNMachineRegion>& levels) {
  const std::vector<double> depths = LevelDepths(bottom, zStep);
  if (depths.empty()) return false;
  for (double z : depths) {
    TTNMachineRegion level;
    level.Region = index;
    level.Z = z;
    level.Distance = WallDistance(regions, index, z, profiles, distance, noWallMark);
    levels.push_back(std::move(level));
  }
  return true;
}

}  // namespace

std::vector<double> LevelDepths(double bottom, double zStep) {
  std::vector<double> depths;
  if (!std::isfinite(bottom)) return depths;
  if (!(zStep > 0.0) || !std::isfinite(zStep)) {
    depths.push_back(bottom);
    return depths;
  }
  if (bottom / zStep > kMaxLevelsPerRegion) return depths;
  double z = 0.0;
  for (;;) {
    const double next = z + zStep;
    // A step too small to move the sum on would never reach the bottom.
    if (next >= bottom - kLevelReach || next <= z) {
      depths.push_back(bottom);
      break;
    }
    depths.push_back(next);
    z = next;
  }
  return depths;
}

bool BuildLevels(TTNRegionArray& regions, const TTNRegionArray& profiles, double bottomAllowance,
                 bool detachIslands, double distance, double zStep, TTNMasterRegionArray& out,
                 bool* noWallMark) {
  out.clear();
  const int count = static_cast<int>(regions.size());

  for (int i = 1; i < count; ++i) {
    TTNRegion& r = regions[static_cast<size_t>(i)];
    if (!r.Selected) continue;
    r.MachineFlag = 0;
    if (detachIslands && r.Owner != 0) {
      if (r.Depth == 0.0 && ValidIndex(regions, r.Owner))
        r.Depth = regions[static_cast<size_t>(r.Owner)].Depth;
      r.Owner = 0;
    }
  }

  bool allBuilt = true;
  for (int i = 1; i < count; ++i) {
    const TTNRegion& r = regions[static_cast<size_t>(i)];
    if (!r.Selected || r.Owner != 0 || !UsableDepth(r.Depth)) continue;
    if (!(zStep > 0.0) || !std::isfinite(zStep)) zStep = r.Depth;

    TTNMasterRegion master;
    master.Region = i;
    bool ok = true;
    if (!detachIslands) {
      for (int j = 1; j < count && ok; ++j) {
        const TTNRegion& island = regions[static_cast<size_t>(j)];
        if (j == i || !island.Selected || island.Owner != i || !UsableDepth(island.Depth)) continue;
        ok = AppendLevels(regions, profiles, j, island.Depth - bottomAllowance, zStep, distance,
                          noWallMark, master.Levels);
      }
    }
    if (ok) {
      ok = AppendLevels(regions, profiles, i, r.Depth - bottomAllowance, zStep, distance,
                        noWallMark, master.Levels);
    }
    if (!ok) {
      allBuilt = false;
      continue;
    }
    out.push_back(std::move(master));
  }
  return allBuilt;
}

}  // namespace tarnak
