// tarnak-cli nc and renumber: an NC program read back into moves, and its
// line numbers rewritten through the post's Nt word.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tarnak::cli {

extern const char* const kNcUsage;

int RunNc(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunRenumber(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tarnak::cli
