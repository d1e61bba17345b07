// The folder-tree operations of SetupShell: walks over the entries of a
// folder, in the order the system lists them, depth first. The listing is
// read with the wide functions so that every name is seen as it is; an entry
// is worked on by its ANSI name only when that name is exactly its own.
#include <cstring>
#include <cwchar>

#include "common/paths.h"
#include "common/win32_guards.h"
#include "installer/path_guard.h"
#include "installer/setup_shell.h"

namespace {

constexpr DWORD kBlockSize = 1024;

// One listed entry. `name` is empty when the entry has no exact ANSI name
// (a best-fit substitute, a "?" for an unmappable character, a separator):
// such an entry is never joined to a path.
struct Entry {
  char name[MAX_PATH];
  DWORD attributes;
  DWORD sizeLow;
  bool Named() const { return name[0] != '\0'; }
  bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  bool IsReparsePoint() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

bool IsDotEntry(const wchar_t* name) {
  return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

// Calls visit(entry) for each entry of folder except "." and "..". A folder
// that cannot be listed, or whose pattern would not fit, has no entries.
template <typename Visit>
void ForEachEntry(const char* folder, Visit&& visit) {
  char pattern[MAX_PATH];
  wchar_t widePattern[MAX_PATH];
  if (!JoinPath(pattern, folder, "*.*") ||
      MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pattern, -1, widePattern, MAX_PATH) == 0) {
    return;
  }
  WIN32_FIND_DATAW found;
  FindHandle find(FindFirstFileW(widePattern, &found));
  if (!find) return;
  do {
    if (IsDotEntry(found.cFileName)) continue;
    Entry entry;
    ExactAnsiName(found.cFileName, entry.name);
    entry.attributes = found.dwFileAttributes;
    entry.sizeLow = found.nFileSizeLow;
    visit(static_cast<const Entry&>(entry));
  } while (FindNextFileW(find.get(), &found));
}

// How many files lie below folder (for a folder the copy may not enter).
uint32_t CountFiles(const char* folder) {
  uint32_t files = 0;
  ForEachEntry(folder, [&](const Entry& entry) {
    char child[MAX_PATH];
    if (!entry.IsFolder()) {
      ++files;
    } else if (entry.Named() && JoinPath(child, folder, entry.name)) {
      files += CountFiles(child);
    } else {
      ++files;  // its files cannot be reached, so none of them is copied
    }
  });
  return files;
}

// Empties folder, which the caller holds as a real folder.
void DeleteHeldContents(const char* folder) {
  ForEachEntry(folder, [&](const Entry& entry) {
    char child[MAX_PATH];
    // Without an exact name the entry, and so this folder, stays.
    if (!entry.Named() || !JoinPath(child, folder, entry.name)) return;
    if (!entry.IsFolder()) {
      DeleteFileA(child);
      return;
    }
    // A junction or folder link is removed itself; its target is never
    // entered. A folder is entered only by a handle that shows it is still a
    // real folder and keeps it one until its contents are gone.
    if (!entry.IsReparsePoint()) {
      FileHandle held;
      if (HoldRealFolder(child, held) == FolderCheck::kRealFolder) DeleteHeldContents(child);
    }
    RemoveDirectoryA(child);
  });
}

}  // namespace

uint32_t SetupShell::ScanTreeSize(const char* folder) {
  uint32_t total = 0;
  ForEachEntry(folder, [&](const Entry& entry) {
    if (!entry.Named()) return;  // never copied, so never counted
    if (!entry.IsFolder()) {
      total += entry.sizeLow;
      return;
    }
    char child[MAX_PATH];
    if (JoinPath(child, folder, entry.name)) total += ScanTreeSize(child);
  });
  return total;
}

void SetupShell::CopyTree(const char* source, const char* destination,
                          std::atomic<uint32_t>& counter, std::atomic<uint32_t>& notCopied) {
  ForEachEntry(source, [&](const Entry& entry) {
    char sourceChild[MAX_PATH];
    char destinationChild[MAX_PATH];
    if (!entry.Named() || !JoinPath(sourceChild, source, entry.name) ||
        !JoinPath(destinationChild, destination, entry.name)) {
      notCopied++;  // no exact name, or too long for a path: skipped
      return;
    }
    if (entry.IsFolder()) {
      CreateDirectoryA(destinationChild, nullptr);  // an existing folder is reused
      // A link or a file standing in the destination is not written through:
      // the folder is entered only while it is held as a real folder.
      FileHandle held;
      if (HoldRealFolder(destinationChild, held) != FolderCheck::kRealFolder) {
        notCopied += CountFiles(sourceChild);
        return;
      }
      CopyTree(sourceChild, destinationChild, counter, notCopied);
      return;
    }
    CopyFileCounted(sourceChild, destinationChild, counter, notCopied);
  });
}

uint32_t SetupShell::CopyFileCounted(const char* source, const char* destination,
                                     std::atomic<uint32_t>& counter, std::atomic<uint32_t>& notCopied) {
  FileHandle in(CreateFileA(source, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!in) {
    notCopied++;
    return 0;
  }
  // A file standing where the copy goes loses its name and the copy is made
  // anew, never written into: a hard link or a link to a file elsewhere is
  // left as it was. One that cannot be removed (held open, read-only) stays,
  // and this file is not copied.
  DeleteFileA(destination);
  FileHandle out(CreateFileA(destination, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  const DWORD size = GetFileSize(in.get(), nullptr);
  bool complete = static_cast<bool>(out) && size != INVALID_FILE_SIZE;
  GlobalMemory block(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, kBlockSize));
  BYTE* buffer = static_cast<BYTE*>(block.get());
  complete = complete && buffer != nullptr;

  // Moves up to n bytes; only what was read is written, so a file that
  // shrank meanwhile is never padded with stale buffer bytes.
  auto move = [&](DWORD n) {
    DWORD read = 0, written = 0;
    if (!buffer || !ReadFile(in.get(), buffer, n, &read, nullptr) || read != n) complete = false;
    if (read > 0 && (!WriteFile(out.get(), buffer, read, &written, nullptr) || written != read)) {
      complete = false;
    }
    counter += n;  // the planned amount, so that the count meets the scanned total
  };
  const DWORD planned = size == INVALID_FILE_SIZE ? 0 : size;
  for (DWORD i = 0; i < planned / kBlockSize; ++i) move(kBlockSize);
  for (DWORD i = 0; i < planned % kBlockSize; ++i) move(1);

  // A file that grew after the scan is copied in part only.
  DWORD extra = 0;
  if (buffer && ReadFile(in.get(), buffer, 1, &extra, nullptr) && extra != 0) complete = false;
  block.reset();
  in.reset();
  const bool created = static_cast<bool>(out);
  out.reset();
  if (!complete) {
    // What was written is not the file: leave no empty or cut-off copy behind.
    if (created) DeleteFileA(destination);
    notCopied++;
  }
  return planned;
}

void SetupShell::DeleteTreeContents(const char* folder) {
  FileHandle held;
  if (HoldRealFolder(folder, held) == FolderCheck::kRealFolder) DeleteHeldContents(folder);
}
