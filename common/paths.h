// Joining paths in MAX_PATH buffers: base + "\" + name, never past the buffer.
#pragma once

#include <windows.h>

// path := base + "\" + name. False (and path left empty) when the result
// would not fit in MAX_PATH bytes with its terminator.
bool JoinPath(char (&path)[MAX_PATH], const char* base, const char* name);

// A drive root such as "D:\" is held as the bare drive "D:", so that joining
// gives "D:\name" with one backslash.
void CutDriveRootBackslash(char* path);
