// Start-up: reads Setup.ini, loads the base picture, opens the borderless
// window centred on the screen (or in reach, when it is larger than the work
// area), sets up the skin and runs the message loop.
#pragma once

#include <windows.h>

// The whole run of the program; returns the process exit code.
int RunSetup(HINSTANCE instance, int showCommand);

// Where the window's top-left corner goes. A window that fits the work area
// (the monitor less its task bars) is centred on the screen, each coordinate
// (screen - window) / 2 truncated toward zero. A larger one, which centring
// would push past the screen's edges, goes to the work area's top-left corner,
// so that its title area can be reached and dragged. An empty work area counts
// as the whole screen.
POINT WindowOrigin(SIZE screen, const RECT& workArea, SIZE window);
