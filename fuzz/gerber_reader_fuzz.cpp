// Feeds arbitrary text to the Gerber reader: it may refuse it, but never
// crash, hang or read out of bounds, and what it imports is closed
// outlines only. The raster is capped low so that a run stays quick.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "import/gerber/gerber_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  tarnak::SilentUserInterface ui;
  const tarnak::CancelToken never;
  tarnak::TTNRegionArray regions(1);
  const auto st = tarnak::GerberImportText(text, "fuzz.gbr", regions, 0, static_cast<int>(size % 4),
                                           ui, never, 4'000'000);
  if (st != tarnak::GerberStatus::Imported && regions.size() != 1) std::abort();
  for (size_t i = 1; i < regions.size(); ++i) {
    const auto& els = regions[i].Elements;
    if (els.empty() || regions[i].Open) std::abort();
    if (els.front().X != els.back().X2 || els.front().Y != els.back().Y2) std::abort();
  }
  return 0;
}
