#include "installer/auto_start.h"

#include <exdisp.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>
#include <vector>

#include "common/paths.h"
#include "common/skin_archive.h"
#include "installer/counted_copy.h"

namespace {

// ----- Names and contents --------------------------------------------------------

// The 76-byte header size and the shell-link class id that open every .lnk file.
constexpr BYTE kShellLinkHeader[20] = {0x4C, 0x00, 0x00, 0x00, 0x01, 0x14, 0x02, 0x00, 0x00, 0x00,
                                       0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

constexpr DWORD kCompareBlock = 64 * 1024;

// Reads up to `want` bytes, as many as the source gives before its end.
bool ReadFully(CopySource& source, BYTE* buffer, uint32_t want, uint32_t& got) {
  got = 0;
  while (got < want) {
    uint32_t read = 0;
    if (!source.Read(buffer + got, want - got, read)) return false;
    if (read == 0) break;
    got += read;
  }
  return true;
}

// Whether the installed file's content equals the payload's (`payloadSize`
// bytes read from `payload`) and is no shell link.
bool SameContent(HANDLE installed, CopySource& payload, uint64_t payloadSize) {
  LARGE_INTEGER installedSize;
  if (!GetFileSizeEx(installed, &installedSize) || static_cast<uint64_t>(installedSize.QuadPart) != payloadSize) {
    return false;
  }
  FileCopySource installedBytes(installed);
  std::vector<BYTE> a(kCompareBlock), b(kCompareBlock);
  bool first = true;
  for (;;) {
    uint32_t readA = 0, readB = 0;
    if (!installedBytes.Read(a.data(), kCompareBlock, readA) || !ReadFully(payload, b.data(), readA, readB) ||
        readA != readB || std::memcmp(a.data(), b.data(), readA) != 0) {
      return false;
    }
    if (first && HasShellLinkHeader(a.data(), readA)) return false;
    first = false;
    if (readA == 0) return true;
  }
}

// ----- Launching ------------------------------------------------------------------

class Bstr {
 public:
  explicit Bstr(const wchar_t* text) : bstr_(SysAllocString(text)) {}
  ~Bstr() { SysFreeString(bstr_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return bstr_; }

 private:
  BSTR bstr_;
};

// A VARIANT cleared (and whatever it owns released) exactly once.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &value_; }
  const VARIANT& value() const { return value_; }

  // Owns a copy of text; false when it could not be made.
  bool SetString(const wchar_t* text) {
    VariantClear(&value_);
    V_BSTR(&value_) = SysAllocString(text);
    if (!V_BSTR(&value_)) return false;
    V_VT(&value_) = VT_BSTR;
    return true;
  }
  void SetInt(int number) {
    VariantClear(&value_);
    V_VT(&value_) = VT_I4;
    V_I4(&value_) = number;
  }

 private:
  VARIANT value_;
};

// The desktop's shell object, reached through the desktop window's browser
// and its view: it runs in the desktop's process, for the user signed in there.
bool FindDesktopShell(ComPtr<IShellDispatch2>& shell) {
  ComPtr<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                              windows.put_void()))) {
    return false;
  }
  Variant location, root;
  location.SetInt(CSIDL_DESKTOP);
  long window = 0;
  ComPtr<IDispatch> desktop;
  if (windows->FindWindowSW(location.get(), root.get(), SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                            desktop.put()) != S_OK ||
      !desktop.get()) {
    return false;
  }
  ComPtr<IServiceProvider> services;
  ComPtr<IShellBrowser> browser;
  ComPtr<IShellView> view;
  ComPtr<IDispatch> background;
  ComPtr<IShellFolderViewDual> folderView;
  ComPtr<IDispatch> application;
  return SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, services.put_void())) &&
         SUCCEEDED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                          browser.put_void())) &&
         SUCCEEDED(browser->QueryActiveShellView(view.put())) && view.get() &&
         SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.put_void())) &&
         SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folderView.put_void())) &&
         SUCCEEDED(folderView->get_Application(application.put())) && application.get() &&
         SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell.put_void())) &&
         shell.get();
}

