// Reading a file by position (an OVERLAPPED offset on a synchronous handle):
// no shared file pointer, so several readers may use one handle at once.
//   if (ReadExactlyAt(file, offset, buffer, size)) ...
#pragma once

#include <windows.h>

#include <cstdint>

// Up to `size` bytes at `offset`; `got` says how many came. False on a read error.
inline bool ReadFileAt(HANDLE file, uint64_t offset, void* buffer, DWORD size, DWORD& got) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  got = 0;
  return ReadFile(file, buffer, size, &got, &at) != FALSE;
}

// All `size` bytes at `offset`; false unless every one of them came.
inline bool ReadExactlyAt(HANDLE file, uint64_t offset, void* buffer, DWORD size) {
  DWORD got = 0;
  return ReadFileAt(file, offset, buffer, size, got) && got == size;
}
