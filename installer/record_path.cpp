#include "installer/record_path.h"

#include "common/paths.h"
#include "installer/path_guard.h"

bool RecordPathIn(const char* windows, UINT length, const char* name, char (&path)[MAX_PATH]) {
  // Without the Windows directory the name alone would be taken relative to
  // the current folder, or joined to an empty one at the drive root.
  if (length == 0 || length >= MAX_PATH || name[0] == '\0') {
    path[0] = '\0';
    return false;
  }
  // The record is a file of the Windows directory, never one beside or above it.
  if (!JoinPath(path, windows, name) || !IsStrictlyInside(path, windows)) {
    path[0] = '\0';
    return false;
  }
  return true;
}

bool BuildRecordPath(const char* name, char (&path)[MAX_PATH]) {
  char windows[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
  return RecordPathIn(windows, length, name, path);
}
