#include "app/record_path.h"

#include "app/app_state.h"
#include "common/paths.h"

void BuildRecordPath(char (&path)[MAX_PATH]) {
  char windows[MAX_PATH] = {};
  UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) windows[0] = '\0';
  if (!JoinPath(path, windows, setupStore->ValueOf("UninstallIni"))) JoinPath(path, windows, "");
}
