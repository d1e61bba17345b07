// SetupShell's folder-tree operations on real folders in the scratch directory:
// full paths, names outside code page 932, trees deeper than MAX_PATH.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/paths.h"
#include "installer/path_guard.h"
#include "installer/setup_shell.h"
#include "tests/unit/picture_files.h"

namespace {

// The test's own file calls take paths as the program's do: full, in their
// extended-length form.
std::string ReadAll(const std::wstring& path) {
  HANDLE file = CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  return bytes;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(ExtendedLengthPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void SetAttributes(const std::wstring& path, DWORD attributes) {
  SetFileAttributesW(ExtendedLengthPath(path).c_str(), attributes);
}

std::string Pattern(size_t size) {
  std::string b(size, '\0');
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<char>(i * 7 + 3);
  return b;
}

struct Counts {
  uint32_t copied, notCopied;
};

class FolderTree : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ResolveFullPath(L"tree", root_));
    Wipe();
    CreateDirectoryW(root_.c_str(), nullptr);
  }
  void TearDown() override { Wipe(); }
  void Wipe() {
    if (!Exists(root_)) return;
    shell.DeleteTreeContents(root_);
    RemoveDirectoryW(root_.c_str());
  }
  // The full path of relative below the tree.
  std::wstring At(const std::wstring& relative) const { return JoinPath(root_, relative); }
  void Folder(const std::wstring& relative) {
    CreateDirectoryW(ExtendedLengthPath(At(relative)).c_str(), nullptr);
  }
  void File(const std::wstring& relative, size_t size) {
    const std::string bytes = Pattern(size);
    WriteFileBytes(ExtendedLengthPath(At(relative)), Bytes(bytes.begin(), bytes.end()));
  }
  Counts Copy(const std::wstring& source, const std::wstring& destination) {
    std::atomic<uint32_t> counter{0};
    std::atomic<uint32_t> notCopied{0};
    shell.CopyTree(At(source), At(destination), counter, notCopied);
    return {counter.load(), notCopied.load()};
  }
  std::wstring root_;
  SetupShell shell{nullptr};
};

TEST_F(FolderTree, ScanAddsFileSizesAtEveryDepth) {
  Folder(L"a");
  Folder(L"a\\b");
  Folder(L"empty");
  File(L"one", 10);
  File(L"a\\two", 1024);
  File(L"a\\b\\three", 1025);
  EXPECT_EQ(shell.ScanTreeSize(root_), 10u + 1024 + 1025);
  EXPECT_EQ(shell.ScanTreeSize(At(L"empty")), 0u);
  EXPECT_EQ(shell.ScanTreeSize(At(L"missing")), 0u);
}

TEST_F(FolderTree, HiddenAndReadOnlyFilesAreMeasuredCopiedAndDeletedLikeOthers) {
  Folder(L"src");
  Folder(L"dst");
  File(L"src\\hidden", 5);
  File(L"src\\readonly", 7);
  SetAttributes(At(L"src\\hidden"), FILE_ATTRIBUTE_HIDDEN);
  SetAttributes(At(L"src\\readonly"), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(shell.ScanTreeSize(At(L"src")), 12u);
  const Counts counts = Copy(L"src", L"dst");
  EXPECT_EQ(counts.copied, 12u);
  EXPECT_EQ(counts.notCopied, 0u);
  for (const wchar_t* copy : {L"dst\\hidden", L"dst\\readonly"}) {
    const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(At(copy)).c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << copy;
    EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), 0u)
        << copy << ": a copy gets normal attributes";
  }
  EXPECT_TRUE(shell.DeleteTreeContents(At(L"dst")));
  EXPECT_FALSE(Exists(At(L"dst\\hidden")));
  EXPECT_FALSE(Exists(At(L"dst\\readonly")));
  EXPECT_FALSE(shell.DeleteTreeContents(At(L"src"))) << "the read-only file stays";
  EXPECT_FALSE(Exists(At(L"src\\hidden"))) << "a hidden file goes like any other";
  EXPECT_TRUE(Exists(At(L"src\\readonly"))) << "a read-only file stays";
  SetAttributes(At(L"src\\readonly"), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FolderTree, CopyCountsEveryByteOfEachSize) {
  const size_t sizes[] = {0, 1, 1023, 1024, 1025, 3000};
  Folder(L"src");
  Folder(L"src\\sub");
  size_t total = 0;
  for (size_t size : sizes) {
    File(L"src\\sub\\f" + std::to_wstring(size), size);
    total += size;
  }
  Folder(L"dst");
  const Counts counts = Copy(L"src", L"dst");
  EXPECT_EQ(counts.copied, total);
  EXPECT_EQ(counts.notCopied, 0u);
  for (size_t size : sizes) {
    const std::wstring name = L"dst\\sub\\f" + std::to_wstring(size);
    EXPECT_EQ(ReadAll(At(name)), Pattern(size)) << name;
  }
}

