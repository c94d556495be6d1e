// Opening an STL model: read the file in whichever form it is, then place
// the model below the material top.
//
// The stock's top is Z = 0 and the option STLDepth says how far below it
// the model's highest point lies, so after loading the model's top is at
// Z = -STLDepth whatever heights the file used. Problems are reported
// through the user interface the way the drawing readers report theirs:
// a message box naming the file (and the line, for text files), then the
// status "Ready...".
#pragma once

#include <string>

#include "import/stl/stl_mesh.h"
#include "import/stl/stl_triangle.h"
#include "base/user_interface.h"

namespace tarnak {

enum class StlOpenStatus {
  Loaded,     // the triangles hold the model, its top at -STLDepth
  Failed,     // unreadable, empty or refused; reported; no triangles
  Cancelled,  // Escape during the read; no triangles
};

struct StlOpenResult {
  StlOpenStatus Status = StlOpenStatus::Failed;
  bool Binary = false;  // which reader the detection chose
  StlModelBox Box;      // the placed model's box (Loaded only)
};

// Empties `triangles`, reads `path` into them and moves the model down so
// that its top is at -stlDepth. Status texts: "Loading " and the file name
// while reading; "Ready..." at the end, "Operation Cancelled..." after
// Escape (the token, polled as the reading goes on).
StlOpenResult LoadStlModel(const std::string& path, double stlDepth, TTNTriangleArray& triangles,
                           UserInterface& ui, const CancelToken& cancel);

}  // namespace tarnak