// False when there is no desktop shell to ask; true once it has been asked,
// whatever it answered (a launch it refuses is not retried with this
// program's rights).
bool LaunchFromDesktop(const std::wstring& path, const std::wstring& folder) {
  ComPtr<IShellDispatch2> shell;
  if (!FindDesktopShell(shell)) return false;
  Bstr file(path.c_str());
  Variant parameters, directory, verb, show;
  show.SetInt(SW_SHOWNORMAL);
  if (!file.get() || !directory.SetString(folder.c_str())) return false;
  shell->ShellExecute(file.get(), parameters.value(), directory.value(), verb.value(),
                      show.value());
  return true;
}

void LaunchWithOwnRights(const std::wstring& path, const std::wstring& folder) {
  // NOASYNC: the program ends right after this, and a launch still being
  // handed over on another thread would be lost with it.
  SHELLEXECUTEINFOW launch = {};
  launch.cbSize = sizeof launch;
  launch.fMask = SEE_MASK_NOASYNC;
  launch.lpFile = path.c_str();
  launch.lpDirectory = folder.c_str();
  launch.nShow = SW_SHOWNORMAL;
  ShellExecuteExW(&launch);
}

}  // namespace

bool HasShellLinkHeader(const BYTE* bytes, size_t size) {
  return size >= sizeof kShellLinkHeader &&
         std::memcmp(bytes, kShellLinkHeader, sizeof kShellLinkHeader) == 0;
}

bool AutoStartTarget::Hold(const std::wstring& installFolder, const std::wstring& relativePath,
                           const std::wstring& destFolder, const std::wstring& sourceFolder) {
  if (Check(installFolder, relativePath, destFolder, sourceFolder)) return true;
  file_.reset();
  folders_.Release();
  return false;
}

bool AutoStartTarget::Check(const std::wstring& installFolder, const std::wstring& relativePath,
                            const std::wstring& destFolder, const std::wstring& sourceFolder) {
  std::wstring destFull;
  if (relativePath.empty() || !ResolveFullPath(JoinPath(installFolder, relativePath), path_) ||
      !ResolveFullPath(destFolder, destFull) || !IsStrictlyInsideFull(path_, destFull)) {
    return false;
  }
  // Nothing from the chosen folder down to the file's own folder may be a
  // link or be renamed from here on (the chain refuses a folder outside it).
  std::wstring parent = path_;
  if (!CutToParent(parent) || folders_.Hold(installFolder, parent) != FolderCheck::kHeld) {
    return false;
  }
  // From here on the file is reached by its folder's held path, with no link
  // left in it.
  const std::wstring name = PartBelow(path_, parent);
  folder_ = folders_.FinalPath();
  if (folder_.empty()) return false;
  path_ = JoinPath(folder_, name);
  if (StandsAsLink(path_) || IsLinkLikeName(path_)) return false;

  // Read-only sharing: nobody writes, renames or deletes it while it is held.
  FileHandle file(CreateFileW(ExtendedLengthPath(path_).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN,
                              nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!file || !GetFileInformationByHandle(file.get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
      info.nNumberOfLinks != 1) {
    return false;
  }
  // The same path below the payload: in the data folder, or in a packed
  // setup.exe's archive.
  const std::wstring below = PartBelow(JoinPath(parent, name), destFull);
  if (const SkinArchive* archive = PackedSkin()) {
    const SkinArchive::Entry* entry = archive->Find(JoinPath(L"data", below));
    if (!entry || entry->folder) return false;
    const auto reader = archive->OpenEntry(*entry);
    ArchiveCopySource payload(*reader);
    if (!SameContent(file.get(), payload, entry->size)) return false;
  } else {
    FileHandle payload(CreateFileW(ExtendedLengthPath(JoinPath(sourceFolder, below)).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER payloadSize;
    if (!payload || !GetFileSizeEx(payload.get(), &payloadSize)) return false;
    FileCopySource bytes(payload.get());
    if (!SameContent(file.get(), bytes, static_cast<uint64_t>(payloadSize.QuadPart))) return false;
  }

  identity_ = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  file_ = std::move(file);
  return true;
}

void AutoStartTarget::Launch() const {
  // The chosen folder may itself be a link (the install went through it);
  // the path must still reach the file that was checked.
  FileIdentity now;
  if (!file_ || !IdentityOf(path_, now) || !(now == identity_)) return;
  ComInit com;
  if (!LaunchFromDesktop(path_, folder_)) LaunchWithOwnRights(path_, folder_);
}
