#include <iostream>

#include "cli_commands.h"

int main(int argc, char** argv) { return tarnak::cli::Run(argc, argv, std::cout, std::cerr); }
