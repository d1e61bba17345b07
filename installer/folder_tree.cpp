// The folder-tree operations of SetupShell: walks over the entries of a
// folder, in the order the system lists them, depth first. Every name is
// taken as the system lists it, and every path is full and goes to the file
// functions in its extended-length form, so no name and no depth is refused.
#include <cwchar>

#include "common/paths.h"
#include "common/win32_guards.h"
#include "installer/counted_copy.h"
#include "installer/path_guard.h"
#include "installer/setup_shell.h"

namespace {

constexpr DWORD kBlockSize = 1024;

// One listed entry. A name that could not stand as one part of a path (a
// separator in it) is never joined to one.
struct Entry {
  std::wstring name;
  DWORD attributes;
  DWORD sizeLow;
  bool Named() const { return IsPlainEntryName(name); }
  bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  bool IsReparsePoint() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

bool IsDotEntry(const wchar_t* name) {
  return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

// Calls visit(entry) for each entry of folder except "." and "..". A folder
// that cannot be listed has no entries.
template <typename Visit>
void ForEachEntry(const std::wstring& folder, Visit&& visit) {
  WIN32_FIND_DATAW found;
  FindHandle find(FindFirstFileExW(ExtendedLengthPath(JoinPath(folder, L"*")).c_str(), FindExInfoBasic,
                                   &found, FindExSearchNameMatch, nullptr, 0));
  if (!find) return;
  do {
    if (IsDotEntry(found.cFileName)) continue;
    const Entry entry{found.cFileName, found.dwFileAttributes, found.nFileSizeLow};
    visit(entry);
  } while (FindNextFileW(find.get(), &found));
}

// How many files lie below folder (for a folder the copy may not enter).
uint32_t CountFiles(const std::wstring& folder) {
  uint32_t files = 0;
  ForEachEntry(folder, [&](const Entry& entry) {
    if (!entry.IsFolder()) {
      ++files;
    } else if (entry.Named()) {
      files += CountFiles(JoinPath(folder, entry.name));
    } else {
      ++files;  // its files cannot be reached, so none of them is copied
    }
  });
  return files;
}

// Empties folder, which the caller holds as a real folder. True when nothing
// is left in it.
bool DeleteHeldContents(const std::wstring& folder) {
  bool emptied = true;
  ForEachEntry(folder, [&](const Entry& entry) {
    // Without a usable name the entry, and so this folder, stays.
    if (!entry.Named()) {
      emptied = false;
      return;
    }
    const std::wstring child = JoinPath(folder, entry.name);
    const std::wstring longChild = ExtendedLengthPath(child);
    if (!entry.IsFolder()) {
      if (!DeleteFileW(longChild.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) emptied = false;
      return;
    }
    // A junction or folder link is removed itself; its target is never
    // entered. A folder is entered only by a handle that shows it is still a
    // real folder and keeps it one until its contents are gone.
    if (!entry.IsReparsePoint()) {
      FileHandle held;
      if (HoldRealFolder(child, held) == FolderCheck::kHeld && !DeleteHeldContents(child)) {
        emptied = false;
      }
    }
    if (!RemoveDirectoryW(longChild.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) emptied = false;
  });
  return emptied;
}

}  // namespace

uint32_t SetupShell::ScanTreeSize(const std::wstring& folder) {
  uint32_t total = 0;
  ForEachEntry(folder, [&](const Entry& entry) {
    if (!entry.Named() || entry.IsReparsePoint()) return;  // never copied, so never counted
    if (!entry.IsFolder()) {
      total += entry.sizeLow;
      return;
    }
    total += ScanTreeSize(JoinPath(folder, entry.name));
  });
  return total;
}

void SetupShell::CopyTree(const std::wstring& source, const std::wstring& destination,
                          std::atomic<uint32_t>& counter, std::atomic<uint32_t>& notCopied) {
  ForEachEntry(source, [&](const Entry& entry) {
    // No name that a path could hold, or a link: the payload folder is the
    // user's, and a link in it could lead the copy to files the user cannot
    // read. Neither is copied.
    if (!entry.Named() || entry.IsReparsePoint()) {
      notCopied++;
      return;
    }
    const std::wstring sourceChild = JoinPath(source, entry.name);
    const std::wstring destinationChild = JoinPath(destination, entry.name);
    if (entry.IsFolder()) {
      CreateDirectoryW(ExtendedLengthPath(destinationChild).c_str(), nullptr);  // an existing folder is reused
      // A link or a file standing in the destination is not written through:
      // the folder is entered only while it is held as a real folder.
      FileHandle held;
      if (HoldRealFolder(destinationChild, held) != FolderCheck::kHeld) {
        notCopied += CountFiles(sourceChild);
        return;
      }
      CopyTree(sourceChild, destinationChild, counter, notCopied);
      return;
    }
    CopyFileCounted(sourceChild, destinationChild, counter, notCopied);
  });
}

uint32_t SetupShell::CopyFileCounted(const std::wstring& source, const std::wstring& destination,
                                     std::atomic<uint32_t>& counter, std::atomic<uint32_t>& notCopied) {
  // Opened as it stands, never followed: a link, or a file with another
  // name elsewhere (a hard link), is not copied.
  FileHandle in(CreateFileW(ExtendedLengthPath(source).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  // (The two small queries, not GetFileInformationByHandle: under Wine that
  // one costs milliseconds a file.)
  FILE_ATTRIBUTE_TAG_INFO tag;
  FILE_STANDARD_INFO standard;
  const DWORD size = in ? GetFileSize(in.get(), nullptr) : INVALID_FILE_SIZE;
  if (size == INVALID_FILE_SIZE ||
      !GetFileInformationByHandleEx(in.get(), FileAttributeTagInfo, &tag, sizeof tag) ||
      !GetFileInformationByHandleEx(in.get(), FileStandardInfo, &standard, sizeof standard) ||
      (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || standard.NumberOfLinks > 1) {
    notCopied++;
    return 0;
  }
  FileCopySource bytes(in.get());
  if (!CopyCounted(bytes, size, destination, counter)) notCopied++;
  return size;
}

bool CopyCounted(CopySource& in, uint32_t size, const std::wstring& destination, std::atomic<uint32_t>& counter) {
  const std::wstring to = ExtendedLengthPath(destination);
  // A file standing where the copy goes loses its name and the copy is made
  // anew, never written into: a hard link or a link to a file elsewhere is
  // left as it was. One that cannot be removed (held open, read-only) stays,
  // and this file is not copied.
  DeleteFileW(to.c_str());
  FileHandle out(CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  bool complete = static_cast<bool>(out);
  GlobalMemory block(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, kBlockSize));
  BYTE* buffer = static_cast<BYTE*>(block.get());
  complete = complete && buffer != nullptr;

  // Moves up to n bytes; only what was read is written, so a source that
  // shrank meanwhile is never padded with stale buffer bytes.
  auto move = [&](uint32_t n) {
    uint32_t read = 0;
    DWORD written = 0;
    if (!buffer || !in.Read(buffer, n, read) || read != n) complete = false;
    if (read > 0 && (!WriteFile(out.get(), buffer, read, &written, nullptr) || written != read)) {
      complete = false;
    }
    counter += n;  // the planned amount, so that the count meets the scanned total
  };
  for (uint32_t i = 0; i < size / kBlockSize; ++i) move(kBlockSize);
  for (uint32_t i = 0; i < size % kBlockSize; ++i) move(1);

  // A source that grew after the scan is copied in part only.
  uint32_t extra = 0;
  if (buffer && (!in.Read(buffer, 1, extra) || extra != 0)) complete = false;
  block.reset();
  const bool created = static_cast<bool>(out);
  out.reset();
  // What was written is not the file: leave no empty or cut-off copy behind.
  if (!complete && created) DeleteFileW(to.c_str());
  return complete;
}

bool SetupShell::DeleteTreeContents(const std::wstring& folder) {
  FileHandle held;
  const FolderCheck check = HoldRealFolder(folder, held);
  if (check == FolderCheck::kMissing) return true;
  return check == FolderCheck::kHeld && DeleteHeldContents(folder);
}
