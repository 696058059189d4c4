// tarvex-cli: runs a script of user actions (from a file, or standard input) headless.
#include <fstream>
#include <iostream>

#include "cli/script.h"

int main(int argc, char** argv) {
  if (argc > 2) {
    std::cerr << "usage: tarvex-cli [SCRIPT]\n";
    return 2;
  }
  if (argc == 2) {
    std::ifstream file(argv[1]);
    if (!file) {
      std::cerr << "tarvex-cli: cannot open " << argv[1] << '\n';
      return 2;
    }
    return tarvex::runScript(file, std::cout, std::cerr);
  }
  return tarvex::runScript(std::cin, std::cout, std::cerr);
}
