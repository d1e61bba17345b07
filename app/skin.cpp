#include "app/skin.h"

#include "app/app_state.h"

void SetUpSkin() {
  busy = 0;
  copyThread = nullptr;
  progressThread = nullptr;

  baseSurface->window = mainWindow;
  baseSurface->BlitToWindow();

  screenSurface = new Surface(mainWindow, baseSurface->width, baseSurface->height);
  ComposeScreen();
  screenReady = 1;
}

void ComposeScreen() {
  screenSurface->CopyFrom(*baseSurface);
  screenSurface->BlitToWindow();
}
