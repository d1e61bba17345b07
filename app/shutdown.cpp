#include "app/shutdown.h"

#include <windows.h>

#include <atomic>
#include <cwchar>

#include "app/app_state.h"
#include "installer/install_flow.h"
#include "installer/setup_shell.h"

namespace {

std::atomic<bool> shutDown{false};
std::atomic<bool> released{false};

template <typename T>
void Release(T*& object) {
  delete object;
  object = nullptr;
}

// Ends a message box that a worker shows: "No" where it asks, "OK" otherwise.
BOOL CALLBACK AnswerWorkerBox(HWND window, LPARAM) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (std::wcscmp(className, L"#32770") == 0) {
    const int button = GetDlgItem(window, IDNO) ? IDNO : IDOK;
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  }
  return TRUE;
}

// Waits for a worker while still taking the messages other threads send to
// this one (a worker's message box sends to its owner window).
void WaitForWorker(HANDLE thread) {
  const DWORD threadId = GetThreadId(thread);
  for (;;) {
    const DWORD result = MsgWaitForMultipleObjects(1, &thread, FALSE, 50, QS_SENDMESSAGE);
    if (result == WAIT_OBJECT_0 || result == WAIT_FAILED) return;
    if (result == WAIT_OBJECT_0 + 1) {
      MSG message;
      PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      continue;
    }
    EnumThreadWindows(threadId, AnswerWorkerBox, 0);
  }
}

}  // namespace

bool ShutdownHasRun() { return shutDown.load(); }

void RunShutdownSequence() {
  if (shutDown.exchange(true)) return;
  screenReady = 0;  // nothing paints from the Surfaces any more

  RequestInstallStop();
  if (copyThread) WaitForWorker(copyThread);
  if (progressThread) WaitForWorker(progressThread);
  CloseWorkerHandles();
  PostQuitMessage(0);
}

void ReleaseApplicationState() {
  if (released.exchange(true)) return;
  RunShutdownSequence();
  Release(recordStore);
  Release(progressBar);
  Release(exitHover);
  Release(exitButton);
  Release(uninstallHover);
  Release(uninstallButton);
  Release(installHover);
  Release(installButton);
  Release(baseSurface);
  Release(screenSurface);
  Release(setupStore);
  Release(setupShell);
  installHost = InstallHost{};
}
