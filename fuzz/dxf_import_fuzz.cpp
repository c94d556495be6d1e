// Feeds arbitrary bytes through the whole drawing import (reader, chaining,
// joining, orientation, repair, ordering), then selects everything and
// contours it. The first byte picks the options (direction, repair,
// compensation; the size's parity the expansion of blocks and splines) so
// the different code paths are explored.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "import/dxf/dxf_reader.h"
#include "import/profiles/profile_building.h"
#include "shell/selection_commands.h"
#include "shell/document.h"
#include "toolpaths/contour.h"
#include "shell/strategy_commands.h"
#include "shell/dxf_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarnak::SilentUserInterface ui;
  tarnak::Document doc(ui);
  const uint8_t flags = size > 0 ? data[0] : 0;
  doc.Options.Program.Dir = (flags & 1) != 0;
  doc.Options.Program.Fix = (flags & 2) != 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tarnak::DxfReadOptions read;
  // Blocks placed and splines made arcs for odd sizes: the corpus drawings
  // that seed this target all start with a blank or a zero.
  read.ExpandBlocks = (size & 1) != 0;
  tarnak::ImportDxfDrawing(doc, tarnak::ReadDxfBuffer("fuzz.dxf", bytes, ui, read));
  doc.PickTolerance = 0.1;
  tarnak::SelectAll(doc);
  auto& p = doc.MachiningParams;
  p.Compensation = (flags >> 2) & 3;
  p.Rough.Radius = 0.5;
  p.Rough.ZStep = 1;
  p.Depth = 1;
  p.RapidHeight = 2;
  p.EntryKind = (flags >> 4) & 3;
  p.EntryLength = 0.5;
  p.FinishMode = (flags >> 6) & 1;
  p.Finish.Radius = 0.25;
  p.Finish.ZStep = 1;
  tarnak::ContourCommand(doc);
  return 0;
}
