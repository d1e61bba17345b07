// What a copy reads from (a file on disk, an entry of a packed archive), and
// one file's copy with the install's running count: 1024-byte blocks, then
// the tail byte by byte, into a file made anew at the destination. Shared by
// the copy from the data folder and the copy from a packed archive.
//   FileCopySource in(handle); if (!CopyCounted(in, size, destination, counter)) notCopied++;
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "common/skin_archive.h"

// What a counted copy reads from, in order.
class CopySource {
 public:
  virtual ~CopySource() = default;
  // Up to n bytes; `got` 0 at the end. False on a read error.
  virtual bool Read(void* buffer, uint32_t n, uint32_t& got) = 0;
};

class FileCopySource : public CopySource {
 public:
  explicit FileCopySource(HANDLE file) : file_(file) {}
  bool Read(void* buffer, uint32_t n, uint32_t& got) override {
    DWORD read = 0;
    const bool ok = ReadFile(file_, buffer, n, &read, nullptr) != FALSE;
    got = read;
    return ok;
  }

 private:
  HANDLE file_;
};

class ArchiveCopySource : public CopySource {
 public:
  explicit ArchiveCopySource(SkinArchive::Reader& reader) : reader_(reader) {}
  bool Read(void* buffer, uint32_t n, uint32_t& got) override { return reader_.Read(buffer, n, got); }

 private:
  SkinArchive::Reader& reader_;
};

// Copies `size` bytes of in to destination (a full path), adding `size` to
// counter as it goes whatever it reads, so that the count meets the scanned
// total. A file standing at destination loses its name first and the copy is
// made anew, never written into. False, with no file left behind, when the
// copy is not the whole source: a read or write failed, the source ended
// early or holds more.
bool CopyCounted(CopySource& in, uint32_t size, const std::wstring& destination, std::atomic<uint32_t>& counter);
