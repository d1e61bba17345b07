#include "tests/unit/picture_files.h"

#include <png.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <stdexcept>

namespace {

void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

Bytes BmpHeaders(int width, int height, int bitCount, uint32_t pixelOffset, uint32_t fileSize) {
  Bytes b(pixelOffset, 0);
  b[0] = 'B', b[1] = 'M';
  Put32(b, 2, fileSize);
  Put32(b, 10, pixelOffset);
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<uint32_t>(width));
  Put32(b, 22, static_cast<uint32_t>(height));
  Put16(b, 26, 1);
  Put16(b, 28, static_cast<uint16_t>(bitCount));
  return b;
}

void WritePngData(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void FlushNothing(png_structp) {}

Bytes EncodePng(int width, int height, int colorType, int bitDepth, bool interlaced,
                const std::vector<Bytes>& rows, const std::vector<png_color>& palette = {}) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("png encode failed");
  }
  png_set_write_fn(png, &out, WritePngData, FlushNothing);
  png_set_IHDR(png, info, width, height, bitDepth, colorType,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  png_write_info(png, info);
  std::vector<png_bytep> pointers;
  for (const Bytes& row : rows) pointers.push_back(const_cast<png_bytep>(row.data()));
  png_write_image(png, pointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace

TestPicture Gradient(int width, int height) {
  TestPicture p{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      p.pixels.push_back({static_cast<uint8_t>(10 + 40 * x), static_cast<uint8_t>(20 + 50 * y),
                          static_cast<uint8_t>(200 - 7 * (x + y))});
  return p;
}

Bytes MakeBmp(const TestPicture& picture, bool topDown) {
  const int stride = (3 * picture.width + 3) & ~3;
  const uint32_t size = 54 + stride * picture.height;
  Bytes b = BmpHeaders(picture.width, topDown ? -picture.height : picture.height, 24, 54, size);
  b.resize(size, 0xEE);  // padding bytes hold something other than zero
  for (int row = 0; row < picture.height; ++row) {
    const int y = topDown ? row : picture.height - 1 - row;
    for (int x = 0; x < picture.width; ++x) {
      uint8_t* p = &b[54 + row * stride + 3 * x];
      Rgb c = picture.at(x, y);
      p[0] = c.b, p[1] = c.g, p[2] = c.r;
    }
  }
  return b;
}

Bytes MakeBmpOfDepth(int width, int height, int bitCount) {
  const int stride = ((bitCount * width + 31) / 32) * 4;
  const uint32_t offset = 54 + (bitCount <= 8 ? 4 << bitCount : 0);
  const uint32_t size = offset + stride * height;
  Bytes b = BmpHeaders(width, height, bitCount, offset, size);
  b.resize(size, 1);
  return b;
}

Bytes MakePng(const TestPicture& picture, int colorType, int bitDepth, bool interlaced,
              const std::vector<uint8_t>& alpha) {
  const int samples = colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 3;
  const int bytesPerSample = bitDepth / 8;
  std::vector<Bytes> rows;
  for (int y = 0; y < picture.height; ++y) {
    Bytes row;
    for (int x = 0; x < picture.width; ++x) {
      Rgb c = picture.at(x, y);
      uint8_t values[4] = {c.r, c.g, c.b,
                           alpha.empty() ? uint8_t{255} : alpha[y * picture.width + x]};
      for (int s = 0; s < samples; ++s) {
        row.push_back(values[s]);
        if (bytesPerSample == 2) row.push_back(static_cast<uint8_t>(0x5A ^ values[s]));
      }
    }
    rows.push_back(row);
  }
  return EncodePng(picture.width, picture.height, colorType, bitDepth, interlaced, rows);
}

Bytes MakePalettePng(int width, int height) {
  std::vector<png_color> palette = {{255, 0, 0}, {0, 255, 0}};
  std::vector<Bytes> rows(height, Bytes(width, 1));
  return EncodePng(width, height, PNG_COLOR_TYPE_PALETTE, 8, false, rows, palette);
}

Bytes MakeGreyPng(int width, int height) {
  std::vector<Bytes> rows(height, Bytes(width, 128));
  return EncodePng(width, height, PNG_COLOR_TYPE_GRAY, 8, false, rows);
}

Bytes MakeJpeg(const TestPicture& picture, bool grey, bool cmyk) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = picture.width;
  info.image_height = picture.height;
  info.input_components = grey ? 1 : cmyk ? 4 : 3;
  info.in_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 100, TRUE);
  for (int c = 0; c < info.num_components; ++c) {  // no chroma subsampling: sharp colour edges
    info.comp_info[c].h_samp_factor = 1;
    info.comp_info[c].v_samp_factor = 1;
  }
  jpeg_start_compress(&info, TRUE);
  Bytes row;
  while (info.next_scanline < info.image_height) {
    row.clear();
    for (int x = 0; x < picture.width; ++x) {
      Rgb c = picture.at(x, info.next_scanline);
      if (grey) row.push_back(c.g);
      else if (cmyk) row.insert(row.end(), {c.r, c.g, c.b, 0});
      else row.insert(row.end(), {c.r, c.g, c.b});
    }
    JSAMPROW pointer = row.data();
    jpeg_write_scanlines(&info, &pointer, 1);
  }
  jpeg_finish_compress(&info);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  free(buffer);
  return out;
}

Bytes ScrambleBmp(Bytes bmp) {
  const uint32_t offset = bmp[10] | bmp[11] << 8 | bmp[12] << 16 | bmp[13] << 24;
  for (uint32_t i = 0; i < offset && i < bmp.size(); ++i) bmp[i] ^= 0xA5;
  return bmp;
}

Bytes ScrambleAll(Bytes file) {
  for (uint8_t& b : file) b ^= 0xA5;
  return file;
}

#ifdef _WIN32  // the host-side checks (host/) build the rest of this file without it
void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + path);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

void WriteFileBytes(const std::wstring& path, const Bytes& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write a file named in UTF-16");
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}
#endif
