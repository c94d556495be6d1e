// Small text helpers shared by the readers of settings files, numbers,
// post definitions and drawings.
#pragma once

#include <string_view>

namespace tarnak {

// What counts as a blank at the ends of a text. Settings files, presets and
// post definitions trim spaces and tabs only; numbers and DXF lines trim
// every control character as well (a stray CR, a form feed).
enum class Blanks { SpaceTab, SpaceAndControls };

constexpr bool IsBlankChar(char c, Blanks rule) {
  return rule == Blanks::SpaceTab ? (c == ' ' || c == '\t') : static_cast<unsigned char>(c) <= ' ';
}

// The text without the blanks at its ends. Text without any (most lines
// of a drawing) is returned at once.
std::string_view TrimBlanksSlow(std::string_view s, Blanks rule);
inline std::string_view TrimBlanks(std::string_view s, Blanks rule = Blanks::SpaceTab) {
  if (!s.empty() && !IsBlankChar(s.front(), rule) && !IsBlankChar(s.back(), rule)) return s;
  return TrimBlanksSlow(s, rule);
}

}  // namespace tarnak
