#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>

#include <csetjmp>

#include "imaging/picture_decoders.h"
#include "imaging/pixel_layout.h"

namespace {

// libjpeg's standard error manager ends the process on a fatal error; this
// one jumps back to the decoder instead, so a bad picture is only refused.
struct RecoveringErrorManager {
  jpeg_error_mgr standard;
  jmp_buf recovery;
};

void JumpBack(j_common_ptr info) {
  longjmp(reinterpret_cast<RecoveringErrorManager*>(info->err)->recovery, 1);
}
void Silent(j_common_ptr) {}

struct JpegDecode {
  jpeg_decompress_struct info{};
  RecoveringErrorManager errors{};
  std::vector<uint8_t> stream;
  std::vector<uint8_t> line;
  bool created = false;
  ~JpegDecode() {
    if (created) jpeg_destroy_decompress(&info);
  }
};

// The libjpeg calls; false when libjpeg reported a fatal error. Free of
// objects with destructors, since the error arrives as a longjmp.
bool Decode(JpegDecode& d, DecodedPicture& out) {
  if (setjmp(d.errors.recovery)) return false;
  jpeg_create_decompress(&d.info);
  d.created = true;
  jpeg_mem_src(&d.info, d.stream.data(), static_cast<unsigned long>(d.stream.size()));
  jpeg_read_header(&d.info, TRUE);
  if (!IsPictureSizeAllowed(d.info.image_width, d.info.image_height)) return false;
  d.info.out_color_space = JCS_RGB;  // grey-scale becomes RGB; CMYK is refused by the library
  jpeg_start_decompress(&d.info);
  if (d.info.output_components != 3 ||
      !IsPictureSizeAllowed(d.info.output_width, d.info.output_height)) {
    return false;
  }
  const int64_t width = d.info.output_width;
  const int64_t height = d.info.output_height;
  const int64_t stride = PictureStride(width);
  out.width = static_cast<int32_t>(width);
  out.height = static_cast<int32_t>(height);
  out.pixels.assign(static_cast<size_t>(stride * height), 0);
  d.line.resize(static_cast<size_t>(3 * width));
  while (d.info.output_scanline < d.info.output_height) {
    JSAMPROW row = d.line.data();
    if (jpeg_read_scanlines(&d.info, &row, 1) != 1) return false;
    // The first decoded line is the top of the picture: the last row in memory.
    uint8_t* target = out.pixels.data() + (height - d.info.output_scanline) * stride;
    for (int64_t x = 0; x < width; ++x) {
      target[3 * x + 0] = d.line[3 * x + 2];
      target[3 * x + 1] = d.line[3 * x + 1];
      target[3 * x + 2] = d.line[3 * x + 0];
    }
  }
  jpeg_finish_decompress(&d.info);
  return true;
}

}  // namespace

DecodeStatus DecodeJpeg(const uint8_t* data, size_t size, DecodedPicture& out) {
  JpegDecode d;
  d.stream.assign(data, data + size);
  // FF D8 opens every JPEG stream; 5A 7D is that start XOR-ed with the scramble byte.
  if (size >= 2 && data[0] == (0xFF ^ kScrambleByte) && data[1] == (0xD8 ^ kScrambleByte)) {
    for (uint8_t& b : d.stream) b ^= kScrambleByte;
  }
  d.info.err = jpeg_std_error(&d.errors.standard);
  d.errors.standard.error_exit = JumpBack;
  d.errors.standard.output_message = Silent;

  DecodedPicture picture;
  if (!Decode(d, picture)) return DecodeStatus::kDamaged;
  out = std::move(picture);
  return DecodeStatus::kOk;
}
