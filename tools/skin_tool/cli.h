// The skintool command line, apart from main() so that tests can run it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace skintool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitProblems = 1;  // check found errors; a file was not converted
inline constexpr int kExitUsage = 2;

// args: the arguments after the program's name.
int RunSkinTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace skintool
