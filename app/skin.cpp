#include "app/skin.h"

#include <cstring>
#include <mutex>

#include "app/app_state.h"
#include "app/shutdown.h"
#include "common/win32_guards.h"
#include "imaging/skin_layout.h"
#include "imaging/window_region.h"
#include "installer/install_host.h"
#include "installer/record_path.h"
#include "installer/setup_shell.h"
#include "installer/uninstall_record.h"

namespace {

// Null when the window was closed while a message about the picture was up:
// the program is then shutting down, and set-up stops.
Surface* LoadPicture(const char* name) {
  auto* surface = new Surface(mainWindow, kBlankPictureWidth, kBlankPictureHeight);
  char buffer[MAX_PATH] = {};
  std::strncpy(buffer, name, sizeof buffer - 1);
  surface->Load(buffer);
  if (ShutdownHasRun()) {
    delete surface;
    return nullptr;
  }
  return surface;
}

// The application state's pointer that holds each picture of the layout.
Surface*& SurfaceOf(SkinPicture picture) {
  switch (picture) {
    case SkinPicture::kInstall: return installButton;
    case SkinPicture::kUninstall: return uninstallButton;
    case SkinPicture::kExit: return exitButton;
    case SkinPicture::kInstallHover: return installHover;
    case SkinPicture::kUninstallHover: return uninstallHover;
    case SkinPicture::kExitHover: return exitHover;
    case SkinPicture::kProgressBar: return progressBar;
    case SkinPicture::kBase: break;
  }
  return baseSurface;
}

void Place(Surface* surface, const SkinPictureSlot& slot) {
  surface->left = setupStore->NumberOf(slot.xKey);
  surface->top = setupStore->NumberOf(slot.yKey);
}

// An uninstall record in the Windows directory means the program is
// installed; a file there that does not read as one is no record of this
// program's, and is left alone.
void ReadInstalledState() {
  std::wstring path;
  installed = 0;
  if (!BuildRecordPath(setupStore->TextOf("UninstallIni"), path) ||
      InspectRecordFile(path) != RecordFile::kRecord) {
    return;
  }
  installed = 1;
  recordStore = new SetupIni();
  recordStore->path = path;
  recordStore->Load();  // whatever it holds is used as read
}

// ----- What the install and uninstall reach of the application -------------

// Under Wine, drawing that a thread without a message loop does reaches the
// screen only when some thread of the process next looks at its queue; an
// install worker that draws does so itself. On Windows the call returns at
// once with nothing. The window's own thread is left alone: looking at its
// queue there could run a sent message in the middle of a command.
void FlushDrawingUnderWine() {
  if (GetWindowThreadProcessId(mainWindow, nullptr) == GetCurrentThreadId()) return;
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
}

// Draws the left `width` pixels of the progress bar straight onto the window.
void DrawBar(int32_t width) {
  BitBlt(windowDC, progressBar->left, progressBar->top, width, progressBar->height,
         progressBar->dc, 0, 0, SRCCOPY);
  FlushDrawingUnderWine();
}

void ShowBareBase() {
  {
    std::lock_guard<std::mutex> lock(screenLock);
    screenSurface->CopyFrom(*baseSurface);
    screenSurface->BlitToWindow();
  }
  FlushDrawingUnderWine();
}

void ComposeAndShowScreen() {
  ComposeScreen();
  FlushDrawingUnderWine();
}

void ReloadRecord() {
  auto* store = new SetupIni();
  BuildRecordPath(setupStore->TextOf("UninstallIni"), store->path);
  store->Load();
  SetupIni* old = recordStore;
  recordStore = store;
  delete old;  // nobody reads it while the install is busy
}

void ConnectInstaller() {
  installHost.window = mainWindow;
  installHost.shell = setupShell;
  installHost.setting = [](const char* key) { return setupStore->ValueOf(key); };
  installHost.settingText = [](const char* key) { return setupStore->TextOf(key); };
  installHost.numberSetting = [](const char* key) { return setupStore->NumberOf(key); };
  installHost.settingsEncoding = [] { return setupStore->encoding; };
  installHost.recorded = [](const char* key, std::wstring& text) {
    if (!recordStore || recordStore->IndexOf(key) < 0) return false;
    text = recordStore->TextOf(key);
    return true;
  };
  installHost.reloadRecord = ReloadRecord;
  installHost.barWidth = [] { return progressBar->width; };
  installHost.drawBar = DrawBar;
  installHost.showBareBase = ShowBareBase;
  installHost.composeScreen = ComposeAndShowScreen;
  installHost.shutdownHasRun = ShutdownHasRun;
}

}  // namespace

void SetUpSkin() {
  busy = 0;
  copyThread = nullptr;
  progressThread = nullptr;

  setupShell = new SetupShell(mainWindow);
  ConnectInstaller();
  ReadInstalledState();

  // The base picture is its own mask: its pure-black pixels are cut away.
  baseSurface->window = mainWindow;
  RegionHandle shape(RegionFromDC(baseSurface->dc));
  if (shape && SetWindowRgn(mainWindow, shape.get(), TRUE)) shape.release();  // the system owns it now
  baseSurface->BlitToWindow();

  titleBar.left = setupStore->NumberOf("TitleBarX");
  titleBar.top = setupStore->NumberOf("TitleBarY");
  titleBar.right = SpanEnd(titleBar.left, setupStore->NumberOf("TitleBarWidth"));
  titleBar.bottom = SpanEnd(titleBar.top, setupStore->NumberOf("TitleBarHeight"));

  // Every picture but the base, in the layout's order (loaded, then placed).
  for (int i = 1; i < kSkinPictureCount; ++i) {
    Surface*& surface = SurfaceOf(kSkinPictures[i].picture);
    surface = LoadPicture(kSkinPictures[i].name);
    if (!surface) return;
  }
  for (int i = 1; i < kSkinPictureCount; ++i) Place(SurfaceOf(kSkinPictures[i].picture), kSkinPictures[i]);

  screenSurface = new Surface(mainWindow, baseSurface->width, baseSurface->height);
  ComposeScreen();
  screenReady = 1;
}

void ComposeScreen() {
  std::lock_guard<std::mutex> lock(screenLock);
  screenSurface->CopyFrom(*baseSurface);
  for (SkinPicture button : kComposedButtons) screenSurface->Overlay(*SurfaceOf(button));
  screenSurface->BlitToWindow();
}
