// The uninstall: after the user's confirmation, removes the shortcuts, the
// start-menu folders, the installed tree, the configured folders and the
// uninstall record, all on the user-interface thread. What it removes comes
// from the record the install wrote; a record of one line (from an earlier
// version) names only the folder, and the rest then comes from Setup.ini.
#pragma once

void UninstallCommand();
