#include "installer/path_guard.h"

#include <cstring>
#include <cwchar>

#include "common/lead_bytes.h"
#include "common/paths.h"

namespace {

// The byte length of the character that starts at p: 2 for a lead byte
// followed by its trail byte, else 1 (a lone lead byte at the end counts as one).
size_t CharLength(const char* p) {
  return IsLeadByte(static_cast<uint8_t>(*p), LeadBytes::kSystemCodePage) && p[1] != '\0' ? 2 : 1;
}

// Whether byte offset n of s starts a character (or is its end).
bool IsCharBoundary(const char* s, size_t n) {
  size_t i = 0;
  while (i < n && s[i] != '\0') i += CharLength(s + i);
  return i == n;
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// How many single-byte backslashes path holds; `last` is the offset of the last one.
size_t CountBackslashes(const char* path, size_t& last) {
  size_t count = 0;
  for (size_t i = 0; path[i] != '\0'; i += CharLength(path + i)) {
    if (path[i] == '\\') {
      last = i;
      ++count;
    }
  }
  return count;
}

bool IsRootPath(const char* full) {
  char parent[MAX_PATH];
  lstrcpynA(parent, full, MAX_PATH);
  return !CutToParent(parent);
}

// The reparse tag that a listing gives for path, or 0 when there is none to be had.
DWORD ListedReparseTag(const char* path) {
  WIN32_FIND_DATAA entry;
  FindHandle find(FindFirstFileA(path, &entry));
  if (!find || !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return 0;
  return entry.dwReserved0;
}

bool IsNotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The full path of path, resolved and case-folded (ResolveFullPath, then
// FoldCaseForComparison): the form in which two paths are compared.
bool ComparableFullPath(const char* path, char (&full)[MAX_PATH]) {
  if (!ResolveFullPath(path, full)) return false;
  FoldCaseForComparison(full);
  return true;
}

// HoldRealFolder, or with `followLinks` the folder a link leads to.
FolderCheck HoldFolder(const char* folder, FileHandle& held, bool followLinks) {
  held.reset();
  char path[MAX_PATH];
  if (!ResolveFullPath(folder, path)) return FolderCheck::kRefused;

  const DWORD nameAttributes = GetFileAttributesA(path);
  if (nameAttributes == INVALID_FILE_ATTRIBUTES) {
    return IsNotFound(GetLastError()) ? FolderCheck::kMissing : FolderCheck::kRefused;
  }
  if (!(nameAttributes & FILE_ATTRIBUTE_DIRECTORY)) return FolderCheck::kRefused;
  if (!followLinks && (nameAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      IsRedirection(nameAttributes, ListedReparseTag(path))) {
    return FolderCheck::kRefused;
  }

  FileHandle handle(CreateFileA(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
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
  return FolderCheck::kRealFolder;
}

// The ANSI form of a Unicode text, only when it converts back to exactly that
// text: no best-fit substitute, no default character. False otherwise.
bool ExactAnsiForm(const wchar_t* wide, char (&ansi)[MAX_PATH]) {
  // Code page 65001 takes neither the flag nor the used-default report; the
  // round trip below still catches every substitute there.
  const bool utf8 = GetACP() == CP_UTF8;
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, -1, ansi,
                                         MAX_PATH, nullptr, utf8 ? nullptr : &usedDefault);
  wchar_t back[MAX_PATH];
  return length > 0 && !usedDefault &&
         MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi, -1, back, MAX_PATH) > 0 &&
         std::wcscmp(back, wide) == 0;
}

}  // namespace

bool ResolveFullPath(const char* path, char (&full)[MAX_PATH]) {
  const char root[4] = {path[0], ':', '\\', '\0'};
  const bool bareDrive = path[0] != '\0' && path[1] == ':' && path[2] == '\0';
  const DWORD length = GetFullPathNameA(bareDrive ? root : path, MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return false;
  const size_t n = std::strlen(full);
  if (n > 3 && EndsInBackslash(full)) full[n - 1] = '\0';
  return true;
}

bool CutToParent(char* path) {
  size_t length = std::strlen(path);
  if (length > 3 && EndsInBackslash(path)) path[--length] = '\0';
  size_t last = 0;
  const size_t count = CountBackslashes(path, last);
  if (count == 0) return false;
  if (IsDriveLetter(path[0]) && path[1] == ':' && path[2] == '\\') {
    if (length <= 3) return false;
    path[last == 2 ? 3 : last] = '\0';
    return true;
  }
  if (path[0] == '\\' && path[1] == '\\') {
    if (count <= 3) return false;  // "\\server\share" is the root
    path[last] = '\0';
    return true;
  }
  return false;
}

bool EndsInBackslash(const char* path) {
  const char* last = nullptr;
  for (const char* p = path; *p; p += CharLength(p)) last = p;
  return last != nullptr && *last == '\\' && CharLength(last) == 1;
}

void FoldCaseForComparison(char* full) {
  for (char* p = full; *p; p += CharLength(p)) {
    if (CharLength(p) == 1 && *p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
  }
  const size_t n = std::strlen(full);
  if (n > 3 && EndsInBackslash(full)) full[n - 1] = '\0';
}

bool IsSameOrInside(const char* inner, const char* outer) {
  char a[MAX_PATH], b[MAX_PATH];
  if (!ComparableFullPath(inner, a) || !ComparableFullPath(outer, b)) return false;
  const size_t n = std::strlen(b);
  if (std::strncmp(a, b, n) != 0 || !IsCharBoundary(a, n)) return false;
  return a[n] == '\0' || a[n] == '\\' || EndsInBackslash(b);
}

bool IsStrictlyInside(const char* inner, const char* outer) {
  return IsSameOrInside(inner, outer) && !IsSameOrInside(outer, inner);
}

bool IsAbsoluteFolder(const char* path) {
  if (IsDriveLetter(path[0]) && path[1] == ':') return path[2] == '\0' || path[2] == '\\';
  return path[0] == '\\' && path[1] == '\\' && path[2] != '\0';
}

bool IsSafeTreeToEmpty(const char* installDirectory, const char* installDest) {
  if (!IsAbsoluteFolder(installDirectory) || installDest[0] == '\0') return false;
  char tree[MAX_PATH], full[MAX_PATH];
  if (!JoinPath(tree, installDirectory, installDest) || !ResolveFullPath(tree, full)) return false;
  if (IsRootPath(full)) return false;
  // An InstallDest such as "." or "..\Other" leads back to or out of the
  // chosen folder: only a tree strictly below it is emptied.
  return IsStrictlyInside(full, installDirectory);
}

bool IsPlainEntryName(const char* name) {
  if (name[0] == '\0') return false;
  for (const char* p = name; *p; p += CharLength(p)) {
    if (CharLength(p) == 1 && std::strchr("\\/:?*", *p) != nullptr) return false;
  }
  return true;
}

bool ExactAnsiName(const wchar_t* wide, char (&name)[MAX_PATH]) {
  const bool exact = ExactAnsiForm(wide, name) && IsPlainEntryName(name);
  if (!exact) name[0] = '\0';
  return exact;
}

bool ExactAnsiPath(const wchar_t* wide, char (&path)[MAX_PATH]) {
  const bool exact = ExactAnsiForm(wide, path) && path[0] != '\0';
  if (!exact) path[0] = '\0';
  return exact;
}

bool IdentityOf(const char* path, FileIdentity& identity) {
  FileHandle handle(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!handle || !GetFileInformationByHandle(handle.get(), &info)) return false;
  identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return true;
}

bool WouldLieInside(const char* path, const char* folder) {
  if (IsSameOrInside(path, folder)) return true;
  FileIdentity target;
  if (!IdentityOf(folder, target)) return false;
  char walk[MAX_PATH];
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

bool StandsAsLink(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return true;
  }
  // A link whose target is gone has no attributes of its own by name; its
  // listing still shows it.
  WIN32_FIND_DATAA entry;
  FindHandle find(FindFirstFileA(path, &entry));
  return find && (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

FolderCheck HoldRealFolder(const char* folder, FileHandle& held) {
  return HoldFolder(folder, held, false);
}

FolderCheck FolderChain::Hold(const char* top, const char* tree) {
  held_.clear();
  char topFull[MAX_PATH], treeFull[MAX_PATH];
  if (!ResolveFullPath(top, topFull) || !ResolveFullPath(tree, treeFull) ||
      !IsSameOrInside(treeFull, topFull)) {
    return FolderCheck::kRefused;
  }
  // top itself may be reached through a link (the install went through the
  // same one); every folder of tree's path beyond it must be a real folder.
  auto holdOne = [&](const char* folder, bool followLinks) {
    FileHandle handle;
    const FolderCheck check = HoldFolder(folder, handle, followLinks);
    if (check == FolderCheck::kRealFolder) held_.push_back(std::move(handle));
    return check;
  };
  FolderCheck check = holdOne(topFull, true);
  const size_t topLength = std::strlen(topFull);
  const size_t treeLength = std::strlen(treeFull);
  char prefix[MAX_PATH];
  for (size_t i = topLength; check == FolderCheck::kRealFolder && i < treeLength;
       i += CharLength(treeFull + i)) {
    const size_t end = i + CharLength(treeFull + i);
    const bool endsFolder = treeFull[i] == '\\' ? i > topLength : end == treeLength;
    if (!endsFolder) continue;
    const size_t prefixLength = treeFull[i] == '\\' ? i : end;
    std::memcpy(prefix, treeFull, prefixLength);
    prefix[prefixLength] = '\0';
    check = holdOne(prefix, false);
  }
  if (check != FolderCheck::kRealFolder) held_.clear();
  return check;
}

FolderCheck FolderChain::HoldParentsOf(const char* top, const char* entry) {
  held_.clear();
  char parent[MAX_PATH];
  if (!ResolveFullPath(entry, parent) || !IsStrictlyInside(parent, top) || !CutToParent(parent)) {
    return FolderCheck::kRefused;
  }
  return Hold(top, parent);
}
