#include "common/paths.h"

#include <cstring>

bool JoinPath(char (&path)[MAX_PATH], const char* base, const char* name) {
  const size_t baseLength = std::strlen(base);
  const size_t nameLength = std::strlen(name);
  if (baseLength + 1 + nameLength + 1 > MAX_PATH) {
    path[0] = '\0';
    return false;
  }
  // base may be path itself; memmove keeps that safe.
  std::memmove(path, base, baseLength);
  path[baseLength] = '\\';
  std::memcpy(path + baseLength + 1, name, nameLength + 1);
  return true;
}

void CutDriveRootBackslash(char* path) {
  // Only "X:\": a three-byte path of another form may end in a double-byte
  // character whose second byte is 5C.
  if (path[0] != '\0' && path[1] == ':' && path[2] == '\\' && path[3] == '\0') path[2] = '\0';
}
