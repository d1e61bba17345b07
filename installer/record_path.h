// Where the uninstall record lives: the Windows directory + "\" + the name
// that UninstallIni gives.
#pragma once

#include <windows.h>

// Writes the record's path into a MAX_PATH buffer. False, with path empty,
// when the Windows directory cannot be had, the name is not a plain file name
// (empty, or holding "\", "/", ":", "?" or "*"), would not fit or leads out
// of the Windows directory: the record is then neither read, written nor deleted.
bool BuildRecordPath(const char* name, char (&path)[MAX_PATH]);

// The pure part: windows is what GetWindowsDirectoryA gave, `length` its result.
bool RecordPathIn(const char* windows, UINT length, const char* name, char (&path)[MAX_PATH]);
