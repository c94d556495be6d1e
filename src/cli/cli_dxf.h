// --dxf OUT.dxf of the commands that import a drawing: the geometry or the
// toolpaths, through the same commands as the window's File menu.
#pragma once

#include <ostream>
#include <string>

#include "shell/document.h"

namespace tarnak::cli {

// NcMoves: the document's NC moves, as the toolpath save does while the
// editor pane shows a program.
enum class DxfContent { Geometry, Toolpaths, NcMoves };

// Writes `file` when it is not empty; false (with the message on `err`)
// when it could not be written.
bool WriteDxfOption(const Document& doc, const std::string& file, DxfContent content,
                    std::ostream& err);

}  // namespace tarnak::cli
