// The triangle of an STL model as the rest of the program keeps it.
//
// Prototype machining walks the model level by level, so every triangle
// carries its vertices sorted by Z (lowest first) and its Z range beside
// them. Every function that changes a vertex Z restores both.
#pragma once

#include <vector>

namespace tarnak {

struct TTNVertex {
  float X = 0.0f;
  float Y = 0.0f;
  float Z = 0.0f;
};

// Twelve 32-bit floats. Invariants: V0.Z <= V1.Z <= V2.Z, MinZ == V0.Z,
// MaxZ == V2.Z (after TranslateMesh MaxZ may be held at the material top
// at 0, see there).
struct TTNTriangle {
  TTNVertex V0;  // lowest Z
  TTNVertex V1;
  TTNVertex V2;  // highest Z
  float NormalZ = 0.0f;  // Z of the facet normal as read from the file
  float MinZ = 0.0f;
  float MaxZ = 0.0f;
};

using TTNTriangleArray = std::vector<TTNTriangle>;

// Sorts the three vertices by Z with the stable exchange sort of three
// (i < j exchanged when Z(i) > Z(j)) and sets MinZ and MaxZ from them.
inline void SortTriangleVertices(TTNTriangle& t) {
  auto order = [](TTNVertex& a, TTNVertex& b) {
    if (a.Z > b.Z) {
      const TTNVertex keep = a;
      a = b;
      b = keep;
    }
  };
  order(t.V0, t.V1);
  order(t.V0, t.V2);
  order(t.V1, t.V2);
  t.MinZ = t.V0.Z;
  t.MaxZ = t.V2.Z;
}

}  // namespace tarnak
