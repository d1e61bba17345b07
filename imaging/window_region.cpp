#include "imaging/window_region.h"

#include <memory>
#include <stdexcept>

#include "common/win32_guards.h"
#include "imaging/black_runs.h"
#include "imaging/pixel_layout.h"

DibCopy::DibCopy(HDC dc) : bitmap(nullptr), header{}, bits(nullptr) {
  // The DIBSECTION-sized read gives the BITMAP part's width and height.
  DIBSECTION description{};
  HGDIOBJ source = GetCurrentObject(dc, OBJ_BITMAP);
  if (!source || !GetObjectA(source, sizeof description, &description)) {
    description.dsBm.bmWidth = description.dsBm.bmHeight = 0;
  }
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = description.dsBm.bmWidth;
  header.biHeight = description.dsBm.bmHeight;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  if (!IsPictureSizeAllowed(header.biWidth, header.biHeight)) {
    throw std::runtime_error("can't create DIBitmap.");
  }
  bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                            &bits, nullptr, 0);
  if (!bitmap) throw std::runtime_error("can't create DIBitmap.");

  // Drawing the source into the section converts any depth to 24 bits.
  WindowDc screen(nullptr);
  MemoryDc copyDc(CreateCompatibleDC(screen.get()));
  if (copyDc) {
    SelectedObject selected(copyDc.get(), bitmap);
    BitBlt(copyDc.get(), 0, 0, header.biWidth, header.biHeight, dc, 0, 0, SRCCOPY);
  }
  GdiFlush();
}

DibCopy::~DibCopy() {
  if (bitmap) DeleteObject(bitmap);
}

BitmapRegion::BitmapRegion(const DibCopy& copy) : region(nullptr) {
  const int32_t width = copy.header.biWidth;
  const int32_t height = copy.header.biHeight;
  RegionHandle whole(CreateRectRgn(0, 0, width, height));
  if (!whole) throw std::runtime_error("can't create initial region.");
  RegionHandle cut(CreateRectRgn(0, 0, 1, 1));
  if (!cut) throw std::runtime_error("can't create delete region.");

  ForEachBlackRun(static_cast<const uint8_t*>(copy.bits), width, height, PictureStride(width),
                  [&](int32_t left, int32_t top, int32_t right) {
                    SetRectRgn(cut.get(), left, top, right, top + 1);
                    if (CombineRgn(whole.get(), whole.get(), cut.get(), RGN_DIFF) == ERROR) {
                      throw std::runtime_error("can't combine region.");
                    }
                  });
  region = whole.release();
}

BitmapRegion::~BitmapRegion() {
  if (region) DeleteObject(region);
}

HRGN RegionFromDC(HDC dc) {
  try {
    DibCopy copy(dc);
    BitmapRegion built(copy);
    HRGN result = CreateRectRgn(0, 0, 1, 1);
    if (result) CombineRgn(result, built.region, nullptr, RGN_COPY);
    return result;
  } catch (const std::exception&) {
    return nullptr;
  }
}
