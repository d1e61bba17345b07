// Finding the pure-black runs of a bottom-up 24-bit picture, row by row: the
// pixels that the window's shape leaves out. No Win32, so it can be checked
// on its own.
#pragma once

#include <cstdint>

// Calls cut(left, top, right) for every run of pure-black pixels (blue, green
// and red all 0), one pixel high, at window row `top`, columns left..right-1.
// Rows are visited in memory order (bottom row first); padding is never read.
template <typename Cut>
void ForEachBlackRun(const uint8_t* bits, int32_t width, int32_t height, int64_t stride, Cut&& cut) {
  for (int32_t r = 0; r < height; ++r) {
    const uint8_t* row = bits + r * stride;
    const int32_t y = height - 1 - r;
    int32_t x = 0;
    while (x < width) {
      const int32_t start = x;
      while (x < width && row[3 * x] == 0 && row[3 * x + 1] == 0 && row[3 * x + 2] == 0) ++x;
      if (start != x) cut(start, y, x);
      while (x < width && !(row[3 * x] == 0 && row[3 * x + 1] == 0 && row[3 * x + 2] == 0)) ++x;
    }
  }
}
