// Writing a picture as a PNG file's bytes with libpng: 8-bit RGBA, rows top
// first, no time stamp or other chunk that would make equal pictures differ.
#pragma once

#include <cstdint>
#include <vector>

namespace skintool {

// rgba: 4 * width * height bytes. False when libpng refuses (a size of 0).
bool EncodeRgbaPng(int32_t width, int32_t height, const std::vector<uint8_t>& rgba, std::vector<uint8_t>& png);

}  // namespace skintool
