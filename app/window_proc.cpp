#include "app/window_proc.h"

#include "app/app_state.h"
#include "app/shutdown.h"
#include "imaging/skin_layout.h"
#include "installer/install_flow.h"
#include "installer/uninstall_flow.h"

namespace {

// Mouse coordinates travel in lParam as two unsigned 16-bit halves.
int32_t MouseX(LPARAM lParam) { return static_cast<int32_t>(LOWORD(lParam)); }
int32_t MouseY(LPARAM lParam) { return static_cast<int32_t>(HIWORD(lParam)); }

// The button under a point; a button Surface that does not exist holds none.
SkinButton ButtonUnder(int32_t x, int32_t y) {
  PictureBox boxes[3];
  const PictureBox* held[3] = {};
  const Surface* buttons[3] = {installButton, uninstallButton, exitButton};
  for (int i = 0; i < 3; ++i) {
    if (!buttons[i]) continue;
    boxes[i] = {buttons[i]->left, buttons[i]->top, buttons[i]->width, buttons[i]->height};
    held[i] = &boxes[i];
  }
  return ButtonAt(held[0], held[1], held[2], x, y);
}

const Surface* HighlightSurface(SkinButton button) {
  switch (HighlightOf(button)) {
    case SkinPicture::kInstallHover: return installHover;
    case SkinPicture::kUninstallHover: return uninstallHover;
    case SkinPicture::kExitHover: return exitHover;
    default: return nullptr;
  }
}

bool IsInTitleBar(int32_t x, int32_t y) {
  return x >= titleBar.left && x <= titleBar.right && y >= titleBar.top && y <= titleBar.bottom;
}

// Before the first screen is composed (and after shutdown) nothing is drawn,
// but the update region is still validated: an unvalidated window would be
// sent WM_PAINT again and again.
void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC target = BeginPaint(window, &paint);
  std::lock_guard<std::mutex> lock(screenLock);
  if (screenReady == 1 && screenSurface != nullptr) {
    BitBlt(target, 0, 0, screenSurface->width, screenSurface->height, screenSurface->dc, 0, 0,
           SRCCOPY);
  }
  EndPaint(window, &paint);
}

// Highlights are drawn straight into the window; nothing remembers which one
// shows, and leaving all three rectangles redraws the plain screen.
void UpdateHover(int32_t x, int32_t y) {
  if (busy == 1) return;
  const SkinButton button = ButtonUnder(x, y);
  switch (HoverDrawingFor(button, installed == 1)) {
    case HoverDrawing::kHighlight:
      if (const Surface* highlight = HighlightSurface(button)) highlight->BlitToWindow();
      break;
    case HoverDrawing::kComposedScreen: {
      std::lock_guard<std::mutex> lock(screenLock);
      screenSurface->BlitToWindow();
      break;
    }
    case HoverDrawing::kNothing:
      break;
  }
}

// A release decides alone; the first rectangle holding the point wins, even
// when its button is unavailable.
void HandleClick(int32_t x, int32_t y) {
  if (busy == 1) return;
  const SkinButton button = ButtonUnder(x, y);
  if (!IsButtonAvailable(button, installed == 1)) return;
  switch (button) {
    case SkinButton::kInstall:
      InstallCommand();
      break;
    case SkinButton::kUninstall:
      UninstallCommand();
      break;
    case SkinButton::kExit:
      SendMessageW(mainWindow, WM_DESTROY, 0, 0);
      break;
    case SkinButton::kNone:
      break;
  }
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      RunShutdownSequence();
      return 0;
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_KEYDOWN:
    case WM_RBUTTONUP:
      return 0;
    case WM_SYSKEYDOWN:
      // Consumed, so that the system never turns Alt+F4 into a close of its own.
      if (wParam == VK_F4 && busy != 1 && !ShutdownHasRun()) PostMessageW(window, WM_DESTROY, 0, 0);
      return 0;
    case WM_MOUSEMOVE:
      if (!ShutdownHasRun() && screenReady == 1) UpdateHover(MouseX(lParam), MouseY(lParam));
      return 0;
    case WM_LBUTTONDOWN:
      if (!ShutdownHasRun() && IsInTitleBar(MouseX(lParam), MouseY(lParam))) {
        SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
      }
      return 0;
    case WM_LBUTTONUP:
      if (!ShutdownHasRun() && screenReady == 1) HandleClick(MouseX(lParam), MouseY(lParam));
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
