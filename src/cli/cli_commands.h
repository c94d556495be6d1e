// The command-line front end: the same core commands as the window, for
// batch use, scripting and tests.
#pragma once

#include <ostream>

namespace tarnak::cli {

// Runs one command line; returns the process exit status. With
// `progressLine` (standard error is a terminal) long commands show their
// progress on one line of `err`.
int Run(int argc, char** argv, std::ostream& out, std::ostream& err, bool progressLine = false);

// Ctrl+C (SIGINT) stops the running command through its document's cancel
// token; the command line then exits with status 130 without writing its
// output. A second Ctrl+C ends the process at once.
void InstallInterruptHandler();

// Exit status after an interrupt.
inline constexpr int kInterruptedExit = 130;

}  // namespace tarnak::cli
