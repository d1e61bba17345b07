// The checker on the skin's pictures: each one as setup.exe finds and reads
// it (skin_pictures.cpp), kept in run.pictures for the layout; then what the
// pictures hold that setup.exe shows otherwise than their author sees them:
// transparent pixels (setup.exe drops alpha) and a JPEG base's near-black
// edges (only pure black is cut out).
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

#include "imaging/pixel_layout.h"
#include "imaging/skin_layout.h"
#include "tools/skin_tool/skin_check_topics.h"

namespace skintool {
namespace {

// A pixel with no channel above this is nearly black: what JPEG makes of the
// edges of a pure-black area.
constexpr int kNearBlack = 16;

struct PngStream {
  const std::vector<uint8_t>& bytes;
  size_t next;
};

void ReadFromBytes(png_structp png, png_bytep target, png_size_t length) {
  auto* stream = static_cast<PngStream*>(png_get_io_ptr(png));
  if (length > stream->bytes.size() - stream->next) png_error(png, "read error");
  std::memcpy(target, stream->bytes.data() + stream->next, length);
  stream->next += length;
}
void IgnoreWarning(png_structp, png_const_charp) {}
void StopReading(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// libpng's state, outside the frame that calls setjmp.
struct AlphaRead {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<uint8_t> rows;  // RGBA, top row first; empty when the file has no alpha
  std::vector<png_bytep> rowPointers;
  ~AlphaRead() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// Reads a PNG as RGBA with the decoder's limits: alpha from an alpha channel
// or from a transparent colour (tRNS). Free of objects with destructors, since
// an error arrives as a longjmp.
bool ReadRgba(AlphaRead& d, PngStream& stream, int32_t width, int32_t height) {
  if (setjmp(png_jmpbuf(d.png))) return false;
  png_set_read_fn(d.png, &stream, ReadFromBytes);
  png_set_user_limits(d.png, kMaxPictureSide, kMaxPictureSide);
  png_set_keep_unknown_chunks(d.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_read_info(d.png, d.info);
  const int colorType = png_get_color_type(d.png, d.info);
  const bool keyed = png_get_valid(d.png, d.info, PNG_INFO_tRNS) != 0;
  if (png_get_image_width(d.png, d.info) != static_cast<png_uint_32>(width) ||
      png_get_image_height(d.png, d.info) != static_cast<png_uint_32>(height)) {
    return false;
  }
  if (colorType != PNG_COLOR_TYPE_RGB_ALPHA && !(colorType == PNG_COLOR_TYPE_RGB && keyed)) return true;
  if (keyed) png_set_tRNS_to_alpha(d.png);
  png_set_strip_16(d.png);
  png_set_interlace_handling(d.png);
  png_read_update_info(d.png, d.info);
  const png_size_t rowBytes = png_get_rowbytes(d.png, d.info);
  if (rowBytes != 4 * static_cast<png_size_t>(width)) return false;
  d.rows.resize(rowBytes * height);
  d.rowPointers.resize(height);
  for (int32_t r = 0; r < height; ++r) d.rowPointers[r] = d.rows.data() + r * rowBytes;
  png_read_image(d.png, d.rowPointers.data());
  return true;
}

std::string At(int64_t x, int64_t y) { return "(" + std::to_string(x) + "," + std::to_string(y) + ")"; }

// "1 pixel is", "36 pixels are".
std::string PixelsAre(int64_t count) { return std::to_string(count) + (count == 1 ? " pixel is" : " pixels are"); }

bool IsPureBlack(const uint8_t* pixel) { return pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0; }

// Pixels of a PNG picture with alpha below 255 that setup.exe shows in their
// own colour: all of them on a button or the bar, those not pure black on the base.
void CheckAlpha(CheckRun& run, const SkinPictureFile& picture, bool base) {
  const PictureForm form = ClassifyPictureName(picture.resolved.c_str());
  if (form != PictureForm::kPng && form != PictureForm::kScrambledPng) return;
  std::vector<uint8_t> bytes;
  if (run.folder.Read(picture.resolved, kMaxPictureFileBytes, bytes) != ReadResult::kOk) return;
  if (form == PictureForm::kScrambledPng) {
    for (uint8_t& b : bytes) b ^= kScrambleByte;
  }
  AlphaRead d;
  d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, StopReading, IgnoreWarning);
  if (!d.png) return;
  d.info = png_create_info_struct(d.png);
  if (!d.info) return;
  PngStream stream{bytes, 0};
  const DecodedPicture& pixels = picture.pixels;
  if (!ReadRgba(d, stream, pixels.width, pixels.height) || d.rows.empty()) return;

  int64_t shown = 0, firstX = 0, firstY = 0;
  for (int64_t y = 0; y < pixels.height; ++y) {
    const uint8_t* rgba = d.rows.data() + 4 * y * pixels.width;
    for (int64_t x = 0; x < pixels.width; ++x) {
      if (rgba[4 * x + 3] == 255) continue;
      if (base && IsPureBlack(pixels.pixels.data() + PixelOffset(pixels.width, pixels.height, x, y))) continue;
      if (shown++ == 0) firstX = x, firstY = y;
    }
  }
  if (shown == 0) return;
  const std::string what = PixelsAre(shown) + " transparent or translucent (alpha below 255, the first at " +
                           At(firstX, firstY) + ")";
  if (base) {
    run.Add(Severity::kError, picture.resolved, 0,
            what + " but not pure black: setup.exe ignores alpha, so the window shows them in their own colour "
                   "instead of cutting them out; make what should be cut out pure black (0,0,0)");
  } else {
    run.Add(Severity::kWarning, picture.resolved, 0,
            what + ": setup.exe ignores alpha and draws the picture as an opaque rectangle, so they show in their "
                   "own colour, not the base under them");
  }
}

// A JPEG never keeps a pure-black area exact: the pixels at its edges come
// out nearly black, are not cut out and stay on the window as dark specks.
void CheckJpegBase(CheckRun& run, const SkinPictureFile& base) {
  const PictureForm form = ClassifyPictureName(base.resolved.c_str());
  if (form != PictureForm::kJpeg && form != PictureForm::kScrambledJpeg) return;
  const DecodedPicture& pixels = base.pixels;
  int64_t nearBlack = 0, firstX = 0, firstY = 0;
  for (int64_t y = 0; y < pixels.height; ++y) {
    for (int64_t x = 0; x < pixels.width; ++x) {
      const uint8_t* pixel = pixels.pixels.data() + PixelOffset(pixels.width, pixels.height, x, y);
      if (IsPureBlack(pixel) || std::max({pixel[0], pixel[1], pixel[2]}) > kNearBlack) continue;
      if (nearBlack++ == 0) firstX = x, firstY = y;
    }
  }
  if (nearBlack == 0) return;
  run.Add(Severity::kWarning, base.resolved, 0,
          PixelsAre(nearBlack) + " nearly black in the JPEG base (no channel above " +
              std::to_string(kNearBlack) + ", the first at " + At(firstX, firstY) +
              ") but not pure black: only pure black (0,0,0) is cut out, and JPEG never keeps it exact, so around "
              "cut-out areas they stay on the window as dark specks; save the base as PNG or BMP");
}

}  // namespace

void CheckPictures(CheckRun& run) {
  for (const SkinPictureSlot& slot : kSkinPictures) {
    run.pictures[slot.name] = LoadSkinPicture(run.folder, slot.name, run.findings);
  }
  for (const SkinPictureSlot& slot : kSkinPictures) {
    const SkinPictureFile& picture = run.pictures[slot.name];
    if (!picture.decoded) continue;
    CheckAlpha(run, picture, slot.picture == SkinPicture::kBase);
    if (slot.picture == SkinPicture::kBase) CheckJpegBase(run, picture);
  }
}

}  // namespace skintool
