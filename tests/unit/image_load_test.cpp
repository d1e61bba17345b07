// Loading picture files into a Surface: which file a name finds, the messages
// for missing and unsuitable files, and a sweep of damaged files. Picture
// names are Shift-JIS bytes, whatever the system's code page.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/messages.h"
#include "common/text_encoding.h"
#include "imaging/surface.h"
#include "tests/unit/message_capture.h"
#include "tests/unit/picture_files.h"

namespace {

std::string ShiftJis(const std::wstring& text) {
  std::string bytes;
  EXPECT_TRUE(EncodeText(text, TextEncoding::kShiftJis, bytes)) << text;
  return bytes;
}

// What a picture message says: its Shift-JIS parts around the name given.
std::wstring PictureMessage(const char* prefix, const std::wstring& name, const char* suffix) {
  return WideFromShiftJis(prefix) + name + WideFromShiftJis(suffix);
}

const wchar_t kCaption[] = L"Graphics File Open Error";

// Each test works in a fresh folder "pics" below the scratch directory.
class ImageLoad : public testing::Test {
 protected:
  void SetUp() override {
    RemoveAll();
    CreateDirectoryW(L"pics", nullptr);
  }
  void TearDown() override { RemoveAll(); }
  static void RemoveAll() {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(L"pics\\*", &entry);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (entry.cFileName[0] != L'.') DeleteFileW((std::wstring(L"pics\\") + entry.cFileName).c_str());
      } while (FindNextFileW(find, &entry));
      FindClose(find);
    }
    RemoveDirectoryW(L"pics");
  }
  static void Touch(const char* name) { WriteFileBytes(std::string("pics\\") + name, {1}); }
  static std::string Resolve(const char* name) {
    char buffer[MAX_PATH] = {};
    strcpy(buffer, name);
    return Surface::ResolveImageName(buffer) == 0 ? buffer : "<none>";
  }
  MessageCapture capture;
};

TEST_F(ImageLoad, TheBareNameComesFirstThenTheExtensionsInOrder) {
  const char* order[] = {"base", "base.iep", "base.png", "base.ieg", "base.bmp", "base.iej", "base.jpg"};
  for (const char* file : order) Touch(file);
  // Remove the winner each time: the next one in the order takes its place.
  for (const char* file : order) {
    EXPECT_EQ(Resolve("pics\\base"), std::string("pics\\") + file);
    DeleteFileA((std::string("pics\\") + file).c_str());
  }
  EXPECT_EQ(Resolve("pics\\base"), "<none>");
}

TEST_F(ImageLoad, AnExtensionIsAddedToTheWholeName) {
  Touch("base.png.iep");
  EXPECT_EQ(Resolve("pics\\base.png"), "pics\\base.png.iep");
  char buffer[MAX_PATH] = "pics\\missing";
  EXPECT_EQ(Surface::ResolveImageName(buffer), 1);
  EXPECT_STREQ(buffer, "pics\\missing");
}

TEST_F(ImageLoad, ANameTooLongForAnExtensionIsNotFound) {
  char buffer[MAX_PATH] = {};
  std::string name(256, 'n');
  strcpy(buffer, name.c_str());
  EXPECT_EQ(Surface::ResolveImageName(buffer), 1);
  EXPECT_EQ(std::string(buffer), name);
}

TEST_F(ImageLoad, EachFormLoadsAndTakesThePictureSize) {
  TestPicture picture = Gradient(7, 5);
  const std::pair<std::wstring, Bytes> files[] = {
      {L"a.bmp", MakeBmp(picture)},    {L"b.ieg", ScrambleBmp(MakeBmp(picture))},
      {L"c.png", MakePng(picture)},    {L"d.iep", ScrambleAll(MakePng(picture))},
      {L"e.jpg", MakeJpeg(picture)},   {L"f.iej", ScrambleAll(MakeJpeg(picture))},
      {L"g", MakeBmp(picture)},        {L"h.iej", MakeJpeg(picture)},
      {L"ソ表.png", MakePng(picture)}, {L"表", MakeBmp(picture)},  // trail bytes of 5C
  };
  for (const auto& [file, bytes] : files) {
    WriteFileBytes(L"pics\\" + file, bytes);
    Surface s(nullptr, 640, 480);
    char name[MAX_PATH] = {};
    strcpy(name, ShiftJis(L"pics\\" + file).c_str());
    s.Load(name);
    EXPECT_EQ(s.width, 7) << file;
    EXPECT_EQ(s.height, 5) << file;
    EXPECT_TRUE(capture.messages().empty()) << file << ": " << capture.messages()[0].text;
  }
}

