// setup.exe: a skinned installer and uninstaller driven by Setup.ini, the
// pictures in ui\ and the payload in data\, all beside the current directory.
#include <windows.h>

#include "app/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  return RunSetup(instance, showCommand);
}
