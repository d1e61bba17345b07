#include "tests/unit/message_capture.h"

#include "common/message_box.h"

int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
  MessageCapture::Messages().push_back({owner, text, caption, type});
  return MessageCapture::Answer();
}
