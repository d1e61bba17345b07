// SHA-256 through Windows' own CNG (bcrypt): the packed archive's hash.
//   Sha256 hash; hash.Add(bytes, n); ...; if (hash.Finish(digest)) ...
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Add(const void* bytes, size_t size);
  // The digest of everything added; false when CNG could not compute it.
  bool Finish(std::array<uint8_t, 32>& digest);

 private:
  void* algorithm_ = nullptr;  // BCRYPT_ALG_HANDLE
  void* hash_ = nullptr;       // BCRYPT_HASH_HANDLE
  bool failed_ = false;
};

// The SHA-256 of `size` bytes of file from `offset`, read by position.
bool Sha256OfFileRange(HANDLE file, uint64_t offset, uint64_t size, std::array<uint8_t, 32>& digest);
