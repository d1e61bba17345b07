// skintool pack and unpack (Windows only): a setup folder made into one
// packed setup.exe, the program with its Setup.ini, ui\ and data\ in a zip
// archive behind it (common/packed_layout.h), and a packed setup.exe made
// into the folder again. Paths are UTF-8.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace skintool {

// pack FOLDER OUT.exe: the exit status (cli.h), the summary on `out`,
// warnings and refusals on `err`.
int RunPack(const std::vector<std::string>& operands, bool force, std::ostream& out, std::ostream& err);
// unpack PACKED.exe FOLDER.
int RunUnpack(const std::vector<std::string>& operands, bool force, std::ostream& out, std::ostream& err);

}  // namespace skintool
