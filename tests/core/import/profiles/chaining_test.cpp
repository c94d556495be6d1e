// Chaining, joining, clean-up and ordering, checked by invariants: every
// Region is a continuous chain, nothing is lost or invented, closed Regions
// close and run the configured way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <tuple>

#include "geometry/point_grid.h"
#include "geometry/primitives.h"
#include "import/profiles/profile_building.h"
#include "shell/document.h"
#include "test_ui.h"

namespace tarnak {
namespace {

using testing::TestUserInterface;

double TotalLength(const TTNRegionArray& list, size_t from = 1) {
  double s = 0;
  for (size_t i = from; i < list.size(); ++i)
    for (const auto& e : list[i].Elements) s += ElementLength(e);
  return s;
}

size_t ElementCount(const TTNRegionArray& list, size_t from = 1) {
  size_t n = 0;
  for (size_t i = from; i < list.size(); ++i) n += list[i].Elements.size();
  return n;
}

// Consecutive Elements meet exactly; a closed Region also closes exactly
// (arcs within rounding of their angles).
void ExpectContinuous(const TTNRegion& r) {
  for (size_t i = 0; i + 1 < r.Elements.size(); ++i) {
    const Point2 e = ElementEnd(r.Elements[i]);
    const Point2 s = ElementStart(r.Elements[i + 1]);
    EXPECT_NEAR(e.X, s.X, 1e-9);
    EXPECT_NEAR(e.Y, s.Y, 1e-9);
  }
  if (r.Open == 0 && r.Elements.size() > 1) {
    const Point2 e = ElementEnd(r.Elements.back());
    const Point2 s = ElementStart(r.Elements.front());
    EXPECT_NEAR(e.X, s.X, 1e-9);
    EXPECT_NEAR(e.Y, s.Y, 1e-9);
  }
}

class ChainingTest : public ::testing::Test {
 protected:
  TestUserInterface ui;
  Document doc{ui};

  TTNRegionArray Chain(TTNEntityArray loose, int dir = 0) {
    CleanElements(doc.Cancel, loose);
    TTNRegionArray out;
    ChainElements(doc.Cancel, loose, out, dir, kChainTolerance);
    return out;
  }
};

TEST_F(ChainingTest, VeeBecomesOneOpenChainInOneDirection) {
  TTNEntityArray loose = {MakeLine(0, 0, 5, 5), MakeLine(10, 0, 5, 5)};
  TTNRegionArray out = Chain(loose);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1].Open, 1);
  ASSERT_EQ(out[1].Elements.size(), 2u);
  ExpectContinuous(out[1]);
}

TEST_F(ChainingTest, SquareInAnyOrderAndDirectionClosesAndTurnsAsConfigured) {
  const double p[5][2] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
  std::mt19937 rng(3);
  for (int trial = 0; trial < 40; ++trial) {
    TTNEntityArray loose;
    for (int i = 0; i < 4; ++i) {
      TTNEntity l = MakeLine(p[i][0], p[i][1], p[i + 1][0], p[i + 1][1]);
      if (rng() % 2) ElementReverse(l);
      loose.push_back(l);
    }
    std::shuffle(loose.begin(), loose.end(), rng);
    for (int dir : {0, 1}) {
      TTNRegionArray out = Chain(loose, dir);
      ASSERT_EQ(out.size(), 2u);
      EXPECT_EQ(out[1].Open, 0);
      EXPECT_EQ(out[1].Elements.size(), 4u);
      EXPECT_EQ(RegionIsClockwise(out[1]), dir);
      EXPECT_EQ(out[1].Direction, dir);
      ExpectContinuous(out[1]);
      EXPECT_NEAR(TotalLength(out), 40, 1e-9);
    }
  }
}

TEST_F(ChainingTest, GapsBelowTheToleranceAreSnappedShut) {
  TTNRegionArray closed = Chain({MakeLine(0, 0, 1, 0), MakeLine(1.0004, 0, 2, 0)});
  ASSERT_EQ(closed.size(), 2u);
  ExpectContinuous(closed[1]);
  TTNRegionArray apart = Chain({MakeLine(0, 0, 1, 0), MakeLine(1.0006, 0, 2, 0)});
  EXPECT_EQ(apart.size(), 3u);
}

