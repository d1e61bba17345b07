#include "installer/install_flow.h"

#include <cstring>

#include "common/message_box.h"
#include "common/messages.h"
#include "common/paths.h"
#include "common/win32_guards.h"
#include "imaging/skin_layout.h"
#include "installer/auto_start.h"
#include "installer/install_host.h"
#include "installer/path_guard.h"
#include "installer/record_path.h"
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

void ShowError(const char* text) { ShowMessage(installHost.window, text, kCaptionError, MB_OK); }

const char* Setting(const char* key) { return installHost.setting(key); }

void CreateConfiguredShortcut(int index) {
  char fromKey[32], toKey[32], descriptionKey[40];
  wsprintfA(fromKey, "CreateShortcutFrom%d", index);
  wsprintfA(toKey, "CreateShortcutTo%d", index);
  wsprintfA(descriptionKey, "CreateShortcutDescription%d", index);
  const char* from = Setting(fromKey);
  const char* to = Setting(toKey);
  if (from[0] == '\0' || to[0] == '\0') return;
  char programs[MAX_PATH], target[MAX_PATH], link[MAX_PATH], workingFolder[MAX_PATH];
  if (!installHost.shell->GetProgramsFolder(programs)) return;
  if (!JoinPath(target, installFolder, from) || !JoinPath(link, programs, to) ||
      !IsStrictlyInside(link, programs)) {
    return;
  }
  std::strcpy(workingFolder, target);
  CutToParent(workingFolder);
  installHost.shell->CreateShortcut(target, workingFolder, link, Setting(descriptionKey));
}

void CreateStartMenuEntries() {
  char programs[MAX_PATH];
  // Without the Programs folder nothing is made: names joined to an empty
  // folder would land at the root of the current drive.
  if (!installHost.shell->GetProgramsFolder(programs)) return;
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
  if (!BuildRecordPath(Setting("UninstallIni"), path)) return;
  FileHandle record(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!record) return;
  DWORD written = 0;
  WriteFile(record.get(), "InstallDirectory=", 17, &written, nullptr);
  WriteFile(record.get(), installFolder, static_cast<DWORD>(std::strlen(installFolder)), &written,
            nullptr);
}

DWORD WINAPI CopyThread(LPVOID) {
  installHost.shell->CopyTree(sourceFolder, destFolder, copiedBytes, copyProblems);
  SetEvent(copyDone);
  return 0;
}

DWORD WINAPI ProgressThread(LPVOID) {
  // The bar advances at most one hundredth a tick; the loop also ends when the
  // copy has ended without meeting the total (a file skipped or resized).
  bool copyEnded = false;
  for (uint32_t n = 1; copiedBytes.load() != totalBytes && !copyEnded;) {
    if (copiedBytes.load() > static_cast<uint64_t>(n) * bytesPerStep && n <= 100) {
      installHost.drawBar(static_cast<int32_t>(n) * pixelsPerStep);
      ++n;
    }
    copyEnded = WaitForSingleObject(copyDone, kTickMilliseconds) == WAIT_OBJECT_0;
  }
  // The last file is closed only after the count reaches the total.
  WaitForSingleObject(copyDone, INFINITE);
  installHost.drawBar(installHost.barWidth());

  if (copyProblems.filesNotCopied.load() > 0 && !stopping) ShowError(kMsgFilesNotCopied);

  CreateStartMenuEntries();
  WriteUninstallRecord();
  installHost.reloadRecord();

  // The target is checked and held before the question: whatever stands there
  // while it is up can no longer be changed, and a target that would not be
  // launched is not offered. Refused, the install ends as after "No".
  const int autoStart = installHost.numberSetting("AutoStart");
  AutoStartTarget target;
  if (!stopping && (autoStart == 1 || autoStart == 2) &&
      target.Hold(installFolder, Setting("AutoStartPath"), destFolder, sourceFolder) &&
      (autoStart == 2 || ShowMessage(installHost.window, Setting("AutoStartText"),
                                     kCaptionInformation, MB_YESNO) == IDYES) &&
      !stopping) {
    target.Launch();  // held until the shell has handed the launch over
    PostMessageA(installHost.window, WM_DESTROY, 0, 0);
    return 0;  // the program ends; busy stays set until then
  }

  installHost.composeScreen();
  installed = 1;  // before busy drops, so Install never reacts to a finished install
  busy = 0;
  return 0;
}


}  // namespace

