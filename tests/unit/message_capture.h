// Captures ShowMessage calls for a test's lifetime instead of showing boxes:
// the unit tests link message_capture.cpp's ShowMessage in place of the
// program's. Outside a capture boxes are answered IDOK and kept unread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct CapturedMessage {
  HWND owner;
  std::wstring text, caption;
  UINT type;
};

class MessageCapture {
 public:
  explicit MessageCapture(int answer = IDOK) { Messages().clear(), Answer() = answer; }
  ~MessageCapture() { Answer() = IDOK; }
  const std::vector<CapturedMessage>& messages() const { return Messages(); }
  void clear() { Messages().clear(); }

  static std::vector<CapturedMessage>& Messages() {
    static std::vector<CapturedMessage> all;
    return all;
  }
  static int& Answer() {
    static int answer = IDOK;
    return answer;
  }
};
