// mendora-cli: the engine, browser and export without windows, for scripting,
// batch recovery, benchmarks and tests.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"

namespace {

int Usage() {
  std::cerr << "usage: mendora-cli info FILE\n"
               "       mendora-cli tree FILE\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  const std::string& command = args[0];
  if (command == "info" && args.size() == 2) return cli::Info(args[1], std::cout, std::cerr);
  if (command == "tree" && args.size() == 2) return cli::Tree(args[1], std::cout, std::cerr);
  return Usage();
}
