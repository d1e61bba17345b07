// The folder-tree operations of SetupShell: walks over the entries that
// FindFirstFileA lists, in the order it lists them, depth first.
#include <cstring>

#include "common/paths.h"
#include "common/win32_guards.h"
#include "installer/setup_shell.h"

namespace {

constexpr DWORD kBlockSize = 1024;

bool IsDotEntry(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}
bool IsFolder(const WIN32_FIND_DATAA& entry) {
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
bool IsLink(const WIN32_FIND_DATAA& entry) {
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Calls visit(entry) for each entry of folder except "." and "..". A folder
// that cannot be listed, or whose pattern would not fit, has no entries.
template <typename Visit>
void ForEachEntry(const char* folder, Visit&& visit) {
  char pattern[MAX_PATH];
  if (!JoinPath(pattern, folder, "*.*")) return;
  WIN32_FIND_DATAA entry;
  FindHandle find(FindFirstFileA(pattern, &entry));
  if (!find) return;
  do {
    if (!IsDotEntry(entry.cFileName)) visit(entry);
  } while (FindNextFileA(find.get(), &entry));
}

}  // namespace

uint32_t SetupShell::ScanTreeSize(const char* folder) {
  uint32_t total = 0;
  ForEachEntry(folder, [&](const WIN32_FIND_DATAA& entry) {
    if (!IsFolder(entry)) {
      total += entry.nFileSizeLow;
      return;
    }
    char child[MAX_PATH];
    if (JoinPath(child, folder, entry.cFileName)) total += ScanTreeSize(child);
  });
  return total;
}

void SetupShell::CopyTree(const char* source, const char* destination,
                          std::atomic<uint32_t>& counter, CopyProblems& problems) {
  ForEachEntry(source, [&](const WIN32_FIND_DATAA& entry) {
    char sourceChild[MAX_PATH];
    char destinationChild[MAX_PATH];
    if (!JoinPath(sourceChild, source, entry.cFileName) ||
        !JoinPath(destinationChild, destination, entry.cFileName)) {
      problems.filesNotCopied++;  // too long for a path: skipped
      return;
    }
    if (IsFolder(entry)) {
      CreateDirectoryA(destinationChild, nullptr);  // an existing folder is reused
      CopyTree(sourceChild, destinationChild, counter, problems);
    } else {
      CopyFileCounted(sourceChild, destinationChild, counter, problems);
    }
  });
}

uint32_t SetupShell::CopyFileCounted(const char* source, const char* destination,
                                     std::atomic<uint32_t>& counter, CopyProblems& problems) {
  FileHandle in(CreateFileA(source, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!in) {
    problems.filesNotCopied++;
    return 0;
  }
  FileHandle out(CreateFileA(destination, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
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
    problems.filesNotCopied++;
  }
  return planned;
}

void SetupShell::DeleteTreeContents(const char* folder) {
  ForEachEntry(folder, [&](const WIN32_FIND_DATAA& entry) {
    char child[MAX_PATH];
    if (!JoinPath(child, folder, entry.cFileName)) return;  // too long: left alone
    if (IsFolder(entry)) {
      // A junction or folder link is removed itself; its target is never entered.
      if (!IsLink(entry)) DeleteTreeContents(child);
      RemoveDirectoryA(child);
    } else {
      DeleteFileA(child);
    }
  });
}
