#include "app/startup.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/memory_byte_source.h"
#include "common/skin_archive.h"
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

// The program's own file, for its archive.
std::wstring OwnPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return L"";
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// A packed setup.exe carries its skin and payload: found, and its hash
// checked, before anything else is read. False when it is damaged.
bool FindPackedSkin() {
  static SkinArchive archive;  // held for the whole run
  switch (archive.Open(OwnPath())) {
    case SkinArchive::Found::kNone:
      return true;
    case SkinArchive::Found::kArchive:
      SetPackedSkin(&archive);
      return true;
    case SkinArchive::Found::kDamaged:
      break;
  }
  return false;
}

// Setup.ini from the current directory, or from the archive of a packed setup.exe.
bool LoadSetupIni(SetupIni& store) {
  const SkinArchive* archive = PackedSkin();
  if (!archive) {
    store.path = L"Setup.ini";
    return store.Load();
  }
  constexpr uint64_t kLargestSetupIni = 64 << 20;
  const SkinArchive::Entry* entry = archive->Find(L"Setup.ini");
  std::vector<uint8_t> bytes;
  if (!entry || !archive->ReadWhole(*entry, kLargestSetupIni, bytes)) return false;
  MemoryByteSource source(bytes.data(), bytes.size());
  return store.LoadFrom(source);
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

  if (!FindPackedSkin()) {
    // Nothing of a damaged archive is used, and nothing is made.
    ShowMessage(nullptr, kMsgPackageDamaged, kCaptionError, MB_OK);
    return 1;
  }
  // Setup.ini is looked for in the current directory, not beside the program.
  setupStore = new SetupIni();
  if (!LoadSetupIni(*setupStore)) {
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
