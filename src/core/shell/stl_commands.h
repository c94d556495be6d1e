// The STL model's commands over the Document: opening a model, turning it
// upside down, and the move, scale and rotate window's Apply.
//
// A model replaces the drawing: while one is loaded the document is in STL
// mode, its Regions are empty and DrawingExtents holds the model's box
// (with its heights). The machining parameters' stock box follows that box
// after every command that moves the model, so the prototype dialog always
// starts from the model as it stands.
//
// The commands return what the window has to change; they touch no window
// state themselves.
#pragma once

#include <cstddef>
#include <string>

#include "import/stl/stl_mesh.h"
#include "import/stl/stl_open.h"
#include "shell/document.h"

namespace tarnak {

// PickMode while a model loads.
inline constexpr Pick kPickModeStlLoad{777};

// The prototype dialog's "X and Y Margin" after a model is opened.
inline constexpr const char* kStlMarginAfterOpen = "0.0";

// What the window shows once a model is in: the STL edit menu in place of
// the Edit menu, the Select menu, the view's context menu and the geometry
// DXF save off, Close on, the toolpath commands on with only the prototype
// command among them, the 3D view zoomed to everything, and the prototype
// dialog's margin field set to MarginText.
struct StlWindowChanges {
  bool StlEditMenu = false;     // mnuSTLEdit shown, mnuEdit hidden and disabled
  bool PrototypeOnly = false;   // ToolPathIcons(true) in STL mode
  bool View3DZoomAll = false;   // Set3DMode, then zoom to all
  std::string MarginText;       // txtMargin
};

struct StlOpenCommandResult {
  StlOpenStatus Status = StlOpenStatus::Failed;
  bool Binary = false;
  std::size_t Triangles = 0;
  StlWindowChanges Window;  // set only when Loaded
};

// Opens an STL model: PickMode 777 and Busy while reading, then the model
// placed with its top at -Options.StlDepth, the extents and the stock box
// from it, STL mode on, view mode 0, the Regions and both toolpath lists
// emptied and the file name set. A read that fails or is cancelled leaves
// the document as it was (the reader has reported it); PickMode is 0 and
// Busy clear on every path.
StlOpenCommandResult OpenStl(Document& doc, const std::string& path);

// Turns the model upside down within its own height: every Z becomes
// MinZ + MaxZ - Z of the model's box, so the box, the extents and the stock
// box stay as they are. The vertices of each triangle are sorted by Z again.
// False (nothing done) without a model.
bool FlipModel(Document& doc);

// The move, scale and rotate window's Apply: scale about the origin, turn
// about the origin, then move the lower-left corner to (X, Y) and the top
// to Top. DrawingExtents becomes the moved box (with MidZ as ApplyStlMove
// keeps it) and the stock box follows.
void ApplyStlMove(Document& doc, const StlMoveRequest& request);

// The stock box of the machining parameters from the extents: X1 MinX,
// Y1 MinY, Z1 MinZ, X2 MaxX, Y2 MaxY, Z2 MaxZ.
void SetStockBoxFromExtents(Document& doc);

}  // namespace tarnak
