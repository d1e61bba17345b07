// The path-safety rules: folded full paths that keep double-byte characters
// whole, containment, trees that may be emptied, names a walk may join, links,
// and folders held while the installer works in them. Run with code page 932.
#include "installer/path_guard.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

// A path written in Unicode, as the code-page-932 bytes the program sees.
std::string Sjis(const wchar_t* text) {
  char bytes[MAX_PATH * 2] = {};
  WideCharToMultiByte(932, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
  return bytes;
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char two[4];
  for (unsigned char c : bytes) {
    wsprintfA(two, "%02X ", c);
    out += two;
  }
  return out;
}

class PathGuard : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(GetACP(), 932u) << "the tests need code page 932"; }
};

TEST_F(PathGuard, TheseCharactersEndInTheByteOfABackslash) {
  for (const wchar_t* c : {L"ソ", L"表", L"能", L"十", L"予", L"構"}) {
    const std::string bytes = Sjis(c);
    ASSERT_EQ(bytes.size(), 2u);
    EXPECT_EQ(bytes[1], '\\') << Hex(bytes);
  }
}

TEST_F(PathGuard, FoldingUpperCasesAsciiAndKeepsDoubleByteCharactersWhole) {
  const std::pair<std::string, std::string> cases[] = {
      {"c:\\skin\\data\\", "C:\\SKIN\\DATA"},
      {"D:\\", "D:\\"},
      {Sjis(L"D:\\能"), Sjis(L"D:\\能")},           // 94 5C: the 5C is not a separator
      {Sjis(L"D:\\機能\\"), Sjis(L"D:\\機能")},     // the real trailing backslash goes
      {Sjis(L"C:\\ツ"), Sjis(L"C:\\ツ")},           // 83 63: the trail "c" stays lower case
      {Sjis(L"c:\\ソフト\\a"), Sjis(L"C:\\ソフト\\A")},
  };
  for (const auto& [given, expected] : cases) {
    std::string folded = given;
    FoldCaseForComparison(folded.data());
    folded.resize(std::strlen(folded.c_str()));
    EXPECT_EQ(Hex(folded), Hex(expected)) << Hex(given);
  }
}

TEST_F(PathGuard, OnlyASingleByteBackslashEndsAPath) {
  const std::pair<std::string, bool> cases[] = {
      {"C:\\", true},          {"C:\\a", false},       {"", false},
      {Sjis(L"C:\\ソ"), false}, {Sjis(L"C:\\ソ\\"), true}, {Sjis(L"表"), false},
  };
  for (const auto& [path, ends] : cases) EXPECT_EQ(EndsInBackslash(path.c_str()), ends) << Hex(path);
}

TEST_F(PathGuard, SameOrInsideComparesWholeFolderNames) {
  struct Case {
    std::string inner, outer;
    bool inside;
  };
  const Case cases[] = {
      {"C:\\skin\\data", "C:\\skin\\data", true},
      {"C:\\skin\\data\\", "C:\\skin\\data", true},
      {"C:\\skin\\data\\App", "C:\\skin\\data", true},
      {"c:\\SKIN\\Data\\app", "C:\\skin\\data", true},
      {"C:\\skin\\data2", "C:\\skin\\data", false},
      {"C:\\skin", "C:\\skin\\data", false},
      {"C:\\skin\\data\\..\\other", "C:\\skin\\data", false},
      {"C:\\skin\\.\\data\\x", "C:\\skin\\data", true},
      {"D:\\App", "D:", true},  // "D:" is how a drive root is held
      {"D:\\", "D:\\", true},
      {"D:\\App", "D:\\", true},
      {"E:\\App", "D:\\", false},
      {"\\\\server\\share\\App", "\\\\server\\share", true},
      {"\\\\server\\share2", "\\\\server\\share", false},
      // Folders ending in a character whose second byte is 5C, against
      // siblings whose names start with the same bytes.
      {Sjis(L"D:\\機能テスト\\data"), Sjis(L"D:\\機能"), false},
      {Sjis(L"D:\\機能\\data"), Sjis(L"D:\\機能"), true},
      {Sjis(L"D:\\表示"), Sjis(L"D:\\表"), false},
      {Sjis(L"D:\\表\\"), Sjis(L"D:\\表"), true},
      {Sjis(L"C:\\ソフト"), Sjis(L"C:\\ソ"), false},
      {Sjis(L"C:\\ソ\\x"), Sjis(L"C:\\ソ\\"), true},
      {Sjis(L"C:\\十字"), Sjis(L"C:\\十"), false},
      {Sjis(L"C:\\能力"), Sjis(L"C:\\能"), false},
      {Sjis(L"C:\\イ"), Sjis(L"C:\\ツ"), false},  // 83 43 and 83 63: no case between them
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsSameOrInside(c.inner.c_str(), c.outer.c_str()), c.inside)
        << Hex(c.inner) << "in " << Hex(c.outer);
  }
}

