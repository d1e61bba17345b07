// SetupIni: the reading rules of Setup.ini and of the uninstall record.
#include "app/memory_byte_source.h"
#include "app/setup_ini.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Loaded {
  bool ok;
  std::unique_ptr<SetupIni> store;
  std::string operator[](const char* key) const { return store->ValueOf(key); }
};

// Hears what skintool check hears while the store fills, up to a failing line.
struct Heard : SetupIniReport {
  int kept = 0;
  bool broken = false;
  void Entry(int, int slot, const char*, bool, const char*, bool) override {
    if (slot < 0 || broken) return;
    EXPECT_EQ(slot, kept++);
  }
  void LineWithoutEquals(int, bool) override { broken = true; }
  void LineBreakTaken(int) override {}
  void EntryNotText(int, const char*, const char*) override { broken = true; }
};

// Loads text, and checks on the way that a load with a report gives the same
// result, hears every entry the store holds and fills the slots alike.
Loaded LoadText(const std::string& text) {
  auto store = std::make_unique<SetupIni>(), reported = std::make_unique<SetupIni>();
  MemoryByteSource source(text), again(text);
  bool ok = store->LoadFrom(source);
  Heard heard;
  EXPECT_EQ(reported->LoadFrom(again, &heard), ok);
  for (int i = 0; i < heard.kept; ++i) {
    EXPECT_STREQ(reported->keys[i], store->keys[i]);
    EXPECT_STREQ(reported->values[i], store->values[i]);
  }
  // Every key holds at least its first byte: the filled slots are the non-empty keys.
  EXPECT_TRUE(!ok || heard.kept == SetupIni::kSlots || store->keys[heard.kept][0] == '\0') << heard.kept;
  return {ok, std::move(store)};
}

struct Entry {
  const char* key;
  std::string value;
  const wchar_t* text = nullptr;  // what TextOf gives, when given
};

struct Case {
  const char* name;
  std::string file;
  bool ok;
  std::vector<Entry> entries;
  TextEncoding encoding = TextEncoding::kShiftJis;
};

constexpr auto kUtf8 = TextEncoding::kUtf8;
const std::string kBom = "\xEF\xBB\xBF";
// "ほしぞらソフト" in code page 932.
const std::string kHoshizoraShiftJis = "\x82\xD9\x82\xB5\x82\xBC\x82\xE7\x83\x5C\x83\x74\x83\x67";

class ReadingRules : public testing::TestWithParam<Case> {};

