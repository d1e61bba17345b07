// What setup.exe decides about a name that Setup.ini gives, asked of its own
// code with stand-in folders: whether a relative name stays inside the folder
// it is joined to does not depend on where that folder is. Names are UTF-8
// text, as the checker holds Setup.ini's values; setup.exe's code takes them
// as UTF-16.
#pragma once

#include <string>

namespace skintool {

// Whether setup.exe makes (CreateDirectoryN, CreateStartmenuDirectoryN) or
// saves (CreateShortcutToN) base + "\" + value: only what lies strictly
// inside base; anything else it skips without a word.
bool SetupKeepsInside(const std::string& value);

// Whether setup.exe's auto-start would start a file of this name: never a
// shortcut or another type the shell follows elsewhere (.lnk, .url, ...).
bool SetupLaunchesFileNamed(const std::string& path);

// Whether setup.exe writes, reads and deletes an uninstall record of this name.
bool SetupHasRecordNamed(const std::string& name);

}  // namespace skintool
