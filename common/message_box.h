// Every message box of the program goes through ShowMessage. Texts are ANSI
// (Shift-JIS) bytes, as MessageBoxA takes. The unit tests link a stand-in of
// their own in its place (tests/unit/message_capture.cpp) that records the
// boxes instead of blocking on them.
#pragma once

#include <windows.h>

// Shows the box and returns the button pressed.
int ShowMessage(HWND owner, const char* text, const char* caption, UINT type);
