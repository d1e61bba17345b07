// The archive of a packed setup.exe, written with minizip's zip API straight
// into the output file from a given offset: positions inside the archive
// count from its first byte, as SkinArchive reads them. Every entry has
// a UTF-8 name (general-purpose flag bit 11), the date 1980-01-01 00:00 and
// nothing else that depends on when or where it was made, so the same entries
// give the same bytes. Windows only.
//   ZipWriter zip(file, offset);
//   zip.AddFolder("data/docs/"); zip.AddFile("Setup.ini", source, copied);
//   uint64_t size; if (zip.Finish(size)) ...
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace skintool {

class ZipWriter {
 public:
  ZipWriter(HANDLE file, uint64_t offset);
  ~ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // name: UTF-8, parts separated by "/", ending in "/". Stored, no bytes.
  bool AddFolder(const std::string& name);
  // The rest of `source`, deflated at level 9; `copied` receives its size.
  bool AddFile(const std::string& name, HANDLE source, uint64_t& copied);
  // Writes the central directory; `size` receives the archive's size.
  bool Finish(uint64_t& size);

  // Where minizip's writes go. Its many small writes in a row gather in
  // `pending` (at `pendingAt`) and reach the file in large ones.
  struct Stream {
    HANDLE file;
    uint64_t base;
    uint64_t position = 0, end = 0;
    bool failed = false;
    std::vector<uint8_t> pending;
    uint64_t pendingAt = 0;
    bool Flush();
  };

 private:
  bool Open(const std::string& name, bool folder, bool large);

  Stream stream_;
  void* zip_ = nullptr;  // zipFile
};

}  // namespace skintool
