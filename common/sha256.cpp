#include "common/sha256.h"

#include <bcrypt.h>

#include "common/file_at.h"

#include <vector>

Sha256::Sha256() {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  failed_ = !BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
            !BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
  algorithm_ = algorithm;
  hash_ = hash;
}

Sha256::~Sha256() {
  if (hash_) BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(hash_));
  if (algorithm_) BCryptCloseAlgorithmProvider(static_cast<BCRYPT_ALG_HANDLE>(algorithm_), 0);
}

void Sha256::Add(const void* bytes, size_t size) {
  const auto* p = static_cast<const UCHAR*>(bytes);
  while (!failed_ && size > 0) {
    const ULONG chunk = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
    failed_ = !BCRYPT_SUCCESS(BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(hash_), const_cast<UCHAR*>(p), chunk, 0));
    p += chunk;
    size -= chunk;
  }
}

bool Sha256::Finish(std::array<uint8_t, 32>& digest) {
  return !failed_ && BCRYPT_SUCCESS(BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(hash_), digest.data(),
                                                     static_cast<ULONG>(digest.size()), 0));
}

bool Sha256OfFileRange(HANDLE file, uint64_t offset, uint64_t size, std::array<uint8_t, 32>& digest) {
  Sha256 hash;
  std::vector<uint8_t> buffer(1 << 20);
  while (size > 0) {
    const DWORD want = size < buffer.size() ? static_cast<DWORD>(size) : static_cast<DWORD>(buffer.size());
    if (!ReadExactlyAt(file, offset, buffer.data(), want)) return false;
    hash.Add(buffer.data(), want);
    offset += want;
    size -= want;
  }
  return hash.Finish(digest);
}
