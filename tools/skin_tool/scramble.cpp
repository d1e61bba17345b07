#include "tools/skin_tool/scramble.h"

#include "imaging/picture_decoders.h"

namespace skintool {
namespace {

struct Pair {
  const char* plain;
  const char* scrambled;
  PictureKind kind;
};
constexpr Pair kPairs[] = {
    {".bmp", ".ieg", PictureKind::kBmp},
    {".png", ".iep", PictureKind::kPng},
    {".jpg", ".iej", PictureKind::kJpeg},
};

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

bool StartsWith(const std::vector<uint8_t>& bytes, std::initializer_list<uint8_t> magic, bool xored) {
  if (bytes.size() < magic.size()) return false;
  size_t i = 0;
  for (uint8_t m : magic) {
    if (bytes[i++] != (xored ? static_cast<uint8_t>(m ^ kScrambleByte) : m)) return false;
  }
  return true;
}

std::string ConvertedName(const std::string& name, bool scramble, PictureKind& kind, std::string& error) {
  const size_t dot = name.find_last_of('.');
  const size_t separator = name.find_last_of("\\/");
  const std::string extension =
      dot == std::string::npos || (separator != std::string::npos && dot < separator) ? "" : LowerAscii(name.substr(dot));
  for (const Pair& pair : kPairs) {
    if (extension == (scramble ? pair.plain : pair.scrambled)) {
      kind = pair.kind;
      return name.substr(0, dot) + (scramble ? pair.scrambled : pair.plain);
    }
  }
  if (scramble) {
    if (extension == ".ieg" || extension == ".iep" || extension == ".iej") {
      error = "already scrambled (" + extension + ")";
    } else if (extension == ".jpeg" || extension == ".jpe") {
      error = "setup.exe looks only for .jpg and .iej: rename it to .jpg first";
    } else {
      error = "unknown extension \"" + extension + "\": scramble takes .bmp, .png and .jpg";
    }
  } else {
    if (extension == ".bmp" || extension == ".png" || extension == ".jpg") {
      error = "not scrambled (" + extension + ")";
    } else {
      error = "unknown extension \"" + extension + "\": unscramble takes .ieg, .iep and .iej";
    }
  }
  return "";
}

bool ConvertPicture(const std::vector<uint8_t>& in, PictureKind kind, bool scramble, std::vector<uint8_t>& out,
                    std::string& error) {
  out = in;
  switch (kind) {
    case PictureKind::kBmp: {
      // Plain input: "BM" as it is; scrambled input: "BM" XOR-ed.
      if (!StartsWith(in, kBmpMagic, !scramble) || in.size() < 14) {
        error = scramble ? "not a BMP file" : "not a scrambled BMP file";
        return false;
      }
      uint32_t offset = 0;
      for (int i = 0; i < 4; ++i) {
        const uint8_t b = scramble ? in[10 + i] : static_cast<uint8_t>(in[10 + i] ^ kScrambleByte);
        offset |= static_cast<uint32_t>(b) << (8 * i);
      }
      if (offset < 14 || offset > in.size()) {
        error = "the BMP's pixel-data offset " + std::to_string(offset) + " does not fit its " +
                std::to_string(in.size()) + " bytes";
        return false;
      }
      for (uint32_t i = 0; i < offset; ++i) out[i] ^= kScrambleByte;
      return true;
    }
    case PictureKind::kPng:
      if (!StartsWith(in, kPngSignature, !scramble)) {
        error = scramble ? "not a PNG file" : "not a scrambled PNG file";
        return false;
      }
      break;
    case PictureKind::kJpeg:
      if (!scramble && StartsWith(in, kJpegMagic, false)) return true;  // a plain JPEG under .iej
      if (!StartsWith(in, kJpegMagic, !scramble)) {
        error = scramble ? "not a JPEG file" : "not a scrambled JPEG file";
        return false;
      }
      break;
  }
  for (uint8_t& b : out) b ^= kScrambleByte;
  return true;
}

}  // namespace skintool
