#include <cstring>

#include "imaging/picture_decoders.h"

namespace {

// The last three characters, each matched in lower or upper case only.
bool EndsWith(const char* name, size_t length, const char* lowerSuffix) {
  const char* tail = name + length - 3;
  for (int i = 0; i < 3; ++i) {
    char lower = lowerSuffix[i];
    char upper = static_cast<char>(lower - 'a' + 'A');
    if (tail[i] != lower && tail[i] != upper) return false;
  }
  return true;
}

}  // namespace

PictureForm ClassifyPictureName(const char* name) {
  const size_t length = std::strlen(name);
  if (length < 3) return PictureForm::kBmp;
  struct Rule {
    const char* suffix;
    PictureForm form;
  };
  static const Rule rules[] = {
      {"bmp", PictureForm::kBmp},          {"ieg", PictureForm::kScrambledBmp},
      {"png", PictureForm::kPng},          {"iep", PictureForm::kScrambledPng},
      {"jpg", PictureForm::kJpeg},         {"iej", PictureForm::kScrambledJpeg},
  };
  for (const Rule& rule : rules) {
    if (EndsWith(name, length, rule.suffix)) return rule.form;
  }
  return PictureForm::kBmp;  // no known extension: read as a plain BMP
}

DecodeStatus DecodePictureFile(const char* name, const uint8_t* data, size_t size, DecodedPicture& out) {
  switch (ClassifyPictureName(name)) {
    case PictureForm::kBmp:
      return DecodeBmp(data, size, false, out);
    case PictureForm::kScrambledBmp:
      return DecodeBmp(data, size, true, out);
    case PictureForm::kPng:
      return DecodePng(data, size, false, out);
    case PictureForm::kScrambledPng:
      return DecodePng(data, size, true, out);
    case PictureForm::kJpeg:
    case PictureForm::kScrambledJpeg:
      return DecodeJpeg(data, size, out);
  }
  return DecodeStatus::kDamaged;
}
