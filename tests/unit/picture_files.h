// Test pictures made in memory: BMP, PNG and JPEG files of known pixels, and
// their scrambled forms. Pixels are given top row first as RGB triples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct Rgb {
  uint8_t r, g, b;
};

// A width x height picture, rows top first.
struct TestPicture {
  int width, height;
  std::vector<Rgb> pixels;
  Rgb at(int x, int y) const { return pixels[y * width + x]; }
};

// Distinct colours, none pure black.
TestPicture Gradient(int width, int height);

Bytes MakeBmp(const TestPicture& picture, bool topDown = false);
Bytes MakeBmpOfDepth(int width, int height, int bitCount);  // an 8-bit palette BMP, for one
// colorType 2 (RGB) or 6 (RGBA, alpha given per pixel or 255), 8 or 16 bits.
Bytes MakePng(const TestPicture& picture, int colorType = 2, int bitDepth = 8,
              bool interlaced = false, const std::vector<uint8_t>& alpha = {});
Bytes MakePalettePng(int width, int height);
Bytes MakeGreyPng(int width, int height);
Bytes MakeJpeg(const TestPicture& picture, bool grey = false, bool cmyk = false);

// .ieg: the bytes before the pixel data XOR-ed; .iep and .iej: every byte.
Bytes ScrambleBmp(Bytes bmp);
Bytes ScrambleAll(Bytes file);

void WriteFileBytes(const std::string& path, const Bytes& bytes);
// The same for a path in UTF-16 (CreateFileW), at any length in its "\\?\" form.
void WriteFileBytes(const std::wstring& path, const Bytes& bytes);
