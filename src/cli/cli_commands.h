// The command-line front end: the same core commands as the window, for
// batch use, scripting and tests.
#pragma once

#include <ostream>

namespace tarnak {
class CancelToken;
}

namespace tarnak::cli {

// Runs one command line; returns the process exit status. With
// `progressLine` (standard error is a terminal) long commands show their
// progress on one line of `err`.
int Run(int argc, char** argv, std::ostream& out, std::ostream& err, bool progressLine = false);

// Ctrl+C (SIGINT) stops the running command through its document's cancel
// token; the command line then exits with status 130 without writing its
// output. A second Ctrl+C ends the process at once.
void InstallInterruptHandler();

// While it lives, Ctrl+C stops `token` (for verbs that run their own
// Document outside the drawing session).
class InterruptWatch {
 public:
  explicit InterruptWatch(CancelToken& token);
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;
  // True after a Ctrl+C, with the message written to `err`.
  static bool Interrupted(std::ostream& err);
};

// Exit status after an interrupt.
inline constexpr int kInterruptedExit = 130;

}  // namespace tarnak::cli