TEST_F(ChainingTest, DuplicatesAndShortElementsAreDropped) {
  TTNEntityArray loose = {MakeLine(0, 0, 5, 0), MakeLine(5, 0, 0, 0), MakeLine(7, 7, 7.0002, 7),
                          MakeArc(3, 3, 1, 0.5, 1.5), MakeArc(3, 3, 1, 0.5, 1.5)};
  CleanElements(doc.Cancel, loose);
  ASSERT_EQ(loose.size(), 2u);
  // Lines run towards greater X after cleaning.
  for (const auto& e : loose)
    if (e.IsLine()) { EXPECT_LE(e.X, e.X2); }
  // A vertical line drawn both ways is one line too.
  TTNEntityArray vertical = {MakeLine(1, 0, 1, 5), MakeLine(1, 5, 1, 0)};
  CleanElements(doc.Cancel, vertical);
  EXPECT_EQ(vertical.size(), 1u);
}

TEST_F(ChainingTest, LoneCirclesAreClosedAndTurned) {
  for (int dir : {0, 1}) {
    TTNRegionArray out = Chain({MakeArc(0, 0, 2, 0, 0), MakeArc(10, 0, -2, 0, 0)}, dir);
    ASSERT_EQ(out.size(), 3u);
    for (size_t i = 1; i < out.size(); ++i) {
      EXPECT_EQ(out[i].Open, 0);
      EXPECT_EQ(RegionIsClockwise(out[i]), dir);
    }
  }
}

TEST_F(ChainingTest, ChainsAcrossChunkBordersAreJoined) {
  // 12,000 pieces of one long zig-zag, shuffled: chained in three chunks
  // (5000, 5000, 2000) whose partial chains the open-Region join completes.
  TTNEntityArray loose;
  for (int i = 0; i < 12000; ++i)
    loose.push_back(MakeLine(i, (i % 2) * 3.0, i + 1, ((i + 1) % 2) * 3.0));
  std::mt19937 rng(11);
  for (auto& e : loose)
    if (rng() % 2) ElementReverse(e);
  std::shuffle(loose.begin(), loose.end(), rng);
  TTNRegionArray out = Chain(loose);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1].Open, 1);
  EXPECT_EQ(out[1].Elements.size(), 12000u);
  ExpectContinuous(out[1]);
  EXPECT_NEAR(out[1].MinX, 0, 1e-12);
  EXPECT_NEAR(out[1].MaxX, 12000, 1e-12);
}

