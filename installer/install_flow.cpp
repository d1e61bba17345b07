#include "installer/install_flow.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>
#include <mutex>

#include "app/app_state.h"
#include "app/messages.h"
#include "app/record_path.h"
#include "app/skin.h"
#include "app/window_proc.h"
#include "common/message_box.h"
#include "common/paths.h"
#include "common/win32_guards.h"
#include "imaging/skin_layout.h"
#include "installer/path_guard.h"
#include "installer/setup_shell.h"

char installFolder[MAX_PATH];
char sourceFolder[MAX_PATH];
char destFolder[MAX_PATH];
uint32_t totalBytes;
std::atomic<uint32_t> copiedBytes{0};
uint32_t bytesPerStep;
int32_t pixelsPerStep;

namespace {

constexpr int kMinimumBarWidth = 100;
constexpr DWORD kTickMilliseconds = 100;

CopyProblems copyProblems;
HANDLE copyDone = nullptr;             // set by CopyThread when its last file is closed
std::atomic<bool> stopping{false};     // the program is shutting down

void ShowError(const char* text) { ShowMessage(mainWindow, text, kCaptionError, MB_OK); }

// Under Wine, drawing that a thread without a message loop does reaches the
// screen only when some thread of the process next looks at its queue; this
// worker does so itself. On Windows the call returns at once with nothing.
void ShowDrawingNow() {
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
}

// Draws the left `width` pixels of the progress bar straight onto the window.
void DrawBar(int32_t width) {
  BitBlt(windowDC, progressBar->left, progressBar->top, width, progressBar->height,
         progressBar->dc, 0, 0, SRCCOPY);
  ShowDrawingNow();
}

void CreateConfiguredShortcut(int index) {
  char fromKey[32], toKey[32], descriptionKey[40];
  wsprintfA(fromKey, "CreateShortcutFrom%d", index);
  wsprintfA(toKey, "CreateShortcutTo%d", index);
  wsprintfA(descriptionKey, "CreateShortcutDescription%d", index);
  const char* from = setupStore->ValueOf(fromKey);
  const char* to = setupStore->ValueOf(toKey);
  if (from[0] == '\0' || to[0] == '\0') return;
  char programs[MAX_PATH], target[MAX_PATH], link[MAX_PATH], workingFolder[MAX_PATH];
  if (!setupShell->GetProgramsFolder(programs)) return;
  if (!JoinPath(target, installFolder, from) || !JoinPath(link, programs, to) ||
      !IsStrictlyInside(link, programs)) {
    return;
  }
  std::strcpy(workingFolder, target);
  PathRemoveFileSpecA(workingFolder);
  setupShell->CreateShortcut(target, workingFolder, link, setupStore->ValueOf(descriptionKey));
}

void CreateStartMenuEntries() {
  char programs[MAX_PATH];
  // Without the Programs folder nothing is made: names joined to an empty
  // folder would land at the root of the current drive.
  if (!setupShell->GetProgramsFolder(programs)) return;
  char key[40];
  for (int i = 0; i <= 4; ++i) {
    wsprintfA(key, "CreateStartmenuDirectory%d", i);
    CreateConfiguredFolder(programs, key);
  }
  for (int i = 0; i <= 4; ++i) CreateConfiguredShortcut(i);
}

// "InstallDirectory=" and the chosen folder, without a line end.
void WriteUninstallRecord() {
  char path[MAX_PATH];
  if (!BuildRecordPath(path)) return;
  FileHandle record(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!record) return;
  DWORD written = 0;
  WriteFile(record.get(), "InstallDirectory=", 17, &written, nullptr);
  WriteFile(record.get(), installFolder, static_cast<DWORD>(std::strlen(installFolder)), &written,
            nullptr);
}

void ReloadRecord() {
  auto* store = new SetupIni();
  BuildRecordPath(store->path);
  store->Load();
  SetupIni* old = recordStore;
  recordStore = store;
  delete old;  // nobody reads it while the install is busy
}

void Launch() {
  char path[MAX_PATH], folder[MAX_PATH];
  if (JoinPath(path, installFolder, setupStore->ValueOf("AutoStartPath"))) {
    std::strcpy(folder, path);
    PathRemoveFileSpecA(folder);
    ComInit com;
    // NOASYNC: the program ends right after this, and a launch still being
    // handed over on another thread would be lost with it.
    SHELLEXECUTEINFOA launch = {};
    launch.cbSize = sizeof launch;
    launch.fMask = SEE_MASK_NOASYNC;
    launch.lpFile = path;
    launch.lpDirectory = folder;
    launch.nShow = SW_SHOWNORMAL;
    ShellExecuteExA(&launch);
  }
  PostMessageA(mainWindow, WM_DESTROY, 0, 0);
}

DWORD WINAPI CopyThread(LPVOID) {
  setupShell->CopyTree(sourceFolder, destFolder, copiedBytes, copyProblems);
  SetEvent(copyDone);
  return 0;
}

DWORD WINAPI ProgressThread(LPVOID) {
  // The bar advances at most one hundredth a tick; the loop also ends when the
  // copy has ended without meeting the total (a file skipped or resized).
  bool copyEnded = false;
  for (uint32_t n = 1; copiedBytes.load() != totalBytes && !copyEnded;) {
    if (copiedBytes.load() > static_cast<uint64_t>(n) * bytesPerStep && n <= 100) {
      DrawBar(static_cast<int32_t>(n) * pixelsPerStep);
      ++n;
    }
    copyEnded = WaitForSingleObject(copyDone, kTickMilliseconds) == WAIT_OBJECT_0;
  }
  // The last file is closed only after the count reaches the total.
  WaitForSingleObject(copyDone, INFINITE);
  DrawBar(progressBar->width);

  if (copyProblems.filesNotCopied.load() > 0 && !stopping) ShowError(kMsgFilesNotCopied);

  CreateStartMenuEntries();
  WriteUninstallRecord();
  ReloadRecord();

  const int autoStart = setupStore->NumberOf("AutoStart");
  if (!stopping && (autoStart == 2 ||
                    (autoStart == 1 && ShowMessage(mainWindow, setupStore->ValueOf("AutoStartText"),
                                                   kCaptionInformation, MB_YESNO) == IDYES))) {
    if (!stopping) {
      Launch();
      return 0;  // the program ends; busy stays set until then
    }
  }

  ComposeScreen();
  ShowDrawingNow();
  installed = 1;  // before busy drops, so Install never reacts to a finished install
  busy = 0;
  return 0;
}

// Ends a message box that a worker shows: "No" where it asks, "OK" otherwise.
BOOL CALLBACK AnswerWorkerBox(HWND window, LPARAM) {
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  if (std::strcmp(className, "#32770") == 0) {
    const int button = GetDlgItem(window, IDNO) ? IDNO : IDOK;
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  }
  return TRUE;
}

// Waits for a worker while still taking the messages other threads send to
// this one (a worker's message box sends to its owner window).
void WaitForWorker(HANDLE thread) {
  const DWORD threadId = GetThreadId(thread);
  for (;;) {
    const DWORD result = MsgWaitForMultipleObjects(1, &thread, FALSE, 50, QS_SENDMESSAGE);
    if (result == WAIT_OBJECT_0 || result == WAIT_FAILED) return;
    if (result == WAIT_OBJECT_0 + 1) {
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      continue;
    }
    EnumThreadWindows(threadId, AnswerWorkerBox, 0);
  }
}

void CloseWorkerHandles() {
  for (HANDLE* handle : {&copyThread, &progressThread}) {
    if (*handle) CloseHandle(*handle);
    *handle = nullptr;
  }
}

}  // namespace

