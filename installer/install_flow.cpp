// The Install command, on the user-interface thread: the checks and the
// folder choice, the configured folders, then the two workers
// (install_workers.cpp).
#include "installer/install_flow.h"

#include <string>

#include "common/message_box.h"
#include "common/messages.h"
#include "common/skin_archive.h"
#include "common/paths.h"
#include "imaging/skin_layout.h"
#include "installer/install_host.h"
#include "installer/install_run.h"
#include "installer/path_guard.h"
#include "installer/record_path.h"
#include "installer/setting_keys.h"
#include "installer/setup_shell.h"
#include "installer/uninstall_record.h"

std::wstring installFolder;
std::wstring sourceFolder;
std::wstring destFolder;
uint32_t totalBytes;
std::atomic<uint32_t> copiedBytes{0};
uint32_t bytesPerStep;
int32_t pixelsPerStep;
void (*copyStartHook)() = nullptr;

std::atomic<uint32_t> filesNotCopied{0};
HANDLE copyDone = nullptr;
std::atomic<bool> stopping{false};
std::atomic<bool> copyNotStarted{false};

void ShowInstallError(const char* text) { ShowMessage(installHost.window, text, kCaptionError, MB_OK); }

std::wstring SettingText(const char* key) { return installHost.settingText(key); }

namespace {

// ----- InstallCommand's steps: each false has stopped the install ------------

// A bar narrower than its hundred steps ends the program.
bool HasUsableProgressBar() {
  if (installHost.barWidth() >= kMinimumBarWidth) return true;
  ShowInstallError(kMsgProgressBarTooNarrow);
  SendMessageW(installHost.window, WM_DESTROY, 0, 0);
  return false;
}

// sourceFolder := the current directory + "\data" ("" when it cannot be had,
// and for a packed setup.exe, whose payload is its archive's, never files beside it).
void TakeSourceFolder() {
  if (PackedSkin() || !ResolveFullPath(L"data", sourceFolder)) sourceFolder.clear();
}

// The record's name is free, or holds a record: anything else standing
// there is never overwritten, so the install does not begin.
bool RecordNameIsFree() {
  std::wstring record;
  if (!BuildRecordPath(SettingText("UninstallIni"), record) || InspectRecordFile(record) != RecordFile::kForeign) {
    return true;
  }
  ShowInstallError(kMsgRecordNameTaken);
  return false;
}

// installFolder := the folder the user chooses, as a full path.
bool TakeChosenFolder() {
  const FolderChoice choice = installHost.shell->ChooseFolder(installFolder);
  if (installHost.shutdownHasRun()) return false;  // the window was closed while the chooser was up
  if (choice == FolderChoice::kCancelled) {
    ShowMessage(installHost.window, kMsgInstallCancelled, kCaptionInformation, MB_OK);
    return false;
  }
  // Everything the install does below the chosen folder goes through it held:
  // one that cannot be held (a link the system refuses to follow for this
  // program, a folder gone meanwhile) gets nothing.
  FolderChain chosen;
  if (chosen.Hold(installFolder, installFolder) == FolderCheck::kHeld) return true;
  ShowMessage(installHost.window,
              WideFromShiftJis(kMsgChosenFolderPrefix) + installFolder + WideFromShiftJis(kMsgChosenFolderUnusableSuffix),
              WideFromShiftJis(kCaptionError), MB_OK);
  return false;
}

// Whether the destination installFolder + InstallDest may receive the payload.
bool IsDestinationAllowed(const std::wstring& installDest) {
  // InstallDest names a folder inside the chosen one, or (empty, or ".")
  // the chosen folder itself: one such as "..\..\Other" installs nothing.
  const std::wstring plannedDest = JoinPath(installFolder, installDest);
  if (!IsSameOrInside(plannedDest, installFolder)) {
    ShowInstallError(kMsgDestinationMissing);
    return false;
  }
  const bool intoChosenFolder = IsSameOrInside(installFolder, plannedDest);
  if (sourceFolder.empty()) return true;
  // A destination inside the payload would make the copy walk into its own
  // output; a payload inside the destination would be emptied with it by the
  // uninstall (Setup.ini, ui and data with it), which empties a destination
  // only when InstallDest names one below the chosen folder.
  if (WouldLieInside(plannedDest, sourceFolder)) {
    ShowInstallError(kMsgDestinationInsidePayload);
    return false;
  }
  if (!intoChosenFolder && WouldLieInside(sourceFolder, plannedDest)) {
    ShowInstallError(kMsgPayloadInsideDestination);
    return false;
  }
  return true;
}

// totalBytes := the payload's size, which must fit on the chosen folder's drive.
bool HasRoomForPayload() {
  const SkinArchive* archive = PackedSkin();
  totalBytes = archive ? installHost.shell->ScanArchiveSize(*archive) : installHost.shell->ScanTreeSize(sourceFolder);
  if (!installHost.shell->LacksFreeSpace(installFolder, totalBytes)) return true;
  ShowInstallError(kMsgNotEnoughSpace);
  return false;
}

// CreateDirectory0 to 4, then destFolder, which must exist by now.
bool MakeConfiguredFolders(const std::wstring& installDest) {
  ForgetMadeEntries();
  for (int i = 0; i < kNumberedKeys; ++i) {
    CreateConfiguredFolder(installFolder, NumberedKey("CreateDirectory", i));
  }
  if (ResolveFullPath(JoinPath(installFolder, installDest), destFolder) &&
      GetFileAttributesW(ExtendedLengthPath(destFolder).c_str()) != INVALID_FILE_ATTRIBUTES) {
    return true;
  }
  ShowInstallError(kMsgDestinationMissing);
  return false;
}

// busy, the bare base, and the two workers. A worker that cannot be started
// ends the install with a message and the buttons as before it.
void StartWorkers() {
  // Without the event the progress loop could not wait between ticks.
  if (!copyDone) copyDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!copyDone) {
    ShowInstallError(kMsgCopyNotStarted);
    return;
  }
  busy = 1;
  installHost.showBareBase();

