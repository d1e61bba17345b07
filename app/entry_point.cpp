// setup.exe's entry point (linked with -e SetupEntry). It runs before the C
// runtime starts and before any static constructor, while only the DLLs the
// program cannot start without are loaded (kernel32, user32, gdi32, msvcrt and
// what the system loads for them), and confines every later DLL load to the
// system folder; then it hands over to the runtime's own entry, which calls
// WinMain. setup.exe runs elevated from a folder any user can write: a DLL
// planted there, in the current directory or on PATH must never be loaded.
// shell32, ole32 and the rest are delay-loaded (cmake/delay_load), so they
// are loaded only after this, from the system folder.
//
// Nothing here may use the C runtime, and this file is built without the stack
// protector: its guard value is set up by the runtime later.
#include <windows.h>

#include "common/messages.h"

extern "C" int WinMainCRTStartup();  // the mingw-w64 runtime's entry for a GUI program

namespace {

// Functions that older systems lack are looked up: the program still starts there.
template <typename Function>
Function Kernel32Function(const char* name) {
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
  // Through void (*)(), which converts to any function type without a warning.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// False when the system cannot confine the search: without
// SetDefaultDllDirectories (Windows 7 before KB2533623) the classic order
// always searches the program's folder first, and nothing else here changes that.
bool ConfineDllSearch() {
  // Windows 8 and later (Windows 7 with KB2533623): LoadLibrary by bare name,
  // the delay-load helper, and the imports of every DLL loaded from now on
  // search system32 only.
  auto setDefault = Kernel32Function<BOOL(WINAPI*)(DWORD)>("SetDefaultDllDirectories");
  if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return false;
  // Further layers for the classic search order, should anything use it: the
  // current directory leaves it, and SearchPath looks there last.
  SetDllDirectoryW(L"");
  SetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
  // Loaded now, from system32, and kept: a later request by bare name then
  // finds them loaded, whoever makes it. Wine resolves its own DLLs' delay-loaded
  // imports through the classic search order, program folder first, whatever
  // the call above said: its imm32 calls into ole32 when the first window
  // appears, its comctl32 into uxtheme and msimg32 when the folder chooser opens.
  static const wchar_t* const kPinned[] = {L"ole32.dll", L"uxtheme.dll", L"msimg32.dll"};
  for (const wchar_t* name : kPinned) {
    LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  return true;
}

// Says why the program will not run, with user32 and kernel32 alone (no C
// runtime yet), and ends it.
[[noreturn]] void RefuseToRun() {
  wchar_t text[256] = {};
  MultiByteToWideChar(932, 0, kMsgDllSearchUnsafe, -1, text, 256);
  MessageBoxW(nullptr, text, L"Error", MB_OK);
  ExitProcess(1);
}

void EnforceRedirectionTrust() {
  // Windows 11 and Windows 10 22H2 and later: file-system redirections (junctions,
  // mount points) that a standard user made are not followed by this process.
  // Elsewhere the call is missing or fails, and the program goes on without it.
  using SetPolicy = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
  if (auto setPolicy = Kernel32Function<SetPolicy>("SetProcessMitigationPolicy")) {
    PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy;
    policy.Flags = 0;
    policy.EnforceRedirectionTrust = 1;
    setPolicy(ProcessRedirectionTrustPolicy, &policy, sizeof policy);
  }
}

}  // namespace

extern "C" int SetupEntry() {
  if (!ConfineDllSearch()) RefuseToRun();
  EnforceRedirectionTrust();
  return WinMainCRTStartup();
}
