// The window region cut out of a picture: rectangles read back from GDI.
#include "imaging/window_region.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "imaging/surface.h"

namespace {

struct Rect {
  long left, top, right, bottom;
  bool operator==(const Rect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

std::vector<Rect> RectanglesOf(HRGN region) {
  std::vector<Rect> rects;
  DWORD size = GetRegionData(region, 0, nullptr);
  std::vector<char> buffer(size);
  auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
  if (size == 0 || !GetRegionData(region, size, data)) return rects;
  const RECT* r = reinterpret_cast<const RECT*>(data->Buffer);
  for (DWORD i = 0; i < data->rdh.nCount; ++i) rects.push_back({r[i].left, r[i].top, r[i].right, r[i].bottom});
  return rects;
}

bool Contains(HRGN region, int x, int y) { return PtInRegion(region, x, y) != 0; }

// A picture of the given size, all one colour, with black pixels at `black`.
struct Picture {
  Surface surface;
  Picture(int width, int height, std::vector<POINT> black, BYTE b = 200, BYTE g = 100, BYTE r = 50)
      : surface(nullptr, width, height) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) Set(x, y, b, g, r);
    for (POINT p : black) Set(p.x, p.y, 0, 0, 0);
    GdiFlush();
  }
  void Set(int x, int y, BYTE b, BYTE g, BYTE r) {
    BYTE* p = static_cast<BYTE*>(surface.bits) + PixelOffset(surface.width, surface.height, x, y);
    p[0] = b, p[1] = g, p[2] = r;
  }
};

TEST(WindowRegion, NoBlackGivesTheWholeRectangle) {
  Picture p(5, 3, {});
  HRGN region = RegionFromDC(p.surface.dc);
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(RectanglesOf(region), (std::vector<Rect>{{0, 0, 5, 3}}));
  DeleteObject(region);
}

TEST(WindowRegion, AllBlackGivesAnEmptyRegion) {
  Picture p(4, 4, {}, 0, 0, 0);
  HRGN region = RegionFromDC(p.surface.dc);
  ASSERT_NE(region, nullptr);
  EXPECT_TRUE(RectanglesOf(region).empty());
  DeleteObject(region);
}

TEST(WindowRegion, CutsInteriorHolesTooAndKeepsNearBlack) {
  Picture p(5, 5, {{2, 2}});
  p.Set(1, 1, 1, 0, 0);  // blue 1: not pure black
  GdiFlush();
  HRGN region = RegionFromDC(p.surface.dc);
  ASSERT_NE(region, nullptr);
  EXPECT_FALSE(Contains(region, 2, 2));
  EXPECT_TRUE(Contains(region, 1, 1));
  EXPECT_TRUE(Contains(region, 3, 2));
  EXPECT_TRUE(Contains(region, 2, 1));
  DeleteObject(region);
}

TEST(WindowRegion, BottomLeftPixelAndARunToTheRightEdge) {
  // Width 5 is not a multiple of 4: padding bytes must never count as pixels.
  Picture p(5, 3, {{0, 2}, {3, 0}, {4, 0}});
  HRGN region = RegionFromDC(p.surface.dc);
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(RectanglesOf(region),
            (std::vector<Rect>{{0, 0, 3, 1}, {0, 1, 5, 2}, {1, 2, 5, 3}}));
  DeleteObject(region);
}

TEST(WindowRegion, WidthsOneToFourReadEachRowFromItsOwnStart) {
  for (int width = 1; width <= 4; ++width) {
    // Black in the last column of every row: rows whose stride has padding
    // would shift if the scan ran on through it.
    std::vector<POINT> black;
    for (int y = 0; y < 3; ++y) black.push_back({width - 1, y});
    Picture p(width, 3, black);
    HRGN region = RegionFromDC(p.surface.dc);
    ASSERT_NE(region, nullptr);
    std::vector<Rect> expected;
    if (width > 1) expected.push_back({0, 0, width - 1, 3});
    EXPECT_EQ(RectanglesOf(region), expected) << "width " << width;
    DeleteObject(region);
  }
}

TEST(WindowRegion, NoDibSectionGivesNoRegion) {
  EXPECT_EQ(RegionFromDC(nullptr), nullptr);
  HDC empty = CreateCompatibleDC(nullptr);  // holds the 1 x 1 stock bitmap
  HRGN region = RegionFromDC(empty);
  EXPECT_NE(region, nullptr);
  if (region) DeleteObject(region);
  DeleteDC(empty);
}

TEST(WindowRegion, BuildingManyRegionsLeaksNoGdiObjects) {
  Picture p(64, 64, {{1, 1}, {10, 20}, {63, 63}});
  const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  for (int i = 0; i < 50; ++i) DeleteObject(RegionFromDC(p.surface.dc));
  const DWORD after = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  EXPECT_LE(after, before + 2);
}

}  // namespace
