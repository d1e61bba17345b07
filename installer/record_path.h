// Where the uninstall record lives: the Windows directory + "\" + the name
// that UninstallIni gives.
#pragma once

#include <string>

// The record's full path. False, with path empty, when the Windows directory
// cannot be had, or the name is not a plain file name (empty, or holding "\",
// "/", ":", "?" or "*") or leads out of the Windows directory
// (RecordPathIn): the record is then neither read, written nor deleted.
bool BuildRecordPath(const std::wstring& name, std::wstring& path);
