// The lines of a text for the NC readings: one memchr per line, no copy.
#pragma once

#include <cstring>
#include <string_view>

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

}  // namespace tarnak::nc_detail
