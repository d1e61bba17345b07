#include "installer/uninstall_record.h"

#include <windows.h>

#include "common/win32_guards.h"
#include "installer/record_path.h"

std::string RecordText(const char* installFolder, const char* (*used)(const char* key)) {
  // CR LF after every line: a value ending in a lead byte then takes the CR as
  // its trail byte, and the LF still ends the line.
  std::string text = std::string("InstallDirectory=") + installFolder;
  ForEachRecordedKey([&](const char* key) {
    text += "\r\n";
    text += key;
    text += '=';
    text += used(key);
  });
  text += "\r\n";
  return text;
}

bool WriteUninstallRecord(const char* recordName, const char* installFolder,
                          const char* (*used)(const char* key)) {
  char path[MAX_PATH];
  if (!BuildRecordPath(recordName, path)) return false;
  FileHandle record(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!record) return false;
  const std::string text = RecordText(installFolder, used);
  DWORD written = 0;
  return WriteFile(record.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}