TEST_F(ImageLoad, AMissingPictureNamesTheGivenNameAndKeepsTheSurface) {
  for (const wchar_t* given : {L"pics\\base", L"pics\\ソ表"}) {
    capture.clear();
    Surface s(nullptr, 640, 480);
    char name[MAX_PATH] = {};
    strcpy(name, ShiftJis(given).c_str());
    s.Load(name);
    ASSERT_EQ(capture.messages().size(), 1u) << given;
    EXPECT_EQ(capture.messages()[0].text,
              PictureMessage(kMsgPictureNotFoundPrefix, given, kMsgPictureNotFoundSuffix));
    EXPECT_EQ(capture.messages()[0].caption, kCaption);
    EXPECT_EQ(capture.messages()[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 480);
  }
}

TEST_F(ImageLoad, UnsuitablePicturesGiveTheirMessages) {
  struct Case {
    const char* file;
    Bytes bytes;
    const char* suffix;
    int width, height;  // the Surface afterwards
  };
  Bytes shortBmp = MakeBmp(Gradient(4, 4));
  shortBmp.resize(shortBmp.size() - 5);
  const Case cases[] = {
      {"pal.bmp", MakeBmpOfDepth(4, 4, 8), kMsgBmpNotTwentyFourBitSuffix, 640, 480},
      {"pal.png", MakePalettePng(5, 3), kMsgPngColorTypeSuffix, 5, 3},
      {"grey.png", MakeGreyPng(6, 2), kMsgPngColorTypeSuffix, 6, 2},
      {"real.jpeg", MakeJpeg(Gradient(4, 4)), kMsgBmpNotTwentyFourBitSuffix, 640, 480},
      {"short.bmp", shortBmp, kMsgPictureDamagedSuffix, 640, 480},
      {"cmyk.jpg", MakeJpeg(Gradient(4, 4), false, true), kMsgPictureDamagedSuffix, 640, 480},
      {"empty.png", Bytes{}, kMsgPictureDamagedSuffix, 640, 480},
  };
  for (const Case& c : cases) {
    capture.clear();
    const std::string path = std::string("pics\\") + c.file;
    WriteFileBytes(path, c.bytes);
    Surface s(nullptr, 640, 480);
    char name[MAX_PATH] = {};
    strcpy(name, path.c_str());
    s.Load(name);
    ASSERT_EQ(capture.messages().size(), 1u) << c.file;
    EXPECT_EQ(capture.messages()[0].text,
              PictureMessage(kMsgPictureFilePrefix, WideFromShiftJis(path.c_str()), c.suffix))
        << c.file;
    EXPECT_EQ(capture.messages()[0].caption, kCaption);
    EXPECT_EQ(s.width, c.width) << c.file;
    EXPECT_EQ(s.height, c.height) << c.file;
  }
}

// Every valid picture, cut short at many offsets and with bytes flipped, must
// end in a picture or a message: never a crash, never a stray write.
TEST_F(ImageLoad, DamagedFilesEndInAPictureOrAMessage) {
  TestPicture picture = Gradient(13, 9);
  const std::pair<const char*, Bytes> originals[] = {
      {"bmp", MakeBmp(picture)},       {"ieg", ScrambleBmp(MakeBmp(picture))},
      {"png", MakePng(picture)},       {"iep", ScrambleAll(MakePng(picture))},
      {"jpg", MakeJpeg(picture)},      {"iej", ScrambleAll(MakeJpeg(picture))},
      {"png", MakePng(picture, 6, 16, true)},
  };
  int tried = 0, refused = 0;
  for (const auto& [extension, original] : originals) {
    std::vector<Bytes> variants;
    const size_t step = original.size() / 60 + 1;
    for (size_t cut = 0; cut < original.size(); cut += step) {
      variants.emplace_back(original.begin(), original.begin() + cut);
    }
    for (size_t at = 0; at < original.size(); at += step) {
      Bytes flipped = original;
      flipped[at] ^= 0xFF;
      variants.push_back(flipped);
      Bytes scrambledAgain = original;
      for (size_t i = at; i < at + 8 && i < scrambledAgain.size(); ++i) scrambledAgain[i] = 0xFF;
      variants.push_back(scrambledAgain);
    }
    for (const Bytes& variant : variants) {
      const std::string path = std::string("pics\\damaged.") + extension;
      WriteFileBytes(path, variant);
      capture.clear();
      Surface s(nullptr, 640, 480);
      char name[MAX_PATH] = {};
      strcpy(name, path.c_str());
      s.Load(name);
      ++tried;
      if (!capture.messages().empty()) ++refused;
      const bool loaded = s.width == 13 && s.height == 9;
      const bool unchanged = s.width == 640 && s.height == 480;
      EXPECT_TRUE(capture.messages().size() == 1 || loaded) << extension;
      EXPECT_TRUE(loaded || unchanged || !capture.messages().empty()) << extension;
    }
  }
  std::printf("damaged-file sweep: %d files tried, %d refused with a message\n", tried, refused);
  EXPECT_GT(tried, 500);
}

}  // namespace
