#include "imaging/skin_layout.h"

#include <cstdint>

namespace {

bool Holds(const PictureBox* box, int32_t x, int32_t y) {
  return box && x >= box->left && static_cast<int64_t>(x) <= static_cast<int64_t>(box->left) + box->width &&
         y >= box->top && static_cast<int64_t>(y) <= static_cast<int64_t>(box->top) + box->height;
}

}  // namespace

SkinButton ButtonAt(const PictureBox* install, const PictureBox* uninstall, const PictureBox* exit, int32_t x,
                    int32_t y) {
  if (Holds(install, x, y)) return SkinButton::kInstall;
  if (Holds(uninstall, x, y)) return SkinButton::kUninstall;
  if (Holds(exit, x, y)) return SkinButton::kExit;
  return SkinButton::kNone;
}

bool IsButtonAvailable(SkinButton button, bool installed) {
  switch (button) {
    case SkinButton::kInstall: return !installed;
    case SkinButton::kUninstall: return installed;
    case SkinButton::kExit: return true;
    case SkinButton::kNone: break;
  }
  return false;
}

HoverDrawing HoverDrawingFor(SkinButton button, bool installed) {
  if (button == SkinButton::kNone) return HoverDrawing::kComposedScreen;
  return IsButtonAvailable(button, installed) ? HoverDrawing::kHighlight : HoverDrawing::kNothing;
}

SkinPicture HighlightOf(SkinButton button) {
  switch (button) {
    case SkinButton::kInstall: return SkinPicture::kInstallHover;
    case SkinButton::kUninstall: return SkinPicture::kUninstallHover;
    case SkinButton::kExit: return SkinPicture::kExitHover;
    case SkinButton::kNone: break;
  }
  return SkinPicture::kBase;
}

int32_t SpanEnd(int32_t start, int32_t extent) {
  const int64_t end = static_cast<int64_t>(start) + extent;
  if (end > INT32_MAX) return INT32_MAX;
  if (end < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(end);
}

int32_t BarPixelsPerStep(int32_t barWidth) { return barWidth / static_cast<int32_t>(kProgressSteps); }

int32_t BarColumnsShown(uint32_t steps, int32_t barWidth) {
  if (steps >= kProgressSteps) return barWidth;
  return static_cast<int32_t>(steps) * BarPixelsPerStep(barWidth);
}
