#include <png.h>

#include <csetjmp>
#include <cstring>

#include "imaging/picture_decoders.h"
#include "imaging/pixel_layout.h"

namespace {

struct MemoryStream {
  const uint8_t* data;
  size_t size;
  size_t next;
  bool scrambled;
};

// libpng asks for bytes here; a request past the end is a damaged file.
void ReadFromMemory(png_structp png, png_bytep target, png_size_t length) {
  auto* stream = static_cast<MemoryStream*>(png_get_io_ptr(png));
  if (length > stream->size - stream->next) png_error(png, "read error");
  std::memcpy(target, stream->data + stream->next, length);
  stream->next += length;
  if (stream->scrambled) {
    for (png_size_t i = 0; i < length; ++i) target[i] ^= kScrambleByte;
  }
}

// libpng's own handlers print to stderr; errors only need to end the decode.
void IgnoreWarning(png_structp, png_const_charp) {}
void StopDecoding(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// Everything libpng allocates or that must survive a longjmp lives here,
// outside the frame that calls setjmp.
struct PngDecode {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<uint8_t> rows;
  std::vector<png_bytep> rowPointers;
  ~PngDecode() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// Runs the libpng calls; returns false when libpng reported an error. Kept
// free of objects with destructors, since an error arrives as a longjmp.
bool ReadImage(PngDecode& d, MemoryStream& stream, png_uint_32& width, png_uint_32& height,
               int& colorType) {
  if (setjmp(png_jmpbuf(d.png))) return false;
  png_set_read_fn(d.png, &stream, ReadFromMemory);
  png_set_user_limits(d.png, kMaxPictureSide, kMaxPictureSide);
  // Only the pixels matter: ancillary chunks are passed over undecoded. A colour
  // profile chunk of a few bytes could otherwise make libpng allocate the
  // size it declares, up to 4 GB, before finding the profile broken.
  png_set_keep_unknown_chunks(d.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_read_info(d.png, d.info);
  int bitDepth = 0, interlace = 0;
  png_get_IHDR(d.png, d.info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
  if (colorType != PNG_COLOR_TYPE_RGB && colorType != PNG_COLOR_TYPE_RGB_ALPHA) return true;
  if (!IsPictureSizeAllowed(width, height)) png_error(d.png, "picture too large");
  if (bitDepth == 16) png_set_strip_16(d.png);
  png_set_interlace_handling(d.png);
  png_read_update_info(d.png, d.info);
  const png_size_t rowBytes = png_get_rowbytes(d.png, d.info);
  d.rows.resize(rowBytes * height);
  d.rowPointers.resize(height);
  for (png_uint_32 r = 0; r < height; ++r) d.rowPointers[r] = d.rows.data() + r * rowBytes;
  png_read_image(d.png, d.rowPointers.data());
  return true;
}

}  // namespace

DecodeStatus DecodePng(const uint8_t* data, size_t size, bool scrambled, DecodedPicture& out) {
  PngDecode d;
  d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, StopDecoding, IgnoreWarning);
  if (!d.png) return DecodeStatus::kDamaged;
  d.info = png_create_info_struct(d.png);
  if (!d.info) return DecodeStatus::kDamaged;

  MemoryStream stream{data, size, 0, scrambled};
  png_uint_32 width = 0, height = 0;
  int colorType = -1;
  if (!ReadImage(d, stream, width, height, colorType)) return DecodeStatus::kDamaged;

  if (colorType != PNG_COLOR_TYPE_RGB && colorType != PNG_COLOR_TYPE_RGB_ALPHA) {
    out.width = static_cast<int32_t>(width);
    out.height = static_cast<int32_t>(height);
    out.pixels.clear();
    return DecodeStatus::kUnsupportedPngColorType;
  }

  const int samples = colorType == PNG_COLOR_TYPE_RGB ? 3 : 4;
  const int64_t stride = PictureStride(width);
  out.width = static_cast<int32_t>(width);
  out.height = static_cast<int32_t>(height);
  out.pixels.assign(static_cast<size_t>(stride * height), 0);
  // Decoded rows come top first; the picture's rows are stored bottom-up.
  for (png_uint_32 r = 0; r < height; ++r) {
    const png_bytep source = d.rowPointers[height - 1 - r];
    uint8_t* target = out.pixels.data() + r * stride;
    for (png_uint_32 x = 0; x < width; ++x) {
      target[3 * x + 0] = source[samples * x + 2];
      target[3 * x + 1] = source[samples * x + 1];
      target[3 * x + 2] = source[samples * x + 0];
    }
  }
  return DecodeStatus::kOk;
}
