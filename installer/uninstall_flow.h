// The uninstall: after the user's confirmation, removes the shortcuts, the
// start-menu folders, the installed tree, the configured folders and the
// uninstall record, all on the user-interface thread.
#pragma once

void UninstallCommand();

// If the value of key is not empty: removes base + "\" + value, as an empty
// folder when it is one, otherwise as a file.
void RemoveConfiguredEntry(const char* base, const char* key);
