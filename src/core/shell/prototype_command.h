// The prototype machining command over the Document: after the dialog has
// filled doc.MachiningParams (FillPrototypeParams), it cuts the STL model
// (doc.Triangles) in raster passes into doc.Toolpaths3D.
//
// Steps: roughing (grid, gouge control, raster passes, air moves), then
// finishing with its own grid unless the finish tool matches the rough one
// and no stock is left (the rough grid is reused). PickMode holds 501
// while it runs; the status shows "Creating grid...", "Applying gouge
// control..", "Creating toolpaths.." and ends with "Ready..." or
// "Operation Cancelled..."; progress goes through doc.Cancel's Progress
// (the window's gauge in status panel 2) and ProgressEnd at the end.
// Escape (doc.Cancel) stops the run; what was made stays.
//
// After the passes are made the command measures how deep the real cutter
// dips below the model at the emitted points and along the straight moves
// between them, by exact cutter-to-triangle contact (drop_cutter.h), since
// the grid is exact only at its nodes. The window decides what to show.
#pragma once

#include <cstddef>
#include <string>

#include "shell/document.h"

namespace tarnak {

inline constexpr Pick kPickModePrototype{501};

enum class PrototypeStatus {
  Made,       // passes were made ("Ready...")
  None,       // nothing to cut: no model, empty stock box, depth 0, rough Z step 0
  Cancelled,  // Escape ("Operation Cancelled..."); what was made stays
  Refused,    // the job is too big for memory; Message says which field to change
};

struct PrototypeRunOptions {
  // Measure the gouge after the run (exact, costs about as much as the run).
  bool MeasureGouge = true;
};

struct PrototypeResult {
  PrototypeStatus Status = PrototypeStatus::None;
  std::string Message;      // for None and Refused: why (already shown by the command for Refused)
  int RoughPasses = 0;      // 3D passes of roughing (the first ones of the list)
  int FinishPasses = 0;     // 3D passes of finishing (after them)
  std::size_t Points = 0;   // points of all passes
  bool GridReused = false;  // finishing ran on the rough grid
  bool GougeMeasured = false;
  // Largest depth by which the cutter (the pass's real tool) lies below the
  // model surface at a point or along a move, 0 when it never does; where.
  double GougeDepth = 0.0;
  double GougeX = 0.0, GougeY = 0.0, GougeZ = 0.0;
  int GougePass = -1;
};

// The status text of a gouge measurement: "Gouge 0.0123 at X.. Y.." or
// "No gouge".
std::string GougeStatusText(const PrototypeResult& result);

// Runs the command on doc.MachiningParams and doc.Triangles (sorted by
// MinZ here). The 3D and the 2D toolpath lists are emptied first.
PrototypeResult PrototypeCommand(Document& doc, const PrototypeRunOptions& options = {});

}  // namespace tarnak