void CreateConfiguredFolder(const char* base, const char* key) {
  const char* value = Setting(key);
  if (value[0] == '\0') return;
  char path[MAX_PATH];
  // A value such as "..\Other" would reach out of the folder it belongs to.
  if (JoinPath(path, base, value) && IsStrictlyInside(path, base)) CreateDirectoryA(path, nullptr);
}

void InstallCommand() {
  if (installHost.barWidth() < kMinimumBarWidth) {
    ShowError(kMsgProgressBarTooNarrow);
    SendMessageA(installHost.window, WM_DESTROY, 0, 0);
    return;
  }

  char current[MAX_PATH] = {};
  const DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
  if (length == 0 || length >= MAX_PATH) current[0] = '\0';
  CutDriveRootBackslash(current);
  if (!JoinPath(sourceFolder, current, "data")) sourceFolder[0] = '\0';

  const bool cancelled = installHost.shell->ChooseFolder(installFolder);
  if (installHost.shutdownHasRun()) return;  // the window was closed while the chooser was up
  if (cancelled) {
    ShowMessage(installHost.window, kMsgInstallCancelled, kCaptionInformation, MB_OK);
    return;
  }
  CutDriveRootBackslash(installFolder);

  // A destination inside the payload would make the copy walk into its own
  // output; a payload inside the destination would be emptied with it by the
  // uninstall (Setup.ini, ui and data with it).
  char plannedDest[MAX_PATH];
  if (sourceFolder[0] != '\0' &&
      JoinPath(plannedDest, installFolder, Setting("InstallDest"))) {
    if (WouldLieInside(plannedDest, sourceFolder)) {
      ShowError(kMsgDestinationInsidePayload);
      return;
    }
    if (WouldLieInside(sourceFolder, plannedDest)) {
      ShowError(kMsgPayloadInsideDestination);
      return;
    }
  }

  totalBytes = installHost.shell->ScanTreeSize(sourceFolder);
  if (installHost.shell->LacksFreeSpace(installFolder, totalBytes)) {
    ShowError(kMsgNotEnoughSpace);
    return;
  }

  char key[32];
  for (int i = 0; i <= 4; ++i) {
    wsprintfA(key, "CreateDirectory%d", i);
    CreateConfiguredFolder(installFolder, key);
  }
  if (!JoinPath(destFolder, installFolder, Setting("InstallDest")) ||
      GetFileAttributesA(destFolder) == INVALID_FILE_ATTRIBUTES) {
    ShowError(kMsgDestinationMissing);
    return;
  }

  // Without the event the progress loop could not wait between ticks.
  if (!copyDone) copyDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!copyDone) return;

  busy = 1;
  installHost.showBareBase();

  copiedBytes = 0;
  bytesPerStep = totalBytes / 100;
  pixelsPerStep = BarPixelsPerStep(installHost.barWidth());
  copyProblems.filesNotCopied = 0;
  CloseWorkerHandles();  // those of an earlier install, long ended
  ResetEvent(copyDone);

  progressThread = CreateThread(nullptr, 0, ProgressThread, nullptr, 0, nullptr);
  if (!progressThread) {  // nothing could finish the install: give the buttons back
    installHost.composeScreen();
    busy = 0;
    return;
  }
  copyThread = CreateThread(nullptr, 0, CopyThread, nullptr, 0, nullptr);
  if (!copyThread) SetEvent(copyDone);  // the bar then completes and the install finishes
}

void RequestInstallStop() { stopping = true; }

void CloseWorkerHandles() {
  for (HANDLE* handle : {&copyThread, &progressThread}) {
    if (*handle) CloseHandle(*handle);
    *handle = nullptr;
  }
}
