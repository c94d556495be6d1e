// The selection commands: selecting and deselecting Regions as Boundaries,
// Islands and open profiles, by command, by click and by window; the empty
// circle selection for drilling; all closed Regions as Islands of the board
// outline; and the machining order set by clicking Regions in sequence.
//
// Every command works on the Document: it writes the selection fields of the
// Regions, PickMode and the other pick state, shows its messages through
// doc.ui().Message and its progress through doc.ui().SetStatus. What the
// window has to do afterwards (enable commands, redraw, switch views) the
// core cannot do; each command returns a SelectionResult that says it:
//
//   AnySelected    the show-selected command and its tool button are enabled
//                  exactly when this is true. Every command and every click
//                  fills it in, so the caller can always apply it.
//   ToolpathIcons  On / Off: enable or disable the toolpath commands;
//                  Unchanged: leave them as they are.
//   Redraw         the geometry must be redrawn (or the changed Regions
//                  drawn highlighted or plain, and the view refreshed).
//   ViewAll        switch to the show-all view, unless it is on already.
//   ShowInfo       switch the Region numbers display on, unless it is on.
//   ShowOrderWindow show the machining-order window (label from
//                  OrderWindowLabel, its number field from 1 to the number
//                  of Regions).
//   Handled        false when the click or window belonged to no selection
//                  mode (another module's PickMode, or a button the mode
//                  ignores); nothing was changed then.
//   Hit            the Region a click hit, 0 for none.
//   Boundaries, Islands  what the long commands counted.
//   Cancelled      Escape stopped a long command; what was done stays done.
//
// The two long commands (SelectAllClosed, SelectAllAsIslands) let pending
// events run about fifty times through doc.ProcessEvents(); Escape there
// (doc.RequestAbort: AbortRequested set, PickMode 0) stops them, and so
// does a Region list replaced during a pause (no other command may run
// then). The caller shows the wait cursor around them.
//
// The zoom window (PickMode 1) and the other modules' clicks (8, 321) are
// not handled here: SelectionClick / SelectionWindow report Handled = false.
#pragma once

#include <string>

#include "geometry/geometry.h"
#include "shell/document.h"

namespace tarnak {

// PickMode values of the selection clicks and windows.
inline constexpr Pick kPickSelectSingle{4};
inline constexpr Pick kPickSelectRegion{6};
inline constexpr Pick kPickDeselectRegion{7};
inline constexpr Pick kPickSelectAllClosedRunning{10};
inline constexpr Pick kPickDeselectSingle{11};
inline constexpr Pick kPickAddBoundary{13};
inline constexpr Pick kPickAddIslandBoundary{14};
inline constexpr Pick kPickAddIsland{15};
inline constexpr Pick kPickMachiningOrder{16};
inline constexpr Pick kPickDeselectWindow{29};
inline constexpr Pick kPickSelectWindow{31};
inline constexpr Pick kPickAllAsIslandsRunning{77};

enum class IconState { Unchanged, On, Off };
enum class MouseButton { Left, Right, Middle };

struct SelectionResult {
  bool Handled = true;
  bool AnySelected = false;
  IconState ToolpathIcons = IconState::Unchanged;
  bool Redraw = false;
  bool ViewAll = false;
  bool ShowInfo = false;
  bool ShowOrderWindow = false;
  int Hit = 0;
  int Boundaries = 0;
  int Islands = 0;
  bool Cancelled = false;
};

// ---- immediate commands

// All closed Regions, each as a Boundary or an Island by how many closed
// Regions contain it. Regions already selected keep their role. Status
// "<b> Boundaries <i>  Islands Selected" (open and already selected Regions
// count as Boundaries there), " Ready..." when none, "Process Cancelled..."
// after Escape. Ends with PickMode 0.
SelectionResult SelectAllClosed(Document& doc);
// Every open Region selected; a warning when nothing at all is selected
// afterwards.
SelectionResult SelectAllOpen(Document& doc);
// SelectAllClosed, then SelectAllOpen.
SelectionResult SelectAll(Document& doc);
// The Region with the Element nearest to the lower-left corner of the
// drawing becomes the Boundary (its index kept in slot 0's Owner) and every
// closed Region its Island; for circuit-board isolation. Status
// "<n>  Islands Selected". Ends with PickMode 0.
SelectionResult SelectAllAsIslands(Document& doc);
// Single-Element arcs and circles that hold no other Region's first end
// point get selected (for drilling).
SelectionResult SelectEmptyCircles(Document& doc);
// Clears every record, slot 0 included; PickMode 0, status "Ready...".
SelectionResult DeselectAll(Document& doc);
SelectionResult DeselectAllOpen(Document& doc);
SelectionResult DeselectAllClosed(Document& doc);
SelectionResult DeselectEmptyCircles(Document& doc);
// PickMode 0, AbortRequested cleared, status "Ready...".
SelectionResult CancelPick(Document& doc);

// ---- commands that arm a click or window mode

// Sets PickMode to one of the click/window modes of this module (4, 6, 7,
// 11, 13, 14, 29, 31) with its prompt in the status bar. Any other value
// is refused (Handled = false, nothing changes).
SelectionResult StartPick(Document& doc, Pick pickMode);
SelectionResult StartSelectSingle(Document& doc);     // 4
SelectionResult StartSelectRegion(Document& doc);     // 6
SelectionResult StartDeselectRegion(Document& doc);   // 7
SelectionResult StartDeselectSingle(Document& doc);   // 11
SelectionResult StartAddBoundary(Document& doc);      // 13
SelectionResult StartAddIsland(Document& doc);        // 14, then 15
SelectionResult StartDeselectWindow(Document& doc);   // 29
SelectionResult StartSelectWindow(Document& doc);     // 31

// ---- the view's mouse

// A mouse-down at p (drawing units) in the current PickMode, picking with
// doc.PickTolerance. Modes 4, 6, 7 and 11 take the left button only; 13,
// 14, 15 and 16 any button. Other modes are not handled here.
SelectionResult SelectionClick(Document& doc, Point2 p, MouseButton button);
// The window of a rubber-band drag (drawing units, corners in any order) in
// mode 31 (select) or 29 (deselect); both end the mode (PickMode 0, status
// "Ready..."). Other modes are not handled here.
SelectionResult SelectionWindow(Document& doc, const Box& window);

// ---- machining order

// Starts setting the machining order: clears the whole selection (slot 0
// too), asks for the Region numbers and the order window, OrderCounter 1,
// PickMode 16, status "Click on regions in sequence...".
SelectionResult StartMachiningOrder(Document& doc);
// The order window's number field: OrderCounter := value, kept within 1 ..
// the number of Regions.
void SetOrderCounter(Document& doc, int value);
// "Start At (1 - <N>)".
std::string OrderWindowLabel(const Document& doc);

}  // namespace tarnak
