// skintool preview on small skins made in memory: the window's shape as
// alpha, the first screen, each highlight and its availability, the bar after
// a number of steps, the fallbacks for missing pictures, the command line.
#include "tools/skin_tool/preview.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "imaging/picture_decoders.h"
#include "tests/unit/picture_files.h"
#include "tools/skin_tool/cli.h"
#include "tools/skin_tool/skin_check.h"

namespace {

using skintool::MemoryFolder;
using skintool::Preview;
using skintool::PreviewRequest;
using Moment = PreviewRequest::Moment;

constexpr Rgb kBase{40, 80, 120}, kInstall{200, 30, 30}, kUninstall{30, 200, 30}, kExit{30, 30, 200};
constexpr Rgb kInstallHover{250, 120, 120}, kUninstallHover{120, 250, 120}, kExitHover{120, 120, 250};
constexpr Rgb kBar{250, 200, 0}, kBlack{0, 0, 0}, kNearBlack{0, 0, 1};

TestPicture Solid(int width, int height, Rgb color) {
  return TestPicture{width, height, std::vector<Rgb>(static_cast<size_t>(width) * height, color)};
}

struct Rgba {
  uint8_t r, g, b, a;
  bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};
std::ostream& operator<<(std::ostream& out, const Rgba& p) {
  return out << "(" << int(p.r) << "," << int(p.g) << "," << int(p.b) << "," << int(p.a) << ")";
}
Rgba Opaque(Rgb c) { return {c.r, c.g, c.b, 255}; }

Rgba At(const Preview& preview, int x, int y) {
  const uint8_t* p = preview.rgba.data() + 4 * (static_cast<size_t>(y) * preview.width + x);
  return {p[0], p[1], p[2], p[3]};
}

// A 200 x 120 base: black corner (0,0)-(9,9), a black hole at (100,60), a
// near-black pixel at (101,60). Buttons 20 x 10 on row 90; highlights 30 x 12;
// the bar on row 40 at x 10.
struct SkinFiles {
  TestPicture base = Solid(200, 120, kBase);
  int barWidth = 150;
  bool withInstallHover = true;

  MemoryFolder Folder() const {
    MemoryFolder folder;
    TestPicture shaped = base;
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x) shaped.pixels[y * shaped.width + x] = kBlack;
    shaped.pixels[60 * shaped.width + 100] = kBlack;
    shaped.pixels[60 * shaped.width + 101] = kNearBlack;
    folder.AddFile("Setup.ini",
                   "InstallButtonX=20\r\nInstallButtonY=90\r\nUninstallButtonX=80\r\nUninstallButtonY=90\r\n"
                   "ExitButtonX=140\r\nExitButtonY=90\r\nProgressBarX=10\r\nProgressBarY=40\r\n");
    folder.AddFile("ui\\base.bmp", MakeBmp(shaped));
    folder.AddFile("ui\\Install.bmp", MakeBmp(Solid(20, 10, kInstall)));
    folder.AddFile("ui\\Uninstall.png", MakePng(Solid(20, 10, kUninstall)));
    folder.AddFile("ui\\Exit.ieg", ScrambleBmp(MakeBmp(Solid(20, 10, kExit))));
    if (withInstallHover) folder.AddFile("ui\\Install_h.bmp", MakeBmp(Solid(30, 12, kInstallHover)));
    folder.AddFile("ui\\Uninstall_h.bmp", MakeBmp(Solid(30, 12, kUninstallHover)));
    folder.AddFile("ui\\Exit_h.iep", ScrambleAll(MakePng(Solid(30, 12, kExitHover))));
    folder.AddFile("ui\\ProgressBar.bmp", MakeBmp(Solid(barWidth, 8, kBar)));
    return folder;
  }
};

Preview Render(const SkinFiles& skin, PreviewRequest request = {}) {
  return skintool::RenderPreview(skin.Folder(), request);
}

PreviewRequest Hover(SkinButton button, bool installed) {
  PreviewRequest request;
  request.moment = Moment::kHover;
  request.hover = button;
  request.installed = installed;
  return request;
}

PreviewRequest Progress(uint32_t steps) {
  PreviewRequest request;
  request.moment = Moment::kProgress;
  request.steps = steps;
  return request;
}

TEST(PreviewShape, CutOutPixelsAreTransparentAndOnlyPureBlackIsCut) {
  const Preview preview = Render(SkinFiles());
  ASSERT_TRUE(preview.drawn);
  EXPECT_TRUE(preview.findings.empty()) << skintool::FormatFinding(preview.findings.front());
  EXPECT_EQ(preview.width, 200);
  EXPECT_EQ(preview.height, 120);
  EXPECT_EQ(At(preview, 0, 0).a, 0);
  EXPECT_EQ(At(preview, 9, 9).a, 0);
  EXPECT_EQ(At(preview, 100, 60).a, 0);                   // a hole inside the window
  EXPECT_EQ(At(preview, 101, 60), Opaque(kNearBlack));   // 000001 stays
  EXPECT_EQ(At(preview, 10, 9), Opaque(kBase));
  EXPECT_EQ(At(preview, 199, 119), Opaque(kBase));
}

