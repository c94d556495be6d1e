// tarnak-cli prototype: raster machining of an STL model, filled through
// the prototype dialog's own field model.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tarnak::cli {

inline constexpr const char* kPrototypeUsage =
    "       tarnak-cli prototype MODEL.stl [--preset NAME] [--set KEY=VALUE]... [--margin M]\n"
    "                  [--rough-dir x|y] [--finish-dir x|y|none] [--male|--female]\n"
    "                  [--json FILE|-] [-o OUT.nc [--post NAME]]\n";

// Runs the verb on its arguments (after "prototype"); the exit status:
// 0 passes made, 1 none, 2 an error (reported on `err`).
int RunPrototype(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tarnak::cli
