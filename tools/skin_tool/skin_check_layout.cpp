// The checker on the layout: the base picture's size against a small screen,
// and the buttons, their highlights, the progress bar and the title rectangle
// against the window's shape (the base's pixels that are not cut out).
#include <algorithm>
#include <set>

#include "imaging/pixel_layout.h"
#include "imaging/skin_layout.h"
#include "tools/skin_tool/skin_check_topics.h"

namespace skintool {
namespace {

// The work area of a 1366 x 768 laptop screen with a 40-pixel task bar.
constexpr int kSmallScreenWidth = 1366, kSmallScreenHeight = 728;

// Checks a rectangle [left, right) x [top, bottom) against the window's shape.
// reportCutOut: whether some cut-out pixels under it are worth a warning (a
// title rectangle over the window's rounded corners is normal).
void CheckPlacement(CheckRun& run, const std::string& what, int line, int64_t left, int64_t top, int64_t right,
                    int64_t bottom, const std::string& consequence, bool reportCutOut = true) {
  const SkinPictureFile& base = run.pictures["ui\\base"];
  const int64_t width = std::max<int64_t>(0, right - left), height = std::max<int64_t>(0, bottom - top);
  const int64_t total = width * height;
  if (total == 0) return;
  const int64_t x0 = std::max<int64_t>(left, 0), x1 = std::min<int64_t>(right, base.pixels.width);
  const int64_t y0 = std::max<int64_t>(top, 0), y1 = std::min<int64_t>(bottom, base.pixels.height);
  int64_t inside = 0, cut = 0;
  if (x0 < x1 && y0 < y1) {
    inside = (x1 - x0) * (y1 - y0);
    for (int64_t y = y0; y < y1; ++y) {
      const uint8_t* row = base.pixels.pixels.data() + PixelOffset(base.pixels.width, base.pixels.height, 0, y);
      for (int64_t x = x0; x < x1; ++x) {
        if (row[3 * x] == 0 && row[3 * x + 1] == 0 && row[3 * x + 2] == 0) ++cut;
      }
    }
  }
  const int64_t outside = total - inside;
  if (outside + cut < total && !reportCutOut) cut = 0;
  if (outside == 0 && cut == 0) return;
  const std::string where = what + " (" + std::to_string(left) + "," + std::to_string(top) + ")-(" +
                            std::to_string(right - 1) + "," + std::to_string(bottom - 1) + ")";
  std::string detail;
  if (outside > 0) {
    detail += std::to_string(outside) + " of its " + std::to_string(total) + " pixels lie outside the " +
              std::to_string(base.pixels.width) + "x" + std::to_string(base.pixels.height) + " base picture";
  }
  if (cut > 0) {
    if (!detail.empty()) detail += " and ";
    detail += std::to_string(cut) + (outside > 0 ? "" : " of its " + std::to_string(total)) +
              " pixels lie on pure-black (cut-out) pixels of the base";
  }
  if (outside + cut == total) {
    run.IniError(line, where + " is nowhere on the window: " + detail + "; " + consequence);
  } else {
    run.IniWarning(line, where + " is partly off the window: " + detail);
  }
}

}  // namespace

void CheckLayout(CheckRun& run) {
  const SkinPictureFile& base = run.pictures["ui\\base"];
  const SkinPictureFile& bar = run.pictures["ui\\ProgressBar"];
  if (bar.sized && bar.pixels.width < kMinimumBarWidth) run.findings.push_back(NarrowProgressBarFinding(bar));
  if (!base.decoded) return;  // nothing to place things on
  if (base.pixels.width > kSmallScreenWidth || base.pixels.height > kSmallScreenHeight) {
    run.Add(Severity::kWarning, base.resolved, 0,
            "the base picture is " + std::to_string(base.pixels.width) + " x " + std::to_string(base.pixels.height) +
                " pixels, larger than a small laptop's work area (" + std::to_string(kSmallScreenWidth) + " x " +
                std::to_string(kSmallScreenHeight) + "): part of the window will be off such a screen");
  }

  static const std::set<std::string> kButtons = {"ui\\Install", "ui\\Uninstall", "ui\\Exit"};
  for (const SkinPictureSlot& slot : kSkinPictures) {
    if (!slot.xKey) continue;
    const SkinPictureFile& picture = run.pictures[slot.name];
    if (!picture.sized) continue;
    const int64_t x = run.Number(slot.xKey), y = run.Number(slot.yKey);
    const int line = run.LineOf(slot.xKey) ? run.LineOf(slot.xKey) : run.LineOf(slot.yKey);
    const bool button = kButtons.count(slot.name) > 0;
    CheckPlacement(run, std::string(slot.name) + " at " + slot.xKey + "/" + slot.yKey, line, x, y,
                   x + picture.pixels.width, y + picture.pixels.height,
                   button ? "the button cannot be seen or clicked" : "it never shows");
  }

  const char* titleKeys[] = {"TitleBarX", "TitleBarY", "TitleBarWidth", "TitleBarHeight"};
  int titleLine = 0;
  for (const char* key : titleKeys) {
    if (!titleLine) titleLine = run.LineOf(key);
  }
  if (!run.Entry("TitleBarWidth") && !run.Entry("TitleBarHeight")) {
    run.IniWarning(titleLine, "no TitleBarWidth or TitleBarHeight: the title rectangle is one pixel, so the window "
                              "can hardly be moved");
  }
  const int64_t tx = run.Number("TitleBarX"), ty = run.Number("TitleBarY");
  const int64_t tw = run.Number("TitleBarWidth"), th = run.Number("TitleBarHeight");
  if (tw < 0 || th < 0) {
    run.IniError(titleLine, "TitleBarWidth and TitleBarHeight must not be negative: the window cannot be moved");
    return;
  }
  // Its hit test also takes the line just right of and below it; that line
  // is left out here, so that a rectangle as wide as the base is no finding.
  CheckPlacement(run, "the title rectangle", titleLine, tx, ty, tx + std::max<int64_t>(tw, 1),
                 ty + std::max<int64_t>(th, 1), "the window cannot be moved", false);
}

}  // namespace skintool
