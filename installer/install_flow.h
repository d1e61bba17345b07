// The install: the Install command on the user-interface thread, then two
// workers: CopyThread copies data\ into the destination while ProgressThread
// grows the progress bar and finishes (start menu, uninstall record,
// auto-start, final screen).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

// Full paths, written before the workers start and only read by them.
extern std::wstring installFolder;  // the chosen folder
extern std::wstring sourceFolder;   // current directory + "\data"
extern std::wstring destFolder;     // installFolder + "\" + InstallDest
extern uint32_t totalBytes;
extern std::atomic<uint32_t> copiedBytes;
extern uint32_t bytesPerStep;
extern int32_t pixelsPerStep;

void InstallCommand();

// For the shutdown sequence: from now on the workers ask nothing, report
// nothing and launch nothing; they only finish their work.
void RequestInstallStop();
// Closes the handles of the workers (after they have ended) and clears them.
void CloseWorkerHandles();

// If the value of key is not empty, creates base + "\" + value, unless that
// leads out of base or through a link below it. True when this made it (the
// record then names it); false for a folder that was there already.
bool CreateConfiguredFolder(const std::wstring& base, const char* key);

// CopyThread's work: holds the folders from installFolder down to destFolder
// and the payload folder, then copies the payload by their held paths,
// counting into copiedBytes. copyStartHook, when set (tests), runs once all
// is held and before the first file.
void CopyPayload();
extern void (*copyStartHook)();
