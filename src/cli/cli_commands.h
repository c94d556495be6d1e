// The command-line front end: the same core commands as the window, for
// batch use, scripting and tests.
#pragma once

#include <ostream>

namespace tarnak::cli {

// Runs one command line; returns the process exit status.
int Run(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace tarnak::cli
