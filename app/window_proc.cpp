#include "app/window_proc.h"

#include "app/app_state.h"

namespace {

bool shutDown = false;  // main thread only

template <typename T>
void Release(T*& object) {
  delete object;
  object = nullptr;
}

// Before the first screen is composed (and after shutdown) nothing is drawn,
// but the update region is still validated: an unvalidated window would be
// sent WM_PAINT again and again.
void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC target = BeginPaint(window, &paint);
  if (screenReady == 1 && screenSurface != nullptr) {
    BitBlt(target, 0, 0, screenSurface->width, screenSurface->height, screenSurface->dc, 0, 0,
           SRCCOPY);
  }
  EndPaint(window, &paint);
}

}  // namespace

void RunShutdownSequence() {
  if (shutDown) return;
  shutDown = true;
  screenReady = 0;  // nothing paints from released Surfaces any more

  if (copyThread) WaitForSingleObject(copyThread, INFINITE);
  if (progressThread) WaitForSingleObject(progressThread, INFINITE);

  if (installed == 1 && recordStore) Release(recordStore);
  Release(progressBar);
  Release(exitHover);
  Release(exitButton);
  Release(uninstallHover);
  Release(uninstallButton);
  Release(installHover);
  Release(installButton);
  Release(baseSurface);
  Release(screenSurface);
  Release(setupStore);
  PostQuitMessage(0);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      RunShutdownSequence();
      return 0;
    case WM_PAINT:
      Paint(window);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
