// The path-safety rules: full paths read as the file system reads them,
// names compared as it compares them (beyond ASCII too), containment, trees
// that may be emptied, names a walk may join, links, and folders held while
// the installer works in them. Paths are UTF-16: characters whose Shift-JIS
// form ends in the byte of a backslash (ソ, 表) are characters like any other.
#include "installer/path_guard.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
#include <string>

#include "common/paths.h"
#include "common/text_encoding.h"

namespace {

// A folder name outside code page 932, and a character outside the BMP.
const std::wstring kEmoji = L"\U0001F600";

TEST(PathRules, TheseCharactersEndInTheByteOfABackslashInShiftJis) {
  for (const wchar_t* c : {L"ソ", L"表", L"能", L"十", L"予", L"構"}) {
    std::string bytes;
    ASSERT_TRUE(EncodeText(c, TextEncoding::kShiftJis, bytes)) << c;
    ASSERT_EQ(bytes.size(), 2u) << c;
    EXPECT_EQ(bytes[1], '\\') << c;
  }
}

TEST(PathRules, AFullPathIsReadAsTheFileSystemReadsIt) {
  const struct {
    std::wstring given, full;  // full "": not absolute
  } cases[] = {
      {L"c:\\skin\\data\\", L"c:\\skin\\data"},  // the case stays; comparing ignores it
      {L"D:\\", L"D:\\"},
      {L"D:", L"D:\\"},
      {L"D:\\..", L"D:\\"},
      {L"C:\\..\\..\\a", L"C:\\a"},  // never above the root
      {L"C:/skin//data/", L"C:\\skin\\data"},
      {L"C:\\skin\\.\\data\\x", L"C:\\skin\\data\\x"},
      {L"C:\\skin\\data\\..\\other", L"C:\\skin\\other"},
      {L"C:\\a.\\b. .", L"C:\\a\\b"},  // trailing dots and spaces of a part go
      {L"\\\\server\\share\\a\\..\\b", L"\\\\server\\share\\b"},
      {L"\\\\server\\share\\..", L"\\\\server\\share"},
      {L"//server/share/a", L"\\\\server\\share\\a"},
      {L"D:\\能", L"D:\\能"},
      {L"D:\\機能\\", L"D:\\機能"},
      {L"c:\\ソフト\\表\\.", L"c:\\ソフト\\表"},
      {L"C:\\" + kEmoji + L"\\x\\..", L"C:\\" + kEmoji},
      {L"relative", L""},
      {L"\\Games", L""},  // relative to the current drive
      {L"C:relative", L""},
      {L"", L""},
  };
  for (const auto& c : cases) {
    std::wstring full = L"stale";
    EXPECT_EQ(NormalizeFullPath(c.given, full), !c.full.empty()) << c.given;
    EXPECT_EQ(full, c.full) << c.given;
    if (c.full.empty()) continue;
    std::wstring resolved;  // the file system's own reading agrees
    EXPECT_TRUE(ResolveFullPath(c.given, resolved)) << c.given;
    EXPECT_EQ(resolved, c.full) << c.given;
  }
}

TEST(PathRules, NamesAreComparedWithoutCaseBeyondAscii) {
  const struct {
    std::wstring a, b;
    bool same;
  } cases[] = {
      {L"C:\\SKIN\\DATA", L"c:\\skin\\data", true},
      {L"ÉTÉ", L"été", true},
      {L"ΑΒΓ", L"αβγ", true},
      {L"ソフト", L"ソフト", true},
      {L"イ", L"ツ", false},  // 83 43 and 83 63 in Shift-JIS: no case between them
      {L"ツ", L"ッ", false},
      {L"data", L"data2", false},
      {kEmoji, kEmoji, true},
      {kEmoji, L"\U0001F601", false},
  };
  for (const auto& c : cases) EXPECT_EQ(SameNameIgnoringCase(c.a, c.b), c.same) << c.a << " / " << c.b;
}

TEST(PathRules, OnlyASeparatorEndsAPath) {
  const std::pair<const wchar_t*, bool> cases[] = {
      {L"C:\\", true}, {L"C:\\a", false},   {L"", false},       {L"C:\\ソ", false},
      {L"C:\\ソ\\", true}, {L"表", false}, {L"C:/a/", true},
  };
  for (const auto& [path, ends] : cases) EXPECT_EQ(EndsInSeparator(path), ends) << path;
}

TEST(PathRules, SameOrInsideComparesWholeFolderNames) {
  struct Case {
    std::wstring inner, outer;
    bool inside, strictly;
  };
  const Case cases[] = {
      {L"C:\\skin\\data", L"C:\\skin\\data", true, false},
      {L"C:\\skin\\data\\", L"C:\\skin\\data", true, false},
      {L"C:\\skin\\data\\App", L"C:\\skin\\data", true, true},
      {L"c:\\SKIN\\Data\\app", L"C:\\skin\\data", true, true},
      {L"C:\\skin\\data2", L"C:\\skin\\data", false, false},
      {L"C:\\skin", L"C:\\skin\\data", false, false},
      {L"C:\\skin\\data\\..\\other", L"C:\\skin\\data", false, false},
      {L"C:\\skin\\.\\data\\x", L"C:\\skin\\data", true, true},
      {L"C:\\skin\\data\\..\\..\\skin\\data\\x", L"C:\\skin\\data", true, true},
      {L"C:/skin/data/x", L"C:\\skin\\data", true, true},
      {L"C:\\skin\\data.\\x", L"C:\\skin\\data", true, true},
      {L"C:\\skin\\data. .", L"C:\\skin\\data", true, false},
      {L"D:\\App", L"D:", true, true},  // "D:" is how a drive root is held
      {L"D:\\", L"D:\\", true, false},
      {L"D:\\App", L"D:\\", true, true},
      {L"E:\\App", L"D:\\", false, false},
      {L"\\\\server\\share\\App", L"\\\\server\\share", true, true},
      {L"\\\\server\\share2", L"\\\\server\\share", false, false},
      {L"C:\\ÉTÉ\\a", L"C:\\été", true, true},
      {L"C:\\ÉTÉS", L"C:\\été", false, false},
      {L"C:\\" + kEmoji + L"\\a", L"C:\\" + kEmoji, true, true},
      {L"C:\\" + kEmoji + L"x", L"C:\\" + kEmoji, false, false},
      {L"C:\\\U0001F601", L"C:\\" + kEmoji, false, false},
      // Folders ending in a character whose Shift-JIS form ends in 5C, against
      // siblings whose names start with the same characters.
      {L"D:\\機能テスト\\data", L"D:\\機能", false, false},
      {L"D:\\機能\\data", L"D:\\機能", true, true},
      {L"D:\\表示", L"D:\\表", false, false},
      {L"D:\\表\\", L"D:\\表", true, false},
      {L"C:\\ソフト", L"C:\\ソ", false, false},
      {L"C:\\ソ\\x", L"C:\\ソ\\", true, true},
      {L"C:\\十字", L"C:\\十", false, false},
      {L"C:\\能力", L"C:\\能", false, false},
      {L"C:\\イ", L"C:\\ツ", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsSameOrInside(c.inner, c.outer), c.inside) << c.inner << " in " << c.outer;
    EXPECT_EQ(IsStrictlyInside(c.inner, c.outer), c.strictly) << c.inner << " in " << c.outer;
    // The text rules alone give the same verdicts.
    std::wstring inner, outer;
    ASSERT_TRUE(NormalizeFullPath(c.inner, inner) && NormalizeFullPath(c.outer, outer)) << c.inner;
    EXPECT_EQ(IsSameOrInsideFull(inner, outer), c.inside) << inner << " in " << outer;
    EXPECT_EQ(IsStrictlyInsideFull(inner, outer), c.strictly) << inner << " in " << outer;
  }
}

TEST(PathRules, ThePartBelowKeepsItsOwnSpelling) {
  const struct {
    const wchar_t *inner, *outer, *part;
  } cases[] = {
      {L"C:\\Skin\\Data\\App", L"C:\\skin", L"Data\\App"},
      {L"D:\\App", L"D:\\", L"App"},
      {L"C:\\ÉTÉ\\表", L"C:\\été", L"表"},
      {L"C:\\skin", L"C:\\skin", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(PartBelow(c.inner, c.outer), c.part) << c.inner;
}

TEST(PathRules, TheParentOfAPathKeepsItsRoot) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"D:\\A\\B", L"D:\\A"},
      {L"D:\\A", L"D:\\"},
      {L"D:\\A\\", L"D:\\"},
      {L"D:/A/B", L"D:/A"},
      {L"\\\\server\\share\\A", L"\\\\server\\share"},
      {L"D:\\ソ\\表", L"D:\\ソ"},
      {L"D:\\能", L"D:\\"},
      {L"D:\\" + kEmoji + L"\\a", L"D:\\" + kEmoji},
  };
  for (const auto& [given, parent] : cases) {
    std::wstring path = given;
    EXPECT_TRUE(CutToParent(path)) << given;
    EXPECT_EQ(path, parent);
    EXPECT_FALSE(IsRootPath(given)) << given;
  }
  for (const wchar_t* root : {L"D:\\", L"\\\\server\\share", L"\\\\server\\share\\", L"relative", L""}) {
    std::wstring path = root;
    EXPECT_FALSE(CutToParent(path)) << root;
    EXPECT_EQ(path, root);
    EXPECT_TRUE(IsRootPath(root)) << root;  // nothing above it
  }
}

