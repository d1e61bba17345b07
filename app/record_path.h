// Where the uninstall record lives: the Windows directory + "\" + UninstallIni.
#pragma once

#include <windows.h>

// Writes the record's path into a MAX_PATH buffer. A name that would not fit
// leaves the bare Windows directory, which is never taken for a record file.
void BuildRecordPath(char (&path)[MAX_PATH]);
