#include "tools/skin_tool/skin_pictures.h"

#include <algorithm>
#include <iterator>

#include "imaging/picture_names.h"
#include "imaging/skin_layout.h"
#include "tools/skin_tool/scramble.h"

namespace skintool {
namespace {

// What the first bytes of a picture file say it is.
enum class Content { kUnknown, kBmp, kScrambledBmp, kPng, kScrambledPng, kJpeg, kScrambledJpeg };

Content Sniff(const std::vector<uint8_t>& bytes) {
  if (StartsWith(bytes, kBmpMagic, false)) return Content::kBmp;
  if (StartsWith(bytes, kBmpMagic, true)) return Content::kScrambledBmp;
  if (StartsWith(bytes, kPngSignature, false)) return Content::kPng;
  if (StartsWith(bytes, kPngSignature, true)) return Content::kScrambledPng;
  if (StartsWith(bytes, kJpegMagic, false)) return Content::kJpeg;
  if (StartsWith(bytes, kJpegMagic, true)) return Content::kScrambledJpeg;
  return Content::kUnknown;
}

const char* DescribeContent(Content content) {
  switch (content) {
    case Content::kBmp: return "a plain BMP (name it .bmp)";
    case Content::kScrambledBmp: return "a scrambled BMP (name it .ieg)";
    case Content::kPng: return "a plain PNG (name it .png)";
    case Content::kScrambledPng: return "a scrambled PNG (name it .iep)";
    case Content::kJpeg: return "a plain JPEG (name it .jpg)";
    case Content::kScrambledJpeg: return "a scrambled JPEG (name it .iej)";
    case Content::kUnknown: break;
  }
  return nullptr;
}

// Whether the name's reader takes this content.
bool ReaderTakes(PictureForm form, Content content) {
  switch (form) {
    case PictureForm::kBmp: return content == Content::kBmp;
    case PictureForm::kScrambledBmp: return content == Content::kScrambledBmp;
    case PictureForm::kPng: return content == Content::kPng;
    case PictureForm::kScrambledPng: return content == Content::kScrambledPng;
    case PictureForm::kJpeg:
    case PictureForm::kScrambledJpeg: return content == Content::kJpeg || content == Content::kScrambledJpeg;
  }
  return false;
}

// The number of colour components a JPEG stream's frame header declares (1
// grey, 3 colour, 4 CMYK), 0 when the header is not found. A scrambled stream
// is read the way the decoder reads it.
int JpegComponents(const std::vector<uint8_t>& bytes) {
  const bool scrambled = StartsWith(bytes, kJpegMagic, true);
  auto at = [&](size_t i) -> int {
    if (i >= bytes.size()) return -1;
    return scrambled ? bytes[i] ^ kScrambleByte : bytes[i];
  };
  size_t i = 2;
  while (at(i) == 0xFF) {
    const int marker = at(i + 1);
    if (marker == 0xFF) {  // a fill byte
      ++i;
      continue;
    }
    // A frame header: FF Cn, its length, the sample precision, height, width, the number of components.
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      return std::max(at(i + 9), 0);
    }
    if (marker == 0xDA || at(i + 2) < 0 || at(i + 3) < 0) return 0;  // the scan, or the end of the bytes
    const int length = at(i + 2) << 8 | at(i + 3);
    if (length < 2) return 0;
    i += 2 + static_cast<size_t>(length);
  }
  return 0;
}

// How to save the picture again in a form setup.exe reads, with ImageMagick:
// `convert NAME ARGS NAME` on the plain file (a scrambled one is unscrambled
// first and scrambled again after).
std::string ConvertHint(const std::string& resolved, PictureForm form, const std::string& args) {
  const bool scrambled = form == PictureForm::kScrambledPng || form == PictureForm::kScrambledJpeg;
  std::string plain = resolved, error;
  PictureKind kind;
  if (scrambled) plain = ConvertedName(resolved, false, kind, error);
  if (plain.empty()) plain = form == PictureForm::kScrambledPng ? "in.png" : "in.jpg";
  const std::string convert = "convert " + plain + " " + args + plain;
  return scrambled ? "unscramble it, " + convert + " and scramble it again" : convert;
}

}  // namespace

