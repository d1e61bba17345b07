#include "common/message_box.h"

#include <atomic>

namespace {
std::atomic<MessageBoxHook> messageBoxHook{nullptr};
}

int ShowMessage(HWND owner, const char* text, const char* caption, UINT type) {
  if (MessageBoxHook hook = messageBoxHook.load()) return hook(owner, text, caption, type);
  return MessageBoxA(owner, text, caption, type);
}

void SetMessageBoxHook(MessageBoxHook hook) { messageBoxHook.store(hook); }
