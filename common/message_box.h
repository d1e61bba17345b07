// Every message box of the program goes through ShowMessage, as UTF-16 text
// and MessageBoxW. The built-in texts are Shift-JIS bytes (common/messages.h)
// and are converted from code page 932 here, whatever the system's code page.
// The unit tests link a stand-in of their own in place of the wide form
// (tests/unit/message_capture.cpp) that records the boxes instead of
// blocking on them.
#pragma once

#include <windows.h>

#include <string>

#include "common/text_encoding.h"

// Shows the box and returns the button pressed.
int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);

// A built-in text and caption, in Shift-JIS.
inline int ShowMessage(HWND owner, const char* text, const char* caption, UINT type) {
  return ShowMessage(owner, WideFromShiftJis(text), WideFromShiftJis(caption), type);
}
