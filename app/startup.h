// Start-up: reads Setup.ini, loads the base picture, opens the borderless
// window centred on the screen, sets up the skin and runs the message loop.
#pragma once

#include <windows.h>

// The whole run of the program; returns the process exit code.
int RunSetup(HINSTANCE instance, HINSTANCE previousInstance, int showCommand);

// Left or top that centres a picture of `size` on a screen of `screen`
// pixels (truncating toward zero, so it may be negative).
int CentredOrigin(int screen, int size);
