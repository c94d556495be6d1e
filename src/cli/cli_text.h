// tarnak-cli text: a line of text to Regions, as the add-text window adds it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tarnak::cli {

int RunText(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tarnak::cli
