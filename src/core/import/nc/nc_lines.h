// The lines of a text for the NC readings: one memchr per line, no copy.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "import/nc/nc_moves.h"

namespace tarnak::nc_detail {

// Calls f(line, index) for every line (without its LF; a CR before it
// stays and reads as a blank). Returns the number of lines.
template <class F>
int ForEachLine(std::string_view text, F&& f) {
  const char* p = text.data();
  const char* end = p + text.size();
  int index = 0;
  while (p < end) {
    const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    const char* stop = lf ? static_cast<const char*>(lf) : end;
    f(std::string_view(p, static_cast<std::size_t>(stop - p)), index++);
    p = stop + 1;
  }
  return index;
}

// One display move, as both readings append them.
inline TTNEdEntity MakeMove(double x, double y, double z, double radius, double x2, double y2,
                            double z2, std::uint8_t kind, int line, int pen, float aux) {
  TTNEdEntity m;
  m.X = x;
  m.Y = y;
  m.Z = z;
  m.Radius = radius;
  m.X2 = x2;
  m.Y2 = y2;
  m.Z2 = z2;
  m.Aux = aux;
  m.Line = line;
  m.Pen = pen;
  m.Kind = kind;
  return m;
}

}  // namespace tarnak::nc_detail
