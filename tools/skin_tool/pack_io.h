// The file work that pack and unpack share (Windows only): a program's PE
// extents, writes by position, folder chains. Paths are full, in the
// extended-length form (WideFilePath).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace skintool {

// What the headers of a program file say (common/packed_layout.h's ReadPeLayout).
struct PeFile {
  uint64_t size = 0;         // the whole file
  uint64_t signedEnd = 0;    // where a signature's table starts; `size` when unsigned
  size_t securityEntry = 0;  // the offset of the certificate table's directory entry, 0 when it has none
};
// False when the file cannot be read or is no well-formed PE file.
bool ReadPeFile(const std::wstring& path, PeFile& pe);

bool WriteAt(HANDLE file, uint64_t offset, const void* bytes, size_t size);

// Makes the folder and every folder above it that is missing; false unless
// it then is a folder.
bool MakeFolderChain(const std::wstring& folder);
// Makes the folder if it is missing; false unless it then is a real folder
// (no link, no file in its place).
bool MakeRealFolder(const std::wstring& folder);

// Whether a file's name is no link and its only name.
bool IsPlainFile(const std::wstring& path);

}  // namespace skintool
