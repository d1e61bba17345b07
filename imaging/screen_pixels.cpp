#include "imaging/screen_pixels.h"

#include <algorithm>
#include <cstring>

#include "imaging/black_runs.h"
#include "imaging/pixel_layout.h"

DecodedPicture BlankPicture(int32_t width, int32_t height) {
  DecodedPicture picture;
  if (!IsPictureSizeAllowed(width, height)) return picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.assign(static_cast<size_t>(PictureStride(width) * height), 0);
  return picture;
}

void CopyBlock(DecodedPicture& target, int32_t x, int32_t y, const DecodedPicture& source, int32_t width,
               int32_t height) {
  // Columns and rows of the block, in source coordinates, that land inside both pictures.
  const int64_t fromX = std::max<int64_t>(0, -static_cast<int64_t>(x));
  const int64_t fromY = std::max<int64_t>(0, -static_cast<int64_t>(y));
  const int64_t toX = std::min<int64_t>({width, source.width, static_cast<int64_t>(target.width) - x});
  const int64_t toY = std::min<int64_t>({height, source.height, static_cast<int64_t>(target.height) - y});
  if (fromX >= toX || fromY >= toY) return;
  const size_t bytes = static_cast<size_t>(3 * (toX - fromX));
  for (int64_t row = fromY; row < toY; ++row) {
    const int64_t from = PixelOffset(source.width, source.height, fromX, row);
    const int64_t to = PixelOffset(target.width, target.height, x + fromX, y + row);
    std::memcpy(target.pixels.data() + to, source.pixels.data() + from, bytes);
  }
}

std::vector<uint8_t> ShapedRgba(const DecodedPicture& screen, const DecodedPicture& shape) {
  const int64_t width = screen.width, height = screen.height;
  std::vector<uint8_t> rgba(static_cast<size_t>(4 * width * height));
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* in = screen.pixels.data() + PixelOffset(width, height, 0, y);
    uint8_t* out = rgba.data() + 4 * width * y;
    for (int64_t x = 0; x < width; ++x) {
      out[4 * x] = in[3 * x + 2];
      out[4 * x + 1] = in[3 * x + 1];
      out[4 * x + 2] = in[3 * x];
      out[4 * x + 3] = 255;
    }
  }
  if (shape.width == screen.width && shape.height == screen.height) {
    ForEachBlackRun(shape.pixels.data(), shape.width, shape.height, PictureStride(shape.width),
                    [&](int32_t left, int32_t top, int32_t right) {
                      uint8_t* row = rgba.data() + 4 * width * top;
                      for (int32_t x = left; x < right; ++x) row[4 * x + 3] = 0;
                    });
  }
  return rgba;
}
