// The picture decoders: a file's bytes in, a bottom-up blue-green-red picture
// out (the layout of imaging/pixel_layout.h). No Win32 here, so the same code
// runs in the program and in host-side checks. Every decoder either fills
// `out` completely or reports why not; it never reads past `size` bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Files are XOR-ed with this byte in the scrambled forms (.ieg, .iep, .iej).
inline constexpr uint8_t kScrambleByte = 0xA5;

// No skin picture file is anywhere near this; larger files are refused unread.
inline constexpr uint64_t kMaxPictureFileBytes = 256ull * 1024 * 1024;

struct DecodedPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // PictureStride(width) * height bytes
};

enum class DecodeStatus {
  kOk,
  kNotTwentyFourBitBmp,     // BMP of another depth
  kUnsupportedPngColorType, // PNG neither RGB nor RGBA; out has the size, no pixels
  kDamaged,                 // truncated, corrupt, unsupported or too large
};

// Which reader a resolved file name selects, by its last three characters.
enum class PictureForm { kBmp, kScrambledBmp, kPng, kScrambledPng, kJpeg, kScrambledJpeg };
PictureForm ClassifyPictureName(const char* name);

// BMP: 24 bits a pixel, uncompressed. In the scrambled form every byte before
// the pixel data is XOR-ed with kScrambleByte and the pixels are stored plain.
DecodeStatus DecodeBmp(const uint8_t* data, size_t size, bool scrambled, DecodedPicture& out);

// PNG: RGB or RGBA (alpha dropped), 8 or 16 bits a sample (16 reduced to 8),
// interlaced or not. The scrambled form is the whole file XOR-ed.
DecodeStatus DecodePng(const uint8_t* data, size_t size, bool scrambled, DecodedPicture& out);

// JPEG: any stream libjpeg can turn into RGB (colour or grey-scale). A stream
// that starts 5A 7D is a scrambled one (FF D8 XOR-ed) and is unscrambled first.
DecodeStatus DecodeJpeg(const uint8_t* data, size_t size, DecodedPicture& out);

// The decoder that a resolved file name selects (ClassifyPictureName), run
// over the file's bytes.
DecodeStatus DecodePictureFile(const char* name, const uint8_t* data, size_t size, DecodedPicture& out);
