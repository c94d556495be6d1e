// Document commands shared by the window and the command line.
#pragma once

#include <functional>
#include <string>

#include "shell/document.h"

namespace tarnak {

enum class OpenResult {
  Loaded,     // Regions replaced by the drawing's
  Empty,      // the drawing had no usable entity ("No Entities Loaded...")
  Cancelled,  // Escape during the read; the document is as it was
  Failed      // the file could not be opened; reported through the interface
};

// The question asked before another file replaces the document's toolpaths.
inline constexpr const char* kSaveBeforeOpeningText = "Save toolpaths before opening another file?";

// Before a file is opened into the document: when it holds toolpaths, asks
// kSaveBeforeOpeningText (Yes / No / Cancel). Yes runs `save` (the NC save
// command) and goes on only when it wrote the file; No goes on and the
// toolpaths will be dropped; Cancel stops. True when the open may go on.
bool ConfirmDiscardToolpaths(Document& doc, const std::function<bool()>& save);

// Opens a DXF drawing into the document: read, import, extents and status.
// Busy is set while it runs and cleared on every path. A drawing that was
// read (Loaded or Empty) replaces the Regions and empties both toolpath
// lists: toolpaths of another drawing must not be saved under this one's
// name. A read that fails or is cancelled, during the read or the import,
// leaves the document as it was: Regions, extents, file name, STL mode and
// toolpaths.
OpenResult OpenDxfCommand(Document& doc, const std::string& path);

}  // namespace tarnak
