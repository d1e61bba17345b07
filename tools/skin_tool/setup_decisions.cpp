// The Windows build asks setup.exe's Win32 path functions themselves
// (installer/path_guard.h, installer/record_path.h), which make paths full as
// Windows does.
#include "tools/skin_tool/setup_decisions.h"

#include "common/paths.h"
#include "common/text_encoding.h"
#include "installer/path_guard.h"
#include "installer/path_rules.h"
#include "installer/record_path.h"

namespace skintool {
namespace {

constexpr wchar_t kBase[] = L"C:\\Chosen";  // a chosen folder, or the Programs folder

}  // namespace

bool SetupKeepsInside(const std::string& value) {
  return IsStrictlyInside(JoinPath(kBase, WideFromUtf8(value)), kBase);
}

bool SetupLaunchesFileNamed(const std::string& path) { return !IsLinkLikeName(WideFromUtf8(path)); }

bool SetupHasRecordNamed(const std::string& name) {
  std::wstring path;
  return BuildRecordPath(WideFromUtf8(name), path);
}

}  // namespace skintool
