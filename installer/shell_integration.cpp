// The shell operations of SetupShell: folder chooser, free space, the
// Programs folder and shortcut files.
#include <shlobj.h>
#include <shlwapi.h>

#include "common/win32_guards.h"
#include "installer/path_guard.h"
#include "installer/setup_shell.h"

namespace {
// "インストール先を選択してください" (please choose the installation folder)
constexpr char kChooseFolderTitle[] =
    "\x83" "C\x83\x93\x83X\x83g\x81[\x83\x8B\x90\xE6\x82\xF0\x91I\x91\xF0\x82\xB5\x82\xC4\x82\xAD"
    "\x82\xBE\x82\xB3\x82\xA2";
}  // namespace

FolderChoice SetupShell::ChooseFolder(char (&path)[MAX_PATH]) {
  ComInit com;
  char displayName[MAX_PATH] = {};
  BROWSEINFOA info = {};
  info.hwndOwner = owner_;
  info.pidlRoot = nullptr;
  info.pszDisplayName = displayName;
  info.lpszTitle = kChooseFolderTitle;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
  if (item == nullptr) return FolderChoice::kCancelled;
  // Read as Unicode: the ANSI form of a name such as "José" is a best-fit
  // "Jose" or a "?", which would be another folder or none.
  wchar_t chosen[MAX_PATH] = {};
  const bool hasPath = SHGetPathFromIDListW(item, chosen) && chosen[0] != L'\0';
  CoTaskMemFree(item);
  if (!hasPath) return FolderChoice::kCancelled;  // nothing on disk to install into
  char exact[MAX_PATH];
  if (!ExactAnsiPath(chosen, exact)) return FolderChoice::kUnnameable;
  lstrcpynA(path, exact, MAX_PATH);
  return FolderChoice::kChosen;
}

bool SetupShell::LacksFreeSpace(const char* folder, uint32_t needed) {
  ULARGE_INTEGER available, total;
  if (!GetDiskFreeSpaceExA(folder, &available, &total, nullptr)) return true;
  return IsSpaceShort(available.QuadPart, needed);
}

bool SetupShell::GetProgramsFolder(char (&path)[MAX_PATH]) {
  path[0] = '\0';
  PIDLIST_ABSOLUTE item = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(owner_, CSIDL_PROGRAMS, &item)) || item == nullptr) {
    return false;
  }
  const bool ok = SHGetPathFromIDListA(item, path) && path[0] != '\0';
  CoTaskMemFree(item);
  if (!ok) path[0] = '\0';
  return ok;
}

HRESULT SetupShell::CreateShortcut(const char* target, const char* workingFolder,
                                   const char* link, const char* description) {
  ComInit com;
  ComPtr<IShellLinkA> shellLink;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IShellLinkA, shellLink.put_void());
  if (FAILED(result)) return result;
  ComPtr<IPersistFile> file;
  result = shellLink->QueryInterface(IID_IPersistFile, file.put_void());
  if (FAILED(result)) return result;
  wchar_t widePath[MAX_PATH] = {};
  if (!MultiByteToWideChar(CP_ACP, 0, link, -1, widePath, MAX_PATH)) return E_INVALIDARG;
  shellLink->SetPath(target);
  shellLink->SetWorkingDirectory(workingFolder);
  shellLink->SetDescription(description);
  return file->Save(widePath, TRUE);
}