TEST(PathRules, OnlyAnAbsoluteFolderWithADestinationBelowItIsEmptied) {
  struct Case {
    std::wstring installDirectory, installDest;
    bool safe;
  };
  const Case cases[] = {
      {L"C:\\Games", L"App", true},
      {L"D:", L"App", true},
      {L"D:\\", L"App", true},
      {L"C:\\Games", L"App\\Data", true},
      {L"", L"App", false},             // no folder recorded: would be the current drive's root
      {L"Games", L"App", false},        // relative
      {L"\\Games", L"App", false},      // relative to the current drive
      {L"C:\\Games", L"", false},       // the chosen folder itself, with whatever it held
      {L"D:", L"", false},              // a bare drive root
      {L"C:\\Games", L".", false},
      {L"C:\\Games", L"..", false},
      {L"C:\\Games", L"App\\..", false},
      {L"C:\\Games", L"/", false},
      {L"C:\\Games", L"..\\..", false},  // climbs to the root
      {L"C:\\Games", L"App\\..\\..\\Other", false},  // outside the chosen folder
      {L"C:\\Games", L"App\\..\\Other", true},
      {L"C:\\Games", L"App. ", true},
      {L"\\\\server\\share", L"App", true},
      {L"D:\\機能", L"..\\機能テスト\\data", false},
      {L"D:\\機能", L"テスト", true},
      {L"C:\\ソ", L"..\\ソフト", false},
      {L"C:\\表", L"..\\表\\x", true},
      {L"C:\\été", L"..\\ÉTÉ\\x", true},
      {L"C:\\Users\\José", L"caf\u00E9\\" + kEmoji, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsSafeTreeToEmpty(c.installDirectory, c.installDest), c.safe)
        << "'" << c.installDirectory << "' + '" << c.installDest << "'";
  }
}

