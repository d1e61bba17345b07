#include "app/startup.h"

#include <cstdlib>
#include <cstring>

#include "app/app_state.h"
#include "common/messages.h"
#include "app/skin.h"
#include "app/shutdown.h"
#include "app/window_proc.h"
#include "common/message_box.h"
#include "imaging/skin_layout.h"

namespace {

bool RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSA windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = kWindowClassName;
  return RegisterClassA(&windowClass) != 0;
}

void ReleaseStartupObjects() {
  delete baseSurface;
  baseSurface = nullptr;
  delete setupStore;
  setupStore = nullptr;
}

int RunMessageLoop() {
  MSG message;
  for (;;) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!GetMessageA(&message, nullptr, 0, 0)) return static_cast<int>(message.wParam);
      TranslateMessage(&message);
      DispatchMessageA(&message);
    } else {
      WaitMessage();
    }
  }
}

}  // namespace

int CentredOrigin(int screen, int size) { return (screen - size) / 2; }

int RunSetup(HINSTANCE instance, HINSTANCE previousInstance, int showCommand) {
  screenReady = 0;

  // Setup.ini is looked for in the current directory, not beside the program.
  setupStore = new SetupIni();
  std::strcpy(setupStore->path, "Setup.ini");
  if (!setupStore->Load()) {
    delete setupStore;
    setupStore = nullptr;
    ShowMessage(nullptr, kMsgSetupIniBroken, kCaptionError, MB_OK);
    std::exit(0);
  }

  char title[MAX_PATH] = {};
  std::strncpy(title, setupStore->ValueOf("Caption"), sizeof title - 1);

  baseSurface = new Surface(nullptr, kBlankPictureWidth, kBlankPictureHeight);
  char baseName[MAX_PATH] = {};
  std::strcpy(baseName, SlotOf(SkinPicture::kBase).name);
  baseSurface->Load(baseName);

  RECT frame;
  SetRect(&frame, 0, 0, baseSurface->width, baseSurface->height);
  AdjustWindowRect(&frame, WS_POPUP, FALSE);
  const int windowWidth = frame.right - frame.left;
  const int windowHeight = frame.bottom - frame.top;

  if (previousInstance == nullptr && !RegisterWindowClass(instance)) {
    ReleaseStartupObjects();
    return 0;
  }

  HDC screen = GetDC(nullptr);
  const int screenWidth = GetDeviceCaps(screen, HORZRES);
  const int screenHeight = GetDeviceCaps(screen, VERTRES);
  ReleaseDC(nullptr, screen);

  mainWindow = CreateWindowExA(0, kWindowClassName, title, WS_POPUP,
                               CentredOrigin(screenWidth, baseSurface->width),
                               CentredOrigin(screenHeight, baseSurface->height), windowWidth,
                               windowHeight, nullptr, nullptr, instance, nullptr);
  if (mainWindow == nullptr) {
    // Without a window there is nothing to show or install: end quietly with
    // a failure code instead of running a message loop that nothing can end.
    ReleaseStartupObjects();
    return 1;
  }

  ShowWindow(mainWindow, showCommand);
  UpdateWindow(mainWindow);
  windowDC = GetDC(mainWindow);

  SetUpSkin();
  const int exitCode = RunMessageLoop();
  // Only now, with no window procedure, command or modal loop left on the
  // stack, is the application state released.
  ReleaseApplicationState();
  return exitCode;
}
