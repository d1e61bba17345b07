// The message texts reach MessageBoxA as exact Shift-JIS bytes.
#include "app/messages.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::wstring FromCodePage932(const char* bytes) {
  wchar_t wide[1024] = {};
  int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, -1, wide, 1024);
  return n > 0 ? std::wstring(wide) : L"<invalid Shift-JIS>";
}

TEST(Messages, TextsAreTheJapaneseSentencesInShiftJis) {
  const std::pair<const char*, const wchar_t*> cases[] = {
      {kMsgSetupIniBroken,
       L"Setup.iniファイルが壊れているか、存在しないため、インストーラを起動できません。"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(FromCodePage932(bytes), text);
}

}  // namespace
