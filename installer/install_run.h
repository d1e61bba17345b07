// One install's state, shared by its parts: the Install command on the
// user-interface thread (install_flow.cpp), its two workers
// (install_workers.cpp) and the start-menu entries (start_menu.cpp).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

extern std::atomic<uint32_t> filesNotCopied;  // by CopyThread
extern HANDLE copyDone;                       // set by CopyThread when its last file is closed
extern std::atomic<bool> stopping;            // the program is shutting down
extern std::atomic<bool> copyNotStarted;      // CopyThread could not be started

void ShowInstallError(const char* text);
std::wstring SettingText(const char* key);

// The numbered keys whose folder or shortcut this install made, so that the
// record names those and nothing else. Filled by the Install command before
// the workers start, then by ProgressThread alone.
void ForgetMadeEntries();
void NoteMadeEntry(const char* key);
// What the record keeps for a key: Setup.ini's bytes for the destination and
// for each folder and shortcut this install made, nothing for the others.
const char* UsedByThisInstall(const char* key);

// The start-menu folders and shortcuts (ProgressThread, once the copy is done).
void CreateStartMenuEntries();

DWORD WINAPI CopyThread(LPVOID);
DWORD WINAPI ProgressThread(LPVOID);
