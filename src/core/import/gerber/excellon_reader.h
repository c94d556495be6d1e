// Excellon drill files, as board editors write them beside the Gerbers:
// each hole becomes a closed full-circle Region of its tool's diameter, so
// that the drill command's "empty circles" selection drills them; a G85
// slot becomes an open Region from one end to the other. Output is in the
// file's unit (METRIC millimetres, INCH inches).
#pragma once

#include <string>

#include "base/user_interface.h"
#include "geometry/geometry.h"
#include "import/gerber/gerber_reader.h"

namespace tarnak {

// Reads drill-file text; `name` is shown in messages. Unknown lines are
// reported once and skipped; a hole before any tool stops the import
// (message naming the line) and leaves `regions` as they were.
GerberStatus ExcellonImportText(const std::string& text, const std::string& name,
                                TTNRegionArray& regions, UserInterface& ui);
GerberStatus ExcellonImport(const std::string& path, TTNRegionArray& regions, UserInterface& ui);

}  // namespace tarnak
