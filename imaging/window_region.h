// The window's shape, cut out of a picture: every pure-black pixel lies
// outside the region. RegionFromDC is the entry; DibCopy and BitmapRegion live
// only inside one call of it.
#pragma once

#include <windows.h>

#include <cstdint>

// The region of the bitmap selected into dc, or null when none can be built.
// The caller owns the region (and hands it to SetWindowRgn).
HRGN RegionFromDC(HDC dc);

// A 24-bit bottom-up copy of the bitmap selected into a device context.
// Throws std::runtime_error when the copy cannot be made.
class DibCopy {
 public:
  explicit DibCopy(HDC dc);
  ~DibCopy();
  DibCopy(const DibCopy&) = delete;
  DibCopy& operator=(const DibCopy&) = delete;

  HBITMAP bitmap;
  BITMAPINFOHEADER header;
  void* bits;
};

// The region of a DibCopy with its black runs cut out. Throws
// std::runtime_error when a region operation fails.
class BitmapRegion {
 public:
  explicit BitmapRegion(const DibCopy& copy);
  ~BitmapRegion();
  BitmapRegion(const BitmapRegion&) = delete;
  BitmapRegion& operator=(const BitmapRegion&) = delete;

  HRGN region;
};
