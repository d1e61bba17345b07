#include "installer/install_flow.h"

#include <objbase.h>

#include <set>
#include <string>

#include "common/message_box.h"
#include "common/messages.h"
#include "common/skin_archive.h"
#include "common/paths.h"
#include "imaging/skin_layout.h"
#include "installer/auto_start.h"
#include "installer/install_host.h"
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

namespace {

constexpr DWORD kTickMilliseconds = 100;

std::atomic<uint32_t> filesNotCopied{0};  // by CopyThread
HANDLE copyDone = nullptr;             // set by CopyThread when its last file is closed
std::atomic<bool> stopping{false};     // the program is shutting down
std::atomic<bool> copyNotStarted{false};  // CopyThread could not be started
// The numbered keys whose folder or shortcut this install made, so that the
// record names those and nothing else. Filled by the Install command before
// the workers start, then by ProgressThread alone.
std::set<std::string> madeEntries;

void ShowError(const char* text) { ShowMessage(installHost.window, text, kCaptionError, MB_OK); }

std::wstring Text(const char* key) { return installHost.settingText(key); }

// A name no one can guess, beside the link's own, for the shortcut to be
// saved under before it is moved into place.
std::wstring UnguessableNameBeside(const std::wstring& link) {
  GUID guid;
  wchar_t text[64] = {};
  if (FAILED(CoCreateGuid(&guid)) || StringFromGUID2(guid, text, 64) == 0) return L"";
  std::wstring folder = link;
  return CutToParent(folder) ? JoinPath(folder, std::wstring(L"~") + text + L".tmp") : L"";
}

// Saves the shortcut under a new name in the held folder and moves it to its
// own name without replacing anything: a file planted at that name meanwhile
// is never written through, and the shortcut is then not made.
bool SaveShortcutInPlace(const std::wstring& target, const std::wstring& link,
                         const std::wstring& description) {
  const std::wstring saved = UnguessableNameBeside(link);
  if (saved.empty()) return false;
  std::wstring workingFolder = target;
  CutToParent(workingFolder);
  if (FAILED(installHost.shell->CreateShortcut(target, workingFolder, saved, description))) {
    DeleteFileW(ExtendedLengthPath(saved).c_str());
    return false;
  }
  if (MoveFileExW(ExtendedLengthPath(saved).c_str(), ExtendedLengthPath(link).c_str(), 0)) return true;
  DeleteFileW(ExtendedLengthPath(saved).c_str());
  return false;
}

void CreateConfiguredShortcut(const std::wstring& programs, int index) {
  const std::wstring from = Text(NumberedKey("CreateShortcutFrom", index));
  const NumberedKey toKey("CreateShortcutTo", index);
  const std::wstring to = Text(toKey);
  if (from.empty() || to.empty()) return;
  // The link goes only into real folders below Programs, by their held
  // paths, and a file standing at its name loses that name instead of being
  // written through.
  FolderChain folders;
  const std::wstring link = folders.HoldPlaceOf(programs, JoinPath(programs, to));
  if (link.empty()) return;
  DeleteFileW(ExtendedLengthPath(link).c_str());
  if (SaveShortcutInPlace(JoinPath(installFolder, from), link,
                          Text(NumberedKey("CreateShortcutDescription", index)))) {
    madeEntries.insert(static_cast<const char*>(toKey));
  }
}

void CreateStartMenuEntries() {
  std::wstring programs;
  // Without the Programs folder nothing is made: names joined to an empty
  // folder would land at the root of the current drive.
  if (!installHost.shell->GetProgramsFolder(programs)) return;
  for (int i = 0; i < kNumberedKeys; ++i) {
    CreateConfiguredFolder(programs, NumberedKey("CreateStartmenuDirectory", i));
  }
  for (int i = 0; i < kNumberedKeys; ++i) CreateConfiguredShortcut(programs, i);
}

// What the record keeps for a key: Setup.ini's bytes for the destination and
// for each folder and shortcut this install made, nothing for the others.
const char* UsedByThisInstall(const char* key) {
  const bool used = std::string(key) == kRecordMarkerKey || madeEntries.count(key) > 0;
  return used ? installHost.setting(key) : "";
}

DWORD WINAPI CopyThread(LPVOID) {
  CopyPayload();
  SetEvent(copyDone);
  return 0;
}

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
  if (!stopping) ShowError(kMsgCopyNotStarted);
}

