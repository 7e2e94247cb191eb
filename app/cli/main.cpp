// The command line on a system without the window: render and effect make
// the same files as on Windows; apply, default and show say they need it.
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/command_line.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return qv::RunCommandLine(args, nullptr, std::cout, std::cerr);
}
