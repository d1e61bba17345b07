// The packed form of setup.exe: the program's own bytes, then a zip archive of
// Setup.ini, ui\ and data\, then zero bytes up to a multiple of 8, then a
// 56-byte trailer that says where the archive lies and its SHA-256. A
// signature may follow (Authenticode appends its table at the very end and
// hashes everything before it, archive and trailer included); the program
// reads nothing past the signed data. Pure: bytes in, values out.
//   uint64_t end; if (SignedDataEnd(headers, n, fileSize, end)) ... read the trailer before end
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr char kPackMagic[8] = {'S', 'K', 'I', 'N', 'P', 'A', 'C', 'K'};
inline constexpr size_t kPackTrailerSize = 56;
inline constexpr size_t kSha256Size = 32;

struct PackTrailer {
  uint64_t archiveOffset = 0;  // from the start of the file
  uint64_t archiveSize = 0;
  std::array<uint8_t, kSha256Size> sha256 = {};
};

// archiveOffset, archiveSize (little-endian), the hash, then kPackMagic.
std::array<uint8_t, kPackTrailerSize> EncodeTrailer(const PackTrailer& trailer);
// False when the bytes are no trailer (wrong magic).
bool DecodeTrailer(const uint8_t* bytes, PackTrailer& trailer);

// From the first bytes of a PE file (at least its headers: 4 KiB is plenty)
// and its size: where the signed data ends (the certificate table's offset,
// or the file's end when it is not signed), where its sections' raw data
// ends, and where its COFF string table's size field lies (0 without a
// symbol table; the string table follows the symbols and ends the program's
// own bytes). False for a file that is no well-formed PE file of that size.
struct PeLayout {
  uint64_t signedEnd = 0;
  uint64_t sectionsEnd = 0;
  uint64_t stringTableAt = 0;
};
bool ReadPeLayout(const uint8_t* headers, size_t headerSize, uint64_t fileSize, PeLayout& layout);

// Where the program's own bytes end: its sections, or the string table of
// `stringTableSize` bytes (read at layout.stringTableAt) where there is one.
uint64_t ProgramEnd(const PeLayout& layout, uint32_t stringTableSize);

// Whether bytes begin as a zip archive does (a local file header).
bool StartsAsZip(const uint8_t* bytes, size_t size);

// Whether a trailer read just before signedEnd describes an archive that lies
// between imageEnd (the program's end) and the trailer, with at most 7 bytes
// of padding after it.
bool TrailerFits(const PackTrailer& trailer, uint64_t imageEnd, uint64_t signedEnd);