TEST(PreviewShape, AButtonOverCutOutPixelsIsCutThereToo) {
  MemoryFolder folder = SkinFiles().Folder();
  folder.AddFile("Setup.ini", "ExitButtonX=95\r\nExitButtonY=55\r\n");  // over the hole at (100, 60)
  const Preview preview = skintool::RenderPreview(folder, {});
  ASSERT_TRUE(preview.drawn);
  EXPECT_EQ(At(preview, 100, 60).a, 0);
  EXPECT_EQ(At(preview, 101, 60), Opaque(kExit));
}

TEST(PreviewFirstScreen, TheThreeButtonsAtTheirCornersAndNoHighlightOrBar) {
  const Preview preview = Render(SkinFiles());
  EXPECT_EQ(At(preview, 20, 90), Opaque(kInstall));
  EXPECT_EQ(At(preview, 39, 99), Opaque(kInstall));
  EXPECT_EQ(At(preview, 40, 100), Opaque(kBase));
  EXPECT_EQ(At(preview, 80, 90), Opaque(kUninstall));
  EXPECT_EQ(At(preview, 140, 90), Opaque(kExit));
  EXPECT_EQ(At(preview, 10, 40), Opaque(kBase));  // the bar is no part of the screen
}

TEST(PreviewHover, EachAvailableHighlightShowsWholeAtItsButtonsCorner) {
  struct Case {
    SkinButton button;
    bool installed;
    int x, y;
    Rgb highlight;
  };
  const Case cases[] = {
      {SkinButton::kInstall, false, 20, 90, kInstallHover},
      {SkinButton::kUninstall, true, 80, 90, kUninstallHover},
      {SkinButton::kExit, false, 140, 90, kExitHover},
      {SkinButton::kExit, true, 140, 90, kExitHover},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "button " << static_cast<int>(c.button) << " installed " << c.installed);
    const Preview preview = Render(SkinFiles(), Hover(c.button, c.installed));
    ASSERT_TRUE(preview.drawn);
    EXPECT_EQ(At(preview, c.x, c.y), Opaque(c.highlight));
    EXPECT_EQ(At(preview, c.x + 29, c.y + 11), Opaque(c.highlight));  // larger than the button
    EXPECT_EQ(At(preview, c.x + 30, c.y + 12), Opaque(kBase));
  }
}

TEST(PreviewHover, AnUnavailableButtonDrawsNothing) {
  const Preview first = Render(SkinFiles());
  const Preview installWhenInstalled = Render(SkinFiles(), Hover(SkinButton::kInstall, true));
  const Preview uninstallWhenNot = Render(SkinFiles(), Hover(SkinButton::kUninstall, false));
  EXPECT_EQ(installWhenInstalled.rgba, first.rgba);
  EXPECT_EQ(uninstallWhenNot.rgba, first.rgba);
}

TEST(PreviewProgress, TheBarAfterSteps) {
  struct Case {
    int barWidth;
    uint32_t steps;
    int columns;
  };
  const Case cases[] = {
      {100, 0, 0}, {100, 1, 1}, {100, 50, 50}, {100, 100, 100},
      {150, 0, 0}, {150, 1, 1}, {150, 50, 50}, {150, 100, 150},  // 150 / 100 is 1 pixel a step; the end is whole
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.barWidth << " px after " << c.steps << " steps");
    SkinFiles skin;
    skin.barWidth = c.barWidth;
    const Preview preview = Render(skin, Progress(c.steps));
    ASSERT_TRUE(preview.drawn);
    for (int x = 10; x < 10 + c.barWidth + 1 && x < 200; ++x) {
      const bool shown = x < 10 + c.columns;
      ASSERT_EQ(At(preview, x, 40), Opaque(shown ? kBar : kBase)) << "column " << x;
      ASSERT_EQ(At(preview, x, 47), Opaque(shown ? kBar : kBase)) << "column " << x;
    }
    EXPECT_EQ(At(preview, 20, 90), Opaque(kBase));  // the bare base: no buttons while copying
  }
}

TEST(PreviewProgress, ANarrowBarIsNeverShown) {
  SkinFiles skin;
  skin.barWidth = 99;
  const Preview preview = Render(skin, Progress(50));
  EXPECT_FALSE(preview.drawn);
  ASSERT_EQ(preview.findings.size(), 1u);
  EXPECT_NE(preview.findings[0].message.find("99 pixels wide"), std::string::npos);
}