void CreateConfiguredFolder(const char* base, const char* key) {
  const char* value = setupStore->ValueOf(key);
  if (value[0] == '\0') return;
  char path[MAX_PATH];
  // A value such as "..\Other" would reach out of the folder it belongs to.
  if (JoinPath(path, base, value) && IsStrictlyInside(path, base)) CreateDirectoryA(path, nullptr);
}

void InstallCommand() {
  if (progressBar->width < kMinimumBarWidth) {
    ShowError(kMsgProgressBarTooNarrow);
    SendMessageA(mainWindow, WM_DESTROY, 0, 0);
    return;
  }

  char current[MAX_PATH] = {};
  const DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
  if (length == 0 || length >= MAX_PATH) current[0] = '\0';
  CutDriveRootBackslash(current);
  if (!JoinPath(sourceFolder, current, "data")) sourceFolder[0] = '\0';

  const bool cancelled = setupShell->ChooseFolder(installFolder);
  if (ShutdownHasRun()) return;  // the window was closed while the chooser was up
  if (cancelled) {
    ShowMessage(mainWindow, kMsgInstallCancelled, kCaptionInformation, MB_OK);
    return;
  }
  CutDriveRootBackslash(installFolder);

  // A destination inside the payload would make the copy walk into its own
  // output; a payload inside the destination would be emptied with it by the
  // uninstall (Setup.ini, ui and data with it).
  char plannedDest[MAX_PATH];
  if (sourceFolder[0] != '\0' &&
      JoinPath(plannedDest, installFolder, setupStore->ValueOf("InstallDest"))) {
    if (WouldLieInside(plannedDest, sourceFolder)) {
      ShowError(kMsgDestinationInsidePayload);
      return;
    }
    if (WouldLieInside(sourceFolder, plannedDest)) {
      ShowError(kMsgPayloadInsideDestination);
      return;
    }
  }

  totalBytes = setupShell->ScanTreeSize(sourceFolder);
  if (setupShell->LacksFreeSpace(installFolder, totalBytes)) {
    ShowError(kMsgNotEnoughSpace);
    return;
  }

  char key[32];
  for (int i = 0; i <= 4; ++i) {
    wsprintfA(key, "CreateDirectory%d", i);
    CreateConfiguredFolder(installFolder, key);
  }
  if (!JoinPath(destFolder, installFolder, setupStore->ValueOf("InstallDest")) ||
      GetFileAttributesA(destFolder) == INVALID_FILE_ATTRIBUTES) {
    ShowError(kMsgDestinationMissing);
    return;
  }

  // Without the event the progress loop could not wait between ticks.
  if (!copyDone) copyDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!copyDone) return;

  busy = 1;
  {
    std::lock_guard<std::mutex> lock(screenLock);
    screenSurface->CopyFrom(*baseSurface);
    screenSurface->BlitToWindow();
  }

  copiedBytes = 0;
  bytesPerStep = totalBytes / 100;
  pixelsPerStep = BarPixelsPerStep(progressBar->width);
  copyProblems.filesNotCopied = 0;
  CloseWorkerHandles();  // those of an earlier install, long ended
  ResetEvent(copyDone);

  progressThread = CreateThread(nullptr, 0, ProgressThread, nullptr, 0, nullptr);
  if (!progressThread) {  // nothing could finish the install: give the buttons back
    ComposeScreen();
    busy = 0;
    return;
  }
  copyThread = CreateThread(nullptr, 0, CopyThread, nullptr, 0, nullptr);
  if (!copyThread) SetEvent(copyDone);  // the bar then completes and the install finishes
}

void StopInstallWorkers() {
  stopping = true;
  if (copyThread) WaitForWorker(copyThread);
  if (progressThread) WaitForWorker(progressThread);
  CloseWorkerHandles();
}
