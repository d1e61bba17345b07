#include "tools/skin_tool/pack_io.h"

#include <array>

#include "common/packed_layout.h"
#include "common/win32_guards.h"

namespace skintool {

bool ReadPeFile(const std::wstring& path, PeFile& pe) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size;
  std::array<uint8_t, 4096> headers = {};
  DWORD read = 0;
  if (!file || !GetFileSizeEx(file.get(), &size) ||
      !ReadFile(file.get(), headers.data(), static_cast<DWORD>(headers.size()), &read, nullptr)) {
    return false;
  }
  pe.size = static_cast<uint64_t>(size.QuadPart);
  PeLayout layout;
  if (!ReadPeLayout(headers.data(), read, pe.size, layout)) return false;
  pe.signedEnd = layout.signedEnd;
  // ReadPeLayout has seen these fields in bounds: the optional header's magic,
  // then the certificate table's entry, the fifth of its data directories.
  auto read16 = [&](size_t at) { return static_cast<size_t>(headers[at] | headers[at + 1] << 8); };
  const size_t header = read16(0x3C) | read16(0x3E) << 16, optional = header + 24;
  const size_t security = optional + (read16(optional) == 0x20B ? 112 : 96) + 4 * 8;
  pe.securityEntry = security + 8 <= optional + read16(header + 20) ? security : 0;
  return true;
}

bool WriteAt(HANDLE file, uint64_t offset, const void* bytes, size_t size) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  while (size > 0) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD chunk = size > (1u << 24) ? (1u << 24) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, p, chunk, &written, &at) || written != chunk) return false;
    p += chunk;
    offset += chunk;
    size -= chunk;
  }
  return true;
}

bool MakeFolderChain(const std::wstring& folder) {
  // Every level from the root down; the ones that exist (or that are no
  // folder, as "\\?\C:") simply refuse.
  for (size_t at = folder.find(L'\\', 4); at != std::wstring::npos; at = folder.find(L'\\', at + 1)) {
    CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryW(folder.c_str(), nullptr);
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeRealFolder(const std::wstring& folder) {
  CreateDirectoryW(folder.c_str(), nullptr);
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsPlainFile(const std::wstring& path) {
  FileHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  // The standard information holds the count of names, and is quicker to
  // come by than everything GetFileInformationByHandle gathers.
  FILE_ATTRIBUTE_TAG_INFO tag;
  FILE_STANDARD_INFO standard;
  return file && GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag) &&
         GetFileInformationByHandleEx(file.get(), FileStandardInfo, &standard, sizeof standard) &&
         !(tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && standard.NumberOfLinks == 1;
}

}  // namespace skintool
