#include "app/skin.h"

#include <cstring>

#include "app/app_state.h"
#include "app/record_path.h"
#include "app/window_proc.h"
#include "common/win32_guards.h"
#include "imaging/skin_layout.h"
#include "imaging/window_region.h"
#include "installer/setup_shell.h"

namespace {

// Null when the window was closed while a message about the picture was up:
// the shutdown sequence has then released the state, and set-up stops.
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

// An uninstall record in the Windows directory means the program is installed.
void ReadInstalledState() {
  char path[MAX_PATH];
  if (!BuildRecordPath(path)) {
    installed = 0;
    return;
  }
  FileHandle record(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!record) {
    installed = 0;
    return;
  }
  record.reset();
  installed = 1;
  recordStore = new SetupIni();
  std::strcpy(recordStore->path, path);
  recordStore->Load();  // whatever it holds is used as read
}

}  // namespace

void SetUpSkin() {
  busy = 0;
  copyThread = nullptr;
  progressThread = nullptr;

  setupShell = new SetupShell(mainWindow);
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
