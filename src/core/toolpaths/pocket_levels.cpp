// The pocket groups: per Boundary its depth levels and, per level, the
// Islands standing there.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "editing/walls.h"
#include "toolpaths/pocket.h"
#include "toolpaths/pocket_internal.h"

namespace tarnak {

namespace pocket_detail {

bool ValidIndex(const TTNRegionArray& regions, int i) {
  return i > 0 && static_cast<size_t>(i) < regions.size();
}

NestingIndex::NestingIndex(const TTNRegionArray& regions) : inside_(regions.size()) {
  const int count = static_cast<int>(regions.size());
  std::vector<int> seen(regions.size(), 0);  // last j whose chain passed here
  for (int j = 1; j < count; ++j) {
    const TTNRegion& r = regions[static_cast<size_t>(j)];
    if (!r.Selected || r.Open || r.Elements.empty()) continue;
    auto add = [&](int t) {
      std::vector<int>& list = inside_[static_cast<size_t>(t)];
      if (t != j && (list.empty() || list.back() != j)) list.push_back(j);
    };
    if (ValidIndex(regions, r.Owner)) add(r.Owner);
    // Up the chain: j lies inside each Region met whose Level is below that
    // of every Region met before it.
    seen[static_cast<size_t>(j)] = j;
    int k = j;
    int lowest = std::numeric_limits<int>::max();
    for (;;) {
      const int p = regions[static_cast<size_t>(k)].Parent;
      if (!ValidIndex(regions, p) || seen[static_cast<size_t>(p)] == j) break;  // end, or a loop
      seen[static_cast<size_t>(p)] = j;
      const int level = regions[static_cast<size_t>(p)].Level;
      if (level < lowest) add(p);
      lowest = std::min(lowest, level);
      k = p;
    }
  }
}

const std::vector<int>& NestingIndex::Inside(int i) const {
  static const std::vector<int> none;
  return i >= 0 && static_cast<size_t>(i) < inside_.size() ? inside_[static_cast<size_t>(i)] : none;
}

bool NestingIndex::Contains(int outer, int j) const {
  const std::vector<int>& list = Inside(outer);
  return std::binary_search(list.begin(), list.end(), j);
}

void RemoveNestedIslands(const NestingIndex& nesting, TTNIslandArray& islands) {
  std::vector<int> members;
  for (const TTNIsland& isl : islands) members.push_back(isl.Region);
  std::sort(members.begin(), members.end());
  std::vector<int> nested;
  for (const TTNIsland& outer : islands)
    for (int j : nesting.Inside(outer.Region))
      if (std::binary_search(members.begin(), members.end(), j)) nested.push_back(j);
  std::sort(nested.begin(), nested.end());
  std::erase_if(islands, [&](const TTNIsland& isl) {
    return std::binary_search(nested.begin(), nested.end(), isl.Region);
  });
}

namespace {

bool IsIslandCandidate(const TTNRegion& r) {
  return r.Selected && !r.Open && r.Owner != 0 && !r.Elements.empty();
}

// The Islands of Boundary `index` standing at depth z, each with its own
// distance. With `markIslandTops`, Islands whose top lies on this level are
// marked handled (the level clears their tops).
TTNIslandArray IslandsAt(TTNRegionArray& regions, const NestingIndex& nesting,
                         const TTNRegionArray& profiles, int index, double z,
                         double bottomAllowance, double distance, bool markIslandTops,
                         bool* noWallMark) {
  TTNIslandArray islands;
  std::vector<int> topsHere;
  for (int j : nesting.Inside(index)) {
    const TTNRegion& island = regions[static_cast<size_t>(j)];
    if (!IsIslandCandidate(island)) continue;
    const double top = island.Depth - bottomAllowance;
    if (std::fabs(top - z) <= kSameDepth) {
      topsHere.push_back(j);
    } else if (top < z) {
      islands.push_back({j, 0.0});
    }
  }
  RemoveNestedIslands(nesting, islands);
  // A top on this level is cleared by it, unless it lies in an Island
  // standing here, which the level keeps away from.
  if (markIslandTops) {
    for (int j : topsHere) {
      const bool covered = std::any_of(islands.begin(), islands.end(), [&](const TTNIsland& isl) {
        return nesting.Contains(isl.Region, j);
      });
      if (!covered) regions[static_cast<size_t>(j)].PocketFlag = 1;
    }
  }
  for (TTNIsland& isl : islands)
    isl.Distance = WallDistance(regions, isl.Region, z, profiles, distance, noWallMark);
  return islands;
}

}  // namespace

bool MakePocketMaster(TTNRegionArray& regions, const NestingIndex& nesting,
                      const TTNRegionArray& profiles, int index, double bottomAllowance,
                      double distance, double zStep, bool markIslandTops, TTNMasterRegion& master,
                      bool* noWallMark) {
  master = TTNMasterRegion{};
  master.Region = index;
  const double bottom = regions[static_cast<size_t>(index)].Depth - bottomAllowance;
  // A bottom at or above the surface leaves nothing to remove.
  if (!(bottom > 0.0) || !std::isfinite(bottom)) return true;
  const std::vector<double> depths = LevelDepths(bottom, zStep);
  if (depths.empty()) return false;
  for (double z : depths) {
    TTNMachineRegion level;
    level.Region = index;
    level.Z = z;
    level.Distance = WallDistance(regions, index, z, profiles, distance, noWallMark);
    level.Islands = IslandsAt(regions, nesting, profiles, index, z, bottomAllowance, distance,
                              markIslandTops, noWallMark);
    master.Levels.push_back(std::move(level));
  }
  return true;
}

}  // namespace pocket_detail

bool BuildPocketLevels(TTNRegionArray& regions, const TTNRegionArray& profiles,
                       double bottomAllowance, double distance, double& zStep, bool markIslandTops,
                       TTNMasterRegionArray& out, bool* noWallMark) {
  using pocket_detail::MakePocketMaster;
  out.clear();
  const pocket_detail::NestingIndex nesting(regions);
  const int count = static_cast<int>(regions.size());
  for (int i = 1; i < count; ++i) {
    TTNRegion& r = regions[static_cast<size_t>(i)];
    if (r.Selected && !r.Open) r.PocketFlag = 0;
  }

  bool allBuilt = true;
  for (int i = 1; i < count; ++i) {
    const TTNRegion& r = regions[static_cast<size_t>(i)];
    if (!r.Selected || r.Open || r.Owner != 0 || r.Elements.empty()) continue;
    if (!(r.Depth > 0.0) || !std::isfinite(r.Depth)) continue;
    // No Z step: the whole depth of this Region in one level, and that
    // depth stays the step for what follows.
    if (!(zStep > 0.0) || !std::isfinite(zStep)) zStep = r.Depth;
    TTNMasterRegion master;
    if (!MakePocketMaster(regions, nesting, profiles, i, bottomAllowance, distance, zStep,
                          markIslandTops, master, noWallMark)) {
      allBuilt = false;
      continue;
    }
    if (!master.Levels.empty()) out.push_back(std::move(master));
  }
  return allBuilt;
}

}  // namespace tarnak
