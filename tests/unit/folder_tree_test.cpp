// SetupShell's folder-tree operations on real folders in the scratch directory.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "installer/setup_shell.h"
#include "tests/unit/picture_files.h"

namespace {

std::string ReadAll(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  return bytes;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

Bytes Pattern(size_t size) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 7 + 3);
  return b;
}

class FolderTree : public testing::Test {
 protected:
  void SetUp() override {
    Wipe("tree");
    CreateDirectoryA("tree", nullptr);
  }
  void TearDown() override { Wipe("tree"); }
  static void Wipe(const char* folder) {
    SetupShell shell(nullptr);
    if (!Exists(folder)) return;
    shell.DeleteTreeContents(folder);
    RemoveDirectoryA(folder);
  }
  static void Folder(const std::string& path) { CreateDirectoryA(("tree\\" + path).c_str(), nullptr); }
  static void File(const std::string& path, size_t size) { WriteFileBytes("tree\\" + path, Pattern(size)); }
  SetupShell shell{nullptr};
};

TEST_F(FolderTree, ScanAddsFileSizesAtEveryDepth) {
  Folder("a");
  Folder("a\\b");
  Folder("empty");
  File("one", 10);
  File("a\\two", 1024);
  File("a\\b\\three", 1025);
  EXPECT_EQ(shell.ScanTreeSize("tree"), 10u + 1024 + 1025);
  EXPECT_EQ(shell.ScanTreeSize("tree\\empty"), 0u);
  EXPECT_EQ(shell.ScanTreeSize("tree\\missing"), 0u);
}

TEST_F(FolderTree, HiddenAndReadOnlyFilesAreMeasuredCopiedAndDeletedLikeOthers) {
  Folder("src");
  Folder("dst");
  File("src\\hidden", 5);
  File("src\\readonly", 7);
  SetFileAttributesA("tree\\src\\hidden", FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesA("tree\\src\\readonly", FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(shell.ScanTreeSize("tree\\src"), 12u);
  std::atomic<uint32_t> counter{0};
  std::atomic<uint32_t> notCopied{0};
  shell.CopyTree("tree\\src", "tree\\dst", counter, notCopied);
  EXPECT_EQ(counter.load(), 12u);
  EXPECT_EQ(notCopied.load(), 0u);
  for (const char* copy : {"tree\\dst\\hidden", "tree\\dst\\readonly"}) {
    const DWORD attributes = GetFileAttributesA(copy);
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << copy;
    EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), 0u)
        << copy << ": a copy gets normal attributes";
  }
  shell.DeleteTreeContents("tree\\dst");
  EXPECT_FALSE(Exists("tree\\dst\\hidden"));
  EXPECT_FALSE(Exists("tree\\dst\\readonly"));
  shell.DeleteTreeContents("tree\\src");
  EXPECT_FALSE(Exists("tree\\src\\hidden")) << "a hidden file goes like any other";
  EXPECT_TRUE(Exists("tree\\src\\readonly")) << "a read-only file stays";
  SetFileAttributesA("tree\\src\\readonly", FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FolderTree, CopyCountsEveryByteOfEachSize) {
  const size_t sizes[] = {0, 1, 1023, 1024, 1025, 3000};
  Folder("src");
  Folder("src\\sub");
  size_t total = 0;
  for (size_t size : sizes) {
    File("src\\sub\\f" + std::to_string(size), size);
    total += size;
  }
  Folder("dst");
  std::atomic<uint32_t> counter{0};
  std::atomic<uint32_t> notCopied{0};
  shell.CopyTree("tree\\src", "tree\\dst", counter, notCopied);
  EXPECT_EQ(counter.load(), total);
  EXPECT_EQ(notCopied.load(), 0u);
  for (size_t size : sizes) {
    const std::string name = "tree\\dst\\sub\\f" + std::to_string(size);
    const Bytes expected = Pattern(size);
    EXPECT_EQ(ReadAll(name), std::string(expected.begin(), expected.end())) << name;
  }
}

TEST_F(FolderTree, CopyOverwritesButLeavesOtherFilesAlone) {
  Folder("src");
  Folder("dst");
  File("src\\same", 3);
  File("dst\\same", 50);
  File("dst\\mine", 4);
  std::atomic<uint32_t> counter{0};
  std::atomic<uint32_t> notCopied{0};
  shell.CopyTree("tree\\src", "tree\\dst", counter, notCopied);
  EXPECT_EQ(ReadAll("tree\\dst\\same").size(), 3u);
  EXPECT_EQ(ReadAll("tree\\dst\\mine").size(), 4u);
}

TEST_F(FolderTree, ALockedSourceFileIsSkippedAndReported) {
  Folder("src");
  Folder("dst");
  File("src\\locked", 100);
  File("src\\free", 7);
  HANDLE lock = CreateFileA("tree\\src\\locked", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  std::atomic<uint32_t> counter{0};
  std::atomic<uint32_t> notCopied{0};
  shell.CopyTree("tree\\src", "tree\\dst", counter, notCopied);
  CloseHandle(lock);
  EXPECT_EQ(counter.load(), 7u);
  EXPECT_EQ(notCopied.load(), 1u);
  EXPECT_FALSE(Exists("tree\\dst\\locked"));
  EXPECT_EQ(shell.CopyFileCounted("tree\\src\\missing", "tree\\dst\\x", counter, notCopied), 0u);
  EXPECT_FALSE(Exists("tree\\dst\\x"));
}

TEST_F(FolderTree, CopyFromAMissingFolderDoesNothing) {
  Folder("dst");
  std::atomic<uint32_t> counter{0};
  std::atomic<uint32_t> notCopied{0};
  shell.CopyTree("tree\\missing", "tree\\dst", counter, notCopied);
  EXPECT_EQ(counter.load(), 0u);
  EXPECT_EQ(shell.ScanTreeSize("tree\\dst"), 0u);
}

TEST_F(FolderTree, PathsTooLongAreSkippedNotOverrun) {
  Folder("src");
  Folder("dst");
  File("src\\short", 2);
  // Destination names near the limit: the child path would not fit.
  std::string deep = "tree\\dst\\" + std::string(240, 'd');
  CreateDirectoryA(deep.c_str(), nullptr);
  File("src\\" + std::string(20, 'n'), 3);
  std::atomic<uint32_t> counter{0};
  std::atomic<uint32_t> notCopied{0};
  shell.CopyTree("tree\\src", deep.c_str(), counter, notCopied);
  EXPECT_EQ(notCopied.load(), 1u);
  EXPECT_EQ(counter.load(), 2u);
}

TEST_F(FolderTree, DeleteEmptiesButKeepsTheFolderAndReadOnlyFiles) {
  Folder("d");
  Folder("d\\a");
  Folder("d\\a\\b");
  File("d\\a\\b\\f", 10);
  File("d\\g", 1);
  Folder("d\\keep");
  File("d\\keep\\ro", 1);
  SetFileAttributesA("tree\\d\\keep\\ro", FILE_ATTRIBUTE_READONLY);
  shell.DeleteTreeContents("tree\\d");
  EXPECT_TRUE(Exists("tree\\d"));
  EXPECT_FALSE(Exists("tree\\d\\a"));
  EXPECT_FALSE(Exists("tree\\d\\g"));
  EXPECT_TRUE(Exists("tree\\d\\keep\\ro"));
  SetFileAttributesA("tree\\d\\keep\\ro", FILE_ATTRIBUTE_NORMAL);
  shell.DeleteTreeContents("tree\\missing");  // nothing to list: nothing happens
}

}  // namespace
