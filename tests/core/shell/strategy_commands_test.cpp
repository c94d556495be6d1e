// The strategy commands' common ending and their progress: every command
// counts its Regions through the document's cancel token, and a stop there
// ends each of them the same way.
#include "shell/strategy_commands.h"

#include <gtest/gtest.h>

#include <string>

#include "../selection/selection_test_util.h"
#include "base/cancel.h"
#include "shell/selection_commands.h"
#include "test_ui.h"
#include "toolpaths/toolpath_model.h"

namespace tarnak::testing {
namespace {

using Command = StrategyResult (*)(Document&);

struct Case {
  const char* Name;
  Command Run;
  int Regions;  // what the command counts for the drawing below
};

// Six plates with one hole each: contour and drill count all twelve closed
// Regions, the pocket its six Boundaries.
void Fill(Document& doc) {
  for (int k = 0; k < 6; ++k) {
    const double x = 30.0 * k;
    doc.Regions.push_back(Rect(x, 0, x + 20, 20));
    doc.Regions.push_back(Circle(x + 10, 10, 3));
  }
  doc.ComputeExtents();
  SelectAllClosed(doc);
  TTNMachiningParameters& p = doc.MachiningParams;
  p.Depth = 2;
  p.RapidHeight = 5;
  p.Rough.Radius = 1;
  p.Rough.XYStep = 1.5;
  p.Rough.ZStep = 1;
  p.Rough.Feed = 100;
}

const Case kCases[] = {
    {"contour", [](Document& d) { return ContourCommand(d); }, 12},
    {"pocket", [](Document& d) { return PocketCommand(d); }, 6},
    {"drill", [](Document& d) { return DrillCommand(d); }, 12},
};

TEST(StrategyCommands, CountTheirRegionsUpToTheTotal) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.Name);
    TestUserInterface ui;
    Document doc{ui};
    Fill(doc);
    ASSERT_EQ(c.Run(doc), StrategyResult::Made);
    ASSERT_FALSE(ui.Counts.empty());
    int last = 0;
    for (const TestUserInterface::Count& n : ui.Counts) {
      EXPECT_EQ(n.Total, c.Regions);
      EXPECT_GE(n.Done, last);
      EXPECT_LE(n.Done, n.Total);
      last = n.Done;
    }
    EXPECT_EQ(last, c.Regions);
    EXPECT_EQ(ui.ProgressEnds, 1);  // the gauge goes at the end
    EXPECT_EQ(doc.PickMode, kPickNone);
    EXPECT_EQ(doc.ViewMode, 0);  // what to show is the window's decision
  }
}

// A stop seen at the first look at the events ends every command alike:
// cancelled, "Operation Cancelled...", PickMode 0, the gauge removed, and
// the token left stopped for the caller to see.
TEST(StrategyCommands, AStopEndsEachTheSameWay) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.Name);
    TestUserInterface ui;
    Document doc{ui};
    Fill(doc);
    doc.Cancel.Stop();  // left over from before: ignored
    Pick running{-1};
    const int before = ui.EventsProcessed;  // the selection let events run too
    ui.OnProcessEvents = [&](int n) {
      if (n == before + 1) {
        running = doc.PickMode;
        doc.RequestAbort();
      }
    };
    EXPECT_EQ(c.Run(doc), StrategyResult::Cancelled);
    EXPECT_NE(running, kPickNone);  // the running value was held for the window
    EXPECT_TRUE(doc.Cancel.stopped());
    EXPECT_EQ(ui.LastStatus(), "Operation Cancelled...");
    EXPECT_EQ(doc.PickMode, kPickNone);
    EXPECT_EQ(ui.ProgressEnds, 1);
  }
}

TEST(CancelToken, PollLetsEventsRunThenReadsTheFlag) {
  TestUserInterface ui;
  CancelToken token(ui);
  EXPECT_FALSE(token.Poll());
  ui.OnProcessEvents = [&](int) { token.Stop(); };
  EXPECT_TRUE(token.Poll());
  EXPECT_EQ(ui.EventsProcessed, 2);
  token.Reset();
  EXPECT_FALSE(token.stopped());
  CancelToken alone;  // no interface: Poll only reads the flag
  alone.Progress(1, 2);
  EXPECT_FALSE(alone.Poll());
}

}  // namespace
}  // namespace tarnak::testing
