#include <unistd.h>

#include <iostream>

#include "base/allocator.h"
#include "cli_commands.h"

int main(int argc, char** argv) {
  tarnak::KeepFreedMemoryForReuse();
  tarnak::cli::InstallInterruptHandler();
  // A progress line only where someone watches it, never into a pipe or file.
  const bool terminal = isatty(STDERR_FILENO) != 0;
  return tarnak::cli::Run(argc, argv, std::cout, std::cerr, terminal);
}
