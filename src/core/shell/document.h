// The one open document: its Region list, drawing extents, current file name
// and the flags that long commands share (abort, pick mode, busy).
#pragma once

#include <string>

#include "geometry/geometry.h"
#include "post/post_definition.h"
#include "base/options.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/toolpath_model.h"
#include "toolpaths/toolpath_model3d.h"
#include "base/user_interface.h"

namespace tarnak {

struct DrawingExtentsRec {
  double MinX = 0.0;
  double MaxX = 10.0;
  double MinY = 0.0;
  double MaxY = 10.0;
  double MinZ = -1.0;
  double MaxZ = 0.0;
  double MidZ = -0.5;
  double Height = 10.0;
  double Width = 10.0;
};

class Document {
 public:
  explicit Document(UserInterface& ui) : ui_(&ui) {
    Regions.resize(1);
    Toolpaths.resize(1);
  }

  UserInterface& ui() const { return *ui_; }
  void SetUserInterface(UserInterface& ui) { ui_ = &ui; }

  // Lets pending events run; Escape seen there sets AbortRequested.
  void ProcessEvents() { ui_->ProcessEvents(); }

  TTNRegionArray Regions;      // slot 0 reserved
  TTNOutRegionArray Toolpaths;  // slot 0 reserved
  TTNOutRegionArray3D Toolpaths3D;  // prototype passes, from index 0
  TTNMachiningParameters MachiningParams;
  TTNRegionArray ProfileLibrary;  // wall profiles, loaded by the wall command
  TTNPostProcessor PostDefinition;  // the current post, start values until one loads
  DrawingExtentsRec DrawingExtents;
  std::string FileName;  // last opened file, without folder and extension
  ProgramOptions Options;

  bool AbortRequested = false;
  int PickMode = 0;
  // Pick radius in drawing units: 8 screen pixels at the view's scale.
  double PickTolerance = 0.0;
  int IslandTarget = 0;  // Boundary picked by the manual island command
  int OrderCounter = 1;  // next position of the machining-order command
  int ViewMode = 0;
  bool StlMode = false;
  bool Busy = false;

  // Escape: stop the running loop and forget any pending pick.
  void RequestAbort() {
    AbortRequested = true;
    PickMode = 0;
  }

  // Recomputes DrawingExtents from the Region boxes (from index 1); with no
  // Region the empty-document defaults apply.
  void ComputeExtents();
  // Empties the drawing (the Region list back to its reserved slot).
  void Close();

 private:
  UserInterface* ui_;
};

// The part after the last '\', '/' or ':' up to the first '.'.
std::string ExtractFileNameOnly(const std::string& path);

}  // namespace tarnak
