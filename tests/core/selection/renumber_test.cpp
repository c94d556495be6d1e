// Renumbering of Region links after the list changed: every link names the
// same Region as before, whatever the permutation.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "selection/region_selection.h"

namespace tarnak {
namespace {

TEST(RenumberRegionLinks, EveryLinkFollowsItsRegion) {
  std::mt19937 rng(11);
  for (int round = 0; round < 50; ++round) {
    const int n = 1 + static_cast<int>(rng() % 30);
    // Region i (from 1) carries its own id in Depth; links point anywhere.
    TTNRegionArray before(static_cast<size_t>(n) + 1);
    before[0].Owner = static_cast<int32_t>(rng() % (n + 1));
    for (int i = 1; i <= n; ++i) {
      TTNRegion& r = before[static_cast<size_t>(i)];
      r.Depth = i;
      r.Parent = static_cast<int32_t>(rng() % (n + 1));
      r.Owner = static_cast<int32_t>(rng() % (n + 1));
    }
    // A random new order with some Regions removed.
    std::vector<int> kept(static_cast<size_t>(n));
    std::iota(kept.begin(), kept.end(), 1);
    std::shuffle(kept.begin(), kept.end(), rng);
    kept.resize(kept.size() - rng() % 3 % kept.size());
    std::vector<int32_t> newIndex(static_cast<size_t>(n) + 1, 0);
    TTNRegionArray after(1);
    after[0] = before[0];
    for (int old : kept) {
      newIndex[static_cast<size_t>(old)] = static_cast<int32_t>(after.size());
      after.push_back(before[static_cast<size_t>(old)]);
    }
    RenumberRegionLinks(after, newIndex);

    auto idOf = [&](int32_t k) { return k == 0 ? 0.0 : after[static_cast<size_t>(k)].Depth; };
    auto expected = [&](int32_t oldLink) {
      return oldLink == 0 || newIndex[static_cast<size_t>(oldLink)] == 0 ? 0.0 : oldLink * 1.0;
    };
    EXPECT_EQ(idOf(after[0].Owner), expected(before[0].Owner));
    for (size_t k = 1; k < after.size(); ++k) {
      const TTNRegion& was = before[static_cast<size_t>(after[k].Depth)];
      EXPECT_EQ(idOf(after[k].Parent), expected(was.Parent));
      EXPECT_EQ(idOf(after[k].Owner), expected(was.Owner));
    }
  }
}

}  // namespace
}  // namespace tarnak
