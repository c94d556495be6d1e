// The one open document: its Region list, drawing extents, current file name
// and the state that long commands share (cancellation, pick mode, busy).
#pragma once

#include <string>

#include "base/cancel.h"
#include "base/options.h"
#include "base/user_interface.h"
#include "geometry/extents.h"
#include "geometry/geometry.h"
#include "import/nc/nc_moves.h"
#include "import/stl/stl_triangle.h"
#include "import/text/ttf_converter.h"
#include "post/post_definition.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/toolpath_model.h"
#include "toolpaths/toolpath_model3d.h"

namespace tarnak {

// A value of Document::PickMode. The pick modes are named where they are
// handled (the selection commands, the view, the strategy commands); any
// value may be held, as the modes of commands to come.
enum class Pick : int {};
inline constexpr Pick kPickNone{0};

class Document {
 public:
  explicit Document(UserInterface& ui) : ui_(&ui) {
    Regions.resize(1);
    Toolpaths.resize(1);
    Cancel.Attach(&ui);
  }
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  UserInterface& ui() const { return *ui_; }
  void SetUserInterface(UserInterface& ui) {
    ui_ = &ui;
    Cancel.Attach(&ui);
  }

  // Lets pending events run; Escape seen there stops Cancel.
  void ProcessEvents() { ui_->ProcessEvents(); }

  TTNRegionArray Regions;      // slot 0 reserved
  TTNOutRegionArray Toolpaths;  // slot 0 reserved
  TTNOutRegionArray3D Toolpaths3D;  // prototype passes, from index 0
  TTNTriangleArray Triangles;  // the STL model (no reserved slot)
  TTNMachiningParameters MachiningParams;
  TTNRegionArray ProfileLibrary;  // wall profiles, loaded by the wall command
  TTNPostProcessor PostDefinition;  // the current post, start values until one loads
  DrawingExtentsRec DrawingExtents;
  // The display moves of the NC file last opened (slot 0 reserved), their
  // extents and the file's path.
  TTNEdEntityArray NCMoves{TTNEdEntity{}};
  NCExtentsRec NCExtents;
  std::string NCFileName;
  std::string FileName;  // last opened file, without folder and extension
  ProgramOptions Options;
  // The one glyph converter, shared by all text work.
  TTTFToVectorConverter Ttf;

  // Stopped by Escape (or Ctrl+C on the command line); every long command
  // resets it when it starts and hands it to the algorithms it runs.
  CancelToken Cancel;
  // What the next click in the view means, and while a long command runs,
  // which one (for the window's status). Only the shell and the view read it.
  Pick PickMode = kPickNone;
  // Pick radius in drawing units: 8 screen pixels at the view's scale.
  double PickTolerance = 0.0;
  int IslandTarget = 0;  // Boundary picked by the manual island command
  int OrderCounter = 1;  // next position of the machining-order command
  int ViewMode = 0;
  bool StlMode = false;
  bool Busy = false;
  // The toolpaths hold a run that Escape cut short (until a run replaces
  // them, or the document is closed or another file opened): saving asks
  // first.
  bool ToolpathsCancelled = false;
  // Whether opening a drawing turns its texts into Regions (the command
  // line's --no-text leaves them out, for machining the geometry alone).
  bool ImportTexts = true;

  // Escape: stop the running loop and forget any pending pick.
  void RequestAbort() {
    Cancel.Stop();
    PickMode = kPickNone;
  }

  // Recomputes DrawingExtents from the Region boxes (from index 1); with no
  // Region the empty-document defaults apply.
  void ComputeExtents();
  // Empties the drawing (the Region list back to its reserved slot), the
  // STL model and both toolpath lists.
  void Close();

 private:
  UserInterface* ui_;
};

// The part after the last '\', '/' or ':' up to the first '.'.
std::string ExtractFileNameOnly(const std::string& path);

}  // namespace tarnak
