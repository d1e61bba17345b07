// The application state: the process-wide objects through which start-up, the
// skin and the window procedure meet. Start-up and the skin set-up fill it; the
// objects are released exactly once, after the message loop has ended. The
// install reaches what it needs of it through installHost (installer/install_host.h).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "app/setup_ini.h"
#include "imaging/surface.h"
#include "installer/install_host.h"

class SetupShell;

struct TitleBar {
  int32_t left, top, right, bottom;  // all edges inclusive
};

extern SetupIni* setupStore;
extern SetupIni* recordStore;
extern HWND mainWindow;
extern HDC windowDC;
extern Surface* baseSurface;
extern Surface* screenSurface;
extern Surface* installButton;
extern Surface* uninstallButton;
extern Surface* exitButton;
extern Surface* installHover;
extern Surface* uninstallHover;
extern Surface* exitHover;
extern Surface* progressBar;
extern SetupShell* setupShell;
extern TitleBar titleBar;

// The first screen is composed and nothing has been released: painting may use it.
extern std::atomic<uint8_t> screenReady;
// busy, installed, copyThread and progressThread are shared with the install:
// installer/install_host.h.

// Held while screenSurface is recomposed or drawn: the install's progress
// thread recomposes it while the window may paint from it.
extern std::mutex screenLock;

// Window class of the main window.
extern const wchar_t kWindowClassName[];
