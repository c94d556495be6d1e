// Runs tarnak-cli's command dispatcher in-process, as the program's main
// does, and keeps what it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli_commands.h"

namespace tarnak::testing {

struct CliRun {
  int Status;
  std::string Out;
  std::string Err;
};

// `args` without the program name.
inline CliRun RunCli(std::vector<std::string> args) {
  args.insert(args.begin(), "tarnak-cli");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  std::ostringstream out, err;
  const int status = cli::Run(static_cast<int>(argv.size()), argv.data(), out, err);
  return {status, out.str(), err.str()};
}

}  // namespace tarnak::testing
