#include "installer/record_path.h"

#include <windows.h>

#include "installer/path_rules.h"

bool BuildRecordPath(const std::wstring& name, std::wstring& path) {
  path.clear();
  wchar_t windows[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  return RecordPathIn(windows, name, path);
}