  copiedBytes = 0;
  bytesPerStep = totalBytes / 100;
  pixelsPerStep = BarPixelsPerStep(installHost.barWidth());
  filesNotCopied = 0;
  copyNotStarted = false;
  CloseWorkerHandles();  // those of an earlier install, long ended
  ResetEvent(copyDone);

  progressThread = CreateThread(nullptr, 0, ProgressThread, nullptr, 0, nullptr);
  if (!progressThread) {
    installHost.composeScreen();
    busy = 0;
    ShowInstallError(kMsgCopyNotStarted);
    return;
  }
  copyThread = CreateThread(nullptr, 0, CopyThread, nullptr, 0, nullptr);
  if (!copyThread) {  // ProgressThread gives the buttons back and says so
    copyNotStarted = true;
    SetEvent(copyDone);
  }
}

}  // namespace

bool CreateConfiguredFolder(const std::wstring& base, const char* key) {
  const std::wstring value = SettingText(key);
  if (value.empty()) return false;
  // A value such as "..\Other" would reach out of the folder it belongs to,
  // and a link on the way would lead the new folder elsewhere.
  FolderChain folders;
  const std::wstring path = folders.HoldPlaceOf(base, JoinPath(base, value));
  if (path.empty() || !CreateDirectoryW(ExtendedLengthPath(path).c_str(), nullptr)) return false;
  NoteMadeEntry(key);
  return true;
}

void InstallCommand() {
  if (!HasUsableProgressBar() || !RecordNameIsFree()) return;
  TakeSourceFolder();
  if (!TakeChosenFolder()) return;
  const std::wstring installDest = SettingText("InstallDest");
  if (!IsDestinationAllowed(installDest) || !HasRoomForPayload() ||
      !MakeConfiguredFolders(installDest)) {
    return;
  }
  StartWorkers();
}

void RequestInstallStop() { stopping = true; }

void CloseWorkerHandles() {
  for (HANDLE* handle : {&copyThread, &progressThread}) {
    if (*handle) CloseHandle(*handle);
    *handle = nullptr;
  }
}
