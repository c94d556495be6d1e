// Feeds arbitrary text to the drill-file reader: no crash or hang, and
// every hole it accepts is one full circle, every slot one open line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "import/gerber/excellon_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  tarnak::SilentUserInterface ui;
  tarnak::TTNRegionArray regions;
  if (tarnak::ExcellonImportText(text, "fuzz.drl", regions, ui) != tarnak::GerberStatus::Imported)
    return 0;
  for (size_t i = 1; i < regions.size(); ++i) {
    const auto& r = regions[i];
    if (r.Elements.size() != 1) std::abort();
    if (r.Open ? !r.Elements[0].IsLine() : !r.Elements[0].IsFullCircle()) std::abort();
  }
  return 0;
}