// Names that code page 932 cannot spell, characters whose Shift-JIS form
// ends in the byte of a backslash, a yen sign that a code-page conversion
// would turn into one, and a character outside the BMP: each is one name.
TEST_F(FolderTree, NamesOutsideTheCodePageAreMeasuredCopiedAndDeleted) {
  const std::pair<const wchar_t*, size_t> files[] = {
      {L"caf\u00E9", 1030},
      {L"한글\\\U0001F600", 5},
      {L"ソ表", 1024},
      {L"..¥..¥Victim", 3},
  };
  Folder(L"src");
  Folder(L"src\\한글");
  Folder(L"dst");
  size_t total = 0;
  for (const auto& [name, size] : files) {
    File(std::wstring(L"src\\") + name, size);
    total += size;
  }
  EXPECT_EQ(shell.ScanTreeSize(At(L"src")), total);
  const Counts counts = Copy(L"src", L"dst");
  EXPECT_EQ(counts.copied, total);
  EXPECT_EQ(counts.notCopied, 0u);
  for (const auto& [name, size] : files) {
    EXPECT_EQ(ReadAll(At(std::wstring(L"dst\\") + name)), Pattern(size)) << name;
  }
  EXPECT_EQ(shell.ScanTreeSize(At(L"dst")), total) << "every copy lies inside dst";
  EXPECT_FALSE(Exists(At(L"Victim")));
  EXPECT_EQ(GetFileAttributesW(L"Victim"), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(shell.DeleteTreeContents(At(L"dst")));
  EXPECT_TRUE(Exists(At(L"dst")));
  for (const auto& [name, size] : files) EXPECT_FALSE(Exists(At(std::wstring(L"dst\\") + name))) << name;
  EXPECT_FALSE(Exists(At(L"dst\\한글")));
}

TEST_F(FolderTree, ATreeDeeperThanMaxPathIsMeasuredCopiedAndDeleted) {
  // Five folders of 60 characters below src, into a destination whose own
  // name is 240 characters long.
  std::wstring deep = L"src";
  Folder(deep);
  for (wchar_t level = L'a'; level <= L'e'; ++level) {
    deep += L"\\" + std::wstring(60, level);
    Folder(deep);
  }
  File(L"src\\top", 2);
  File(deep + L"\\bottom", 2049);  // two blocks and a tail of one byte
  const std::wstring destination = L"dst\\" + std::wstring(240, 'd');
  Folder(L"dst");
  Folder(destination);
  const std::wstring bottom = At(destination + deep.substr(3) + L"\\bottom");
  ASSERT_GT(At(deep).size(), 300u);

  EXPECT_EQ(shell.ScanTreeSize(At(L"src")), 2u + 2049);
  const Counts counts = Copy(L"src", destination);
  EXPECT_EQ(counts.copied, 2u + 2049);
  EXPECT_EQ(counts.notCopied, 0u);
  EXPECT_EQ(ReadAll(bottom), Pattern(2049));
  EXPECT_EQ(ReadAll(At(destination + L"\\top")), Pattern(2));
  EXPECT_EQ(shell.ScanTreeSize(At(destination)), 2u + 2049);

  EXPECT_TRUE(shell.DeleteTreeContents(At(L"dst")));
  EXPECT_TRUE(Exists(At(L"dst")));
  EXPECT_FALSE(Exists(At(destination)));
  EXPECT_TRUE(shell.DeleteTreeContents(At(L"src")));
  EXPECT_FALSE(Exists(At(L"src\\") + std::wstring(60, 'a')));
}

TEST_F(FolderTree, CopyOverwritesButLeavesOtherFilesAlone) {
  Folder(L"src");
  Folder(L"dst");
  File(L"src\\same", 3);
  File(L"dst\\same", 50);
  File(L"dst\\mine", 4);
  Copy(L"src", L"dst");
  EXPECT_EQ(ReadAll(At(L"dst\\same")).size(), 3u);
  EXPECT_EQ(ReadAll(At(L"dst\\mine")).size(), 4u);
}

TEST_F(FolderTree, ALockedSourceFileIsSkippedAndReported) {
  Folder(L"src");
  Folder(L"dst");
  File(L"src\\locked", 100);
  File(L"src\\free", 7);
  HANDLE lock = CreateFileW(ExtendedLengthPath(At(L"src\\locked")).c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  const Counts counts = Copy(L"src", L"dst");
  CloseHandle(lock);
  EXPECT_EQ(counts.copied, 7u);
  EXPECT_EQ(counts.notCopied, 1u);
  EXPECT_FALSE(Exists(At(L"dst\\locked")));
  std::atomic<uint32_t> counter{0};
  std::atomic<uint32_t> notCopied{0};
  EXPECT_EQ(shell.CopyFileCounted(At(L"src\\missing"), At(L"dst\\x"), counter, notCopied), 0u);
  EXPECT_FALSE(Exists(At(L"dst\\x")));
}

// A file of two names (a hard link) could be one the user cannot read by
// its other name: it is skipped and reported. (Wine 8 makes no symbolic
// links through Win32; the end-to-end tests cover those.)
TEST_F(FolderTree, AFileOfTwoNamesInTheSourceIsSkipped) {
  Folder(L"src");
  Folder(L"dst");
  File(L"src\\plain", 7);
  File(L"outside", 5);
  ASSERT_TRUE(CreateHardLinkW(At(L"src\\hard").c_str(), At(L"outside").c_str(), nullptr));
  const Counts counts = Copy(L"src", L"dst");
  EXPECT_EQ(counts.copied, 7u);
  EXPECT_EQ(counts.notCopied, 1u);
  EXPECT_EQ(ReadAll(At(L"dst\\plain")), Pattern(7));
  EXPECT_FALSE(Exists(At(L"dst\\hard")));
  EXPECT_TRUE(shell.DeleteTreeContents(At(L"src")));
  EXPECT_EQ(ReadAll(At(L"outside")), Pattern(5)) << "its other name stays";
}

TEST_F(FolderTree, CopyFromAMissingFolderDoesNothing) {
  Folder(L"dst");
  EXPECT_EQ(Copy(L"missing", L"dst").copied, 0u);
  EXPECT_EQ(shell.ScanTreeSize(At(L"dst")), 0u);
}

TEST_F(FolderTree, DeleteEmptiesButKeepsTheFolderAndReadOnlyFiles) {
  Folder(L"d");
  Folder(L"d\\a");
  Folder(L"d\\a\\b");
  File(L"d\\a\\b\\f", 10);
  File(L"d\\g", 1);
  Folder(L"d\\keep");
  File(L"d\\keep\\ro", 1);
  SetAttributes(At(L"d\\keep\\ro"), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(shell.DeleteTreeContents(At(L"d"))) << "something stays";
  EXPECT_TRUE(Exists(At(L"d")));
  EXPECT_FALSE(Exists(At(L"d\\a")));
  EXPECT_FALSE(Exists(At(L"d\\g")));
  EXPECT_TRUE(Exists(At(L"d\\keep\\ro")));
  SetAttributes(At(L"d\\keep\\ro"), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(shell.DeleteTreeContents(At(L"d")));
  EXPECT_FALSE(Exists(At(L"d\\keep")));
  EXPECT_TRUE(shell.DeleteTreeContents(At(L"missing"))) << "nothing there: nothing stays";
  File(L"file", 1);
  EXPECT_FALSE(shell.DeleteTreeContents(At(L"file"))) << "not a folder to enter";
}

}  // namespace
