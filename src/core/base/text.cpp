#include "base/text.h"

#include <cstddef>

namespace tarnak {

std::string_view TrimBlanksSlow(std::string_view s, Blanks rule) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlankChar(s[b], rule)) ++b;
  while (e > b && IsBlankChar(s[e - 1], rule)) --e;
  return s.substr(b, e - b);
}

}  // namespace tarnak
