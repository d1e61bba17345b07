// The Setup.ini store under the sanitizers: its key reading rules, its
// limits, and the promises that the fuzz target checks, on known texts.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/memory_byte_source.h"
#include "app/setup_ini.h"
#include "contract_checks.h"

namespace {

std::string Promises(const std::string& text) {
  return CheckSetupIniInput(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

struct Entry {
  const char* key;
  std::string value;
};

struct Case {
  std::string text;
  bool ok;
  std::vector<Entry> entries;
};

TEST(HostSetupIni, ReadingRules) {
  const Case cases[] = {
      {"A=1\r\nB=2\r\n", true, {{"A", "1"}, {"B", "2"}}},
      {"A=1\nB=2", true, {{"A", "1"}, {"B", "2"}}},
      {"A=1\rB=2\r", true, {{"A", "1"}, {"B", "2"}}},
      {"", true, {{"Caption", ""}}},
      {"; note=1\nA=1\n;B=2", true, {{"A", "1"}, {"B", ""}, {"; note", ""}}},
      {"A=1 ; two\n", true, {{"A", "1 ; two"}}},
      {"A=1\n[Setup]\nB=2\n", false, {{"A", "1"}, {"B", ""}}},
      {"A=1\nKey", false, {{"A", "1"}}},
      {"=a=b\n", true, {{"=a", "b"}}},
      {" A = 1 \n", true, {{" A ", " 1 "}, {"A", ""}}},
      {"A=1\nA=2\n", true, {{"A", "1"}}},
      {"A=\x83\r\nB=2", false, {{"A", ""}, {"B", ""}}},  // 83 0D is no code page 932 character
      {"\x81=K=v\n", false, {{"\x81=K", ""}}},
      {"A=x\x83", false, {{"A", ""}}},
      {"\x83L=\x83X\x83g\r\nA=x\x83", false, {{"\x83L", "\x83X\x83g"}, {"A", ""}}},
      {"A=1\n\x83", false, {{"A", "1"}}},
      {"Caption=\x83" "e\x83X\x83g\r\nTitleBarX= 5\r\n", true,
       {{"Caption", "\x83" "e\x83X\x83g"}, {"TitleBarX", " 5"}}},
      {"\xEF\xBB\xBF" "Caption=\xE3\x81\xBB=\r\n\xE3\x81\xBB=v", true, {{"Caption", "\xE3\x81\xBB="}, {"\xE3\x81\xBB", "v"}}},
      {"\xEF\xBB\xBF" "A=\xE3\nB=2\n", false, {{"A", ""}}},  // a byte order mark, and no UTF-8 after it
  };
  for (const Case& c : cases) {
    auto store = std::make_unique<SetupIni>();
    MemoryByteSource source(c.text);
    EXPECT_EQ(store->LoadFrom(source), c.ok) << c.text;
    for (const Entry& e : c.entries) EXPECT_EQ(store->ValueOf(e.key), e.value) << c.text;
    EXPECT_EQ(Promises(c.text), "");
  }
}

TEST(HostSetupIni, CapacityAndSlotSize) {
  std::string many;
  for (int i = 0; i < 300; ++i) many += "K" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  auto store = std::make_unique<SetupIni>();
  MemoryByteSource source(many);
  EXPECT_TRUE(store->LoadFrom(source));
  EXPECT_EQ(store->count, SetupIni::kSlots);
  EXPECT_STREQ(store->ValueOf("K259"), "259");
  EXPECT_EQ(store->IndexOf("K260"), -1);

  const std::string texts[] = {
      many,
      many + "[broken]\n",
      many + "Last=no break",
      std::string(300, 'k') + "=1\nA=" + std::string(300, 'v') + "\nB=2\n",
      "A=" + std::string(258, 'a') + "\x82\xA0" + "b\nB=2\n",  // a character across the end
      "A=" + std::string(257, 'a') + "\x82\xA0" + "b\n",        // one that just fits
      std::string(259, 'k') + "\x82=v\n",
      std::string("A=1\n\0=zero\nB=\0x\n", 17),
  };
  for (const std::string& text : texts) EXPECT_EQ(Promises(text), "");
}

TEST(HostSetupIni, NumbersReadAsAtoiDoesWithoutOverflow) {
  const std::pair<const char*, int> cases[] = {
      {"12", 12},       {"\t\r\n 5", 5}, {"+7", 7},       {"-3", -3},
      {"12abc", 12},    {"abc", 0},      {"", 0},         {"- 5", 0},
      {"0x10", 0},      {"99999999999", INT_MAX},         {"-99999999999", INT_MIN},
      {"2147483648", INT_MAX},           {"-2147483648", INT_MIN},
      {"-2147483649", INT_MIN},          {"99999999999999999999999999", INT_MAX},
  };
  for (const auto& [text, number] : cases) EXPECT_EQ(DecimalValue(text), number) << text;
}

}  // namespace
