#include "common/packed_layout.h"

#include <cstring>

namespace {

uint64_t Read64(const uint8_t* p) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | p[i];
  return value;
}
uint32_t Read32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void Write64(uint8_t* p, uint64_t value) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::array<uint8_t, kPackTrailerSize> EncodeTrailer(const PackTrailer& trailer) {
  std::array<uint8_t, kPackTrailerSize> bytes = {};
  Write64(bytes.data(), trailer.archiveOffset);
  Write64(bytes.data() + 8, trailer.archiveSize);
  std::memcpy(bytes.data() + 16, trailer.sha256.data(), kSha256Size);
  std::memcpy(bytes.data() + 48, kPackMagic, sizeof kPackMagic);
  return bytes;
}

bool DecodeTrailer(const uint8_t* bytes, PackTrailer& trailer) {
  if (std::memcmp(bytes + 48, kPackMagic, sizeof kPackMagic) != 0) return false;
  trailer.archiveOffset = Read64(bytes);
  trailer.archiveSize = Read64(bytes + 8);
  std::memcpy(trailer.sha256.data(), bytes + 16, kSha256Size);
  return true;
}

bool ReadPeLayout(const uint8_t* headers, size_t headerSize, uint64_t fileSize, PeLayout& layout) {
  if (headerSize < 0x40 || headers[0] != 'M' || headers[1] != 'Z') return false;
  const uint32_t pe = Read32(headers + 0x3C);
  if (pe > headerSize || headerSize - pe < 24 || std::memcmp(headers + pe, "PE\0\0", 4) != 0) return false;
  const uint16_t sections = Read16(headers + pe + 6);
  const uint32_t symbols = Read32(headers + pe + 12);
  const uint32_t symbolCount = Read32(headers + pe + 16);
  const uint16_t optionalSize = Read16(headers + pe + 20);
  const size_t optional = pe + 24;
  if (optionalSize < 2 || headerSize - optional < optionalSize) return false;
  const uint16_t magic = Read16(headers + optional);
  // The data directories start 96 (PE32) or 112 (PE32+) bytes in; the
  // certificate table is the fifth, its "address" a file offset.
  const size_t directories = optional + (magic == 0x20B ? 112 : magic == 0x10B ? 96 : 0);
  if (directories == optional) return false;
  const size_t security = directories + 4 * 8;
  layout.signedEnd = fileSize;
  if (security + 8 <= optional + optionalSize) {
    const uint32_t certificates = Read32(headers + security);
    const uint32_t certificatesSize = Read32(headers + security + 4);
    if (certificatesSize != 0) {
      if (certificates > fileSize || fileSize - certificates < certificatesSize) return false;
      layout.signedEnd = certificates;
    }
  }
  const size_t table = optional + optionalSize;
  if (headerSize - table < static_cast<size_t>(sections) * 40) return false;
  layout.sectionsEnd = 0;
  for (uint16_t i = 0; i < sections; ++i) {
    const uint8_t* section = headers + table + i * 40;
    const uint64_t end = static_cast<uint64_t>(Read32(section + 20)) + Read32(section + 16);
    if (end > layout.sectionsEnd) layout.sectionsEnd = end;
  }
  layout.stringTableAt = symbols == 0 ? 0 : static_cast<uint64_t>(symbols) + uint64_t{symbolCount} * 18;
  return layout.sectionsEnd <= layout.signedEnd && layout.stringTableAt <= layout.signedEnd;
}

uint64_t ProgramEnd(const PeLayout& layout, uint32_t stringTableSize) {
  const uint64_t symbolsEnd = layout.stringTableAt == 0 ? 0 : layout.stringTableAt + stringTableSize;
  return symbolsEnd > layout.sectionsEnd ? symbolsEnd : layout.sectionsEnd;
}

bool StartsAsZip(const uint8_t* bytes, size_t size) {
  return size >= 4 && bytes[0] == 'P' && bytes[1] == 'K' && bytes[2] == 3 && bytes[3] == 4;
}

bool TrailerFits(const PackTrailer& trailer, uint64_t imageEnd, uint64_t signedEnd) {
  if (signedEnd < imageEnd || signedEnd - imageEnd < kPackTrailerSize) return false;
  const uint64_t trailerStart = signedEnd - kPackTrailerSize;
  if (trailer.archiveOffset < imageEnd || trailer.archiveOffset > trailerStart) return false;
  if (trailer.archiveSize > trailerStart - trailer.archiveOffset) return false;
  return trailerStart - (trailer.archiveOffset + trailer.archiveSize) < 8;
}
