// The skin's layout and what each moment of the window draws: which picture
// goes where, which highlight a pointer over a button shows, how far the
// progress bar stands. Pure decisions, no drawing: setup.exe carries them out
// with GDI on its Surfaces, skintool preview on pictures in memory.
#pragma once

#include <cstdint>

// The skin's pictures, the base first, then the others in the order setup.exe loads them.
enum class SkinPicture { kBase, kInstall, kUninstall, kExit, kInstallHover, kUninstallHover, kExitHover, kProgressBar };
inline constexpr int kSkinPictureCount = 8;

struct SkinPictureSlot {
  SkinPicture picture;
  const char* name;  // as given to the loader, without extension
  const char* xKey;  // Setup.ini keys of its top-left corner; null for the base, which sits at (0, 0)
  const char* yKey;
};
inline constexpr SkinPictureSlot kSkinPictures[kSkinPictureCount] = {
    {SkinPicture::kBase, "ui\\base", nullptr, nullptr},
    {SkinPicture::kInstall, "ui\\Install", "InstallButtonX", "InstallButtonY"},
    {SkinPicture::kUninstall, "ui\\Uninstall", "UninstallButtonX", "UninstallButtonY"},
    {SkinPicture::kExit, "ui\\Exit", "ExitButtonX", "ExitButtonY"},
    {SkinPicture::kInstallHover, "ui\\Install_h", "InstallButtonX", "InstallButtonY"},
    {SkinPicture::kUninstallHover, "ui\\Uninstall_h", "UninstallButtonX", "UninstallButtonY"},
    {SkinPicture::kExitHover, "ui\\Exit_h", "ExitButtonX", "ExitButtonY"},
    {SkinPicture::kProgressBar, "ui\\ProgressBar", "ProgressBarX", "ProgressBarY"},
};
inline const SkinPictureSlot& SlotOf(SkinPicture picture) { return kSkinPictures[static_cast<int>(picture)]; }

// A picture that cannot be loaded keeps the size it was created with.
inline constexpr int32_t kBlankPictureWidth = 640;
inline constexpr int32_t kBlankPictureHeight = 480;
// A base picture that cannot be loaded is this neutral grey (red, green and
// blue alike), so that the window's shape keeps every pixel.
inline constexpr uint8_t kUnloadedBaseGrey = 0x80;

// The composed screen: the base, then these buttons in this order, each an
// opaque rectangle at its own corner (a later one covers an earlier one).
inline constexpr SkinPicture kComposedButtons[] = {SkinPicture::kInstall, SkinPicture::kUninstall, SkinPicture::kExit};

// A placed picture's rectangle in window pixels.
struct PictureBox {
  int32_t left, top, width, height;
};

enum class SkinButton { kNone, kInstall, kUninstall, kExit };

// The button whose rectangle holds the point, the right and bottom edge lines
// included; where rectangles overlap, Install comes before Uninstall before
// Exit. A null box holds no point.
SkinButton ButtonAt(const PictureBox* install, const PictureBox* uninstall, const PictureBox* exit, int32_t x,
                    int32_t y);

// Whether a button reacts (highlight and click) in the given mode: Install
// only while not installed, Uninstall only while installed, Exit always.
bool IsButtonAvailable(SkinButton button, bool installed);

// What a pointer move draws over `button`: its highlight, or nothing at all
// when the button is unavailable; over no button (kNone) the composed screen
// is drawn again.
enum class HoverDrawing { kNothing, kComposedScreen, kHighlight };
HoverDrawing HoverDrawingFor(SkinButton button, bool installed);
SkinPicture HighlightOf(SkinButton button);  // kInstallHover, ...; kBase for kNone

// The far edge of a span that starts at `start` and is `extent` long
// (start + extent), held at the ends of the 32-bit range instead of wrapping:
// TitleBarX=1 with TitleBarWidth=2147483647 reaches 2147483647.
int32_t SpanEnd(int32_t start, int32_t extent);

// The progress bar grows in 100 steps of a whole number of pixels each; when
// the copy has ended it is drawn at its full width. Install refuses a bar
// narrower than one pixel a step.
inline constexpr uint32_t kProgressSteps = 100;
inline constexpr int32_t kMinimumBarWidth = 100;
int32_t BarPixelsPerStep(int32_t barWidth);
// How many of the bar's columns, from its left edge, show once `steps`
// hundredths are copied; kProgressSteps (or more) is the finished copy.
int32_t BarColumnsShown(uint32_t steps, int32_t barWidth);