TEST(PathRules, AWalkJoinsOnlyNamesThatAreOnePart) {
  const std::pair<const wchar_t*, bool> cases[] = {
      {L"readme.txt", true},
      {L"日本語のファイル.txt", true},
      {L"ソフト", true},
      {L"..¥..¥Victim", true},  // "¥" is a character of the name, never a separator
      {L"a¥b", true},
      {L"caf\u00E9", true},
      {L"snow\u2603", true},
      {L"한글", true},
      {L"\U0001F600", true},
      {L"", false},
      {L"a\\b", false},
      {L"a?b", false},
      {L"a*b", false},
      {L"a:b", false},
      {L"a/b", false},
      // Devices, which the file functions reach whatever folder the name is joined to.
      {L"NUL", false},
      {L"con.txt", false},
      {L"aux .log", false},
      {L"COM1", false},
      {L"lpt9.tar.gz", false},
      {L"COM10", true},
      {L"console", true},
      {L"NULL", true},
  };
  for (const auto& [name, joined] : cases) EXPECT_EQ(IsPlainEntryName(name), joined) << name;
}

TEST(PathRules, AChosenPathIsTakenAsItIsWhateverItsCharacters) {
  const std::wstring deep = L"C:\\" + std::wstring(150, 'a') + L"\\" + std::wstring(150, 'b');
  const struct {
    std::wstring given, full;  // full "": refused
  } cases[] = {
      {L"C:\\users\\root\\Desktop", L"C:\\users\\root\\Desktop"},
      {L"C:\\ソフト\\表示", L"C:\\ソフト\\表示"},
      {L"C:\\Users\\Jos\u00E9\\Desktop", L"C:\\Users\\Jos\u00E9\\Desktop"},  // no "Jose"
      {L"C:\\Euro\u20AC", L"C:\\Euro\u20AC"},
      {L"C:\\a\u00A5b", L"C:\\a\u00A5b"},  // "¥" stays a yen sign
      {L"C:\\" + kEmoji, L"C:\\" + kEmoji},
      {L"C:\\x\\", L"C:\\x"},
      {L"D:", L"D:\\"},  // the root, never D:'s current folder
      {deep, deep},  // longer than MAX_PATH
      {L"\\\\?\\C:\\long\\", L"C:\\long"},
      {L"\\\\?\\UNC\\server\\share\\x", L"\\\\server\\share\\x"},
      {L"", L""},
      {std::wstring(L"C:\\a\0b", 6), L""},
  };
  for (const auto& c : cases) {
    std::wstring full = L"stale";
    EXPECT_EQ(ResolveFullPath(c.given, full), !c.full.empty()) << c.given;
    EXPECT_EQ(full, c.full) << c.given;
  }
}

