// The uninstall record: what an install did, in the Windows directory (which
// only an administrator can change), so that the uninstall removes exactly
// that and never what Setup.ini says by then. Its first line is
// "InstallDirectory=" and the chosen folder, then one key=value line for each
// value the install used, in Setup.ini's own format and encoding, with each
// value's bytes as Setup.ini holds them. A record of that first line alone,
// as earlier versions wrote it, names only the folder.
//
// A chosen folder that Setup.ini's encoding cannot spell (a Shift-JIS
// Setup.ini and a folder such as C:\Users\José) leaves the first line's value
// empty and is kept on the line "InstallDirectoryUnicode=": its UTF-8 bytes,
// each byte outside "!" to "~" and each "%" written as %XX, so that the line
// is plain ASCII in any reading and the folder comes back exactly.
#pragma once

#include <cstdint>
#include <string>

#include "common/text_encoding.h"
#include "installer/setting_keys.h"

// The key that makes a record a full one: every full record holds it.
constexpr char kRecordMarkerKey[] = "InstallDest";
constexpr char kRecordFolderKey[] = "InstallDirectory";
constexpr char kRecordUnicodeFolderKey[] = "InstallDirectoryUnicode";

// Calls visit(key) for every key of a full record after InstallDirectory,
// in the order they are written.
template <typename Visit>
void ForEachRecordedKey(Visit&& visit) {
  visit(kRecordMarkerKey);
  for (const char* stem : {"CreateDirectory", "CreateStartmenuDirectory", "CreateShortcutTo"}) {
    for (int i = 0; i < kNumberedKeys; ++i) visit(static_cast<const char*>(NumberedKey(stem, i)));
  }
}

// The record's bytes: the folder, then each recorded key with the value that
// `used` gives for it ("" for one the install left alone), in `encoding`.
std::string RecordText(const std::wstring& installFolder, TextEncoding encoding,
                       const char* (*used)(const char* key));

// The folder's form on the InstallDirectoryUnicode line, and back (false
// for a value that is not such a form).
std::string EscapedFolder(const std::wstring& folder);
bool UnescapeFolder(const std::string& escaped, std::wstring& folder);

// ----- Recognising a record ------------------------------------------------------

// A file is taken for a record only when it reads as one: its first line
// starts "InstallDirectory=", and it is no larger than a record can be.
constexpr uint64_t kMaxRecordBytes = 1 << 20;
bool ReadsAsRecord(const std::string& start, uint64_t size);

// What stands at the record's path: nothing, a record, or something else (a
// file that does not read as a record, a folder, a link, or a file that
// cannot be read), which the program never writes, reads or deletes.
enum class RecordFile { kAbsent, kRecord, kForeign };
RecordFile InspectRecordFile(const std::wstring& path);

// Writes the record named by UninstallIni (see record_path.h), unless
// something that is no record stands at its name. False when it could not
// be written in full.
bool WriteUninstallRecord(const std::wstring& recordName, const std::wstring& installFolder,
                          TextEncoding encoding, const char* (*used)(const char* key));
