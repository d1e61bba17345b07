// Captures ShowMessage calls for a test's lifetime instead of showing boxes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/message_box.h"

struct CapturedMessage {
  HWND owner;
  std::string text, caption;
  UINT type;
};

class MessageCapture {
 public:
  explicit MessageCapture(int answer = IDOK) {
    Messages().clear();
    Answer() = answer;
    SetMessageBoxHook(&Record);
  }
  ~MessageCapture() { SetMessageBoxHook(nullptr); }
  const std::vector<CapturedMessage>& messages() const { return Messages(); }
  void clear() { Messages().clear(); }

 private:
  static std::vector<CapturedMessage>& Messages() {
    static std::vector<CapturedMessage> all;
    return all;
  }
  static int& Answer() {
    static int answer = IDOK;
    return answer;
  }
  static int Record(HWND owner, const char* text, const char* caption, UINT type) {
    Messages().push_back({owner, text, caption, type});
    return Answer();
  }
};