TEST(PathRules, LinksJunctionsAndUnknownReparsePointsRedirectCloudFilesDoNot) {
  const DWORD folder = FILE_ATTRIBUTE_DIRECTORY;
  const DWORD reparse = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  const struct {
    DWORD attributes, tag;
    bool redirects;
  } cases[] = {
      {folder, 0, false},
      {folder, IO_REPARSE_TAG_SYMLINK, false},  // the tag means nothing without the bit
      {reparse, IO_REPARSE_TAG_SYMLINK, true},
      {reparse, IO_REPARSE_TAG_MOUNT_POINT, true},  // a junction
      {reparse, 0, true},                           // tag unknown
      {reparse, 0x9000001A, false},                 // cloud placeholder
      {reparse, 0x9000F01A, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsRedirection(c.attributes, c.tag), c.redirects) << std::hex << c.tag;
  }
}

// ----- Folders on disk (the current folder is the test's scratch folder) -----

class HeldFolders : public testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* folder : kFolders) CreateDirectoryW(folder, nullptr);
    HANDLE file = CreateFileW(L"guard\\file", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(file);
  }
  void TearDown() override {
    DeleteFileW(L"guard\\file");
    for (size_t i = std::size(kFolders); i-- > 0;) RemoveDirectoryW(kFolders[i]);
  }
  static constexpr const wchar_t* kFolders[] = {L"guard", L"guard\\a", L"guard\\a\\b", L"guard\\caf\u00E9",
                                                L"guard\\caf\u00E9\\\U0001F600"};
};

TEST_F(HeldFolders, ARealFolderIsHeldAMissingOneIsMissingAFileIsRefused) {
  const std::pair<const wchar_t*, FolderCheck> cases[] = {
      {L"guard\\a", FolderCheck::kHeld},
      {L"guard\\a\\", FolderCheck::kHeld},
      {L"guard\\caf\u00E9\\\U0001F600", FolderCheck::kHeld},
      {L"guard\\gone", FolderCheck::kMissing},
      {L"guard\\gone\\deeper", FolderCheck::kMissing},
      {L"guard\\file", FolderCheck::kRefused},
  };
  for (const auto& [path, expected] : cases) {
    FileHandle held;
    EXPECT_EQ(HoldRealFolder(path, held), expected) << path;
    EXPECT_EQ(static_cast<bool>(held), expected == FolderCheck::kHeld) << path;
  }
}

