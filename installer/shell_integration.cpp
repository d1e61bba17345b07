// The shell operations of SetupShell: folder chooser, free space, the
// Programs folder and shortcut files.
#include <shlobj.h>
#include <shlwapi.h>

#include "common/text_encoding.h"
#include "common/win32_guards.h"
#include "installer/path_guard.h"
#include "installer/setup_shell.h"

namespace {
// "インストール先を選択してください" (please choose the installation folder)
constexpr char kChooseFolderTitle[] =
    "\x83" "C\x83\x93\x83X\x83g\x81[\x83\x8B\x90\xE6\x82\xF0\x91I\x91\xF0\x82\xB5\x82\xC4\x82\xAD"
    "\x82\xBE\x82\xB3\x82\xA2";

// The file-system path of a shell item; "" when it has none.
std::wstring PathOfItem(PCIDLIST_ABSOLUTE item) {
  // SHGetPathFromIDListEx takes a buffer of any size; the classic call stops at MAX_PATH.
  std::wstring path(32768, L'\0');
  if (!SHGetPathFromIDListEx(item, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) {
    return std::wstring();
  }
  path.resize(wcslen(path.c_str()));
  return path;
}
}  // namespace

FolderChoice SetupShell::ChooseFolder(std::wstring& path) {
  ComInit com;
  wchar_t displayName[MAX_PATH] = {};
  const std::wstring title = WideFromShiftJis(kChooseFolderTitle);
  BROWSEINFOW info = {};
  info.hwndOwner = owner_;
  info.pidlRoot = nullptr;
  info.pszDisplayName = displayName;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
  if (item == nullptr) return FolderChoice::kCancelled;
  std::wstring chosen = PathOfItem(item);
  CoTaskMemFree(item);
  std::wstring full;
  if (chosen.empty() || !ResolveFullPath(chosen, full)) return FolderChoice::kCancelled;  // nothing on disk to install into
  path = full;
  return FolderChoice::kChosen;
}

bool SetupShell::LacksFreeSpace(const std::wstring& folder, uint32_t needed) {
  ULARGE_INTEGER available, total;
  // The drive's free space is asked of the folder with a trailing separator,
  // as the call wants a folder.
  std::wstring asked = folder;
  if (asked.empty() || (asked.back() != L'\\' && asked.back() != L'/')) asked += L'\\';
  if (!GetDiskFreeSpaceExW(asked.c_str(), &available, &total, nullptr)) return true;
  return IsSpaceShort(available.QuadPart, needed);
}

bool SetupShell::GetProgramsFolder(std::wstring& path) {
  path.clear();
  PIDLIST_ABSOLUTE item = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(owner_, CSIDL_PROGRAMS, &item)) || item == nullptr) {
    return false;
  }
  const std::wstring found = PathOfItem(item);
  CoTaskMemFree(item);
  return !found.empty() && ResolveFullPath(found, path);
}

HRESULT SetupShell::CreateShortcut(const std::wstring& target, const std::wstring& workingFolder,
                                   const std::wstring& link, const std::wstring& description) {
  ComInit com;
  ComPtr<IShellLinkW> shellLink;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IShellLinkW, shellLink.put_void());
  if (FAILED(result)) return result;
  ComPtr<IPersistFile> file;
  result = shellLink->QueryInterface(IID_IPersistFile, file.put_void());
  if (FAILED(result)) return result;
  shellLink->SetPath(target.c_str());
  shellLink->SetWorkingDirectory(workingFolder.c_str());
  shellLink->SetDescription(description.c_str());
  return file->Save(link.c_str(), TRUE);
}
