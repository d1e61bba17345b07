// The one caller of MessageBoxW, alone in its file so that the unit tests can
// link their stand-in instead.
#include "common/message_box.h"

int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
  return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}
