// Stepping through the moves of a loaded NC program (the Run palette).
//
// The palette keeps two indices over the document's NC move list: the last
// move drawn and the first move to draw. Each button moves them and says
// which moves the view should now show and which text line the editor
// should select; the window only passes that on. Kept here, without a
// window, so that the command line and the tests step the same way.
//
// Indices are those of the move list: slot 0 holds no move, so Last 0
// means "nothing stepped yet". A range whose first index is above its last
// shows nothing.
#pragma once

#include <cstdint>

#include "import/nc/nc_moves.h"

namespace tarnak {

enum class NCRunButton {
  Next,        // "次": one move further
  Next10,      // "Next 10": the next ten moves alone
  ToCursor,    // "To Cursor": from the start to the first move at or after the caret line
  FromCursor,  // "From Cursor": from that move to the end
  ToRapid,     // "To Rapid": on to the next rapid move (Kind 3)
  ToTool,      // "To Tool": on to the next tool-change marker (Kind 12)
  All,         // "All": everything
  Clear,       // "Clear": nothing, ready to step on from the last move
};

struct NCRunState {
  int First = 1;  // first move to draw
  int Last = 0;   // last move drawn
};

// What a button asks of the window.
struct NCRunStep {
  // False: the button found no move to go to; nothing changes on the
  // screen (no draw, no selection).
  bool Acted = false;
  // The moves the view shows from now on (DrawFirst > DrawLast: none).
  int DrawFirst = 1;
  int DrawLast = 0;
  // The 0-based text line to select, or -1 for none.
  int SelectLine = -1;
};

// Applies one button to the state over `moves` (slot 0 empty). caretLine
// is the editor's 0-based caret line (read by the two cursor buttons).
NCRunStep NCRunPress(NCRunState& state, NCRunButton button, const TTNEdEntityArray& moves,
                     int caretLine);

}  // namespace tarnak
