// Every message box of the program goes through ShowMessage, so that unit
// tests can capture what would be shown (SetMessageBoxHook) instead of
// blocking on a dialog. Texts are ANSI (Shift-JIS) bytes, as MessageBoxA takes.
#pragma once

#include <windows.h>

using MessageBoxHook = int (*)(HWND owner, const char* text, const char* caption, UINT type);

// Shows the box (or hands it to the hook) and returns the button pressed.
int ShowMessage(HWND owner, const char* text, const char* caption, UINT type);

// Routes every later ShowMessage to hook; nullptr restores MessageBoxA.
void SetMessageBoxHook(MessageBoxHook hook);
