// What both STL reader targets check on a model a reader accepted: the
// triangle invariants, kept through the transforms, and the sort.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <string>
#include <string_view>

#include "import/stl/stl_mesh.h"
#include "import/stl/stl_reader.h"

namespace tarnak::fuzz {

inline void CheckInvariants(const TTNTriangleArray& tris) {
  for (const TTNTriangle& t : tris) {
    const bool top = t.MaxZ == t.V2.Z || (t.V2.Z > 0.0f && t.MaxZ == 0.0f);
    if (!(t.V0.Z <= t.V1.Z && t.V1.Z <= t.V2.Z && t.MinZ <= t.MaxZ && top)) std::abort();
  }
}

// Runs one reader over the bytes: a refusal leaves no triangles, an
// acceptance at least one, each keeping its invariants.
template <typename Reader>
void ReadAndCheck(std::string_view bytes, Reader read) {
  auto source = StlMemorySource(bytes);
  (void)IsBinaryStl(*source);
  TTNTriangleArray tris;
  try {
    read(*source, tris);
  } catch (const StlReadError&) {
    if (!tris.empty()) std::abort();
    return;
  }
  if (tris.empty()) std::abort();
  CheckInvariants(tris);
  StlModelBox box;
  MeshBox(tris, box);
  TranslateMesh(tris, 0.0, 0.0, -box.MaxZ);
  ScaleMesh(tris, 0.0, 0.0, 0.0, -0.5);
  RotateMesh(tris, 0, 1.0, -1.0, 0.3);
  FlipMesh(tris, box.MinZ);
  CheckInvariants(tris);
  const CancelToken never;
  SortByMinZ(tris, 0, static_cast<std::ptrdiff_t>(tris.size()) - 1, never);
  for (std::size_t i = 1; i < tris.size(); ++i)
    if (tris[i].MinZ < tris[i - 1].MinZ) std::abort();
}

}  // namespace tarnak::fuzz
