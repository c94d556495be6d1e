// Feeds arbitrary bytes to both STL readers: neither may crash, hang or
// read out of bounds, and whatever they accept must keep the triangle
// invariants through the transforms and the sort.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "import/stl/stl_mesh.h"
#include "import/stl/stl_reader.h"

namespace {

void CheckInvariants(const tarnak::TTNTriangleArray& tris) {
  for (const tarnak::TTNTriangle& t : tris) {
    const bool top = t.MaxZ == t.V2.Z || (t.V2.Z > 0.0f && t.MaxZ == 0.0f);
    if (!(t.V0.Z <= t.V1.Z && t.V1.Z <= t.V2.Z && t.MinZ <= t.MaxZ && top)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (int binary = 0; binary < 2; ++binary) {
    auto source = tarnak::StlMemorySource(bytes);
    (void)tarnak::IsBinaryStl(*source);
    tarnak::TTNTriangleArray tris;
    try {
      if (binary)
        tarnak::ReadBinaryStl(*source, "fuzz.stl", tris);
      else
        tarnak::ReadTextStl(*source, "fuzz.stl", tris);
    } catch (const tarnak::StlReadError&) {
      if (!tris.empty()) std::abort();
      continue;
    }
    if (tris.empty()) std::abort();
    CheckInvariants(tris);
    tarnak::StlModelBox box;
    tarnak::MeshBox(tris, box);
    tarnak::TranslateMesh(tris, 0.0, 0.0, -box.MaxZ);
    tarnak::ScaleMesh(tris, 0.0, 0.0, 0.0, -0.5);
    tarnak::RotateMesh(tris, 0, 1.0, -1.0, 0.3);
    tarnak::FlipMesh(tris, box.MinZ);
    CheckInvariants(tris);
    const tarnak::CancelToken never;
    tarnak::SortByMinZ(tris, 0, static_cast<std::ptrdiff_t>(tris.size()) - 1, never);
    for (size_t i = 1; i < tris.size(); ++i)
      if (tris[i].MinZ < tris[i - 1].MinZ) std::abort();
  }
  return 0;
}
