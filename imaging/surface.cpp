#include "imaging/surface.h"

#include "imaging/pixel_layout.h"

#include "common/win32_guards.h"

namespace {
constexpr SIZE_T kInfoBlockSize = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);
}

Surface::Surface(HWND owner, int32_t w, int32_t h)
    : window(owner),
      top(0),
      left(0),
      width(w),
      height(h),
      bits(nullptr),
      dc(nullptr),
      bitmap(nullptr),
      infoBlock(nullptr),
      header(nullptr),
      colors(nullptr) {
  MakePlane();
}

Surface::~Surface() { ReleasePlane(); }

// A size the system cannot or should not hold (zero, negative, huge) leaves an
// empty Surface: no plane, width and height 0, so nothing is drawn from it and
// no loader has pixels to write into.
void Surface::MakePlane() {
  if (!IsPictureSizeAllowed(width, height)) {
    width = height = 0;
    return;
  }
  infoBlock = GlobalAlloc(GMEM_ZEROINIT, kInfoBlockSize);
  header = infoBlock ? static_cast<BITMAPINFOHEADER*>(GlobalLock(infoBlock)) : nullptr;
  if (!header) {
    ReleasePlane();
    width = height = 0;
    return;
  }
  colors = reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(header) + sizeof(BITMAPINFOHEADER));
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biCompression = BI_RGB;

  WindowDc reference(window);
  bitmap = CreateDIBSection(reference.get(), reinterpret_cast<BITMAPINFO*>(header),
                            DIB_RGB_COLORS, &bits, nullptr, 0);
  dc = bitmap ? CreateCompatibleDC(reference.get()) : nullptr;
  if (!bitmap || !dc) {
    ReleasePlane();
    width = height = 0;
    return;
  }
  SelectObject(dc, bitmap);
}

void Surface::ReleasePlane() {
  if (infoBlock) {
    GlobalUnlock(infoBlock);
    GlobalFree(infoBlock);
  }
  if (dc) DeleteDC(dc);
  if (bitmap) DeleteObject(bitmap);
  infoBlock = nullptr;
  header = nullptr;
  colors = nullptr;
  dc = nullptr;
  bitmap = nullptr;
  bits = nullptr;
}

void Surface::Resize(int32_t w, int32_t h) {
  if (w == width && h == height && (bits != nullptr || !IsPictureSizeAllowed(w, h))) return;
  width = w;
  height = h;
  ReleasePlane();
  MakePlane();
}

void Surface::BlitToWindow() const {
  if (!dc) return;
  WindowDc target(window);
  if (target.get()) BitBlt(target.get(), left, top, width, height, dc, 0, 0, SRCCOPY);
}

void Surface::CopyFrom(const Surface& source) {
  Resize(source.width, source.height);
  if (dc && source.dc) BitBlt(dc, 0, 0, width, height, source.dc, 0, 0, SRCCOPY);
}

void Surface::Overlay(const Surface& source) {
  if (dc && source.dc) {
    BitBlt(dc, source.left, source.top, source.width, source.height, source.dc, 0, 0, SRCCOPY);
  }
}

void Surface::Fill(uint8_t red, uint8_t green, uint8_t blue) {
  if (bits == nullptr) return;
  auto* rows = static_cast<uint8_t*>(bits);
  const int64_t stride = PictureStride(width);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* pixel = rows + static_cast<size_t>(y) * stride;
    for (int32_t x = 0; x < width; ++x, pixel += 3) {
      pixel[0] = blue;
      pixel[1] = green;
      pixel[2] = red;
    }
  }
}
