// The install's two workers: CopyThread copies the payload into the held
// destination; ProgressThread grows the bar while it does, then finishes the
// install (start menu, record, auto-start, final screen).
#include "installer/install_flow.h"

#include "common/message_box.h"
#include "common/messages.h"
#include "common/skin_archive.h"
#include "installer/auto_start.h"
#include "installer/install_host.h"
#include "installer/install_run.h"
#include "installer/path_guard.h"
#include "installer/record_path.h"
#include "installer/setup_shell.h"
#include "installer/uninstall_record.h"

namespace {

constexpr DWORD kTickMilliseconds = 100;

// ----- ProgressThread's steps ------------------------------------------------

// Grows the bar by at most one hundredth a tick while the copy runs, until the
// count meets the total or the copy has ended without meeting it (a file
// skipped or resized); then waits for the copy to close its last file.
void GrowBarUntilCopied() {
  bool copyEnded = false;
  for (uint32_t n = 1; copiedBytes.load() != totalBytes && !copyEnded;) {
    if (copiedBytes.load() > static_cast<uint64_t>(n) * bytesPerStep && n <= 100) {
      installHost.drawBar(static_cast<int32_t>(n) * pixelsPerStep);
      ++n;
    }
    copyEnded = WaitForSingleObject(copyDone, kTickMilliseconds) == WAIT_OBJECT_0;
  }
  WaitForSingleObject(copyDone, INFINITE);
}

// The copy never ran: the buttons come back as before the install, which
// has not happened.
void AbandonInstall() {
  installHost.composeScreen();
  busy = 0;
  if (!stopping) ShowInstallError(kMsgCopyNotStarted);
}

// The start menu and the record, then the record read back. False when
// there is no record (after a message, when it could not be written): the
// install cannot be uninstalled, so the program does not show it as installed.
bool FinishInstall() {
  CreateStartMenuEntries();
  // Without a record name (UninstallIni empty, or no plain file name) the
  // skin wants no record, and there is nothing to say.
  std::wstring record;
  if (!BuildRecordPath(SettingText("UninstallIni"), record)) return false;
  if (!WriteUninstallRecord(SettingText("UninstallIni"), installFolder, installHost.settingsEncoding(),
                            UsedByThisInstall)) {
    if (!stopping) ShowInstallError(kMsgRecordNotWritten);
    return false;
  }
  installHost.reloadRecord();
  return true;
}

// AutoStart 2, or 1 answered Yes: launches the installed target and ends the
// program. The target is checked and held before the question: whatever
// stands there while it is up can no longer be changed, and a target that
// would not be launched is not offered. Refused, the install ends as after "No".
bool LaunchAutoStart() {
  const int autoStart = installHost.numberSetting("AutoStart");
  if (stopping || (autoStart != 1 && autoStart != 2)) return false;
  AutoStartTarget target;
  if (!target.Hold(installFolder, SettingText("AutoStartPath"), destFolder, sourceFolder)) return false;
  if (autoStart == 1 && ShowMessage(installHost.window, SettingText("AutoStartText"),
                                    WideFromShiftJis(kCaptionInformation), MB_YESNO) != IDYES) {
    return false;
  }
  if (stopping) return false;  // the window was closed while the question was up
  target.Launch();  // held until the shell has handed the launch over
  PostMessageW(installHost.window, WM_DESTROY, 0, 0);
  return true;
}

void ShowFinalScreen(bool recorded) {
  installHost.composeScreen();
  installed = recorded ? 1 : 0;  // before busy drops, so Install never reacts to a finished install
  busy = 0;
}

}  // namespace

DWORD WINAPI CopyThread(LPVOID) {
  CopyPayload();
  SetEvent(copyDone);
  return 0;
}

DWORD WINAPI ProgressThread(LPVOID) {
  GrowBarUntilCopied();
  if (copyNotStarted) {
    AbandonInstall();
    return 0;
  }
  installHost.drawBar(installHost.barWidth());
  if (filesNotCopied.load() > 0 && !stopping) ShowInstallError(kMsgFilesNotCopied);
  const bool recorded = FinishInstall();

  if (LaunchAutoStart()) return 0;  // the program ends; busy stays set until then
  ShowFinalScreen(recorded);
  return 0;
}

void CopyPayload() {
  // Every folder from the chosen one down to the destination, and the
  // payload folder itself, stay the folders they are while the copy works;
  // it goes by their held paths, so a link above them pointed elsewhere
  // meanwhile changes nothing. A destination or a payload that cannot be held
  // gets or gives nothing. A packed setup.exe's payload is its archive, which
  // it holds from its start.
  FolderChain folders;
  if (folders.Hold(installFolder, destFolder) != FolderCheck::kHeld) {
    filesNotCopied++;
    return;
  }
  const SkinArchive* archive = PackedSkin();
  FileHandle payload;
  if (!archive) {
    const FolderCheck source = HoldRealFolder(sourceFolder, payload);
    if (source == FolderCheck::kMissing) return;  // no payload: nothing to copy
    if (source != FolderCheck::kHeld) {
      filesNotCopied++;
      return;
    }
  }
  if (copyStartHook) copyStartHook();
  const std::wstring destination = folders.FinalPath();
  const std::wstring payloadFolder = archive ? L"" : FinalPathOf(payload.get());
  if (destination.empty() || (!archive && payloadFolder.empty())) {
    filesNotCopied++;
  } else if (archive) {
    installHost.shell->CopyArchiveTree(*archive, destination, copiedBytes, filesNotCopied);
  } else {
    installHost.shell->CopyTree(payloadFolder, destination, copiedBytes, filesNotCopied);
  }
}
