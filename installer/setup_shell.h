// SetupShell: the installer's contact with the file system and the Windows
// shell. Folder trees (measure, copy with a running byte count, empty) and
// the shell operations (folder chooser, free space, Programs folder,
// shortcuts). Holds only the owner window for its dialogs.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

// Whether `available` bytes are too few for `needed`; exactly enough is enough.
inline bool IsSpaceShort(uint64_t available, uint32_t needed) { return available < needed; }

// What the folder chooser gave: a folder, or nothing (cancelled, or something
// that is not a file-system folder).
enum class FolderChoice { kChosen, kCancelled };

class SkinArchive;

class SetupShell {
 public:
  explicit SetupShell(HWND owner) : owner_(owner) {}

  // Folders and files are full paths, at any depth (see ExtendedLengthPath).
  // Sum of the sizes (low 32 bits, wrapping) of the files below folder; 0
  // when the folder cannot be listed.
  uint32_t ScanTreeSize(const std::wstring& folder);
  // Copies everything below source into destination (which must exist),
  // adding each byte written to counter and each file skipped or not written
  // in full to notCopied. Links in source (and files of more than one name)
  // are skipped, never followed.
  void CopyTree(const std::wstring& source, const std::wstring& destination, std::atomic<uint32_t>& counter,
                std::atomic<uint32_t>& notCopied);
  // Copies one file in 1024-byte blocks and a byte-by-byte tail into a new
  // file: one already at destination is removed first, never written into.
  // Returns the source's size, or 0 when it cannot be opened (nothing is
  // created or removed then).
  uint32_t CopyFileCounted(const std::wstring& source, const std::wstring& destination,
                           std::atomic<uint32_t>& counter, std::atomic<uint32_t>& notCopied);
  // The same for a packed setup.exe: the archive's entries below "data\"
  // measured, and copied into destination in the archive's order.
  uint32_t ScanArchiveSize(const SkinArchive& archive);
  void CopyArchiveTree(const SkinArchive& archive, const std::wstring& destination,
                       std::atomic<uint32_t>& counter, std::atomic<uint32_t>& notCopied);
  // Deletes everything below folder; the folder itself stays. Links inside
  // it are removed as links: what they point to is never entered. True when
  // nothing is left below it (or it is gone); false when something stays or
  // the folder is not one to enter (a link).
  bool DeleteTreeContents(const std::wstring& folder);

  // Asks for the install folder; path is set only for kChosen.
  FolderChoice ChooseFolder(std::wstring& path);
  // True when the caller may use fewer than `needed` bytes on folder's drive,
  // or when that cannot be determined.
  bool LacksFreeSpace(const std::wstring& folder, uint32_t needed);
  // The user's start-menu Programs folder. False, with path empty, when it
  // cannot be resolved: callers then make and remove nothing there.
  bool GetProgramsFolder(std::wstring& path);
  // Saves a shortcut file at link pointing to target.
  HRESULT CreateShortcut(const std::wstring& target, const std::wstring& workingFolder,
                         const std::wstring& link, const std::wstring& description);

 private:
  HWND owner_;
};
