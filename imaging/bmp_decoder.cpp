#include <algorithm>
#include <cstring>

#include "imaging/picture_decoders.h"
#include "imaging/pixel_layout.h"

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

}  // namespace

DecodeStatus DecodeBmp(const uint8_t* data, size_t size, bool scrambled, DecodedPicture& out) {
  if (size < kFileHeaderSize + kInfoHeaderSize) {
    // Too short for its headers; still say "not 24-bit" when the depth field
    // itself is there and tells so.
    if (size >= 30) {
      std::vector<uint8_t> head(data, data + 30);
      if (scrambled) for (uint8_t& b : head) b ^= kScrambleByte;
      if (U16(head, 28) != 24) return DecodeStatus::kNotTwentyFourBitBmp;
    }
    return DecodeStatus::kDamaged;
  }

  // Only the headers are copied (and unscrambled); the pixel block is read in place.
  const size_t headerBytes = std::min<size_t>(size, 14 + 124);
  std::vector<uint8_t> head(data, data + headerBytes);
  if (scrambled) {
    for (size_t i = 0; i < kFileHeaderSize; ++i) head[i] ^= kScrambleByte;
    const size_t pixelOffset = U32(head, 10);
    for (size_t i = kFileHeaderSize; i < headerBytes && i < pixelOffset; ++i) head[i] ^= kScrambleByte;
  }

  const uint32_t pixelOffset = U32(head, 10);
  const uint32_t infoSize = U32(head, 14);
  const int32_t width = static_cast<int32_t>(U32(head, 18));
  const int32_t storedHeight = static_cast<int32_t>(U32(head, 22));
  const uint16_t bitCount = U16(head, 28);
  const uint32_t compression = U32(head, 30);

  if (bitCount != 24) return DecodeStatus::kNotTwentyFourBitBmp;
  if (infoSize < kInfoHeaderSize || compression != 0 /* BI_RGB */) return DecodeStatus::kDamaged;
  if (storedHeight == INT32_MIN) return DecodeStatus::kDamaged;

  // A negative height means rows stored top-down; the picture is the same.
  const bool topDown = storedHeight < 0;
  const int32_t height = topDown ? -storedHeight : storedHeight;
  if (!IsPictureSizeAllowed(width, height)) return DecodeStatus::kDamaged;

  const int64_t stride = PictureStride(width);
  if (pixelOffset < kFileHeaderSize + kInfoHeaderSize || pixelOffset > size ||
      static_cast<int64_t>(size - pixelOffset) < stride * height) {
    return DecodeStatus::kDamaged;
  }

  out.width = width;
  out.height = height;
  out.pixels.resize(static_cast<size_t>(stride * height));
  const uint8_t* block = data + pixelOffset;
  for (int32_t row = 0; row < height; ++row) {
    const int32_t target = topDown ? height - 1 - row : row;
    std::memcpy(out.pixels.data() + target * stride, block + row * stride, static_cast<size_t>(stride));
  }
  return DecodeStatus::kOk;
}
