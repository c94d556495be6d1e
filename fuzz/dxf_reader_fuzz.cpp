// Feeds arbitrary bytes to the DXF reader: it must neither crash, hang nor
// read out of bounds, whatever the input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "import/dxf/dxf_reader.h"
#include "base/user_interface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarnak::SilentUserInterface ui;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto drawing = tarnak::ReadDxfBuffer("fuzz.dxf", bytes, ui);
  // Walk what was made the way later steps do.
  (void)drawing->NumPolylines();
  (void)drawing->NumEntitiesAndVertices();
  (void)drawing->Extents();
  std::string out;
  for (const auto& layer : drawing->Layers)
    for (const auto& list : layer->Lists)
      for (const auto& e : list->Entities) {
        e->WriteDxf(out, layer->Name);
        (void)e->Description();
        double d2 = 0;
        (void)e->NearestVertex(tarnak::DxfPoint{1, 1, 0, 0}, d2);
        (void)e->Hit(tarnak::DxfPoint{1, 1, 0, 0}, 0.5);
      }
  return 0;
}
