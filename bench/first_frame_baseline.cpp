// The first-frame benchmark's baseline: the least a program must do to show
// the same first frame as setup.exe. It reads the button places from
// Setup.ini, loads the base and the three button pictures with setup.exe's
// own loader, opens a popup window of the base's size centred on the screen
// and draws the pictures once. No window shape, no highlights, no installer.
#include <windows.h>

#include <cstring>

#include "app/setup_ini.h"
#include "imaging/skin_layout.h"
#include "imaging/surface.h"

namespace {

Surface* pictures[4] = {};  // base, Install, Uninstall, Exit

LRESULT CALLBACK BaselineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC target = BeginPaint(window, &paint);
      for (const Surface* picture : pictures) {
        BitBlt(target, picture->left, picture->top, picture->width, picture->height, picture->dc, 0, 0, SRCCOPY);
      }
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  SetupIni store;
  store.path = L"Setup.ini";
  store.Load();
  const SkinPicture drawn[4] = {SkinPicture::kBase, SkinPicture::kInstall, SkinPicture::kUninstall,
                                SkinPicture::kExit};
  for (int i = 0; i < 4; ++i) {
    const SkinPictureSlot& slot = SlotOf(drawn[i]);
    pictures[i] = new Surface(nullptr, kBlankPictureWidth, kBlankPictureHeight);
    char name[MAX_PATH] = {};
    std::strcpy(name, slot.name);
    pictures[i]->Load(name);
    if (slot.xKey) {
      pictures[i]->left = store.NumberOf(slot.xKey);
      pictures[i]->top = store.NumberOf(slot.yKey);
    }
  }

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = BaselineProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = "FirstFrameBaseline";
  RegisterClassA(&windowClass);
  const int width = pictures[0]->width, height = pictures[0]->height;
  HWND window = CreateWindowExA(0, windowClass.lpszClassName, "baseline", WS_POPUP,
                                (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr,
                                instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, showCommand);
  UpdateWindow(window);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  for (Surface* picture : pictures) delete picture;
  return 0;
}
