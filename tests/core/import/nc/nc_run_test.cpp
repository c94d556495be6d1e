// The Run palette's stepping over a move list: each button's moves and
// selected line, and a long random walk over all buttons that must keep
// the state inside the list and show only moves of the list.
#include <gtest/gtest.h>

#include <random>

#include "import/nc/nc_run.h"

namespace tarnak {
namespace {

// Moves on text lines 2, 4, 6, ...: kinds cycle rapid, cut, cut, arc, and
// every 9th is a tool change.
TTNEdEntityArray Moves(int n) {
  TTNEdEntityArray m(1);
  for (int i = 1; i <= n; ++i) {
    TTNEdEntity e;
    e.Line = 2 * i;
    const std::uint8_t cycle[] = {NCKind::Rapid, NCKind::Linear, NCKind::Linear, NCKind::CcwArc};
    e.Kind = i % 9 == 0 ? NCKind::ToolChange : cycle[static_cast<std::size_t>(i % 4)];
    m.push_back(e);
  }
  return m;
}

TEST(NCRun, EachButtonShowsItsMovesAndSelectsItsLine) {
  const TTNEdEntityArray m = Moves(25);
  NCRunState s;
  NCRunStep r = NCRunPress(s, NCRunButton::Next, m, 0);
  EXPECT_TRUE(r.Acted);
  EXPECT_EQ(r.DrawFirst, 1);
  EXPECT_EQ(r.DrawLast, 1);
  EXPECT_EQ(r.SelectLine, 2);
  r = NCRunPress(s, NCRunButton::Next10, m, 0);
  EXPECT_EQ(r.DrawFirst, 2);
  EXPECT_EQ(r.DrawLast, 11);
  EXPECT_EQ(r.SelectLine, 22);
  // To Rapid looks from last + 2 on: move 12 (a rapid) is passed over.
  ASSERT_EQ(m[12].Kind, NCKind::Rapid);
  r = NCRunPress(s, NCRunButton::ToRapid, m, 0);
  EXPECT_EQ(r.DrawFirst, 12);
  EXPECT_EQ(r.DrawLast, 16);
  EXPECT_EQ(r.SelectLine, 32);
  r = NCRunPress(s, NCRunButton::ToTool, m, 0);
  EXPECT_EQ(r.DrawFirst, 17);
  EXPECT_EQ(r.DrawLast, 18);
  // No tool change after 18 but 27, which is beyond the list: nothing.
  r = NCRunPress(s, NCRunButton::ToTool, m, 0);
  EXPECT_FALSE(r.Acted);
  EXPECT_EQ(s.Last, 18);
  // The cursor buttons take the first move at or after the caret line.
  r = NCRunPress(s, NCRunButton::ToCursor, m, 9);
  EXPECT_EQ(r.DrawFirst, 1);
  EXPECT_EQ(r.DrawLast, 5);
  EXPECT_EQ(r.SelectLine, 10);
  r = NCRunPress(s, NCRunButton::FromCursor, m, 9);
  EXPECT_EQ(r.DrawFirst, 5);
  EXPECT_EQ(r.DrawLast, 25);
  EXPECT_EQ(r.SelectLine, -1);
  EXPECT_FALSE(NCRunPress(s, NCRunButton::ToCursor, m, 51).Acted);
  // At the end "次" does nothing, "Clear" starts again from the top.
  EXPECT_FALSE(NCRunPress(s, NCRunButton::Next, m, 0).Acted);
  r = NCRunPress(s, NCRunButton::Clear, m, 0);
  EXPECT_GT(r.DrawFirst, r.DrawLast);
  EXPECT_EQ(s.Last, 0);
  EXPECT_EQ(NCRunPress(s, NCRunButton::Next, m, 0).SelectLine, 2);
  // "Next 10" near the end is a shorter step.
  s.Last = 20;
  r = NCRunPress(s, NCRunButton::Next10, m, 0);
  EXPECT_EQ(r.DrawFirst, 21);
  EXPECT_EQ(r.DrawLast, 25);
  r = NCRunPress(s, NCRunButton::All, m, 0);
  EXPECT_EQ(r.DrawFirst, 1);
  EXPECT_EQ(r.DrawLast, 25);
}

TEST(NCRun, ARandomWalkStaysInsideTheList) {
  std::mt19937 rng(7);
  for (int n : {0, 1, 2, 13, 40}) {
    const TTNEdEntityArray m = Moves(n);
    NCRunState s;
    for (int k = 0; k < 2000; ++k) {
      const auto button = static_cast<NCRunButton>(rng() % 8);
      const int caret = static_cast<int>(rng() % static_cast<unsigned>(2 * n + 4));
      const NCRunState before = s;
      const NCRunStep r = NCRunPress(s, button, m, caret);
      ASSERT_GE(s.Last, 0);
      ASSERT_LE(s.Last, n);
      if (!r.Acted) {
        ASSERT_EQ(s.Last, before.Last);
        ASSERT_EQ(s.First, before.First);
        continue;
      }
      if (r.DrawFirst <= r.DrawLast) {
        ASSERT_GE(r.DrawFirst, 1);
        ASSERT_LE(r.DrawLast, n);
      }
      if (r.SelectLine >= 0) {
        ASSERT_EQ(r.SelectLine, m[static_cast<std::size_t>(s.Last)].Line);
      }
    }
  }
}

}  // namespace
}  // namespace tarnak
