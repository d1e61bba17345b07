// marker.dll: the stand-in for a planted DLL in the DLL-search test. The test
// copies it under another DLL's name; whichever process loads it leaves an
// empty file "<its own name>.<the process's exe name>" in the folder that
// SETUP_MARKER_DIR names. It imports only kernel32 and needs no C runtime.
#include <windows.h>

static const wchar_t* BaseName(const wchar_t* path) {
  const wchar_t* base = path;
  for (const wchar_t* c = path; *c; ++c) {
    if (*c == L'\\' || *c == L'/') base = c + 1;
  }
  return base;
}

BOOL WINAPI MarkerEntry(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t folder[MAX_PATH], dll[MAX_PATH], exe[MAX_PATH], marker[3 * MAX_PATH];
  DWORD length = GetEnvironmentVariableW(L"SETUP_MARKER_DIR", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  if (!GetModuleFileNameW(self, dll, MAX_PATH) || !GetModuleFileNameW(NULL, exe, MAX_PATH)) {
    return TRUE;
  }
  lstrcpyW(marker, folder);
  lstrcatW(marker, L"\\");
  lstrcatW(marker, BaseName(dll));
  lstrcatW(marker, L".");
  lstrcatW(marker, BaseName(exe));
  HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            NULL);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return TRUE;
}
