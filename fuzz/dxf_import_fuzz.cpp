// Feeds arbitrary bytes through the whole drawing import: reader, chaining,
// joining, orientation, repair and ordering. The first byte picks the
// options (direction, repair) so both code paths are explored.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "import/dxf/dxf_reader.h"
#include "import/profiles/profile_building.h"
#include "shell/document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarnak::SilentUserInterface ui;
  tarnak::Document doc(ui);
  if (size > 0) {
    doc.Options.Program.Dir = (data[0] & 1) != 0;
    doc.Options.Program.Fix = (data[0] & 2) != 0;
  }
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tarnak::ImportDxfDrawing(doc, tarnak::ReadDxfBuffer("fuzz.dxf", bytes, ui));
  return 0;
}
