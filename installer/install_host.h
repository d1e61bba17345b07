// What the install and uninstall flows share with the application around
// them. The application fills `installHost` once its window and skin are set
// up, before any command can run; the flows reach the window, the settings,
// the record and the screen only through it, never through the application's
// own headers.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "common/text_encoding.h"

class SetupShell;

struct InstallHost {
  HWND window = nullptr;        // owner of the flows' message boxes; WM_DESTROY ends the program
  SetupShell* shell = nullptr;  // the folder-tree and shell operations
  // Setup.ini as it reads now: a value's bytes ("" when missing), the same as
  // text, a number (0 when missing), and how the file spells text.
  const char* (*setting)(const char* key) = nullptr;
  std::wstring (*settingText)(const char* key) = nullptr;
  int (*numberSetting)(const char* key) = nullptr;
  TextEncoding (*settingsEncoding)() = nullptr;
  // A value of the uninstall record read last, as text; false when the
  // record, or that key in it, is missing.
  bool (*recorded)(const char* key, std::wstring& text) = nullptr;
  // Reads the record again, after the install has written it.
  void (*reloadRecord)() = nullptr;
  // The progress bar: its width, and drawing its left `width` pixels onto the window.
  int32_t (*barWidth)() = nullptr;
  void (*drawBar)(int32_t width) = nullptr;
  // The screen: the bare base picture while the install runs, the composed
  // screen (base and buttons) afterwards. Callable from the install's workers.
  void (*showBareBase)() = nullptr;
  void (*composeScreen)() = nullptr;
  // True once the program has begun to shut down: code that waited in a
  // modal loop (a message box, the folder chooser) checks it first.
  bool (*shutdownHasRun)() = nullptr;
};
extern InstallHost installHost;

// Flags the window procedure reads while the install's workers write them.
extern std::atomic<uint8_t> busy;       // a command is running: no button reacts
extern std::atomic<uint8_t> installed;  // the uninstall record exists
// The install's workers, while they run (and until the next install or the shutdown).
extern HANDLE copyThread;
extern HANDLE progressThread;
