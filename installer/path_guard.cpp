#include "installer/path_guard.h"

#include "common/paths.h"

namespace {

// The reparse tag that a listing gives for path, or 0 when there is none to be had.
DWORD ListedReparseTag(const std::wstring& path) {
  WIN32_FIND_DATAW entry;
  FindHandle find(FindFirstFileW(ExtendedLengthPath(path).c_str(), &entry));
  if (!find || !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return 0;
  return entry.dwReserved0;
}

bool IsNotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// HoldRealFolder, or with `followLinks` the folder a link leads to.
FolderCheck HoldFolder(const std::wstring& folder, FileHandle& held, bool followLinks) {
  held.reset();
  std::wstring full;
  if (!ResolveFullPath(folder, full)) return FolderCheck::kRefused;
  const std::wstring path = ExtendedLengthPath(full);

  const DWORD nameAttributes = GetFileAttributesW(path.c_str());
  if (nameAttributes == INVALID_FILE_ATTRIBUTES) {
    return IsNotFound(GetLastError()) ? FolderCheck::kMissing : FolderCheck::kRefused;
  }
  if (!(nameAttributes & FILE_ATTRIBUTE_DIRECTORY)) return FolderCheck::kRefused;
  if (!followLinks && (nameAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      IsRedirection(nameAttributes, ListedReparseTag(full))) {
    return FolderCheck::kRefused;
  }

  FileHandle handle(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS |
                                    (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
                                nullptr));
  if (!handle) return IsNotFound(GetLastError()) ? FolderCheck::kMissing : FolderCheck::kRefused;
  DWORD attributes = 0, tag = 0;
  FILE_ATTRIBUTE_TAG_INFO tagInfo;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandleEx(handle.get(), FileAttributeTagInfo, &tagInfo, sizeof tagInfo)) {
    attributes = tagInfo.FileAttributes;
    tag = tagInfo.ReparseTag;
  } else if (GetFileInformationByHandle(handle.get(), &info)) {
    attributes = info.dwFileAttributes;
  } else {
    return FolderCheck::kRefused;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (!followLinks && IsRedirection(attributes, tag))) {
    return FolderCheck::kRefused;
  }
  held = std::move(handle);
  return FolderCheck::kHeld;
}

}  // namespace

bool ResolveFullPath(const std::wstring& path, std::wstring& full) {
  full.clear();
  if (path.empty() || path.find(L'\0') != std::wstring::npos) return false;
  const bool bareDrive = path.size() == 2 && path[1] == L':';
  const std::wstring asked = bareDrive ? path + L'\\' : path;
  DWORD size = MAX_PATH;
  for (int attempt = 0; attempt < 3; ++attempt) {
    full.resize(size);
    const DWORD length = GetFullPathNameW(asked.c_str(), size, full.data(), nullptr);
    if (length == 0) break;
    if (length < size) {
      full.resize(length);
      // "\\?\" is how the program spells long paths to the file functions,
      // never how it keeps or compares them.
      if (full.rfind(L"\\\\?\\UNC\\", 0) == 0) full = L"\\\\" + full.substr(8);
      else if (full.rfind(L"\\\\?\\", 0) == 0) full = full.substr(4);
      if (full.size() > 3 && EndsInSeparator(full)) full.pop_back();
      return IsAbsoluteFolder(full);
    }
    size = length;
  }
  full.clear();
  return false;
}

bool IsSameOrInside(const std::wstring& inner, const std::wstring& outer) {
  std::wstring a, b;
  return ResolveFullPath(inner, a) && ResolveFullPath(outer, b) && IsSameOrInsideFull(a, b);
}

bool IsStrictlyInside(const std::wstring& inner, const std::wstring& outer) {
  std::wstring a, b;
  return ResolveFullPath(inner, a) && ResolveFullPath(outer, b) && IsStrictlyInsideFull(a, b);
}

bool IsSafeTreeToEmpty(const std::wstring& installDirectory, const std::wstring& installDest) {
  if (!IsAbsoluteFolder(installDirectory) || installDest.empty()) return false;
  std::wstring full;
  if (!ResolveFullPath(JoinPath(installDirectory, installDest), full) || IsRootPath(full)) return false;
  // An InstallDest such as "." or "..\Other" leads back to or out of the
  // chosen folder: only a tree strictly below it is emptied.
  return IsStrictlyInside(full, installDirectory);
}

bool IdentityOf(const std::wstring& path, FileIdentity& identity) {
  std::wstring full;
  if (!ResolveFullPath(path, full)) return false;
  FileHandle handle(CreateFileW(ExtendedLengthPath(full).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return handle && IdentityOf(handle.get(), identity);
}

bool IdentityOf(HANDLE handle, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return false;
  identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return true;
}

std::wstring FinalPathOf(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      std::wstring full;
      return ResolveFullPath(path, full) ? full : std::wstring();
    }
    path.resize(length);
  }
  return std::wstring();
}

bool WouldLieInside(const std::wstring& path, const std::wstring& folder) {
  if (IsSameOrInside(path, folder)) return true;
  FileIdentity target;
  if (!IdentityOf(folder, target)) return false;
  std::wstring walk;
  if (!ResolveFullPath(path, walk)) return false;
  do {
    FileIdentity here;
    if (IdentityOf(walk, here) && here == target) return true;
  } while (CutToParent(walk));
  return false;
}

bool IsRedirection(DWORD attributes, DWORD reparseTag) {
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  // IO_REPARSE_TAG_CLOUD and its sixteen variants (0x9000?01A): files kept by a
  // sync client, which stay where they are.
  const bool cloudPlaceholder = (reparseTag & 0xFFFF0FFFu) == 0x9000001Au;
  return !cloudPlaceholder;
}

bool StandsAsLink(const std::wstring& path) {
  std::wstring full;
  if (!ResolveFullPath(path, full)) return false;
  const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(full).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return true;
  }
  // A link whose target is gone has no attributes of its own by name; its
  // listing still shows it.
  WIN32_FIND_DATAW entry;
  FindHandle find(FindFirstFileW(ExtendedLengthPath(full).c_str(), &entry));
  return find && (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

FolderCheck HoldRealFolder(const std::wstring& folder, FileHandle& held) {
  return HoldFolder(folder, held, false);
}

FolderCheck FolderChain::Hold(const std::wstring& top, const std::wstring& tree) {
  held_.clear();
  std::wstring topFull, treeFull;
  if (!ResolveFullPath(top, topFull) || !ResolveFullPath(tree, treeFull) ||
      !IsSameOrInsideFull(treeFull, topFull)) {
    return FolderCheck::kRefused;
  }
  // top itself may be reached through a link (the install went through the
  // same one); every folder of tree's path beyond it must be a real folder.
  auto holdOne = [&](const std::wstring& folder, bool followLinks) {
    FileHandle handle;
    const FolderCheck check = HoldFolder(folder, handle, followLinks);
    if (check == FolderCheck::kHeld) held_.push_back(std::move(handle));
    return check;
  };
  FolderCheck check = holdOne(topFull, true);
  // Each folder below top, from the outermost: the tree's path up to each
  // separator after top, then the tree itself.
  for (size_t i = topFull.size(); check == FolderCheck::kHeld && i <= treeFull.size(); ++i) {
    const bool endsFolder = i == treeFull.size() ? i > topFull.size() : treeFull[i] == L'\\' && i > topFull.size();
    if (endsFolder) check = holdOne(treeFull.substr(0, i), false);
  }
  if (check != FolderCheck::kHeld) held_.clear();
  heldPath_ = check == FolderCheck::kHeld ? treeFull : L"";
  return check;
}

std::wstring FolderChain::FinalPath() const {
  if (held_.empty()) return L"";
  const std::wstring final = FinalPathOf(held_.back().get());
  if (!final.empty()) return final;
  FileIdentity held, reached;
  const bool stillThere = IdentityOf(held_.back().get(), held) && IdentityOf(heldPath_, reached) &&
                          held == reached;
  return stillThere ? heldPath_ : L"";
}

FolderCheck FolderChain::HoldParentsOf(const std::wstring& top, const std::wstring& entry) {
  held_.clear();
  std::wstring parent;
  if (!ResolveFullPath(entry, parent) || !IsStrictlyInside(parent, top) || !CutToParent(parent)) {
    return FolderCheck::kRefused;
  }
  return Hold(top, parent);
}

std::wstring FolderChain::HoldPlaceOf(const std::wstring& top, const std::wstring& entry, FolderCheck* check) {
  std::wstring full;
  const FolderCheck held = ResolveFullPath(entry, full) ? HoldParentsOf(top, full) : FolderCheck::kRefused;
  if (check) *check = held;
  if (held != FolderCheck::kHeld) return L"";
  const std::wstring folder = FinalPath();
  std::wstring parent = full;
  if (folder.empty() || !CutToParent(parent)) {
    held_.clear();
    return L"";
  }
  return JoinPath(folder, PartBelow(full, parent));
}
