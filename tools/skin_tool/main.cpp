// skintool: the skin author's tool for setup.exe (see cli.cpp for its commands).
#include <iostream>
#include <string>
#include <vector>

#include "tools/skin_tool/cli.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int status = skintool::RunSkinTool(args, std::cout, std::cerr);
  std::cout.flush();
  return status;
}
