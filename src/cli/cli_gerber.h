// tarnak-cli gerber: a Gerber file's traced outlines.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tarnak::cli {

inline constexpr const char* kGerberUsage =
    "       tarnak-cli gerber FILE [--offset T] [--dir cw|ccw] [--json FILE|-]\n";

// Imports FILE (Gerber, or a drill file by its extension or M48 header)
// with tool offset T (thousandths of an inch, default 0) and
// prints the status, or writes the Regions in the `regions` JSON shape.
int RunGerber(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tarnak::cli