TEST_F(HeldFolders, AHeldFolderCannotBeRenamedOrRemoved) {
  FileHandle held;
  ASSERT_EQ(HoldRealFolder(L"guard\\a\\b", held), FolderCheck::kHeld);
  EXPECT_FALSE(MoveFileW(L"guard\\a\\b", L"guard\\moved"));
  EXPECT_FALSE(RemoveDirectoryW(L"guard\\a\\b"));
  held.reset();
  EXPECT_TRUE(MoveFileW(L"guard\\a\\b", L"guard\\moved"));
  EXPECT_TRUE(MoveFileW(L"guard\\moved", L"guard\\a\\b"));
}

TEST_F(HeldFolders, AChainHoldsEveryFolderFromTheTopDownToTheTree) {
  struct Case {
    const wchar_t* top;
    const wchar_t* tree;
    FolderCheck expected;
  };
  const Case cases[] = {
      {L"guard", L"guard\\a\\b", FolderCheck::kHeld},
      {L"guard\\", L"guard\\a", FolderCheck::kHeld},
      {L"guard", L"guard\\CAF\u00C9\\\U0001F600", FolderCheck::kHeld},
      {L"guard", L"guard\\a\\gone", FolderCheck::kMissing},
      {L"guard", L"guard\\gone\\b", FolderCheck::kMissing},
      {L"guard", L"guard\\file\\x", FolderCheck::kRefused},
      {L"guard", L"guard", FolderCheck::kHeld},      // the top alone: an empty InstallDest
      {L"guard\\a", L"guard", FolderCheck::kRefused},      // nor above it
      {L"guard\\a", L"guard\\ab", FolderCheck::kRefused},  // nor a sibling
  };
  for (const Case& c : cases) {
    FolderChain chain;
    EXPECT_EQ(chain.Hold(c.top, c.tree), c.expected) << c.top << " -> " << c.tree;
  }
  FolderChain parents;  // the folders that hold an entry about to be made or removed
  EXPECT_EQ(parents.HoldParentsOf(L"guard", L"guard\\a\\new.txt"), FolderCheck::kHeld);
  EXPECT_EQ(parents.HoldParentsOf(L"guard", L"guard\\file\\new.txt"), FolderCheck::kRefused);
  EXPECT_EQ(parents.HoldParentsOf(L"guard", L"guard"), FolderCheck::kRefused);
  EXPECT_EQ(parents.HoldParentsOf(L"guard\\a", L"guard\\a\\..\\x"), FolderCheck::kRefused);
  // The place of an entry: by the held folder's own path, its folders held.
  std::wstring expected;
  ASSERT_TRUE(ResolveFullPath(L"guard\\a\\new.txt", expected));
  FolderChain place;
  EXPECT_EQ(place.HoldPlaceOf(L"guard", L"guard\\a\\new.txt"), expected);
  EXPECT_FALSE(MoveFileW(L"guard\\a", L"guard\\moved")) << "its folders are held";
  EXPECT_EQ(place.HoldPlaceOf(L"guard", L"guard\\file\\new.txt"), L"");
  EXPECT_EQ(place.HoldPlaceOf(L"guard\\a", L"guard\\x"), L"");
  place.Release();
  FolderChain chain;
  ASSERT_EQ(chain.Hold(L"guard", L"guard\\a\\b"), FolderCheck::kHeld);
  EXPECT_FALSE(MoveFileW(L"guard\\a", L"guard\\moved")) << "an ancestor is held too";
  chain.Release();
  EXPECT_TRUE(MoveFileW(L"guard\\a", L"guard\\moved"));
  EXPECT_TRUE(MoveFileW(L"guard\\moved", L"guard\\a"));
}

TEST_F(HeldFolders, AListedYenSignStaysInsideItsFolder) {
  ASSERT_TRUE(CreateDirectoryW(L"guard\\..¥..¥Victim", nullptr));
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(L"guard\\..?..?Victim", &entry);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  EXPECT_STREQ(entry.cFileName, L"..¥..¥Victim");
  EXPECT_TRUE(IsPlainEntryName(entry.cFileName));
  EXPECT_TRUE(IsStrictlyInside(JoinPath(L"guard", entry.cFileName), L"guard"));
  RemoveDirectoryW(L"guard\\..¥..¥Victim");
}

}  // namespace
