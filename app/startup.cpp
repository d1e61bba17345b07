#include "app/startup.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "common/messages.h"
#include "app/skin.h"
#include "app/shutdown.h"
#include "app/window_proc.h"
#include "common/message_box.h"
#include "imaging/skin_layout.h"

namespace {

bool RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSW windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = kWindowClassName;
  return RegisterClassW(&windowClass) != 0;
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
    if (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!GetMessageW(&message, nullptr, 0, 0)) return static_cast<int>(message.wParam);
      TranslateMessage(&message);
      DispatchMessageW(&message);
    } else {
      WaitMessage();
    }
  }
}

int CentredOrigin(int screen, int size) { return (screen - size) / 2; }

// The screen's size in pixels, from a device context of the whole screen.
SIZE ScreenSize() {
  HDC screen = GetDC(nullptr);
  const SIZE size = {GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES)};
  ReleaseDC(nullptr, screen);
  return size;
}

// The work area of the monitor that a centred window would open on; the
// primary monitor's from the system settings when the monitor cannot be asked,
// or nothing (an empty rectangle) when neither answers.
RECT WorkAreaForCentredWindow(SIZE screen, SIZE window) {
  const int left = CentredOrigin(screen.cx, window.cx);
  const int top = CentredOrigin(screen.cy, window.cy);
  const RECT centred = {left, top, left + window.cx, top + window.cy};
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  HMONITOR handle = MonitorFromRect(&centred, MONITOR_DEFAULTTOPRIMARY);
  if (handle != nullptr && GetMonitorInfoW(handle, &monitor)) return monitor.rcWork;
  RECT workArea = {};
  if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0)) return workArea;
  return RECT{};
}

}  // namespace

POINT WindowOrigin(SIZE screen, const RECT& workArea, SIZE window) {
  RECT area = workArea;
  if (area.right <= area.left || area.bottom <= area.top) area = RECT{0, 0, screen.cx, screen.cy};
  const bool fits = window.cx <= area.right - area.left && window.cy <= area.bottom - area.top;
  if (!fits) return POINT{area.left, area.top};
  return POINT{CentredOrigin(screen.cx, window.cx), CentredOrigin(screen.cy, window.cy)};
}

int RunSetup(HINSTANCE instance, int showCommand) {
  screenReady = 0;

  // Setup.ini is looked for in the current directory, not beside the program.
  setupStore = new SetupIni();
  setupStore->path = L"Setup.ini";
  if (!setupStore->Load()) {
    delete setupStore;
    setupStore = nullptr;
    ShowMessage(nullptr, kMsgSetupIniBroken, kCaptionError, MB_OK);
    std::exit(0);
  }

  const std::wstring title = setupStore->TextOf("Caption");

  baseSurface = new Surface(nullptr, kBlankPictureWidth, kBlankPictureHeight);
  char baseName[MAX_PATH] = {};
  std::strcpy(baseName, SlotOf(SkinPicture::kBase).name);
  if (!baseSurface->Load(baseName)) {
    // A new plane is pure black, which the window's shape would cut out
    // entirely: an invisible window. Grey keeps it on the screen, where Exit
    // and Alt+F4 can end it.
    baseSurface->Fill(kUnloadedBaseGrey, kUnloadedBaseGrey, kUnloadedBaseGrey);
  }

  RECT frame;
  SetRect(&frame, 0, 0, baseSurface->width, baseSurface->height);
  AdjustWindowRect(&frame, WS_POPUP, FALSE);
  const int windowWidth = frame.right - frame.left;
  const int windowHeight = frame.bottom - frame.top;

  if (!RegisterWindowClass(instance)) {
    ReleaseStartupObjects();
    return 0;
  }

  const SIZE screen = ScreenSize();
  const SIZE window = {windowWidth, windowHeight};
  const POINT origin = WindowOrigin(screen, WorkAreaForCentredWindow(screen, window), window);
  mainWindow = CreateWindowExW(0, kWindowClassName, title.c_str(), WS_POPUP, origin.x, origin.y, windowWidth,
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