TEST_F(PathGuard, TheParentOfAPathKeepsItsRoot) {
  const std::pair<std::string, std::string> cases[] = {
      {"D:\\A\\B", "D:\\A"},
      {"D:\\A", "D:\\"},
      {"D:\\A\\", "D:\\"},
      {"\\\\server\\share\\A", "\\\\server\\share"},
      {Sjis(L"D:\\ソ\\表"), Sjis(L"D:\\ソ")},
      {Sjis(L"D:\\能"), "D:\\"},
  };
  for (const auto& [given, parent] : cases) {
    char path[MAX_PATH];
    lstrcpynA(path, given.c_str(), MAX_PATH);
    EXPECT_TRUE(CutToParent(path)) << Hex(given);
    EXPECT_EQ(Hex(path), Hex(parent));
  }
  for (const char* root : {"D:\\", "\\\\server\\share", "\\\\server\\share\\", "relative", ""}) {
    char path[MAX_PATH];
    lstrcpynA(path, root, MAX_PATH);
    EXPECT_FALSE(CutToParent(path)) << root;
  }
}

TEST_F(PathGuard, OnlyAnAbsoluteFolderWithADestinationBelowItIsEmptied) {
  struct Case {
    std::string installDirectory, installDest;
    bool safe;
  };
  const Case cases[] = {
      {"C:\\Games", "App", true},
      {"D:", "App", true},
      {"C:\\Games", "App\\Data", true},
      {"", "App", false},             // no folder recorded: would be the current drive's root
      {"Games", "App", false},        // relative
      {"\\Games", "App", false},      // relative to the current drive
      {"C:\\Games", "", false},       // the chosen folder itself, with whatever it held
      {"D:", "", false},              // a bare drive root
      {"C:\\Games", ".", false},
      {"C:\\Games", "..", false},
      {"C:\\Games", "..\\..", false}, // climbs to the root
      {"C:\\Games", "App\\..\\..\\Other", false},  // outside the chosen folder
      {"C:\\Games", "App\\..\\Other", true},
      {"\\\\server\\share", "App", true},
      {Sjis(L"D:\\機能"), Sjis(L"..\\機能テスト\\data"), false},
      {Sjis(L"D:\\機能"), Sjis(L"テスト"), true},
      {Sjis(L"C:\\ソ"), Sjis(L"..\\ソフト"), false},
      {Sjis(L"C:\\表"), Sjis(L"..\\表\\x"), true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsSafeTreeToEmpty(c.installDirectory.c_str(), c.installDest.c_str()), c.safe)
        << "'" << Hex(c.installDirectory) << "' + '" << Hex(c.installDest) << "'";
  }
}

TEST_F(PathGuard, AWalkJoinsOnlyNamesThatAreExactlyTheirOwn) {
  struct Case {
    const wchar_t* listed;
    bool joined;
  };
  const Case cases[] = {
      {L"readme.txt", true},
      {L"日本語のファイル.txt", true},
      {L"ソフト", true},             // its 5C is a trail byte, not a separator
      {L"..¥..¥Victim", false},      // "¥" would come back as a backslash
      {L"a¥b", false},
      {L"caf\u00E9", false},         // no code-page-932 form: best fit would give "cafe"
      {L"snow\u2603", false},        // unmappable: would come back as "?"
      {L"a?b", false},
      {L"a*b", false},
      {L"a:b", false},
      {L"a/b", false},
  };
  for (const Case& c : cases) {
    char name[MAX_PATH];
    EXPECT_EQ(ExactAnsiName(c.listed, name), c.joined) << Hex(Sjis(c.listed));
    if (c.joined) {
      EXPECT_EQ(Hex(name), Hex(Sjis(c.listed)));
    } else {
      EXPECT_STREQ(name, "");
    }
  }
}

TEST_F(PathGuard, AChosenPathIsTakenOnlyWhenItsAnsiFormIsExact) {
  const std::pair<const wchar_t*, bool> cases[] = {
      {L"C:\\users\\root\\Desktop", true},
      {L"C:\\ソフト\\表示", true},                 // trail bytes of 5C stay inside their characters
      {L"C:\\Users\\Jos\u00E9\\Desktop", false},  // best fit would give "Jose"
      {L"C:\\Euro\u20AC", false},                  // no code-page-932 form: "?"
      {L"C:\\a\u00A5b", false},                     // "¥" would come back as a backslash
      {L"", false},
  };
  for (const auto& [wide, exact] : cases) {
    char path[MAX_PATH];
    EXPECT_EQ(ExactAnsiPath(wide, path), exact) << Hex(Sjis(wide));
    EXPECT_EQ(Hex(path), exact ? Hex(Sjis(wide)) : Hex(""));
  }
}

