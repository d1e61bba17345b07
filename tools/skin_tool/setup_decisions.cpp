#include "tools/skin_tool/setup_decisions.h"

#include "common/paths.h"
#include "installer/auto_start.h"
#include "installer/path_guard.h"
#include "installer/record_path.h"

namespace skintool {
namespace {

constexpr char kBase[] = "C:\\Chosen";  // a chosen folder, or the Programs folder
constexpr char kWindows[] = "C:\\Windows";

}  // namespace

bool SetupKeepsInside(const std::string& value) {
  char path[MAX_PATH];
  return JoinPath(path, kBase, value.c_str()) && IsStrictlyInside(path, kBase);
}

bool SetupLaunchesFileNamed(const std::string& path) { return !IsLinkLikeName(path.c_str()); }

bool SetupHasRecordNamed(const std::string& name) {
  char path[MAX_PATH];
  return RecordPathIn(kWindows, sizeof kWindows - 1, name.c_str(), path);
}

}  // namespace skintool
