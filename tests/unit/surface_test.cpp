// Surface: plane layout, resizing and the three block copies.
#include "imaging/surface.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Bgr {
  BYTE b, g, r;
  bool operator==(const Bgr& o) const { return b == o.b && g == o.g && r == o.r; }
};

// Pixel (x, y) counted from the top-left, read and written in the plane.
BYTE* PixelAt(const Surface& s, int x, int y) {
  return static_cast<BYTE*>(s.bits) + PixelOffset(s.width, s.height, x, y);
}
void Put(Surface& s, int x, int y, Bgr c) {
  BYTE* p = PixelAt(s, x, y);
  p[0] = c.b, p[1] = c.g, p[2] = c.r;
}
Bgr Get(const Surface& s, int x, int y) {
  GdiFlush();
  const BYTE* p = PixelAt(s, x, y);
  return {p[0], p[1], p[2]};
}
void Fill(Surface& s, Bgr c) {
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) Put(s, x, y, c);
}

constexpr Bgr kRed{0, 0, 255};
constexpr Bgr kBlue{255, 0, 0};

TEST(Surface, StrideIsThreeBytesAPixelRoundedUpToFour) {
  const int strides[][2] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {640, 1920}};
  for (const auto& [width, stride] : strides) {
    EXPECT_EQ(PictureStride(width), stride) << width;
    Surface s(nullptr, width, 2);
    DIBSECTION plane;
    ASSERT_EQ(GetObject(s.bitmap, sizeof plane, &plane), static_cast<int>(sizeof plane));
    EXPECT_EQ(plane.dsBm.bmWidthBytes, stride);
  }
}

TEST(Surface, LayoutIsBottomUpBlueGreenRedAsGdiSeesIt) {
  Surface s(nullptr, 3, 2);
  Fill(s, {0, 0, 0});
  Put(s, 0, 0, {30, 20, 10});  // top-left
  GdiFlush();
  EXPECT_EQ(GetPixel(s.dc, 0, 0), RGB(10, 20, 30));
  EXPECT_EQ(GetPixel(s.dc, 0, 1), RGB(0, 0, 0));
  // The top row is the last row in memory.
  const BYTE* lastRow = static_cast<BYTE*>(s.bits) + PictureStride(s.width);
  EXPECT_EQ(lastRow[0], 30);
  EXPECT_EQ(lastRow[2], 10);
}

TEST(Surface, ANewSurfaceHasItsSizeAndNoOffset) {
  Surface s(nullptr, 640, 480);
  EXPECT_TRUE(s.bits != nullptr);
  EXPECT_NE(s.dc, nullptr);
  EXPECT_EQ(s.width, 640);
  EXPECT_EQ(s.height, 480);
  EXPECT_EQ(s.left, 0);
  EXPECT_EQ(s.top, 0);
  ASSERT_NE(s.header, nullptr);
  EXPECT_EQ(s.header->biBitCount, 24);
  EXPECT_EQ(s.header->biHeight, 480);
  EXPECT_EQ(reinterpret_cast<BYTE*>(s.colors) - reinterpret_cast<BYTE*>(s.header), 40);
}

TEST(Surface, ResizeToTheSameSizeKeepsThePlaneAndPixels) {
  Surface s(nullptr, 4, 4);
  Fill(s, kRed);
  void* before = s.bits;
  s.Resize(4, 4);
  EXPECT_EQ(s.bits, before);
  EXPECT_EQ(Get(s, 3, 3), kRed);
}

TEST(Surface, ResizeToAnotherSizeMakesANewPlane) {
  Surface s(nullptr, 4, 4);
  s.Resize(7, 2);
  EXPECT_EQ(s.width, 7);
  EXPECT_EQ(s.height, 2);
  ASSERT_TRUE(s.bits != nullptr);
  Put(s, 6, 1, kBlue);  // the far corner lies inside the new plane
  EXPECT_EQ(Get(s, 6, 1), kBlue);
}

TEST(Surface, CopyFromTakesSizeAndPixelsButNotPlace) {
  Surface source(nullptr, 5, 3);
  Fill(source, kBlue);
  source.left = 9, source.top = 9;
  Surface target(nullptr, 2, 2);
  target.left = 1, target.top = 2;
  target.CopyFrom(source);
  EXPECT_EQ(target.width, 5);
  EXPECT_EQ(target.height, 3);
  EXPECT_EQ(target.left, 1);
  EXPECT_EQ(target.top, 2);
  EXPECT_EQ(Get(target, 4, 2), kBlue);
}

TEST(Surface, CopyFromTheSameSizeKeepsThePlane) {
  Surface source(nullptr, 4, 4);
  Fill(source, kRed);
  Surface target(nullptr, 4, 4);
  void* before = target.bits;
  target.CopyFrom(source);
  EXPECT_EQ(target.bits, before);
  EXPECT_EQ(Get(target, 0, 0), kRed);
}

TEST(Surface, OverlayDrawsAtTheSourcePlaceAndClips) {
  struct Case {
    int left, top;
    int insideX, insideY;  // a target pixel the source covers
  };
  const Case cases[] = {{1, 1, 2, 2}, {3, 3, 3, 3}, {-1, -1, 0, 0}, {3, -1, 3, 0}};
  for (const Case& c : cases) {
    Surface target(nullptr, 4, 4);
    Fill(target, kRed);
    Surface source(nullptr, 2, 2);
    Fill(source, kBlue);
    source.left = c.left, source.top = c.top;
    target.Overlay(source);
    int covered = 0;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        bool inside = x >= c.left && x < c.left + 2 && y >= c.top && y < c.top + 2;
        EXPECT_EQ(Get(target, x, y), inside ? kBlue : kRed) << x << "," << y;
        covered += inside;
      }
    EXPECT_EQ(Get(target, c.insideX, c.insideY), kBlue);
    EXPECT_GT(covered, 0);
  }
}

TEST(Surface, ARefusedPlaneLeavesAnEmptySurfaceThatDrawsNothing) {
  const int sizes[][2] = {{0, 0}, {0, 10}, {-5, 10}, {10, -1}, {100000, 100000}, {16385, 1}};
  for (const auto& [width, height] : sizes) {
    Surface s(nullptr, width, height);
    EXPECT_FALSE(s.bits != nullptr) << width << "x" << height;
    EXPECT_EQ(s.width, 0);
    EXPECT_EQ(s.height, 0);
    Surface other(nullptr, 2, 2);
    Fill(other, kRed);
    s.Overlay(other);
    s.BlitToWindow();
    other.Overlay(s);
    EXPECT_EQ(Get(other, 1, 1), kRed);
    s.CopyFrom(other);  // a usable size brings a plane
    EXPECT_TRUE(s.bits != nullptr);
    EXPECT_EQ(Get(s, 1, 1), kRed);
  }
}

TEST(Surface, ResizeFromAPlaneToARefusedSizeEmptiesIt) {
  Surface s(nullptr, 4, 4);
  s.Resize(0, 4);
  EXPECT_FALSE(s.bits != nullptr);
  EXPECT_EQ(s.width, 0);
  s.Resize(0, 0);
  EXPECT_FALSE(s.bits != nullptr);
}

}  // namespace
