// The uninstall record: what an install did, in the Windows directory (which
// only an administrator can change), so that the uninstall removes exactly
// that and never what Setup.ini says by then. Its first line is
// "InstallDirectory=" and the chosen folder, then one key=value line for each
// value the install used, in Setup.ini's own format. A record of that first
// line alone, as earlier versions wrote it, names only the folder.
#pragma once

#include <string>

#include "installer/setting_keys.h"

// The key that makes a record a full one: every full record holds it.
constexpr char kRecordMarkerKey[] = "InstallDest";

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
// `used` gives for it ("" for one the install left alone).
std::string RecordText(const char* installFolder, const char* (*used)(const char* key));

// Writes the record named by UninstallIni (see record_path.h). False when it
// could not be written in full.
bool WriteUninstallRecord(const char* recordName, const char* installFolder,
                          const char* (*used)(const char* key));
