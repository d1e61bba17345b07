#include "tests/unit/message_capture.h"

#include "common/message_box.h"

namespace {

std::vector<CapturedMessage>& Messages() {
  static std::vector<CapturedMessage> all;
  return all;
}
int answer = IDOK;

}  // namespace

int ShowMessage(HWND owner, const char* text, const char* caption, UINT type) {
  Messages().push_back({owner, text, caption, type});
  return answer;
}

MessageCapture::MessageCapture(int answerGiven) {
  Messages().clear();
  answer = answerGiven;
}
MessageCapture::~MessageCapture() { answer = IDOK; }
const std::vector<CapturedMessage>& MessageCapture::messages() const { return Messages(); }
void MessageCapture::clear() { Messages().clear(); }