SkinPictureFile LoadSkinPicture(const FolderView& folder, const std::string& name, std::vector<Finding>& findings) {
  SkinPictureFile picture;
  picture.name = name;
  auto Add = [&](Severity severity, const std::string& file, int line, const std::string& message) {
    findings.push_back({severity, file, line, message});
  };
  auto isFile = [&](const std::string& candidate) { return folder.Kind(candidate) == EntryKind::kFile; };
  picture.resolved = ResolvePictureName(name, isFile);
  if (picture.resolved.empty()) {
    Add(Severity::kError, picture.name, 0,
        "picture not found: setup.exe tries " + picture.name + " and then .iep, .png, .ieg, .bmp, .iej, .jpg");
    return picture;
  }
  // The candidates after the one taken are never opened.
  bool shadowed = false;
  for (size_t i = 0; i <= std::size(kPictureExtensions); ++i) {
    const std::string candidate = i == 0 ? name : name + kPictureExtensions[i - 1];
    if (shadowed && isFile(candidate)) {
      Add(Severity::kWarning, candidate, 0, "never read: setup.exe takes " + picture.resolved + " first");
    }
    if (candidate == picture.resolved) shadowed = true;
  }

  std::vector<uint8_t> bytes;
  switch (folder.Read(picture.resolved, kMaxPictureFileBytes, bytes)) {
    case ReadResult::kOk:
      break;
    case ReadResult::kTooLarge:
      Add(Severity::kError, picture.resolved, 0,
          "larger than " + std::to_string(kMaxPictureFileBytes >> 20) + " MiB: setup.exe refuses it as damaged");
      return picture;
    case ReadResult::kMissing:
    case ReadResult::kFailed:
      Add(Severity::kError, picture.resolved, 0, "cannot be read");
      return picture;
  }

  const PictureForm form = ClassifyPictureName(picture.resolved.c_str());
  const DecodeStatus status = DecodePictureFile(picture.resolved.c_str(), bytes.data(), bytes.size(), picture.pixels);
  const bool scrambled = form == PictureForm::kScrambledBmp || form == PictureForm::kScrambledPng;
  auto plainByte = [&](size_t i) -> int {
    if (i >= bytes.size()) return -1;
    return scrambled ? bytes[i] ^ kScrambleByte : bytes[i];
  };
  if (status == DecodeStatus::kOk) {
    picture.decoded = picture.sized = true;
    return picture;
  }
  if (status == DecodeStatus::kUnsupportedPngColorType) picture.sized = true;  // setup.exe takes the size

  // A file in another form than its name says: say so rather than what the reader made of it.
  const Content content = Sniff(bytes);
  if (content != Content::kUnknown && !ReaderTakes(form, content)) {
    Add(Severity::kError, picture.resolved, 0,
        std::string("setup.exe cannot read it: the file holds ") + DescribeContent(content));
    return picture;
  }
  switch (status) {
    case DecodeStatus::kOk:
      break;
    case DecodeStatus::kNotTwentyFourBitBmp: {
      const int bits = std::max(plainByte(28), 0) | (std::max(plainByte(29), 0) << 8);
      const bool usual = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 32;
      Add(Severity::kError, picture.resolved, 0,
          (usual ? "a " + std::to_string(bits) + "-bit BMP" : std::string("not a 24-bit BMP")) +
              ": setup.exe reads only 24-bit BMP files");
      break;
    }
    case DecodeStatus::kUnsupportedPngColorType: {
      const int type = plainByte(25);
      Add(Severity::kError, picture.resolved, 0,
          "PNG colour type " + std::to_string(type) +
              (type == 0 ? " (grey)" : type == 3 ? " (palette)" : type == 4 ? " (grey and alpha)" : "") +
              ": setup.exe reads only RGB (2) and RGBA (6) PNG files (ImageMagick and other tools write palette "
              "or grey PNGs by themselves for a picture of few colours or only greys); save it as RGB: " +
              ConvertHint(picture.resolved, form, "PNG24:") + " (or PNG32: with alpha)");
      break;
    }
    case DecodeStatus::kDamaged:
      if ((form == PictureForm::kJpeg || form == PictureForm::kScrambledJpeg) && JpegComponents(bytes) == 4) {
        Add(Severity::kError, picture.resolved, 0,
            "a CMYK JPEG: setup.exe reads only RGB and grey JPEG files and refuses it as damaged; save it in RGB "
            "colour: " + ConvertHint(picture.resolved, form, "-colorspace sRGB "));
        break;
      }
      Add(Severity::kError, picture.resolved, 0,
          "setup.exe cannot read it (damaged, truncated or of an unsupported kind)");
      break;
  }
  return picture;
}

Finding NarrowProgressBarFinding(const SkinPictureFile& bar) {
  return {Severity::kError, bar.resolved, 0,
          "the progress bar is " + std::to_string(bar.pixels.width) + " pixels wide: setup.exe needs at least " +
              std::to_string(kMinimumBarWidth) + " and ends with an error at Install"};
}

}  // namespace skintool
