// The application state: the process-wide objects through which start-up, the
// window procedure and the install and uninstall flows meet. Start-up and the
// skin set-up fill it; the shutdown sequence releases each object exactly once.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "app/setup_ini.h"
#include "imaging/surface.h"

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

// Flags shared with the install worker threads.
extern std::atomic<uint8_t> screenReady;
extern std::atomic<uint8_t> busy;
extern std::atomic<uint8_t> installed;

// Held while screenSurface is recomposed or drawn: the install's progress
// thread recomposes it while the window may paint from it.
extern std::mutex screenLock;

extern HANDLE copyThread;
extern HANDLE progressThread;

// Window class of the main window.
extern const char kWindowClassName[];
