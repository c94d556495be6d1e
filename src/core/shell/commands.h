// Document commands shared by the window and the command line.
#pragma once

#include <string>

#include "shell/document.h"

namespace tarnak {

enum class OpenResult {
  Loaded,     // Regions replaced by the drawing's
  Empty,      // the drawing had no usable entity ("No Entities Loaded...")
  Cancelled,  // Escape during the read; the document is as it was
  Failed      // the file could not be opened; reported through the interface
};

// Opens a DXF drawing into the document: read, import, extents and status.
// Busy is set while it runs and cleared on every path.
OpenResult OpenDxfCommand(Document& doc, const std::string& path);

}  // namespace tarnak