// The start menu and the record, then the record read back. False when
// there is no record (after a message, when it could not be written): the
// install cannot be uninstalled, so the program does not show it as installed.
bool FinishInstall() {
  CreateStartMenuEntries();
  // Without a record name (UninstallIni empty, or no plain file name) the
  // skin wants no record, and there is nothing to say.
  std::wstring record;
  if (!BuildRecordPath(Text("UninstallIni"), record)) return false;
  if (!WriteUninstallRecord(Text("UninstallIni"), installFolder, installHost.settingsEncoding(),
                            UsedByThisInstall)) {
    if (!stopping) ShowError(kMsgRecordNotWritten);
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
  if (!target.Hold(installFolder, Text("AutoStartPath"), destFolder, sourceFolder)) return false;
  if (autoStart == 1 && ShowMessage(installHost.window, Text("AutoStartText"),
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

DWORD WINAPI ProgressThread(LPVOID) {
  GrowBarUntilCopied();
  if (copyNotStarted) {
    AbandonInstall();
    return 0;
  }
  installHost.drawBar(installHost.barWidth());
  if (filesNotCopied.load() > 0 && !stopping) ShowError(kMsgFilesNotCopied);
  const bool recorded = FinishInstall();

  if (LaunchAutoStart()) return 0;  // the program ends; busy stays set until then
  ShowFinalScreen(recorded);
  return 0;
}

// ----- InstallCommand's steps: each false has stopped the install ------------

// A bar narrower than its hundred steps ends the program.
bool HasUsableProgressBar() {
  if (installHost.barWidth() >= kMinimumBarWidth) return true;
  ShowError(kMsgProgressBarTooNarrow);
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
  if (!BuildRecordPath(Text("UninstallIni"), record) || InspectRecordFile(record) != RecordFile::kForeign) {
    return true;
  }
  ShowError(kMsgRecordNameTaken);
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
    ShowError(kMsgDestinationMissing);
    return false;
  }
  const bool intoChosenFolder = IsSameOrInside(installFolder, plannedDest);
  if (sourceFolder.empty()) return true;
  // A destination inside the payload would make the copy walk into its own
  // output; a payload inside the destination would be emptied with it by the
  // uninstall (Setup.ini, ui and data with it), which empties a destination
  // only when InstallDest names one below the chosen folder.
  if (WouldLieInside(plannedDest, sourceFolder)) {
    ShowError(kMsgDestinationInsidePayload);
    return false;
  }
  if (!intoChosenFolder && WouldLieInside(sourceFolder, plannedDest)) {
    ShowError(kMsgPayloadInsideDestination);
    return false;
  }
  return true;
}

// totalBytes := the payload's size, which must fit on the chosen folder's drive.
bool HasRoomForPayload() {
  const SkinArchive* archive = PackedSkin();
  totalBytes = archive ? installHost.shell->ScanArchiveSize(*archive) : installHost.shell->ScanTreeSize(sourceFolder);
  if (!installHost.shell->LacksFreeSpace(installFolder, totalBytes)) return true;
  ShowError(kMsgNotEnoughSpace);
  return false;
}

// CreateDirectory0 to 4, then destFolder, which must exist by now.
bool MakeConfiguredFolders(const std::wstring& installDest) {
  madeEntries.clear();
  for (int i = 0; i < kNumberedKeys; ++i) {
    CreateConfiguredFolder(installFolder, NumberedKey("CreateDirectory", i));
  }
  if (ResolveFullPath(JoinPath(installFolder, installDest), destFolder) &&
      GetFileAttributesW(ExtendedLengthPath(destFolder).c_str()) != INVALID_FILE_ATTRIBUTES) {
    return true;
  }
  ShowError(kMsgDestinationMissing);
  return false;
}

// busy, the bare base, and the two workers. A worker that cannot be started
// ends the install with a message and the buttons as before it.
void StartWorkers() {
  // Without the event the progress loop could not wait between ticks.
  if (!copyDone) copyDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!copyDone) {
    ShowError(kMsgCopyNotStarted);
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
    ShowError(kMsgCopyNotStarted);
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
  const std::wstring value = Text(key);
  if (value.empty()) return false;
  // A value such as "..\Other" would reach out of the folder it belongs to,
  // and a link on the way would lead the new folder elsewhere.
  FolderChain folders;
  const std::wstring path = folders.HoldPlaceOf(base, JoinPath(base, value));
  if (path.empty() || !CreateDirectoryW(ExtendedLengthPath(path).c_str(), nullptr)) return false;
  madeEntries.insert(key);
  return true;
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

void InstallCommand() {
  if (!HasUsableProgressBar() || !RecordNameIsFree()) return;
  TakeSourceFolder();
  if (!TakeChosenFolder()) return;
  const std::wstring installDest = Text("InstallDest");
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