TEST(PreviewFallbacks, AMissingHighlightIsABlankPictureWithTheCheckersMessage) {
  SkinFiles skin;
  skin.withInstallHover = false;
  const Preview preview = Render(skin, Hover(SkinButton::kInstall, false));
  ASSERT_TRUE(preview.drawn);
  ASSERT_EQ(preview.findings.size(), 1u);
  const std::vector<skintool::Finding> checked = skintool::CheckSkinFolder(skin.Folder());
  bool sameAsChecker = false;
  for (const auto& f : checked) sameAsChecker |= skintool::FormatFinding(f) == skintool::FormatFinding(preview.findings[0]);
  EXPECT_TRUE(sameAsChecker) << skintool::FormatFinding(preview.findings[0]);
  // The blank 640 x 480 picture is black; the shape comes from the base alone, so it shows.
  EXPECT_EQ(At(preview, 20, 90), Opaque(kBlack));
  EXPECT_EQ(At(preview, 199, 119), Opaque(kBlack));
  EXPECT_EQ(At(preview, 19, 89), Opaque(kBase));
}

TEST(PreviewFallbacks, AMissingBaseGivesAGrey640By480WindowWithEveryPixelShown) {
  MemoryFolder folder;
  folder.AddFile("Setup.ini", "Caption=x\r\n");
  const Preview preview = skintool::RenderPreview(folder, {});
  ASSERT_TRUE(preview.drawn);
  EXPECT_EQ(preview.width, 640);
  EXPECT_EQ(preview.height, 480);
  EXPECT_EQ(preview.findings.size(), 8u);  // every picture reported
  for (size_t i = 3; i < preview.rgba.size(); i += 4) ASSERT_EQ(preview.rgba[i], 255) << i;
}

TEST(PreviewFallbacks, NoOrABrokenSetupIniGivesNoPicture) {
  MemoryFolder none;
  EXPECT_FALSE(skintool::RenderPreview(none, {}).drawn);
  MemoryFolder broken;
  broken.AddFile("Setup.ini", "[section]\r\n");
  EXPECT_FALSE(skintool::RenderPreview(broken, {}).drawn);
}

TEST(PreviewCommandLine, ExitStatuses) {
  struct Case {
    std::vector<std::string> args;
    int status;
  };
  CreateDirectoryA("preview_cli", nullptr);
  CreateDirectoryA("preview_cli\\skin", nullptr);
  CreateDirectoryA("preview_cli\\skin\\ui", nullptr);
  WriteFileBytes("preview_cli\\skin\\Setup.ini", Bytes{'A', '=', '1'});
  WriteFileBytes("preview_cli\\skin\\ui\\base.bmp", MakeBmp(Solid(30, 20, kBase)));
  CreateDirectoryA("preview_cli\\empty", nullptr);
  const Case cases[] = {
      {{"preview", "preview_cli\\skin", "preview_cli\\out.png"}, 0},
      {{"preview", "preview_cli\\skin", "preview_cli\\out.png", "--hover", "exit", "--installed"}, 0},
      {{"preview", "preview_cli\\skin", "preview_cli\\out.png", "--progress", "100"}, 0},
      {{"preview", "preview_cli\\empty", "preview_cli\\none.png"}, 1},  // no Setup.ini
      {{"preview", "preview_cli\\skin"}, 2},
      {{"preview", "preview_cli\\nowhere", "preview_cli\\out.png"}, 2},
      {{"preview", "preview_cli\\skin", "preview_cli\\out.png", "--progress", "101"}, 2},
      {{"preview", "preview_cli\\skin", "preview_cli\\out.png", "--progress", "-1"}, 2},
      {{"preview", "preview_cli\\skin", "preview_cli\\out.png", "--hover", "help"}, 2},
      {{"preview", "preview_cli\\skin", "preview_cli\\out.png", "--hover", "exit", "--progress", "3"}, 2},
      {{"preview", "preview_cli\\skin", "preview_cli\\out.png", "--hover"}, 2},
  };
  for (const Case& c : cases) {
    std::ostringstream out, err;
    std::string line;
    for (const auto& a : c.args) line += a + " ";
    EXPECT_EQ(skintool::RunSkinTool(c.args, out, err), c.status) << line << "\n" << err.str();
  }
  EXPECT_EQ(GetFileAttributesA("preview_cli\\none.png"), INVALID_FILE_ATTRIBUTES);
  // The written file is a PNG of the base's size, read back by the program's own decoder.
  Bytes png;
  HANDLE file = CreateFileA("preview_cli\\out.png", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  png.resize(GetFileSize(file, nullptr));
  DWORD read = 0;
  ReadFile(file, png.data(), static_cast<DWORD>(png.size()), &read, nullptr);
  CloseHandle(file);
  DecodedPicture decoded;
  ASSERT_EQ(DecodePng(png.data(), png.size(), false, decoded), DecodeStatus::kOk);
  EXPECT_EQ(decoded.width, 30);
  EXPECT_EQ(decoded.height, 20);
}

}  // namespace
