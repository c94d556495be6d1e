// The Edit menu's commands over the Document: delete, reverse, change the
// first Element (a click mode), explode, join, combine, and the logic of the
// move/scale/rotate and depth windows.
//
// Each command shows its messages and status through doc.ui() and returns
// what the window must do afterwards. Commands that need a selection start
// with CheckForSelected, which warns "選択されていません" and stops them.
// After every command the Parent and Owner links name existing Regions (the
// editing algorithms renumber them), so the strategies never see a stale
// index.
#pragma once

#include <string>

#include "editing/region_edit.h"
#include "geometry/geometry.h"
#include "shell/document.h"

namespace tarnak {

// PickMode of the change-first-Element click.
inline constexpr Pick kPickFirstElement{8};

inline constexpr const char* kDeleteQuestion = "Deleting Regions Can Not Be Undone.  Are You Sure";
inline constexpr const char* kNothingSelectedWarning = "選択されていません";

struct EditResult {
  bool Done = false;          // the command ran (not refused, not cancelled)
  bool Redraw = false;        // the geometry must be drawn again
  bool ShowDirections = false;  // switch the direction marks on
  bool ToolpathIconsOff = false;  // the toolpath commands go off
  int Count = 0;              // Regions deleted, reversed, created; Region count after combine
};

// Warns and returns false when no Region is selected.
bool CheckForSelected(Document& doc);

// After the confirmation (OK/Cancel): the selected Regions dropped, extents
// recomputed, slot 0's Owner 0.
EditResult DeleteSelectedCommand(Document& doc);
EditResult ReverseSelectedCommand(Document& doc);
// Direction marks on, the prompt, PickMode 8.
EditResult StartChangeFirstElement(Document& doc);
// A left click at p in PickMode 8: the nearest Element of the closed Region
// hit becomes its first. Done = false when the click is not this mode's.
EditResult ChangeFirstElementClick(Document& doc, Point2 p);
// Status "<n> New Regions Created" when it made any.
EditResult ExplodeCommand(Document& doc);
// Chained with the chaining tolerance and the options' direction.
EditResult JoinCommand(Document& doc);
// Status "<n> regions created from <n0> original regions".
EditResult CombineCommand(Document& doc);

// ---- the move/scale/rotate window

// The six values the window shows: lower-left, centre and upper-right corner
// of the selection box (all 0 without a selection).
struct MoveWindowValues {
  double LowerLeftX = 0.0, LowerLeftY = 0.0;
  double CentreX = 0.0, CentreY = 0.0;
  double UpperRightX = 0.0, UpperRightY = 0.0;
};
// With no Region selected `previous` is kept (the window's last values).
MoveWindowValues MoveWindowRefresh(const Document& doc, const MoveWindowValues& previous);
// The four typed fields, as TextToFloat reads them.
struct MoveFields {
  double X = 0.0, Y = 0.0;
  double Scale = 0.0;
  double RotateDegrees = 0.0;
};
// Apply: outside STL mode the selection is scaled, turned about `shown`'s
// centre and placed with its lower-left corner on (X, Y) (a warning and
// nothing else without a selection); in STL mode the model is scaled and
// turned about the shown centre and the extents follow its box.
EditResult MoveApply(Document& doc, const MoveFields& fields, const MoveWindowValues& shown);

// ---- the depth window
EditResult DepthApply(Document& doc, DepthTarget target, double depth, int single);

// "%.4F" of a value shown by the move window.
std::string FormatMoveValue(double v);

}  // namespace tarnak
