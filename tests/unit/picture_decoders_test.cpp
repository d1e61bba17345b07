// The picture decoders: pixel-exact results for every form, and refusal (never
// a crash or a stray write) for damaged files.
#include "imaging/picture_decoders.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "imaging/pixel_layout.h"
#include "tests/unit/picture_files.h"

namespace {

Rgb PixelOf(const DecodedPicture& d, int x, int y) {
  const uint8_t* p = d.pixels.data() + PixelOffset(d.width, d.height, x, y);
  return {p[2], p[1], p[0]};
}

// Every pixel equal, within `tolerance` per channel (JPEG is lossy).
void ExpectPicture(const DecodedPicture& d, const TestPicture& expected, int tolerance = 0) {
  ASSERT_EQ(d.width, expected.width);
  ASSERT_EQ(d.height, expected.height);
  ASSERT_EQ(d.pixels.size(), static_cast<size_t>(PictureStride(d.width) * d.height));
  for (int y = 0; y < d.height; ++y)
    for (int x = 0; x < d.width; ++x) {
      Rgb got = PixelOf(d, x, y), want = expected.at(x, y);
      EXPECT_LE(std::abs(got.r - want.r), tolerance) << x << "," << y;
      EXPECT_LE(std::abs(got.g - want.g), tolerance) << x << "," << y;
      EXPECT_LE(std::abs(got.b - want.b), tolerance) << x << "," << y;
    }
}

DecodeStatus Bmp(const Bytes& b, bool scrambled, DecodedPicture& d) {
  return DecodeBmp(b.data(), b.size(), scrambled, d);
}
DecodeStatus Png(const Bytes& b, bool scrambled, DecodedPicture& d) {
  return DecodePng(b.data(), b.size(), scrambled, d);
}
DecodeStatus Jpeg(const Bytes& b, DecodedPicture& d) { return DecodeJpeg(b.data(), b.size(), d); }

TEST(PictureForm, LastThreeCharactersChooseTheReader) {
  const std::pair<const char*, PictureForm> cases[] = {
      {"ui\\base.bmp", PictureForm::kBmp},           {"ui\\base.BMP", PictureForm::kBmp},
      {"ui\\base.Bmp", PictureForm::kBmp},           {"ui\\base.ieg", PictureForm::kScrambledBmp},
      {"ui\\base.png", PictureForm::kPng},           {"ui\\base.IEP", PictureForm::kScrambledPng},
      {"ui\\base.jpg", PictureForm::kJpeg},          {"ui\\base.iej", PictureForm::kScrambledJpeg},
      {"ui\\base.jpeg", PictureForm::kBmp},          {"ui\\base", PictureForm::kBmp},
      {"xpng", PictureForm::kPng},                   {"pn", PictureForm::kBmp},
      {"ui\\base.pNg", PictureForm::kPng},           {"ui\\base.bMP", PictureForm::kBmp},
  };
  for (const auto& [name, form] : cases) EXPECT_EQ(ClassifyPictureName(name), form) << name;
}

TEST(BmpDecoder, WidthsOneToFourKeepTheirPixelsAcrossRowPadding) {
  for (int width = 1; width <= 4; ++width) {
    TestPicture picture = Gradient(width, 3);
    DecodedPicture d;
    ASSERT_EQ(Bmp(MakeBmp(picture), false, d), DecodeStatus::kOk);
    ExpectPicture(d, picture);
    DecodedPicture scrambled;
    ASSERT_EQ(Bmp(ScrambleBmp(MakeBmp(picture)), true, scrambled), DecodeStatus::kOk);
    EXPECT_EQ(scrambled.pixels, d.pixels) << "width " << width;
  }
}

TEST(BmpDecoder, TopDownRowsGiveTheSamePicture) {
  TestPicture picture = Gradient(3, 4);
  DecodedPicture d;
  ASSERT_EQ(Bmp(MakeBmp(picture, /*topDown=*/true), false, d), DecodeStatus::kOk);
  ExpectPicture(d, picture);
}

TEST(BmpDecoder, AFullyScrambledFileGivesScrambledColours) {
  TestPicture picture = Gradient(2, 2);
  DecodedPicture d;
  ASSERT_EQ(Bmp(ScrambleAll(MakeBmp(picture)), true, d), DecodeStatus::kOk);
  Rgb c = PixelOf(d, 1, 1), want = picture.at(1, 1);
  EXPECT_EQ(c.r, want.r ^ 0xA5);
  EXPECT_EQ(c.b, want.b ^ 0xA5);
}

TEST(BmpDecoder, OtherDepthsAreNotTwentyFourBit) {
  for (int depth : {1, 4, 8, 16, 32}) {
    DecodedPicture d;
    EXPECT_EQ(Bmp(MakeBmpOfDepth(4, 4, depth), false, d), DecodeStatus::kNotTwentyFourBitBmp);
    EXPECT_EQ(d.width, 0);
  }
}

TEST(BmpDecoder, DamagedHeadersAreRefused) {
  const Bytes good = MakeBmp(Gradient(4, 4));
  auto with = [&](size_t at, uint32_t value) {
    Bytes b = good;
    for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
    return b;
  };
  const std::pair<const char*, Bytes> cases[] = {
      {"empty", {}},
      {"only the file header", Bytes(good.begin(), good.begin() + 14)},
      {"pixel block one byte short", Bytes(good.begin(), good.end() - 1)},
      {"pixel offset past the end", with(10, 100000)},
      {"pixel offset inside the headers", with(10, 20)},
      {"width 100000 x 100000", with(22, 100000)},
      {"huge width", with(18, 100000)},
      {"zero width", with(18, 0)},
      {"zero height", with(22, 0)},
      {"negative width", with(18, 0xFFFFFFFF)},
      {"most negative height", with(22, 0x80000000)},
      {"compressed", with(30, 1)},
      {"short info header", with(14, 12)},
  };
  for (const auto& [name, bytes] : cases) {
    DecodedPicture d;
    EXPECT_EQ(Bmp(bytes, false, d), DecodeStatus::kDamaged) << name;
    EXPECT_TRUE(d.pixels.empty()) << name;
  }
}

TEST(PngDecoder, RgbPictureIsStoredBottomUpBlueGreenRed) {
  TestPicture picture = Gradient(3, 2);
  picture.pixels[0] = {255, 0, 0};  // top-left red
  DecodedPicture d;
  ASSERT_EQ(Png(MakePng(picture), false, d), DecodeStatus::kOk);
  ASSERT_EQ(d.width, 3);
  ASSERT_EQ(d.height, 2);
  // The second row in memory is the top row; rows are 12 bytes apart.
  EXPECT_EQ(d.pixels.size(), 24u);
  EXPECT_EQ(d.pixels[12], 0);
  EXPECT_EQ(d.pixels[13], 0);
  EXPECT_EQ(d.pixels[14], 255);
  ExpectPicture(d, picture);
}

TEST(PngDecoder, AlphaIsDroppedNotBlended) {
  TestPicture picture = Gradient(2, 2);
  picture.pixels[0] = {10, 20, 30};
  DecodedPicture d;
  ASSERT_EQ(Png(MakePng(picture, 6, 8, false, {0, 255, 128, 255}), false, d), DecodeStatus::kOk);
  Rgb c = PixelOf(d, 0, 0);
  EXPECT_EQ(c.r, 10);
  EXPECT_EQ(c.g, 20);
  EXPECT_EQ(c.b, 30);
  ExpectPicture(d, picture);
}

TEST(PngDecoder, SixteenBitSamplesAreReducedToEight) {
  TestPicture picture = Gradient(3, 3);
  for (int colorType : {2, 6}) {
    DecodedPicture d;
    ASSERT_EQ(Png(MakePng(picture, colorType, 16), false, d), DecodeStatus::kOk);
    ExpectPicture(d, picture);
  }
}

TEST(PngDecoder, InterlacedAndScrambledGiveTheSamePicture) {
  TestPicture picture = Gradient(9, 7);
  DecodedPicture plain, interlaced, scrambled;
  ASSERT_EQ(Png(MakePng(picture), false, plain), DecodeStatus::kOk);
  ASSERT_EQ(Png(MakePng(picture, 2, 8, true), false, interlaced), DecodeStatus::kOk);
  ASSERT_EQ(Png(ScrambleAll(MakePng(picture)), true, scrambled), DecodeStatus::kOk);
  EXPECT_EQ(interlaced.pixels, plain.pixels);
  EXPECT_EQ(scrambled.pixels, plain.pixels);
}

TEST(PngDecoder, PaletteAndGreyPicturesGiveTheirSizeButNoPixels) {
  for (const Bytes& file : {MakePalettePng(5, 4), MakeGreyPng(5, 4)}) {
    DecodedPicture d;
    EXPECT_EQ(Png(file, false, d), DecodeStatus::kUnsupportedPngColorType);
    EXPECT_EQ(d.width, 5);
    EXPECT_EQ(d.height, 4);
    EXPECT_TRUE(d.pixels.empty());
  }
}

TEST(PngDecoder, NotAPngOrAPlainFileReadAsScrambledIsDamaged) {
  DecodedPicture d;
  EXPECT_EQ(Png(Bytes{}, false, d), DecodeStatus::kDamaged);
  EXPECT_EQ(Png(MakeBmp(Gradient(2, 2)), false, d), DecodeStatus::kDamaged);
  EXPECT_EQ(Png(MakePng(Gradient(2, 2)), true, d), DecodeStatus::kDamaged);
}

TEST(JpegDecoder, ColourPictureKeepsItsLayoutWithinJpegLoss) {
  TestPicture picture{5, 3, std::vector<Rgb>(15, Rgb{200, 40, 90})};
  picture.pixels[0] = picture.pixels[1] = picture.pixels[5] = picture.pixels[6] = {20, 220, 60};
  DecodedPicture d;
  ASSERT_EQ(Jpeg(MakeJpeg(picture), d), DecodeStatus::kOk);
  EXPECT_EQ(PictureStride(d.width), 16);
  ExpectPicture(d, picture, 40);
  // Top-left is green, bottom-right the other colour: rows are not flipped.
  EXPECT_GT(PixelOf(d, 0, 0).g, 150);
  EXPECT_GT(PixelOf(d, 4, 2).r, 150);
}

TEST(JpegDecoder, ScrambledStreamEqualsThePlainOne) {
  const Bytes file = MakeJpeg(Gradient(6, 4));
  DecodedPicture plain, scrambled;
  ASSERT_EQ(Jpeg(file, plain), DecodeStatus::kOk);
  ASSERT_EQ(Jpeg(ScrambleAll(file), scrambled), DecodeStatus::kOk);
  EXPECT_EQ(scrambled.pixels, plain.pixels);
}

TEST(JpegDecoder, GreyBecomesRgbAndCmykIsRefused) {
  TestPicture picture = Gradient(4, 4);
  DecodedPicture grey;
  ASSERT_EQ(Jpeg(MakeJpeg(picture, /*grey=*/true), grey), DecodeStatus::kOk);
  Rgb c = PixelOf(grey, 2, 1);
  EXPECT_EQ(c.r, c.g);
  EXPECT_EQ(c.g, c.b);
  DecodedPicture cmyk;
  EXPECT_EQ(Jpeg(MakeJpeg(picture, false, /*cmyk=*/true), cmyk), DecodeStatus::kDamaged);
  EXPECT_TRUE(cmyk.pixels.empty());
}

TEST(JpegDecoder, NotAJpegIsDamaged) {
  DecodedPicture d;
  EXPECT_EQ(Jpeg(Bytes{}, d), DecodeStatus::kDamaged);
  EXPECT_EQ(Jpeg(Bytes{0xFF, 0xD8}, d), DecodeStatus::kDamaged);
  EXPECT_EQ(Jpeg(MakeBmp(Gradient(2, 2)), d), DecodeStatus::kDamaged);
}

}  // namespace