TEST_F(ChainingTest, RandomOutlinesSurviveShufflingAndReversal) {
  // Many small closed polygons with arcs and a few open polylines, broken
  // into loose Elements: each comes back whole.
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(0, 1);
  TTNEntityArray loose;
  int closedWanted = 0, openWanted = 0;
  for (int k = 0; k < 300; ++k) {
    const double cx = (k % 20) * 10.0, cy = (k / 20) * 10.0;
    const int n = 3 + static_cast<int>(u(rng) * 5);
    std::vector<Point2> pts;
    for (int i = 0; i < n; ++i) {
      const double a = kTwoPi * i / n;
      const double r = 2 + u(rng) * 2;
      pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    const bool open = k % 7 == 0;
    const int segs = open ? n - 1 : n;
    for (int i = 0; i < segs; ++i) {
      const Point2 a = pts[static_cast<size_t>(i)];
      const Point2 b = pts[static_cast<size_t>((i + 1) % n)];
      if (i % 3 == 1) {
        // An arc bulging outwards through the two points.
        const Point2 m{(a.X + b.X) / 2, (a.Y + b.Y) / 2};
        const double c = std::hypot(b.X - a.X, b.Y - a.Y);
        const double h = c;  // centre inside, radius sqrt(h^2 + c^2/4)
        const Point2 centre{m.X - h * (b.Y - a.Y) / c, m.Y + h * (b.X - a.X) / c};
        const double r = std::hypot(a.X - centre.X, a.Y - centre.Y);
        loose.push_back(MakeArc(centre.X, centre.Y, -r, PointAngle(centre, a), PointAngle(centre, b)));
      } else {
        loose.push_back(MakeLine(a.X, a.Y, b.X, b.Y));
      }
    }
    (open ? openWanted : closedWanted)++;
  }
  double lengthIn = 0;
  for (auto& e : loose) {
    lengthIn += ElementLength(e);
    if (rng() % 2) ElementReverse(e);
  }
  std::shuffle(loose.begin(), loose.end(), rng);
  const size_t countIn = loose.size();
  TTNRegionArray out = Chain(loose, 1);
  const OpenClosedCount c = RegionCountOpenClosed(out);
  EXPECT_EQ(c.Closed, closedWanted);
  EXPECT_EQ(c.Open, openWanted);
  EXPECT_EQ(ElementCount(out), countIn);
  EXPECT_NEAR(TotalLength(out), lengthIn, 1e-6);
  for (size_t i = 1; i < out.size(); ++i) {
    ExpectContinuous(out[i]);
    if (out[i].Open == 0) { EXPECT_EQ(RegionIsClockwise(out[i]), 1); }
  }
}

TEST_F(ChainingTest, EscapeDuringChainingAddsNothing) {
  TTNEntityArray loose;
  for (int i = 0; i < 100; ++i) loose.push_back(MakeLine(i, 0, i + 1, 0));
  ui.OnProcessEvents = [&](int) { doc.RequestAbort(); };
  TTNRegionArray out;
  ChainElements(doc.Cancel, loose, out, 0, kChainTolerance);
  EXPECT_EQ(out.size(), 1u);
  EXPECT_TRUE(doc.Cancel.stopped());
  EXPECT_EQ(doc.PickMode, kPickNone);
}

TTNRegion OpenPath(std::vector<Point2> pts) {
  TTNRegion r;
  for (size_t i = 0; i + 1 < pts.size(); ++i)
    r.Elements.push_back(MakeLine(pts[i].X, pts[i].Y, pts[i + 1].X, pts[i + 1].Y));
  r.Open = 1;
  r.Selected = 1;
  RegionBounds(r);
  return r;
}

TEST_F(ChainingTest, JoinOpenRegionsClosesLoopsAndCoversTheWholeBox) {
  TTNRegionArray list(1);
  list.push_back(OpenPath({{0, 0}, {10, 0}}));
  list.push_back(OpenPath({{0, 10}, {10, 10}, {10.0003, 0}}));  // runs against the first
  list.push_back(OpenPath({{0, 0.0002}, {0, 10}}));
  TTNRegion untouched = OpenPath({{50, 50}, {60, 60}});
  untouched.Selected = 0;
  list.push_back(untouched);
  SortRegionsByMinX(doc.Cancel, list, 1, static_cast<int>(list.size()) - 1);
  JoinOpenRegions(doc.Cancel, list, kChainTolerance);
  ASSERT_EQ(list.size(), 3u);
  // Unjoinable Regions keep their place at the front.
  EXPECT_EQ(list[1].MinX, 50);
  const TTNRegion& j = list[2];
  EXPECT_EQ(j.Open, 0);
  EXPECT_EQ(j.Elements.size(), 4u);
  ExpectContinuous(j);
  EXPECT_NEAR(j.MinX, 0, 1e-3);
  EXPECT_NEAR(j.MaxX, 10.0003, 1e-3);
  EXPECT_NEAR(j.MaxY, 10, 1e-3);
}

TEST_F(ChainingTest, JoinOpenRegionsAgreesOnSortedAndUnsortedLists) {
  // The sorted list uses the end-point index and must close every square;
  // the unsorted one takes the plain scan, which may stop early, but must
  // still give continuous chains and lose nothing.
  std::mt19937 rng(9);
  TTNRegionArray pieces(1);
  for (int k = 0; k < 200; ++k) {
    const double x = (k % 15) * 7.0, y = (k / 15) * 7.0;
    pieces.push_back(OpenPath({{x, y}, {x + 2, y}, {x + 2, y + 2}}));
    pieces.push_back(OpenPath({{x + 2, y + 2}, {x, y + 2}, {x, y}}));
    if (k % 3 == 0) RegionReverse(pieces.back());
  }
  std::shuffle(pieces.begin() + 1, pieces.end(), rng);
  TTNRegionArray sorted = pieces;
  SortRegionsByMinX(doc.Cancel, sorted, 1, static_cast<int>(sorted.size()) - 1);
  JoinOpenRegions(doc.Cancel, sorted, kChainTolerance);
  JoinOpenRegions(doc.Cancel, pieces, kChainTolerance);
  EXPECT_EQ(RegionCountOpenClosed(sorted).Closed, 200);
  EXPECT_EQ(ElementCount(sorted), 800u);
  EXPECT_EQ(ElementCount(pieces), 800u);
  for (size_t i = 1; i < sorted.size(); ++i) ExpectContinuous(sorted[i]);
  for (size_t i = 1; i < pieces.size(); ++i) ExpectContinuous(pieces[i]);
}

TEST_F(ChainingTest, OrderByNearestWalksToTheNearestStart) {
  std::mt19937 rng(21);
  std::uniform_real_distribution<double> u(0, 100);
  TTNRegionArray list(1);
  for (int k = 0; k < 400; ++k) {
    const double x = std::round(u(rng)), y = std::round(u(rng));  // many exact ties
    list.push_back(OpenPath({{x, y}, {x + 1, y}}));
    list.back().SelValue1 = k;  // remembers the original index
  }
  TTNRegionArray expected = list;
  // Reference walk: measure every remaining Region at every step.
  {
    std::vector<bool> used(expected.size(), false);
    TTNRegionArray walk(1);
    Point2 at{0, 0};
    for (size_t step = 1; step < expected.size(); ++step) {
      size_t best = 0;
      double bestD = 1e300;
      for (size_t i = 1; i < expected.size(); ++i) {
        if (used[i]) continue;
        const Point2 s = ElementStart(expected[i].Elements.front());
        const double d = (s.X - at.X) * (s.X - at.X) + (s.Y - at.Y) * (s.Y - at.Y);
        if (d < bestD) {
          bestD = d;
          best = i;
        }
      }
      used[best] = true;
      at = ElementEnd(expected[best].Elements.back());
      walk.push_back(expected[best]);
    }
    expected = walk;
  }
  DrawingExtentsRec ext;
  ext.MinX = 0;
  ext.MinY = 0;
  OrderByNearest(doc.Cancel, list, ext);
  ASSERT_EQ(list.size(), expected.size());
  for (size_t i = 1; i < list.size(); ++i) {
    EXPECT_EQ(list[i].SelValue1, expected[i].SelValue1) << "at position " << i;
    EXPECT_EQ(list[i].Selected, 0);
  }
}

// The MinX quicksort exactly as first written, exchanging whole entries:
// the order of equal keys it leaves is part of every import's result.
template <typename T>
void ReferenceQuickSort(std::vector<T>& a, int first, int last) {
  while (first < last) {
    int i = first, j = last;
    const double pivot = a[static_cast<size_t>((first + last) / 2)].MinX;
    do {
      while (i < last && a[static_cast<size_t>(i)].MinX < pivot) ++i;
      while (j > first && pivot < a[static_cast<size_t>(j)].MinX) --j;
      if (i <= j) {
        if (i != j) std::swap(a[static_cast<size_t>(i)], a[static_cast<size_t>(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - first < last - i) {
      if (first < j) ReferenceQuickSort(a, first, j);
      first = i;
    } else {
      if (i < last) ReferenceQuickSort(a, i, last);
      last = j;
    }
  }
}

TEST_F(ChainingTest, SortsLeaveEqualKeysInTheOrderOfTheOriginalQuicksort) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    const int n = static_cast<int>(rng() % 3000) + 1;
    // Few distinct keys (many ties), or all distinct; NaN now and then.
    const unsigned distinct = round % 3 == 0 ? 1000000u : 1u + static_cast<unsigned>(rng() % 20);
    TTNEntityArray elements(static_cast<size_t>(n));
    TTNRegionArray regions(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
      double key = static_cast<double>(rng() % distinct) * 0.25;
      if (round % 17 == 5 && rng() % 50 == 0) key = std::nan("");
      elements[static_cast<size_t>(k)].MinX = key;
      elements[static_cast<size_t>(k)].OwnerTag = k;
      regions[static_cast<size_t>(k)].MinX = key;
      regions[static_cast<size_t>(k)].Elements.assign(1, elements[static_cast<size_t>(k)]);
    }
    const int first = round % 2 ? 0 : std::min(n - 1, 1);
    const int last = n - 1 - (round % 5 == 0 ? std::min(n - 1 - first, 2) : 0);
    TTNEntityArray wantElements = elements;
    ReferenceQuickSort(wantElements, first, last);
    SortElementsByMinX(doc.Cancel, elements, first, last);
    TTNRegionArray wantRegions = regions;
    ReferenceQuickSort(wantRegions, first, last);
    SortRegionsByMinX(doc.Cancel, regions, first, last);
    for (size_t k = 0; k < static_cast<size_t>(n); ++k) {
      ASSERT_EQ(elements[k].OwnerTag, wantElements[k].OwnerTag) << "round " << round << " at " << k;
      ASSERT_EQ(regions[k].Elements.at(0).OwnerTag, wantRegions[k].Elements.at(0).OwnerTag)
          << "round " << round << " at " << k;
    }
  }
}

TEST(PointGridTest, EveryCellReportsItsPointsInIdOrder) {
  // Grids big enough for the linear-time ordering, over narrow and wide
  // spreads (the chunks of a MinX-sorted list are narrow in X), each point
  // filed twice like the two ends of an Element.
  std::mt19937 rng(11);
  for (int round = 0; round < 40; ++round) {
    PointGrid::Layout layout;
    layout.W = layout.H = round % 4 == 0 ? 0.002 : 1.0;
    if (round % 5 == 1) layout.LoX = layout.LoY = -3, layout.HiX = layout.HiY = 3;
    PointGrid grid(layout);
    const double spreadX = round % 3 == 0 ? 0.01 : 1e3 * (round + 1);
    const double spreadY = round % 7 == 0 ? 1e9 : 50.0;
    std::uniform_real_distribution<double> ux(-spreadX, spreadX), uy(-spreadY, spreadY);
    const int n = 200 + static_cast<int>(rng() % 5000);
    std::vector<std::pair<int32_t, Point2>> filed;
    for (int32_t id = 0; id < n; ++id) {
      const Point2 a{ux(rng), uy(rng)};
      const Point2 b = rng() % 3 ? a : Point2{ux(rng), uy(rng)};
      grid.Add(a, id);
      grid.Add(b, id);
      filed.push_back({id, a});
      filed.push_back({id, b});
    }
    grid.Finish();
    for (int q = 0; q < 300; ++q) {
      const auto& probe = filed[rng() % filed.size()].second;
      const int64_t cx = grid.CellX(probe.X), cy = grid.CellY(probe.Y);
      std::vector<std::tuple<int32_t, double, double>> got, want;
      grid.ForCell(cx, cy, [&](int32_t id, Point2 p) { got.emplace_back(id, p.X, p.Y); });
      ASSERT_TRUE(std::is_sorted(got.begin(), got.end(),
                                 [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); }));
      for (const auto& [id, p] : filed)
        if (grid.CellX(p.X) == cx && grid.CellY(p.Y) == cy) want.emplace_back(id, p.X, p.Y);
      std::sort(got.begin(), got.end());
      std::sort(want.begin(), want.end());
      ASSERT_EQ(got, want) << "round " << round;
    }
  }
}

TEST_F(ChainingTest, CleanUpDropsTheDuplicatesThePlainScanDrops) {
  // Reference: every later Element of the MinX window tested in turn.
  constexpr double t = kChainTolerance;
  auto duplicates = [](const TTNEntity& i, const TTNEntity& j) {
    if (i.Radius != j.Radius) return false;
    if (i.IsLine()) {
      if (std::fabs(j.X - j.X2) < t) {
        if (!(std::fabs(i.X2 - j.X2) < t)) return false;
        const bool same = std::fabs(i.Y - j.Y) < t && std::fabs(i.Y2 - j.Y2) < t;
        const bool crossed = std::fabs(j.Y - i.Y2) < t && std::fabs(j.Y2 - i.Y) < t;
        return same || crossed;
      }
      return std::fabs(i.X2 - j.X2) < t && std::fabs(i.Y - j.Y) < t && std::fabs(i.Y2 - j.Y2) < t;
    }
    return std::fabs(i.MaxX - j.MaxX) < t && std::fabs(i.MinY - j.MinY) < t &&
           std::fabs(i.MaxY - j.MaxY) < t && std::fabs(i.StartAngle() - j.StartAngle()) < 1e-8 &&
           std::fabs(i.EndAngle() - j.EndAngle()) < 1e-8;
  };
  std::mt19937 rng(3);
  for (int round = 0; round < 30; ++round) {
    // Columns of Elements on a lattice finer than the tolerance, so that
    // many share a MinX and many lie just inside or outside the tolerance
    // of each other; vertical lines drawn both ways, arcs of a few radii.
    const double step = (round % 3 + 1) * 0.00013;
    auto v = [&](int range) { return static_cast<double>(static_cast<int>(rng() % static_cast<unsigned>(range))) * step; };
    TTNEntityArray loose;
    const int n = 500 + static_cast<int>(rng() % 4000);
    for (int k = 0; k < n; ++k) {
      const double x = v(6) + static_cast<double>(rng() % 4);
      switch (rng() % 4) {
        case 0: loose.push_back(MakeLine(x, v(8), x + v(3), v(8))); break;
        case 1: {
          const double y1 = v(8), y2 = v(8);
          loose.push_back(rng() % 2 ? MakeLine(x, y1, x + v(2), y2) : MakeLine(x + v(2), y2, x, y1));
          break;
        }
        case 2: loose.push_back(MakeLine(x, v(4), x + 1.0 + v(3), v(4))); break;
        default: {
          TTNEntity a = MakeArc(x + 1.0, v(6), 1.0 + 0.5 * static_cast<double>(rng() % 2), 0.1 * static_cast<double>(rng() % 3),
                                   2.0 + 1e-9 * static_cast<double>(rng() % 30));
          loose.push_back(a);
          break;
        }
      }
    }
    // What the clean-up did before: short ones out, lines turned, sorted,
    // then the plain scan.
    TTNEntityArray want = loose;
    want.erase(std::remove_if(want.begin(), want.end(),
                              [](const TTNEntity& e) { return !(ElementLength(e) > kShortElement); }),
               want.end());
    for (TTNEntity& e : want)
      if (e.IsLine() && e.X > e.X2) ElementReverse(e);
    if (!want.empty()) ReferenceQuickSort(want, 0, static_cast<int>(want.size()) - 1);
    std::vector<char> drop(want.size(), 0);
    for (size_t i = 0; i < want.size(); ++i)
      for (size_t j = i + 1; j < want.size(); ++j) {
        if (want[j].MinX - want[i].MinX > t) break;
        if (duplicates(want[i], want[j])) {
          drop[i] = 1;
          break;
        }
      }
    TTNEntityArray kept;
    for (size_t i = 0; i < want.size(); ++i)
      if (!drop[i]) kept.push_back(want[i]);

    CleanElements(doc.Cancel, loose);
    ASSERT_EQ(loose.size(), kept.size()) << "round " << round;
    EXPECT_LT(kept.size(), want.size()) << "round " << round << " has no duplicates to find";
    for (size_t i = 0; i < kept.size(); ++i)
      ASSERT_EQ(std::memcmp(&loose[i], &kept[i], sizeof(TTNEntity)), 0) << "round " << round << " at " << i;
  }
}

}  // namespace
}  // namespace tarnak
