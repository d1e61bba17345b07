// Joining paths: base + "\" + name with exactly one separator between them,
// whatever base ends in (a drive root "D:\" or a shell folder may end in one).
// Pure text: no file system is asked.
#pragma once

#include <string>

std::wstring JoinPath(const std::wstring& base, const std::wstring& name);

// Whether path ends in a separator ("\" or "/").
bool EndsInSeparator(const std::wstring& path);

// The form of a full path that the file functions take at any length:
// "\\?\D:\..." or "\\?\UNC\server\share\...". Every file call on a path that
// the program builds goes through it, so no depth Windows allows is refused.
// A path already in that form, or one that is not full, is returned as it is.
std::wstring ExtendedLengthPath(const std::wstring& full);