TEST_F(PathGuard, LinksJunctionsAndUnknownReparsePointsRedirectCloudFilesDoNot) {
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

class HeldFolders : public PathGuard {
 protected:
  void SetUp() override {
    PathGuard::SetUp();
    CreateDirectoryA("guard", nullptr);
    CreateDirectoryA("guard\\a", nullptr);
    CreateDirectoryA("guard\\a\\b", nullptr);
    HANDLE file = CreateFileA("guard\\file", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(file);
  }
  void TearDown() override {
    DeleteFileA("guard\\file");
    RemoveDirectoryA("guard\\a\\b");
    RemoveDirectoryA("guard\\a");
    RemoveDirectoryA("guard");
  }
};

TEST_F(HeldFolders, ARealFolderIsHeldAMissingOneIsMissingAFileIsRefused) {
  const std::pair<const char*, FolderCheck> cases[] = {
      {"guard\\a", FolderCheck::kRealFolder},
      {"guard\\a\\", FolderCheck::kRealFolder},
      {"guard\\gone", FolderCheck::kMissing},
      {"guard\\gone\\deeper", FolderCheck::kMissing},
      {"guard\\file", FolderCheck::kRefused},
  };
  for (const auto& [path, expected] : cases) {
    FileHandle held;
    EXPECT_EQ(HoldRealFolder(path, held), expected) << path;
    EXPECT_EQ(static_cast<bool>(held), expected == FolderCheck::kRealFolder) << path;
  }
}

TEST_F(HeldFolders, AHeldFolderCannotBeRenamedOrRemoved) {
  FileHandle held;
  ASSERT_EQ(HoldRealFolder("guard\\a\\b", held), FolderCheck::kRealFolder);
  EXPECT_FALSE(MoveFileA("guard\\a\\b", "guard\\moved"));
  EXPECT_FALSE(RemoveDirectoryA("guard\\a\\b"));
  held.reset();
  EXPECT_TRUE(MoveFileA("guard\\a\\b", "guard\\moved"));
  EXPECT_TRUE(MoveFileA("guard\\moved", "guard\\a\\b"));
}

TEST_F(HeldFolders, AChainHoldsEveryFolderFromTheTopDownToTheTree) {
  struct Case {
    const char* top;
    const char* tree;
    FolderCheck expected;
  };
  const Case cases[] = {
      {"guard", "guard\\a\\b", FolderCheck::kRealFolder},
      {"guard\\", "guard\\a", FolderCheck::kRealFolder},
      {"guard", "guard\\a\\gone", FolderCheck::kMissing},
      {"guard", "guard\\gone\\b", FolderCheck::kMissing},
      {"guard", "guard\\file\\x", FolderCheck::kRefused},
      {"guard", "guard", FolderCheck::kRealFolder},     // the top alone: an empty InstallDest
      {"guard\\a", "guard", FolderCheck::kRefused},     // nor above it
      {"guard\\a", "guard\\ab", FolderCheck::kRefused}, // nor a sibling
  };
  for (const Case& c : cases) {
    FolderChain chain;
    EXPECT_EQ(chain.Hold(c.top, c.tree), c.expected) << c.top << " -> " << c.tree;
  }
  FolderChain parents;  // the folders that hold an entry about to be made or removed
  EXPECT_EQ(parents.HoldParentsOf("guard", "guard\\a\\new.txt"), FolderCheck::kRealFolder);
  EXPECT_EQ(parents.HoldParentsOf("guard", "guard\\file\\new.txt"), FolderCheck::kRefused);
  EXPECT_EQ(parents.HoldParentsOf("guard", "guard"), FolderCheck::kRefused);
  EXPECT_EQ(parents.HoldParentsOf("guard\\a", "guard\\a\\..\\x"), FolderCheck::kRefused);
  FolderChain chain;
  ASSERT_EQ(chain.Hold("guard", "guard\\a\\b"), FolderCheck::kRealFolder);
  EXPECT_FALSE(MoveFileA("guard\\a", "guard\\moved")) << "an ancestor is held too";
  chain.Release();
  EXPECT_TRUE(MoveFileA("guard\\a", "guard\\moved"));
  EXPECT_TRUE(MoveFileA("guard\\moved", "guard\\a"));
}

TEST_F(HeldFolders, AnAnsiListingTurnsAYenSignIntoABackslashTheWalkDoesNot) {
  ASSERT_TRUE(CreateDirectoryW(L"guard\\..¥..¥Victim", nullptr));
  WIN32_FIND_DATAA ansi;
  HANDLE find = FindFirstFileA("guard\\..?..?Victim", &ansi);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  EXPECT_STREQ(ansi.cFileName, "..\\..\\Victim") << "the best-fit form that would leave the tree";
  WIN32_FIND_DATAW wide;
  find = FindFirstFileW(L"guard\\..?..?Victim", &wide);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  char name[MAX_PATH];
  EXPECT_FALSE(ExactAnsiName(wide.cFileName, name));
  RemoveDirectoryW(L"guard\\..¥..¥Victim");
}

}  // namespace
