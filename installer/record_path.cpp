#include "installer/record_path.h"

#include "common/paths.h"
#include "installer/path_guard.h"

bool RecordPathIn(const char* windows, UINT length, const char* name, char (&path)[MAX_PATH]) {
  // Without the Windows directory the name alone would be taken relative to
  // the current folder, or joined to an empty one at the drive root.
  // The name is a plain file name: a folder part could make an existing file
  // in a sub-folder of the Windows directory the record.
  if (length == 0 || length >= MAX_PATH || !IsPlainEntryName(name)) {
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
