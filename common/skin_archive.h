// The archive of a packed setup.exe (common/packed_layout.h): Setup.ini and
// the ui and data folders, carried inside the executable. Opening it holds the executable
// with read sharing only, so nobody can change it while the program runs, and
// checks the archive's SHA-256 before anything of it is read. Entries are
// read with minizip (zlib's contrib), by position, so several threads may each
// read their own entry.
//   SkinArchive archive;
//   if (archive.Open(exePath) == SkinArchive::Found::kArchive) archive.ReadWhole(L"Setup.ini", ...);
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/win32_guards.h"

class SkinArchive {
 public:
  enum class Found {
    kNone,     // no archive: the folder form
    kArchive,  // an archive whose hash holds, every entry listed
    kDamaged,  // a trailer whose archive is cut short, altered or unreadable
  };
  // Looks for an archive at the end of the signed data of the file at path.
  Found Open(const std::wstring& path);

  struct Entry {
    std::wstring name;  // as stored, parts separated by "\"
    bool folder = false;
    uint64_t size = 0;  // uncompressed
    uint64_t directoryPosition = 0, number = 0;  // where minizip finds it again
  };
  const std::vector<Entry>& Entries() const { return entries_; }
  // The entry of that name, compared as the file system compares names; null if none.
  const Entry* Find(const std::wstring& name) const;

  // One entry's bytes, read in order.
  class Reader {
   public:
    virtual ~Reader() = default;
    // Up to `size` bytes; `got` 0 at the end. False on a read error.
    virtual bool Read(void* buffer, uint32_t size, uint32_t& got) = 0;
  };
  std::unique_ptr<Reader> OpenEntry(const Entry& entry) const;
  // Many entries read one after another on one open archive, as the copy of
  // the payload reads them: cheaper than OpenEntry for each. One thread at a time.
  class Sequence : public Reader {
   public:
    // Closes the entry before (false when its CRC did not hold) and opens this one.
    virtual bool Open(const Entry& entry) = 0;
  };
  std::unique_ptr<Sequence> OpenSequence() const;
  // A whole entry of at most `limit` bytes; false when it is larger or unreadable.
  bool ReadWhole(const Entry& entry, uint64_t limit, std::vector<uint8_t>& bytes) const;

  uint64_t offset() const { return offset_; }
  uint64_t size() const { return size_; }

 private:
  bool List();

  FileHandle file_;
  uint64_t offset_ = 0, size_ = 0;
  std::vector<Entry> entries_;
};

// The archive of this run, when setup.exe is packed; null for the folder form.
// Set once at start, before any window, and read from then on.
const SkinArchive* PackedSkin();
void SetPackedSkin(const SkinArchive* archive);
