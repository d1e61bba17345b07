// The one caller of MessageBoxA, alone in its file so that the unit tests can
// link their stand-in instead.
#include "common/message_box.h"

int ShowMessage(HWND owner, const char* text, const char* caption, UINT type) {
  return MessageBoxA(owner, text, caption, type);
}
