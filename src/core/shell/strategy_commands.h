// The strategy commands over the Document: contour, pocket and drill after
// their dialogs filled doc.MachiningParams.
//
// Each one resets the document's cancel token, holds its running value in
// PickMode while it works (for the window's status), runs the algorithm
// with the token and ends in one place: the toolpath check and its
// messages, "Ready..." or "Operation Cancelled...", PickMode 0. A command
// returns what happened; what to show afterwards (the toolpath view) is the
// window's decision.
//
// With ToolpathsMode::Append the new toolpaths follow the ones already made
// instead of replacing them, so several operations go into one program.
#pragma once

#include "shell/document.h"
#include "shell/toolpath_batch.h"

namespace tarnak {

// PickMode while a job runs: 100 pocket, 200 contour, 300 drill.
inline constexpr Pick kPickModePocket{100};
inline constexpr Pick kPickModeContour{200};
inline constexpr Pick kPickModeDrill{300};
inline constexpr Pick kPickModeRouting{207};

enum class StrategyResult {
  Made,             // toolpaths were made
  None,             // no toolpath was made ("Toolpaths not Created.  Check Parameters.")
  Cancelled,        // Escape stopped the job ("Operation Cancelled...")
  NothingSelected,  // no Region selected ("Nothing Selected! - Select Regions First");
                    // nothing else was done
  NotAllAsIslands,  // routing: no board outline recorded ("Use Select All as Islands for
                    // this function"); nothing else was done
};
using ContourResult = StrategyResult;
using PocketResult = StrategyResult;
using DrillResult = StrategyResult;
using RoutePcbResult = StrategyResult;

// Clears the Owner of every selected Region unless the compensation is
// cutout (each Region is then contoured by itself), writes the dialog depth
// into the selected Regions, runs the rough and finish passes with PickMode
// 200. Never NothingSelected (the menu checks the selection).
ContourResult ContourCommand(Document& doc, ToolpathsMode mode = ToolpathsMode::Replace);

// What the pocket menu command checks before it shows its dialog: shows
// "Nothing Selected! - Select Regions First" and returns false when no
// Region is selected.
bool CheckPocketSelection(Document& doc);

// Checks the selection (as CheckPocketSelection), writes the dialog depth
// into the selected Regions with Owner 0, runs the rough and finish passes
// with PickMode 100. "Toolpaths not Created.  Check Parameters." when the
// list stays empty.
PocketResult PocketCommand(Document& doc, ToolpathsMode mode = ToolpathsMode::Replace);

// With no selected Region it shows "Nothing Selected! - Select Regions
// First" and stops. Otherwise it writes the dialog depth into the selected
// Regions that are not Islands and runs DrillPaths with PickMode 300; the
// selection is as it was.
DrillResult DrillCommand(Document& doc, ToolpathsMode mode = ToolpathsMode::Replace);

// What the routing menu command checks before it shows its dialog: a board
// outline recorded by select all as islands ("Use Select All as Islands for
// this function" otherwise), then a selection ("Nothing Selected! - Select
// Regions First"). Returns false, with the message shown, when either is
// missing.
bool CheckRoutePcbSelection(Document& doc);

// Circuit-board isolation routing: checks as CheckRoutePcbSelection, then
// shows "Routing in progress...", holds PickMode 207 and routes around the
// Islands of the recorded board outline on the options' Dir side. Ends with
// the toolpath check ("Toolpaths not Created.  Check Parameters.") and
// "Routing complete...", or "Operation Cancelled..." with no toolpaths made
// when Escape stopped it; PickMode 0.
RoutePcbResult RoutePcbCommand(Document& doc, ToolpathsMode mode = ToolpathsMode::Replace);

}  // namespace tarnak
