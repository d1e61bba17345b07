// The one pixel layout of the program: 24 bits a pixel stored blue, green,
// red; rows bottom-up, each padded to a multiple of 4 bytes. Shared by the
// Surface and the picture decoders, which need no Win32 to use it.
#pragma once

#include <cstdint>

// Sizes beyond these are refused: no skin picture comes near them, and they
// keep a damaged header from asking for gigabytes.
inline constexpr int32_t kMaxPictureSide = 16384;
inline constexpr int64_t kMaxPicturePixels = 64LL * 1024 * 1024;

inline int64_t PictureStride(int64_t width) { return (3 * width + 3) & ~int64_t{3}; }

inline bool IsPictureSizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

// Offset of the pixel at column x, row y counted from the top.
inline int64_t PixelOffset(int64_t width, int64_t height, int64_t x, int64_t y) {
  return (height - 1 - y) * PictureStride(width) + 3 * x;
}
