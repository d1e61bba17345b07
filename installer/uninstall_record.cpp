#include "installer/uninstall_record.h"

#include <windows.h>

#include "common/win32_guards.h"
#include "installer/record_path.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string EscapedFolder(const std::wstring& folder) {
  std::string escaped;
  for (unsigned char b : Utf8FromWide(folder)) {
    if (b > ' ' && b <= '~' && b != '%') {
      escaped += static_cast<char>(b);
    } else {
      escaped += '%';
      escaped += kHexDigits[b >> 4];
      escaped += kHexDigits[b & 0xF];
    }
  }
  return escaped;
}

bool UnescapeFolder(const std::string& escaped, std::wstring& folder) {
  std::string bytes;
  for (size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != '%') {
      bytes += escaped[i];
      continue;
    }
    const int high = i + 2 < escaped.size() ? HexValue(escaped[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(escaped[i + 2]) : -1;
    if (low < 0) return false;
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return DecodeText(bytes, TextEncoding::kUtf8, folder) && !folder.empty();
}

std::string RecordText(const std::wstring& installFolder, TextEncoding encoding,
                       const char* (*used)(const char* key)) {
  // CR LF after every line: a value ending in a lead byte then takes the CR as
  // its trail byte, and the LF still ends the line.
  // A drive root is recorded as the bare drive "D:", as it always was.
  std::wstring recorded = installFolder;
  if (recorded.size() == 3 && recorded[1] == L':' && recorded[2] == L'\\') recorded.pop_back();
  std::string folder;
  const bool spelt = EncodeText(recorded, encoding, folder);
  std::string text = std::string(kRecordFolderKey) + "=" + (spelt ? folder : "");
  if (!spelt) text += std::string("\r\n") + kRecordUnicodeFolderKey + "=" + EscapedFolder(recorded);
  ForEachRecordedKey([&](const char* key) {
    text += "\r\n";
    text += key;
    text += '=';
    text += used(key);
  });
  text += "\r\n";
  return text;
}

bool ReadsAsRecord(const std::string& start, uint64_t size) {
  const std::string firstKey = std::string(kRecordFolderKey) + "=";
  return size <= kMaxRecordBytes && start.compare(0, firstKey.size(), firstKey) == 0;
}

RecordFile InspectRecordFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? RecordFile::kAbsent
                                                                          : RecordFile::kForeign;
  }
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return RecordFile::kForeign;
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  LARGE_INTEGER size;
  if (!file || !GetFileSizeEx(file.get(), &size)) return RecordFile::kForeign;
  char start[sizeof kRecordFolderKey] = {};
  DWORD read = 0;
  if (!ReadFile(file.get(), start, sizeof start, &read, nullptr)) return RecordFile::kForeign;
  return ReadsAsRecord(std::string(start, read), static_cast<uint64_t>(size.QuadPart)) ? RecordFile::kRecord
                                                                                       : RecordFile::kForeign;
}

bool WriteUninstallRecord(const std::wstring& recordName, const std::wstring& installFolder,
                          TextEncoding encoding, const char* (*used)(const char* key)) {
  std::wstring path;
  if (!BuildRecordPath(recordName, path) || InspectRecordFile(path) == RecordFile::kForeign) return false;
  FileHandle record(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!record) return false;
  const std::string text = RecordText(installFolder, encoding, used);
  DWORD written = 0;
  return WriteFile(record.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}
