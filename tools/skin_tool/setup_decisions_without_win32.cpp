// setup.exe's path rules need Win32 (full path names, the system code page):
// a build of the checker without Windows (the host checks, the Linux build of
// skintool) cannot ask them and takes every name as setup.exe would accept it.
#include "tools/skin_tool/setup_decisions.h"

namespace skintool {

bool SetupKeepsInside(const std::string&) { return true; }
bool SetupLaunchesFileNamed(const std::string&) { return true; }
bool SetupHasRecordNamed(const std::string&) { return true; }

}  // namespace skintool
