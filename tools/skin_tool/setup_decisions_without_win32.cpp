// A build of the checker without Windows (the host checks, the Linux build of
// skintool) asks the pure rules that setup.exe's Win32 functions apply to the
// full paths (installer/path_rules.h), with the full path made as Windows
// makes it from a path that is already absolute.
#include "tools/skin_tool/setup_decisions.h"

#include "common/paths.h"
#include "common/text_encoding.h"
#include "installer/path_rules.h"

namespace skintool {
namespace {

constexpr wchar_t kBase[] = L"C:\\Chosen";  // a chosen folder, or the Programs folder
constexpr wchar_t kWindows[] = L"C:\\Windows";

}  // namespace

bool SetupKeepsInside(const std::string& value) {
  std::wstring full;
  return NormalizeFullPath(JoinPath(kBase, WideFromUtf8(value)), full) && IsStrictlyInsideFull(full, kBase);
}

bool SetupLaunchesFileNamed(const std::string& path) { return !IsLinkLikeName(WideFromUtf8(path)); }

bool SetupHasRecordNamed(const std::string& name) {
  std::wstring path;
  return RecordPathIn(kWindows, WideFromUtf8(name), path);
}

}  // namespace skintool
