#include "app/skin.h"

#include <cstring>

#include "app/app_state.h"
#include "app/record_path.h"
#include "app/window_proc.h"
#include "common/win32_guards.h"
#include "imaging/window_region.h"
#include "installer/setup_shell.h"

namespace {

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;

// Null when the window was closed while a message about the picture was up:
// the shutdown sequence has then released the state, and set-up stops.
Surface* LoadPicture(const char* name) {
  auto* surface = new Surface(mainWindow, kDefaultWidth, kDefaultHeight);
  char buffer[MAX_PATH] = {};
  std::strncpy(buffer, name, sizeof buffer - 1);
  surface->Load(buffer);
  if (ShutdownHasRun()) {
    delete surface;
    return nullptr;
  }
  return surface;
}

void Place(Surface* surface, const char* xKey, const char* yKey) {
  surface->left = setupStore->NumberOf(xKey);
  surface->top = setupStore->NumberOf(yKey);
}

// An uninstall record in the Windows directory means the program is installed.
void ReadInstalledState() {
  char path[MAX_PATH];
  BuildRecordPath(path);
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
  titleBar.right = titleBar.left + setupStore->NumberOf("TitleBarWidth");
  titleBar.bottom = titleBar.top + setupStore->NumberOf("TitleBarHeight");

  struct Slot {
    Surface*& surface;
    const char* name;
  };
  const Slot pictures[] = {
      {installButton, "ui\\Install"},     {uninstallButton, "ui\\Uninstall"},
      {exitButton, "ui\\Exit"},           {installHover, "ui\\Install_h"},
      {uninstallHover, "ui\\Uninstall_h"}, {exitHover, "ui\\Exit_h"},
      {progressBar, "ui\\ProgressBar"},
  };
  for (const Slot& slot : pictures) {
    slot.surface = LoadPicture(slot.name);
    if (!slot.surface) return;
  }

  Place(installButton, "InstallButtonX", "InstallButtonY");
  Place(uninstallButton, "UninstallButtonX", "UninstallButtonY");
  Place(exitButton, "ExitButtonX", "ExitButtonY");
  Place(installHover, "InstallButtonX", "InstallButtonY");
  Place(uninstallHover, "UninstallButtonX", "UninstallButtonY");
  Place(exitHover, "ExitButtonX", "ExitButtonY");
  Place(progressBar, "ProgressBarX", "ProgressBarY");

  screenSurface = new Surface(mainWindow, baseSurface->width, baseSurface->height);
  ComposeScreen();
  screenReady = 1;
}

void ComposeScreen() {
  std::lock_guard<std::mutex> lock(screenLock);
  screenSurface->CopyFrom(*baseSurface);
  screenSurface->Overlay(*installButton);
  screenSurface->Overlay(*uninstallButton);
  screenSurface->Overlay(*exitButton);
  screenSurface->BlitToWindow();
}
