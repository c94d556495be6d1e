#include "shell/selection_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "geometry/primitives.h"
#include "selection/region_geometry.h"
#include "selection/region_selection.h"
#include "selection_test_util.h"
#include "test_ui.h"

namespace tarnak {
namespace {

using testing::Circle;
using testing::Fill;
using testing::Polygon;
using testing::Rect;
using testing::RoundedRect;

class SelectionTest : public ::testing::Test {
 protected:
  SelectionTest() : doc(ui) { doc.PickTolerance = 0.5; }
  const TTNRegion& R(int i) const { return doc.Regions[static_cast<size_t>(i)]; }
  int SelectedCount() const {
    int n = 0;
    for (size_t i = 1; i < doc.Regions.size(); ++i) n += doc.Regions[i].Selected;
    return n;
  }
  void ExpectRole(int i, int level, int parent, int owner) {
    EXPECT_EQ(R(i).Selected, 1) << "Region " << i;
    EXPECT_EQ(R(i).Level, level) << "Region " << i;
    EXPECT_EQ(R(i).Parent, parent) << "Region " << i;
    EXPECT_EQ(R(i).Owner, owner) << "Region " << i;
  }

  testing::TestUserInterface ui;
  Document doc;
};

// ---- select all closed

TEST_F(SelectionTest, NestedRectanglesAlternateBoundaryAndIsland) {
  // Listed inner, outer, middle so that indices and nesting differ.
  Fill(doc, {Rect(20, 20, 80, 80), Rect(0, 0, 100, 100), Rect(10, 10, 90, 90)});
  const SelectionResult r = SelectAllClosed(doc);
  ExpectRole(2, 0, 2, 0);  // outer: Boundary
  ExpectRole(3, 1, 2, 2);  // middle: Island of the outer
  ExpectRole(1, 2, 3, 0);  // inner: Boundary inside the Island
  EXPECT_EQ(r.Boundaries, 2);
  EXPECT_EQ(r.Islands, 1);
  EXPECT_EQ(ui.Statuses.front(), "Detecting Islands... Esc to Cancel...");
  EXPECT_EQ(ui.LastStatus(), "2 Boundaries 1  Islands Selected");
  EXPECT_EQ(r.ToolpathIcons, IconState::On);
  EXPECT_TRUE(r.AnySelected && r.Redraw && !r.Cancelled);
  EXPECT_EQ(doc.PickMode, kPickNone);
}

TEST_F(SelectionTest, OpenRegionsCountAsBoundariesButStayUnselected) {
  Fill(doc, {Rect(0, 0, 100, 100), Rect(10, 10, 90, 90), Rect(20, 20, 80, 80),
             Polygon({{30, 30}, {40, 40}, {50, 30}}, true)});
  SelectAllClosed(doc);
  EXPECT_EQ(ui.LastStatus(), "3 Boundaries 1  Islands Selected");
  EXPECT_EQ(R(4).Selected, 0);
  EXPECT_EQ(R(4).Owner, 0);
}

// Random trees of rectangles, circles and rounded rectangles nested inside
// each other; the expected roles come from the tree itself.
struct Node {
  int Parent;  // index in the tree, -1 for a root
  int Depth;
};

TEST_F(SelectionTest, DeepNestingMatchesTheShapeTree) {
  std::mt19937 rng(99);
  std::vector<TTNRegion> shapes;
  std::vector<Node> tree;
  // Each shape is built inside a square cell; children get sub-cells.
  struct Cell {
    double X, Y, S;
    int Parent, Depth;
  };
  std::vector<Cell> todo = {{0, 0, 1000, -1, 0}, {1100, 0, 900, -1, 0}};
  std::uniform_int_distribution<int> kind(0, 2), kids(0, 3);
  while (!todo.empty()) {
    const Cell c = todo.back();
    todo.pop_back();
    const int self = static_cast<int>(shapes.size());
    const double m = c.S * 0.05;
    switch (c.Depth == 0 ? 0 : kind(rng)) {
      case 0: shapes.push_back(Rect(c.X + m, c.Y + m, c.X + c.S - m, c.Y + c.S - m)); break;
      case 1: shapes.push_back(Circle(c.X + c.S / 2, c.Y + c.S / 2, c.S / 2 - m)); break;
      default: shapes.push_back(RoundedRect(c.X + m, c.Y + m, c.X + c.S - m, c.Y + c.S - m, m, true));
    }
    tree.push_back({c.Parent, c.Depth});
    if (c.Depth >= 5) continue;
    // Children in a 2 x 2 grid of the shape's inner square (which fits a
    // circle too).
    const double inner = (c.S - 2 * m) / std::sqrt(2.0), x0 = c.X + (c.S - inner) / 2,
                 y0 = c.Y + (c.S - inner) / 2, half = inner / 2;
    const int n = c.Depth == 0 ? 4 : kids(rng);
    for (int k = 0; k < n; ++k)
      todo.push_back({x0 + (k % 2) * half, y0 + (k / 2) * half, half, self, c.Depth + 1});
  }
  // Shuffle the list order; remember where each shape went.
  std::vector<int> order(shapes.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = static_cast<int>(k);
  std::shuffle(order.begin(), order.end(), rng);
  std::vector<int> indexOf(shapes.size());
  std::vector<TTNRegion> listed;
  for (size_t k = 0; k < order.size(); ++k) {
    listed.push_back(shapes[static_cast<size_t>(order[k])]);
    indexOf[static_cast<size_t>(order[k])] = static_cast<int>(k) + 1;
  }
  Fill(doc, listed);
  ASSERT_GT(shapes.size(), 40u);

  const SelectionResult r = SelectAllClosed(doc);
  int islands = 0;
  for (size_t s = 0; s < shapes.size(); ++s) {
    const int i = indexOf[s];
    const Node n = tree[s];
    const int parent = n.Parent < 0 ? i : indexOf[static_cast<size_t>(n.Parent)];
    ExpectRole(i, n.Depth, parent, n.Depth % 2 ? parent : 0);
    islands += n.Depth % 2;
  }
  EXPECT_EQ(r.Islands, islands);
  EXPECT_EQ(r.Boundaries + r.Islands, static_cast<int>(shapes.size()));
}

TEST_F(SelectionTest, TouchingOverlappingAndConcaveNeighbours) {
  TTNRegion notched;  // a rectangle with a half circle bitten out of the top
  notched.Elements = {MakeLine(0, 0, 10, 0), MakeLine(10, 0, 10, 6), MakeLine(10, 6, 7, 6),
                      MakeArc(5, 6, -2, 0.0, kPi), MakeLine(3, 6, 0, 6), MakeLine(0, 6, 0, 0)};
  RegionBounds(notched);
  Fill(doc, {Rect(100, 0, 110, 10), Rect(110, 0, 120, 10),  // side by side
             Rect(200, 0, 210, 10), Rect(205, 5, 215, 15),  // overlapping
             notched, Rect(4.6, 5, 5.4, 5.6),               // in the bite: outside
             Rect(1, 1, 2, 2),                              // in the body: inside
             Circle(300, 0, 5), Circle(301, 0, 2), RoundedRect(299, -2, 299.6, -1.5, 0.1)});
  SelectAllClosed(doc);
  for (int i : {1, 2, 3, 4, 5, 6}) ExpectRole(i, 0, i, 0);
  ExpectRole(7, 1, 5, 5);
  ExpectRole(8, 0, 8, 0);
  ExpectRole(9, 1, 8, 8);
  // In the corner of the small circle's box, outside that circle.
  ExpectRole(10, 1, 8, 8);
}

TEST_F(SelectionTest, AlreadySelectedRegionsKeepTheirRole) {
  Fill(doc, {Rect(0, 0, 100, 100), Rect(10, 10, 90, 90)});
  doc.Regions[2].Selected = 1;  // a Boundary chosen by hand
  doc.Regions[2].Parent = 2;
  const SelectionResult r = SelectAllClosed(doc);
  ExpectRole(2, 0, 2, 0);
  EXPECT_EQ(r.Boundaries, 2);
}

TEST_F(SelectionTest, EscapeStopsSelectAllClosedAndKeepsWhatWasDone) {
  std::vector<TTNRegion> many;
  for (int k = 0; k < 200; ++k) many.push_back(Rect(k * 3, 0, k * 3 + 2, 2));
  Fill(doc, many);
  ui.OnProcessEvents = [&](int n) {
    if (n == 3) doc.RequestAbort();
  };
  const SelectionResult r = SelectAllClosed(doc);
  // Events run at the start and then every 200 / 50 = 4 Regions: the third
  // time is before Region 5.
  EXPECT_TRUE(r.Cancelled);
  EXPECT_EQ(SelectedCount(), 4);
  EXPECT_EQ(R(4).Selected, 1);
  EXPECT_EQ(R(5).Selected, 0);
  EXPECT_EQ(ui.LastStatus(), "Process Cancelled...");
  EXPECT_EQ(doc.PickMode, kPickNone);
  EXPECT_TRUE(r.AnySelected);

  // Uncancelled, events run about fifty times.
  SelectionTest::ui.OnProcessEvents = nullptr;
  ui.EventsProcessed = 0;
  DeselectAll(doc);
  SelectAllClosed(doc);
  EXPECT_EQ(SelectedCount(), 200);
  EXPECT_GE(ui.EventsProcessed, 50);
  EXPECT_LE(ui.EventsProcessed, 52);
}

TEST_F(SelectionTest, EscapePressedBeforeTheCommandStartsIsForgotten) {
  Fill(doc, {Rect(0, 0, 1, 1), Rect(2, 0, 3, 1)});
  doc.Cancel.Stop();
  const SelectionResult r = SelectAllClosed(doc);
  EXPECT_FALSE(r.Cancelled);
  EXPECT_EQ(SelectedCount(), 2);
}

TEST_F(SelectionTest, SelectAllAddsTheOpenRegions) {
  Fill(doc, {Rect(0, 0, 100, 100), Polygon({{10, 10}, {20, 20}}, true)});
  const SelectionResult r = SelectAll(doc);
  EXPECT_EQ(SelectedCount(), 2);
  EXPECT_EQ(R(2).Owner, 0);
  EXPECT_EQ(r.ToolpathIcons, IconState::On);
  EXPECT_TRUE(ui.Messages.empty());
}

TEST_F(SelectionTest, SelectAllOpenWarnsWhenNothingIsSelected) {
  Fill(doc, {Rect(0, 0, 10, 10)});
  SelectionResult r = SelectAllOpen(doc);
  ASSERT_EQ(ui.Messages.size(), 1u);
  EXPECT_EQ(ui.Messages[0].Text, "選択されていません");
  EXPECT_EQ(ui.Messages[0].Buttons, MsgButtons::Ok);
  EXPECT_EQ(r.ToolpathIcons, IconState::Unchanged);
  EXPECT_FALSE(r.AnySelected);
  doc.Regions.push_back(Polygon({{0, 0}, {5, 5}}, true));
  r = SelectAllOpen(doc);
  EXPECT_EQ(ui.Messages.size(), 1u);
  EXPECT_EQ(R(2).Selected, 1);
  EXPECT_EQ(R(1).Selected, 0);
  EXPECT_EQ(r.ToolpathIcons, IconState::On);
}

// ---- all as islands

TEST_F(SelectionTest, AllAsIslandsOfTheBoardOutline) {
  Fill(doc, {Circle(10, 10, 2), Polygon({{20, 20}, {30, 30}}, true), Rect(0, 0, 100, 80),
             Circle(50, 40, 3), RoundedRect(60, 60, 70, 70, 1)});
  doc.Regions[4].Depth = 2.5;
  doc.Regions[4].Level = 3;
  doc.PickTolerance = 1.0;
  const SelectionResult r = SelectAllAsIslands(doc);
  EXPECT_EQ(doc.Regions[0].Owner, 3);
  ExpectRole(3, 0, 3, 0);
  for (int i : {1, 4, 5}) {
    EXPECT_EQ(R(i).Selected, 1);
    EXPECT_EQ(R(i).Owner, 3);
    EXPECT_EQ(R(i).Parent, 3);
  }
  EXPECT_EQ(R(4).Depth, 0.0);
  EXPECT_EQ(R(4).Level, 3);  // levels are left alone
  EXPECT_EQ(R(2).Selected, 0);
  EXPECT_EQ(r.Islands, 4);
  EXPECT_EQ(ui.LastStatus(), "4  Islands Selected");
  EXPECT_EQ(r.ToolpathIcons, IconState::On);
  EXPECT_EQ(doc.PickMode, kPickNone);

  // Deselect all resets slot 0 too, and keeps Parent and Level.
  const SelectionResult d = DeselectAll(doc);
  EXPECT_EQ(doc.Regions[0].Owner, 0);
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(R(4).Parent, 3);
  EXPECT_EQ(R(4).Owner, 0);
  EXPECT_EQ(d.ToolpathIcons, IconState::Off);
  EXPECT_TRUE(d.ViewAll);
  EXPECT_FALSE(d.AnySelected);
  EXPECT_EQ(ui.LastStatus(), "Ready...");
}

TEST_F(SelectionTest, AllAsIslandsTakesAnOpenRegionNearestTheCorner) {
  Fill(doc, {Rect(0, 0, 100, 80), Circle(50, 40, 3), Polygon({{-5, -5}, {-5, 90}}, true)});
  doc.ComputeExtents();
  SelectAllAsIslands(doc);
  EXPECT_EQ(doc.Regions[0].Owner, 3);
  EXPECT_EQ(R(3).Selected, 0);
  EXPECT_EQ(R(1).Owner, 3);
  EXPECT_EQ(R(2).Owner, 3);
  EXPECT_EQ(ui.LastStatus(), "2  Islands Selected");
}

TEST_F(SelectionTest, AllAsIslandsCancelledLeavesNoRegionItsOwnIsland) {
  std::vector<TTNRegion> board = {Rect(0, 0, 1000, 1000)};
  for (int k = 0; k < 100; ++k) board.push_back(Circle(20 + k * 9, 500, 2));
  Fill(doc, board);
  ui.OnProcessEvents = [&](int n) {
    if (n == 3) doc.RequestAbort();
  };
  const SelectionResult r = SelectAllAsIslands(doc);
  EXPECT_TRUE(r.Cancelled);
  EXPECT_EQ(ui.LastStatus(), "Process Cancelled...");
  EXPECT_EQ(R(1).Selected, 1);
  EXPECT_EQ(R(1).Owner, 0);
  EXPECT_EQ(R(2).Owner, 1);
  EXPECT_EQ(doc.Regions[0].Owner, 0);  // not finished: the board command asks again
  EXPECT_LT(SelectedCount(), 101);
}

TEST_F(SelectionTest, EmptyDocumentsAreHarmless) {
  doc.Regions.clear();
  EXPECT_FALSE(SelectAllAsIslands(doc).AnySelected);
  EXPECT_EQ(ui.LastStatus(), "0  Islands Selected");
  EXPECT_EQ(SelectAllClosed(doc).ToolpathIcons, IconState::Unchanged);
  EXPECT_EQ(ui.LastStatus(), " Ready...");
  SelectEmptyCircles(doc);
  DeselectAll(doc);
  StartMachiningOrder(doc);
  EXPECT_EQ(SelectionClick(doc, {0, 0}, MouseButton::Left).Hit, 0);
  doc.PickMode = kPickSelectWindow;
  SelectionWindow(doc, Box::FromMinMax(0, 0, 1, 1));
  EXPECT_TRUE(doc.Regions.empty());
}

// ---- empty circles

TEST_F(SelectionTest, EmptyCirclesHoldNoOtherFirstEndPoint) {
  Fill(doc, {Circle(0, 0, 5), Circle(0, 0, 2), Circle(20, 0, 1), Rect(30, -5, 40, 5),
             Circle(35, 0, 1)});
  const SelectionResult r = SelectEmptyCircles(doc);
  EXPECT_EQ(R(1).Selected, 0);  // the inner circle's end point lies inside
  EXPECT_EQ(R(2).Selected, 1);
  EXPECT_EQ(R(3).Selected, 1);
  EXPECT_EQ(R(4).Selected, 0);
  EXPECT_EQ(R(5).Selected, 1);  // a circle inside a rectangle holds nothing
  EXPECT_EQ(r.ToolpathIcons, IconState::On);

  // Deselecting clears only the empty ones; when none is left the view
  // goes back to all.
  doc.Regions[1].Selected = 1;
  SelectionResult d = DeselectEmptyCircles(doc);
  EXPECT_EQ(SelectedCount(), 1);
  EXPECT_EQ(R(1).Selected, 1);
  EXPECT_EQ(d.ToolpathIcons, IconState::Unchanged);
  ClearRegionSelection(doc.Regions[1]);
  doc.Regions[3].Selected = 1;
  d = DeselectEmptyCircles(doc);
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(d.ToolpathIcons, IconState::Off);
  EXPECT_TRUE(d.ViewAll);
}

TEST_F(SelectionTest, EmptyCirclesMatchABruteForceCount) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(0, 200), rad(0.5, 15);
  std::vector<TTNRegion> shapes;
  for (int k = 0; k < 400; ++k) {
    if (k % 5 == 0) {
      const double x = u(rng), y = u(rng);
      shapes.push_back(Polygon({{x, y}, {x + rad(rng), y + 1}}, true));
    } else {
      shapes.push_back(Circle(u(rng), u(rng), rad(rng), k % 2));
    }
  }
  Fill(doc, shapes);
  SelectEmptyCircles(doc);
  for (size_t i = 1; i < doc.Regions.size(); ++i) {
    const TTNRegion& c = doc.Regions[i];
    bool empty = c.Elements.size() == 1 && c.Elements[0].Radius != 0.0;
    for (size_t j = 1; empty && j < doc.Regions.size(); ++j) {
      const Point2 p = ElementEnd(doc.Regions[j].Elements[0]);
      if (j != i && std::hypot(p.X - c.Elements[0].X, p.Y - c.Elements[0].Y) <
                        std::fabs(c.Elements[0].Radius) - 1e-9)
        empty = false;
    }
    EXPECT_EQ(c.Selected, empty ? 1 : 0) << i;
  }
}

// ---- clicks

TEST_F(SelectionTest, SingleClickMakesAnIslandOnlyInsideASelectedBoundary) {
  Fill(doc, {Rect(0, 0, 100, 100), Rect(10, 10, 30, 30), Polygon({{50, 50}, {60, 60}}, true)});
  SelectionResult r = StartSelectSingle(doc);
  EXPECT_EQ(doc.PickMode, kPickSelectSingle);
  EXPECT_EQ(ui.LastStatus(), "Select Single Region...");
  r = SelectionClick(doc, {10.2, 20}, MouseButton::Left);
  EXPECT_EQ(r.Hit, 2);
  ExpectRole(2, 0, 2, 0);  // the outer one is not selected: a Boundary
  EXPECT_EQ(r.ToolpathIcons, IconState::On);
  EXPECT_EQ(doc.PickMode, kPickSelectSingle);  // stays for the next click

  DeselectAll(doc);
  StartSelectSingle(doc);
  SelectionClick(doc, {0.1, 50}, MouseButton::Left);
  SelectionClick(doc, {10.2, 20}, MouseButton::Left);
  ExpectRole(1, 0, 1, 0);
  ExpectRole(2, 1, 1, 1);
  // An open Region is just selected; a right click does nothing here.
  r = SelectionClick(doc, {55, 55.2}, MouseButton::Right);
  EXPECT_FALSE(r.Handled);
  EXPECT_EQ(R(3).Selected, 0);
  SelectionClick(doc, {55, 55.2}, MouseButton::Left);
  EXPECT_EQ(R(3).Selected, 1);
  EXPECT_EQ(R(3).Level, 0);
  // A miss changes nothing.
  r = SelectionClick(doc, {70, 20}, MouseButton::Left);
  EXPECT_EQ(r.Hit, 0);
  EXPECT_EQ(r.ToolpathIcons, IconState::Unchanged);
  EXPECT_TRUE(r.AnySelected);
}

TEST_F(SelectionTest, SingleClickInsideATurnedCircle) {
  Fill(doc, {Circle(0, 0, 10), Rect(-2, -2, 2, 2)});
  doc.Regions[1].Elements[0].SetStartAngle(1.0);
  doc.Regions[1].Elements[0].SetEndAngle(1.0);
  doc.Regions[1].Selected = 1;
  doc.Regions[1].Parent = 1;
  StartSelectSingle(doc);
  SelectionClick(doc, {0, 2.1}, MouseButton::Left);
  ExpectRole(2, 1, 1, 1);
}

TEST_F(SelectionTest, RegionClickReclassifiesEverythingInside) {
  Fill(doc, {Rect(0, 0, 100, 100), Rect(10, 10, 90, 90), Rect(20, 20, 80, 80),
             Rect(30, 30, 70, 70), Polygon({{40, 40}, {50, 50}}, true), Rect(200, 0, 210, 10)});
  SelectAllClosed(doc);
  ExpectRole(2, 1, 1, 1);
  StartSelectRegion(doc);
  EXPECT_EQ(ui.LastStatus(), "Click on outer Region...Islands detected automatically.");
  const SelectionResult r = SelectionClick(doc, {10.1, 50}, MouseButton::Left);
  EXPECT_EQ(r.Hit, 2);
  ExpectRole(2, 0, 2, 0);  // the former Island is a Boundary now
  ExpectRole(3, 1, 2, 2);
  ExpectRole(4, 2, 3, 0);
  EXPECT_EQ(R(5).Selected, 1);  // the open Region inside
  ExpectRole(1, 0, 1, 0);  // the outer one is left as it was
  EXPECT_EQ(R(6).Level, 0);
}

TEST_F(SelectionTest, RegionDeselectClearsClosedInnerRegionsOnly) {
  Fill(doc, {Rect(0, 0, 100, 100), Rect(10, 10, 90, 90), Rect(20, 20, 80, 80),
             Polygon({{40, 40}, {50, 50}}, true)});
  SelectAll(doc);
  ClearRegionSelection(doc.Regions[3]);
  StartDeselectRegion(doc);
  SelectionResult r = SelectionClick(doc, {0.1, 50}, MouseButton::Left);
  EXPECT_EQ(r.Hit, 1);
  EXPECT_EQ(SelectedCount(), 1);
  EXPECT_EQ(R(4).Selected, 1);
  EXPECT_EQ(R(2).Parent, 1);  // Parent and Level survive the clearing
  EXPECT_EQ(r.ToolpathIcons, IconState::Unchanged);
  StartDeselectSingle(doc);
  r = SelectionClick(doc, {45, 45.2}, MouseButton::Left);
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(r.ToolpathIcons, IconState::Off);
  EXPECT_FALSE(r.AnySelected);
  EXPECT_FALSE(r.ViewAll);
}

TEST_F(SelectionTest, AddBoundaryAndIslandsByHand) {
  Fill(doc, {Rect(0, 0, 100, 100), Rect(10, 10, 30, 30), Rect(150, 0, 160, 10)});
  doc.Regions[1].Level = 7;
  StartAddBoundary(doc);
  EXPECT_EQ(ui.LastStatus(), "Select Boundary to Add");
  SelectionResult r = SelectionClick(doc, {0.1, 50}, MouseButton::Right);  // any button
  ExpectRole(1, 7, 1, 0);
  EXPECT_EQ(r.ToolpathIcons, IconState::On);
  r = SelectionClick(doc, {0.1, 50}, MouseButton::Left);
  EXPECT_EQ(ui.LastStatus(), "Region 1 Already Selected");
  EXPECT_EQ(r.ToolpathIcons, IconState::On);

  StartAddIsland(doc);
  EXPECT_EQ(ui.LastStatus(), "Select Boundary to this Island");
  SelectionClick(doc, {50, 50}, MouseButton::Left);  // a miss keeps mode 14
  EXPECT_EQ(doc.PickMode, kPickAddIslandBoundary);
  SelectionClick(doc, {0.1, 50}, MouseButton::Left);
  EXPECT_EQ(doc.IslandTarget, 1);
  EXPECT_EQ(doc.PickMode, kPickAddIsland);
  EXPECT_EQ(ui.LastStatus(), "Select Island To 1");
  SelectionClick(doc, {10.1, 20}, MouseButton::Left);
  SelectionClick(doc, {150.1, 5}, MouseButton::Middle);  // not inside: no check is made
  ExpectRole(2, 8, 1, 1);
  ExpectRole(3, 8, 1, 1);
  EXPECT_EQ(doc.PickMode, kPickAddIsland);

  // A Boundary index that no longer exists is not used.
  doc.IslandTarget = 9;
  ClearRegionSelection(doc.Regions[3]);
  SelectionClick(doc, {150.1, 5}, MouseButton::Left);
  EXPECT_EQ(R(3).Selected, 0);
}

TEST_F(SelectionTest, ModesAndCancel) {
  Fill(doc, {Rect(0, 0, 10, 10)});
  const SelectionResult refused = StartPick(doc, Pick{8});
  EXPECT_FALSE(refused.Handled);
  EXPECT_EQ(doc.PickMode, kPickNone);
  StartDeselectWindow(doc);
  EXPECT_EQ(ui.LastStatus(), "Click and Drag DeSelection window...");
  StartDeselectSingle(doc);
  EXPECT_EQ(ui.LastStatus(), "Click on Region to DeSelect it...");
  StartDeselectRegion(doc);
  EXPECT_EQ(ui.LastStatus(), "Click on Region...Islands DeSelected automatically.");
  doc.Cancel.Stop();
  CancelPick(doc);
  EXPECT_EQ(doc.PickMode, kPickNone);
  EXPECT_FALSE(doc.Cancel.stopped());
  EXPECT_EQ(ui.LastStatus(), "Ready...");
  doc.PickMode = Pick{8};  // another module's click
  EXPECT_FALSE(SelectionClick(doc, {0, 5}, MouseButton::Left).Handled);
  EXPECT_FALSE(SelectionWindow(doc, Box::FromMinMax(-1, -1, 11, 11)).Handled);
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(doc.PickMode, Pick{8});
}

TEST_F(SelectionTest, DeselectAllOpenAndAllClosed) {
  Fill(doc, {Rect(0, 0, 100, 100), Polygon({{40, 40}, {50, 50}}, true)});
  SelectAll(doc);
  SelectionResult r = DeselectAllOpen(doc);
  EXPECT_EQ(R(2).Selected, 0);
  EXPECT_EQ(R(1).Selected, 1);
  EXPECT_EQ(r.ToolpathIcons, IconState::Unchanged);
  EXPECT_TRUE(r.AnySelected);
  r = DeselectAllClosed(doc);
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(r.ToolpathIcons, IconState::Off);
  EXPECT_TRUE(r.ViewAll);
}

// ---- windows

TEST_F(SelectionTest, WindowSelectionClassifiesWithinTheWindow) {
  Fill(doc, {Rect(0, 0, 100, 100), Rect(10, 10, 90, 90), Rect(20, 20, 80, 80),
             Polygon({{40, 40}, {50, 50}}, true), Rect(200, 0, 210, 10)});
  StartSelectWindow(doc);
  EXPECT_EQ(doc.PickMode, kPickSelectWindow);
  EXPECT_EQ(ui.LastStatus(), "Click and Drag selection window...");
  SelectionResult r =
      SelectionWindow(doc, Box::FromMinMax(101, 101, -1, -1));  // corners either way
  ExpectRole(1, 0, 1, 0);
  ExpectRole(2, 1, 1, 1);
  ExpectRole(3, 2, 2, 0);
  EXPECT_EQ(R(4).Selected, 1);
  EXPECT_EQ(R(5).Selected, 0);
  EXPECT_EQ(r.ToolpathIcons, IconState::On);
  EXPECT_EQ(doc.PickMode, kPickNone);
  EXPECT_EQ(ui.LastStatus(), "Ready...");

  // Probe points: outer (24.05, 0), middle (29.24, 10), inner (34.43, 20).
  // A window holding only the middle and inner ones ignores the outer.
  DeselectAll(doc);
  StartSelectWindow(doc);
  SelectionWindow(doc, Box::FromMinMax(25, 5, 40, 25));
  EXPECT_EQ(R(1).Selected, 0);
  ExpectRole(2, 0, 2, 0);
  ExpectRole(3, 1, 2, 2);
}

TEST_F(SelectionTest, WindowDeselectionTestsTheFirstEndPoint) {
  Fill(doc, {Rect(0, 0, 10, 10), Rect(20, 0, 24, 4)});
  StartSelectWindow(doc);
  SelectionWindow(doc,
                  Box::FromMinMax(-1, -1, 5, 5));  // holds the probe (2.4, 0), not the end (10, 0)
  EXPECT_EQ(R(1).Selected, 1);
  EXPECT_EQ(R(2).Selected, 0);
  StartDeselectWindow(doc);
  SelectionResult r = SelectionWindow(doc, Box::FromMinMax(-1, -1, 5, 5));
  EXPECT_EQ(R(1).Selected, 1);
  EXPECT_EQ(r.ToolpathIcons, IconState::Unchanged);
  StartDeselectWindow(doc);
  r = SelectionWindow(doc, Box::FromMinMax(9.9996, -0.0004, 10.0004, 0.0004));  // within 0.0005
  EXPECT_EQ(R(1).Selected, 0);
  EXPECT_EQ(r.ToolpathIcons, IconState::Off);
  EXPECT_EQ(doc.PickMode, kPickNone);
}

// ---- machining order

TEST_F(SelectionTest, MachiningOrderExchangesWholeRecords) {
  Fill(doc, {Rect(0, 0, 10, 10), Rect(20, 0, 30, 10), Rect(40, 0, 50, 10), Rect(60, 0, 70, 10)});
  doc.Regions[2].Selected = 1;
  doc.Regions[2].Depth = 1.5;
  doc.Regions[0].Owner = 2;
  SelectionResult r = StartMachiningOrder(doc);
  EXPECT_TRUE(r.ShowInfo && r.ShowOrderWindow);
  EXPECT_EQ(SelectedCount(), 0);
  EXPECT_EQ(doc.Regions[0].Owner, 0);
  EXPECT_EQ(R(2).Depth, 0.0);
  EXPECT_EQ(doc.PickMode, kPickMachiningOrder);
  EXPECT_EQ(doc.OrderCounter, 1);
  EXPECT_EQ(ui.LastStatus(), "Click on regions in sequence...");
  EXPECT_EQ(OrderWindowLabel(doc), "Start At (1 - 4)");

  SelectionClick(doc, {40.1, 5}, MouseButton::Left);  // Region 3 to position 1
  EXPECT_EQ(R(1).MinX, 40);
  EXPECT_EQ(R(3).MinX, 0);
  EXPECT_EQ(R(1).Elements[0].X, 40);
  EXPECT_EQ(ui.LastStatus(), "Next sequence number is 2");
  r = SelectionClick(doc, {100, 100}, MouseButton::Left);  // a miss
  EXPECT_EQ(doc.OrderCounter, 2);
  SelectionClick(doc, {60.1, 5}, MouseButton::Right);  // Region 4 to position 2
  EXPECT_EQ(ui.LastStatus(), "Next sequence number is 3");
  SelectionClick(doc, {0.1, 5}, MouseButton::Left);  // already at 3: stays
  EXPECT_EQ(ui.LastStatus(), "Machining Order Set...");
  EXPECT_EQ(doc.PickMode, kPickMachiningOrder);
  std::vector<double> xs;
  for (int i = 1; i <= 4; ++i) xs.push_back(R(i).MinX);
  EXPECT_EQ(xs, (std::vector<double>{40, 60, 0, 20}));
  // Three clicks for four Regions; the next click ends the mode.
  SelectionClick(doc, {20.1, 5}, MouseButton::Left);
  EXPECT_EQ(doc.PickMode, kPickNone);
  EXPECT_EQ(R(4).MinX, 20);

  SetOrderCounter(doc, 9);
  EXPECT_EQ(doc.OrderCounter, 4);
  SetOrderCounter(doc, -3);
  EXPECT_EQ(doc.OrderCounter, 1);
}

// Parent links survive StartMachiningOrder (it clears only the selection
// fields); every exchange must keep them naming the same outlines.
TEST_F(SelectionTest, MachiningOrderKeepsParentLinksOnTheirRegions) {
  Fill(doc, {Rect(0, 0, 10, 10), Rect(20, 0, 30, 10), Rect(40, 0, 50, 10), Rect(60, 0, 70, 10),
             Rect(80, 0, 90, 10)});
  // Parent of each Region, by the MinX of the Region it names (-1: none).
  const std::vector<int> parents{3, 1, 0, 2, 4};
  const auto parentOf = [&](int i) {
    const int p = R(i).Parent;
    return p < 1 ? -1.0 : R(p).MinX;
  };
  std::vector<double> expected(100, -1.0);  // indexed by the Region's MinX
  for (int i = 1; i <= 5; ++i) {
    doc.Regions[static_cast<size_t>(i)].Parent = parents[static_cast<size_t>(i - 1)];
    expected[static_cast<size_t>(R(i).MinX)] = parentOf(i);
  }
  StartMachiningOrder(doc);
  const auto check = [&] {
    for (int i = 1; i <= 5; ++i)
      EXPECT_EQ(parentOf(i), expected[static_cast<size_t>(R(i).MinX)]) << "Region at " << R(i).MinX;
  };
  for (double x : {80.1, 40.1, 20.1, 0.1}) {  // the third is already in place
    SelectionClick(doc, {x, 5}, MouseButton::Left);
    check();
  }
  std::vector<double> xs;
  for (int i = 1; i <= 5; ++i) xs.push_back(R(i).MinX);
  EXPECT_EQ(xs, (std::vector<double>{80, 40, 20, 0, 60}));
}

// ---- pick tolerance from the view

TEST_F(SelectionTest, PickToleranceOfTheCommandLineView) {
  Fill(doc, {Rect(0, 0, 100, 50)});
  doc.PickTolerance = PickToleranceForView(doc.DrawingExtents, 1024, 768, 20);
  const double tol = 8.0 / 9.84;
  EXPECT_NEAR(doc.PickTolerance, tol, 1e-12);
  StartSelectSingle(doc);
  EXPECT_EQ(SelectionClick(doc, {50, 50 + tol * 1.01}, MouseButton::Left).Hit, 0);
  EXPECT_EQ(SelectionClick(doc, {50, 50 + tol * 0.99}, MouseButton::Left).Hit, 1);
}

}  // namespace
}  // namespace tarnak