TEST_P(ReadingRules, GivesTheEntries) {
  const Case& c = GetParam();
  Loaded loaded = LoadText(c.file);
  EXPECT_EQ(loaded.ok, c.ok);
  EXPECT_EQ(loaded.store->encoding, c.encoding);
  for (const Entry& e : c.entries) {
    EXPECT_EQ(loaded[e.key], e.value) << "key " << e.key;
    if (e.text) {
      EXPECT_EQ(loaded.store->TextOf(e.key), e.text) << "key " << e.key;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    SetupIni, ReadingRules,
    testing::Values(
        Case{"CrLf", "A=1\r\nB=2\r\n", true, {{"A", "1"}, {"B", "2"}}},
        Case{"LfOnly", "A=1\nB=2\n", true, {{"A", "1"}, {"B", "2"}}},
        Case{"CrOnly", "A=1\rB=2\r", true, {{"A", "1"}, {"B", "2"}}},
        Case{"BlankLinesBetween", "\r\n\r\nA=1\n\n\rB=2", true, {{"A", "1"}, {"B", "2"}}},
        Case{"EmptyFile", "", true, {{"Caption", ""}, {"A", ""}}},
        Case{"LastLineWithoutBreak", "A=1\nB=last", true, {{"B", "last"}}},
        Case{"CommentLines", "; note=1\nA=1\n;B=2\n", true, {{"A", "1"}, {"B", ""}, {"; note", ""}}},
        Case{"EndOfFileInsideComment", "A=1\n; no break", true, {{"A", "1"}}},
        Case{"CommentAfterValueIsValue", "A=1 ; two\n", true, {{"A", "1 ; two"}}},
        Case{"SectionHeaderFails", "A=1\n[Setup]\nB=2\n", false, {{"A", "1"}, {"B", ""}}},
        Case{"LineOfBlanksFails", "A=1\n   \nB=2\n", false, {{"A", "1"}, {"B", ""}}},
        Case{"KeyAtEndOfFileFails", "A=1\nKey", false, {{"A", "1"}}},
        Case{"LineStartingWithEquals", "=a=b\n", true, {{"=a", "b"}}},
        Case{"SecondEqualsStaysInValue", "A=b=c\n", true, {{"A", "b=c"}}},
        Case{"EmptyValue", "A=\nB=2", true, {{"A", ""}, {"B", "2"}}},
        Case{"NothingTrimmed", " A = 1 \n", true, {{" A ", " 1 "}, {"A", ""}}},
        Case{"FirstDuplicateWins", "A=1\nA=2\n", true, {{"A", "1"}}},
        Case{"KeysAreCaseSensitive", "caption=x\n", true, {{"Caption", ""}, {"caption", "x"}}},
        // Shift-JIS: a lead byte keeps the byte after it, whatever that byte
        // is; an entry that is then no code page 932 text is refused, and the
        // file with it.
        Case{"LeadByteBeforeCr", "A=1\nB=\x83\r\nC=2", false, {{"A", "1"}, {"B", ""}, {"C", ""}}},
        Case{"LeadByteBeforeLf", "A=\x83\n\nB=2", false, {{"A", ""}, {"B", ""}}},
        Case{"LeadByteBeforeEqualsInKey", "\x81=K=v\n", false, {{"\x81=K", ""}}},
        Case{"LeadByteBeforeSemicolonStartsKey", "\x83;=v\n", false, {{"\x83;", ""}}},
        Case{"LeadByteAtEndOfFile", "A=x\x83", false, {{"A", ""}}},
        Case{"LeadByteBeforeEndOfFileInKey", "A=1\n\x83", false, {{"A", "1"}}},
        Case{"InvalidShiftJisValue", "A=1\r\nCaption=ab\x81\x7F\r\n", false, {{"A", "1"}, {"Caption", ""}}},
        Case{"InvalidBytesInACommentLine", "; \x81\x7F\x83\r\nA=1\r\n", true, {{"A", "1"}}},
        Case{"ShiftJisKeyAndValue", "\x83L\x81[=\x92l\x83\\\n", true, {{"\x83L\x81[", "\x92l\x83\\", L"\u5024\u30BD"}}},
        Case{"ShiftJisJapanese", "Caption=" + kHoshizoraShiftJis + "\r\n", true,
             {{"Caption", kHoshizoraShiftJis, L"ほしぞらソフト"}}},
        Case{"AsciiOnlyIsShiftJis", "Caption=Hello\r\nA=1", true, {{"Caption", "Hello", L"Hello"}}},
        // UTF-8: after a byte order mark, or valid as a whole with a
        // character of more than one byte. A character is taken whole by its
        // length: the "=" after "ほ" (E3 81 BB) stays the separator.
        Case{"Utf8WithBom", kBom + u8"Caption=ほしぞらソフト\r\nほ=星\r\n", true,
             {{"Caption", u8"ほしぞらソフト", L"ほしぞらソフト"}, {u8"ほ", u8"星", L"星"}}, kUtf8},
        Case{"Utf8WithoutBom", u8"Caption=ほしぞらソフト\nほ=\n😀=café", true,
             {{"Caption", u8"ほしぞらソフト", L"ほしぞらソフト"}, {u8"ほ", "", L""}, {u8"😀", u8"café", L"café"}}, kUtf8},
        Case{"BomIsNoPartOfTheFirstKey", kBom + "A=1\r\n", true, {{"A", "1", L"1"}}, kUtf8},
        Case{"InvalidUtf8AfterABom", kBom + "A=1\nB=\xE3\nC=2", false, {{"A", "1"}, {"B", ""}, {"C", ""}}, kUtf8},
        // E3 81 82 is UTF-8's "あ", but A0 after it is no UTF-8.
        Case{"NotUtf8AsAWholeIsShiftJis", "A=\xE3\x81\x82\xA0\r\n", true, {{"A", "\xE3\x81\x82\xA0"}}}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(SetupIni, LastEntryWithoutBreakIsFoundButNotCounted) {
  Loaded loaded = LoadText("A=1\nB=2");
  EXPECT_EQ(loaded.store->count, 1);
  EXPECT_EQ(loaded.store->IndexOf("B"), 1);
}

TEST(SetupIni, EmptyNameFindsTheFirstEmptySlot) {
  EXPECT_EQ(LoadText("").store->IndexOf(""), 0);
  EXPECT_EQ(LoadText("A=1\nB=2\n").store->IndexOf(""), 2);
  EXPECT_EQ(LoadText("A=1\nB=2\n").store->IndexOf("C"), -1);
}

TEST(SetupIni, NumbersReadAsAtoiDoes) {
  const std::pair<const char*, int> cases[] = {
      {"12", 12},         {" 12", 12},          {"\t\r\n 5", 5},      {"+7", 7},
      {"-3", -3},         {"12abc", 12},        {"abc", 0},           {"", 0},
      {"- 5", 0},         {"0x10", 0},          {"99999999999", 2147483647},
      {"-99999999999", -2147483647 - 1},
  };
  for (const auto& [text, number] : cases) EXPECT_EQ(DecimalValue(text), number) << text;
  Loaded loaded = LoadText("TitleBarX= 5\n TitleBarY=6\n");
  EXPECT_EQ(loaded.store->NumberOf("TitleBarX"), 5);
  EXPECT_EQ(loaded.store->NumberOf("TitleBarY"), 0);  // the key is " TitleBarY"
  EXPECT_EQ(loaded.store->NumberOf("Missing"), 0);
}

TEST(SetupIni, EntriesPastTheCapacityAreReadButNotKept) {
  std::string file;
  for (int i = 0; i < 300; ++i) file += "K" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  Loaded loaded = LoadText(file);
  EXPECT_TRUE(loaded.ok);
  EXPECT_EQ(loaded.store->count, SetupIni::kSlots);
  EXPECT_EQ(loaded["K0"], "0");
  EXPECT_EQ(loaded["K259"], "259");
  EXPECT_EQ(loaded.store->IndexOf("K260"), -1);
  EXPECT_EQ(loaded.store->IndexOf("K299"), -1);
  // Past the capacity a line without "=" still makes the file broken.
  EXPECT_FALSE(LoadText(file + "[broken]\n").ok);
}

TEST(SetupIni, LongTextsAreCutAtTheSlotSize) {
  const std::string longKey(300, 'k');
  const std::string longValue(300, 'v');
  Loaded loaded = LoadText(longKey + "=1\nA=" + longValue + "\nB=2\n");
  EXPECT_TRUE(loaded.ok);
  EXPECT_EQ(std::string(loaded.store->keys[0]), longKey.substr(0, 259));
  EXPECT_EQ(loaded["A"], longValue.substr(0, 259));
  EXPECT_EQ(loaded["B"], "2");
  EXPECT_EQ(loaded.store->count, 3);
}

TEST(SetupIni, ACharacterIsNeverSplitAtTheSlotEnd) {
  // A character that does not fit in what is left of the slot's 259 bytes
  // ends the text before it instead of leaving part of it.
  const struct {
    size_t before;
    std::string character;
    bool fits;
  } cases[] = {
      {258, "\x82\xA0", false}, {257, "\x82\xA0", true},  // Shift-JIS
      {258, u8"ほ", false},       {257, u8"ほ", false},       {256, u8"ほ", true},
      {256, u8"😀", false},       {255, u8"😀", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    const std::string text = std::string(c.before, 'a') + c.character;
    Loaded loaded = LoadText("A=" + text + "b\nB=2\n");
    EXPECT_TRUE(loaded.ok);
    EXPECT_EQ(loaded["A"], c.fits ? text : std::string(c.before, 'a'));
    EXPECT_EQ(loaded["B"], "2");
  }
}

class SetupIniFile : public testing::Test {
 protected:
  std::string Write(const char* name, const std::string& bytes) {
    HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return name;
  }
};

TEST_F(SetupIniFile, LoadReadsTheFileNamedByPath) {
  // A long comment puts the first Japanese character past the first block
  // that each of the loader's two readings takes.
  const std::string comment = "; " + std::string(5000, '-') + "\r\n";
  const struct {
    std::string bytes;
    TextEncoding encoding;
  } files[] = {
      {"Caption=" + kHoshizoraShiftJis + "\r\nAutoStart=1", TextEncoding::kShiftJis},
      {comment + "Caption=" + kHoshizoraShiftJis + "\r\nAutoStart=1", TextEncoding::kShiftJis},
      {comment + u8"Caption=ほしぞらソフト\r\nAutoStart=1", kUtf8},
      {kBom + u8"Caption=ほしぞらソフト\r\nAutoStart=1", kUtf8},
  };
  for (const auto& file : files) {
    Write("unit_setup.ini", file.bytes);
    SetupIni store;
    store.path = L"unit_setup.ini";
    EXPECT_TRUE(store.Load());
    EXPECT_EQ(store.encoding, file.encoding);
    EXPECT_EQ(store.TextOf("Caption"), L"ほしぞらソフト");
    EXPECT_EQ(store.NumberOf("AutoStart"), 1);
  }
  DeleteFileA("unit_setup.ini");
}

TEST_F(SetupIniFile, AMissingFileDoesNotLoad) {
  SetupIni store;
  store.path = L"no_such_file.ini";
  EXPECT_FALSE(store.Load());
  EXPECT_STREQ(store.ValueOf("Caption"), "");
}

TEST_F(SetupIniFile, ARecordWithoutLineEndIsReadInFull) {
  Write("unit_record.ini", "InstallDirectory=D:");
  SetupIni store;
  store.path = L"unit_record.ini";
  EXPECT_TRUE(store.Load());
  EXPECT_STREQ(store.ValueOf("InstallDirectory"), "D:");
  DeleteFileA("unit_record.ini");
}

}  // namespace
