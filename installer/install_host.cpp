#include "installer/install_host.h"

InstallHost installHost;

std::atomic<uint8_t> busy{0};
std::atomic<uint8_t> installed{0};
HANDLE copyThread = nullptr;
HANDLE progressThread = nullptr;
