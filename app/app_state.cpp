#include "app/app_state.h"

SetupIni* setupStore = nullptr;
SetupIni* recordStore = nullptr;
HWND mainWindow = nullptr;
HDC windowDC = nullptr;
Surface* baseSurface = nullptr;
Surface* screenSurface = nullptr;
Surface* installButton = nullptr;
Surface* uninstallButton = nullptr;
Surface* exitButton = nullptr;
Surface* installHover = nullptr;
Surface* uninstallHover = nullptr;
Surface* exitHover = nullptr;
Surface* progressBar = nullptr;
SetupShell* setupShell = nullptr;
TitleBar titleBar = {0, 0, 0, 0};

std::atomic<uint8_t> screenReady{0};

std::mutex screenLock;

const wchar_t kWindowClassName[] = L"Develop by Vantorel.";
