// The black-run scan of the window's shape, on pictures of known runs and on
// every small picture of black and non-black pixels.
#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <vector>

#include "contract_checks.h"
#include "imaging/black_runs.h"
#include "imaging/pixel_layout.h"

namespace {

using BlackRun = std::tuple<int32_t, int32_t, int32_t>;

// A bottom-up picture from rows given top first: '#' black, '.' not, ','
// black in two channels only; the padding bytes are black.
std::vector<uint8_t> Picture(const std::vector<std::string>& rows) {
  const int32_t width = static_cast<int32_t>(rows[0].size());
  const int32_t height = static_cast<int32_t>(rows.size());
  std::vector<uint8_t> bits(static_cast<size_t>(PictureStride(width) * height), 0);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = bits.data() + PixelOffset(width, height, x, y);
      const char c = rows[y][x];
      p[0] = c == '.' ? 9 : 0;
      p[1] = c == '.' ? 9 : 0;
      p[2] = c == '#' ? 0 : 1;
    }
  return bits;
}

std::vector<BlackRun> Runs(const std::vector<std::string>& rows) {
  const std::vector<uint8_t> bits = Picture(rows);
  const int32_t width = static_cast<int32_t>(rows[0].size());
  const int32_t height = static_cast<int32_t>(rows.size());
  EXPECT_EQ(CheckBlackRuns(bits.data(), width, height, PictureStride(width)), "");
  std::vector<BlackRun> runs;
  ForEachBlackRun(bits.data(), width, height, PictureStride(width),
                  [&](int32_t l, int32_t t, int32_t r) { runs.emplace_back(l, t, r); });
  return runs;
}

TEST(HostBlackRuns, RunsOfKnownPictures) {
  EXPECT_EQ(Runs({"#..##"}), (std::vector<BlackRun>{{0, 0, 1}, {3, 0, 5}}));
  EXPECT_EQ(Runs({"###", ".,.", "#.#"}),
            (std::vector<BlackRun>{{0, 2, 1}, {2, 2, 3}, {0, 0, 3}}));  // bottom row first
  EXPECT_EQ(Runs({"...."}), std::vector<BlackRun>{});
  EXPECT_EQ(Runs({","}), std::vector<BlackRun>{});
}

TEST(HostBlackRuns, EverySmallPictureGivesExactlyItsBlackRuns) {
  // All 2^(w*h) black/non-black pictures up to 10 pixels, widths 1 to 5.
  for (int32_t width = 1; width <= 5; ++width)
    for (int32_t height = 1; width * height <= 10; ++height)
      for (uint32_t mask = 0; mask < (1u << (width * height)); ++mask) {
        std::vector<std::string> rows(height, std::string(width, '.'));
        for (int32_t i = 0; i < width * height; ++i)
          if (mask >> i & 1) rows[i / width][i % width] = '#';
        const std::vector<uint8_t> bits = Picture(rows);
        ASSERT_EQ(CheckBlackRuns(bits.data(), width, height, PictureStride(width)), "")
            << width << "x" << height << " mask " << mask;
      }
}

TEST(HostBlackRuns, FuzzPicturesEndAtTheirLastPixel) {
  const std::array<uint8_t, 9> input = {3, 0, 2, 0, 0x00, 0xFF, 0x81, 0x90, 0x07};
  FuzzPicture picture(input.data(), input.size());
  ASSERT_EQ(picture.width, 3);
  ASSERT_EQ(picture.height, 2);
  size_t runs = 0;
  EXPECT_EQ(CheckBlackRuns(picture.bits, picture.width, picture.height, picture.stride, &runs), "");
  EXPECT_EQ(runs, 2u);  // bottom row: black, black, not; top row: not, black, black
  FuzzPicture empty(input.data(), 4);
  EXPECT_EQ(CheckBlackRuns(empty.bits, empty.width, empty.height, empty.stride), "");
}

}  // namespace
