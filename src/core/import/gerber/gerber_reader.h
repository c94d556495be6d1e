// Gerber (RS-274X) artwork into closed Regions around the copper.
//
// The reader does not build exact outlines of the apertures. It paints every
// flash, draw, arc and region fill into a boolean raster, keeps only the edge
// cells of the painted areas and follows them into chains of short lines,
// one closed Region per outline. The tool offset grows the painted copper,
// so the traced outline already lies that far outside the copper.
//
// Scale: a file with a format statement (FS) is read in its own unit (MO
// inch or millimetre) with a raster cell of 0.002 inch (0.0508 mm), so that
// the tool offset in thousandths of an inch keeps its physical meaning; the
// Regions come out in the file's unit. A file without FS is read the old
// way: every coordinate is an integer number of thousandths of the unit and
// one cell is 0.002 of the unit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/cancel.h"
#include "base/user_interface.h"
#include "geometry/geometry.h"

namespace tarnak {

enum class GerberStatus {
  Imported,   // `regions` replaced by the traced outlines
  Stopped,    // a reported problem stopped the import; `regions` unchanged
  Cancelled,  // the token was stopped between two stages; `regions` unchanged
  Failed      // the file could not be opened; `regions` unchanged
};

// A raster above this many cells is refused (one byte per cell).
inline constexpr int64_t kGerberMaxCells = 400'000'000;

// Reads `path` and, when tracing has run, replaces `regions` (slot 0 empty).
// `direction`: the default direction of closed Regions (1 clockwise).
// `toolOffset`: growth of the copper on each side, in raster cells.
GerberStatus GerberImport(const std::string& path, TTNRegionArray& regions, int direction,
                          int toolOffset, UserInterface& ui, const CancelToken& cancel);

// The same over text already in memory (the fuzz target and the tests);
// `name` is the file name shown in messages; `maxCells` the largest raster.
GerberStatus GerberImportText(const std::string& text, const std::string& name,
                              TTNRegionArray& regions, int direction, int toolOffset,
                              UserInterface& ui, const CancelToken& cancel,
                              int64_t maxCells = kGerberMaxCells);

// Reads a whole board file (Gerber or drill); when it cannot be opened,
// says "Error opening file '…'" and returns false.
bool ReadBoardFile(const std::string& path, std::string& text, UserInterface& ui);

// The raster cell of a file's text, in its drawing units (0.002 or 0.0508).
double GerberCellSize(const std::string& text);

}  // namespace tarnak
