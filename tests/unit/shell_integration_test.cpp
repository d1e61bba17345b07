// SetupShell's shell side that runs without a window: the free-space test,
// shortcut files read back through the shell, and the Programs folder.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <string>

#include "common/win32_guards.h"
#include "installer/setup_shell.h"

namespace {

TEST(FreeSpace, ExactlyEnoughIsEnough) {
  const struct {
    uint64_t available;
    uint32_t needed;
    bool short_;
  } cases[] = {
      {1000, 999, false}, {1000, 1000, false}, {1000, 1001, true},
      {0, 0, false},      {0, 1, true},        {5000000000ULL, 0xFFFFFFFFu, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsSpaceShort(c.available, c.needed), c.short_) << c.available << " for " << c.needed;
  }
}

TEST(FreeSpace, AFolderThatCannotBeAskedCountsAsShort) {
  SetupShell shell(nullptr);
  EXPECT_FALSE(shell.LacksFreeSpace(".", 0));
  EXPECT_TRUE(shell.LacksFreeSpace("Q:\\no such drive", 0));
}

struct LinkRead {
  std::string target, folder, description;
};

LinkRead ReadLink(const char* file) {
  ComInit com;
  LinkRead read;
  ComPtr<IShellLinkA> link;
  ComPtr<IPersistFile> persist;
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, file, -1, wide, MAX_PATH);
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              link.put_void())) ||
      FAILED(link->QueryInterface(IID_IPersistFile, persist.put_void())) ||
      FAILED(persist->Load(wide, STGM_READ))) {
    read.target = "<unreadable>";
    return read;
  }
  char text[1024] = {};
  link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
  read.target = text;
  text[0] = '\0';
  link->GetWorkingDirectory(text, MAX_PATH);
  read.folder = text;
  text[0] = '\0';
  link->GetDescription(text, sizeof text);
  read.description = text;
  return read;
}

TEST(Shortcuts, AreSavedUnderTheExactNameWithTheirFields) {
  SetupShell shell(nullptr);
  const char here[] = "C:\\Program Files\\App";
  const std::string target = std::string(here) + "\\app.exe";
  // Shift-JIS description: "説明" (explanation).
  const struct {
    const char* link;
    const char* description;
  } cases[] = {{"with description.lnk", "\x90\xE0\x96\xBE"}, {"no description.lnk", ""},
               {"no extension", "plain"}};
  for (const auto& c : cases) {
    DeleteFileA(c.link);
    EXPECT_EQ(shell.CreateShortcut(target.c_str(), here, c.link, c.description), S_OK) << c.link;
    EXPECT_NE(GetFileAttributesA(c.link), INVALID_FILE_ATTRIBUTES) << c.link << " saved as named";
    const LinkRead read = ReadLink(c.link);
    EXPECT_EQ(read.target, target) << c.link;
    EXPECT_EQ(read.folder, here) << c.link;
    EXPECT_EQ(read.description, c.description) << c.link;
    DeleteFileA(c.link);
  }
}

TEST(Shortcuts, ALinkInAMissingFolderIsNotSaved) {
  SetupShell shell(nullptr);
  EXPECT_NE(shell.CreateShortcut("C:\\x.exe", "C:\\", "missing folder\\x.lnk", ""), S_OK);
}

TEST(ProgramsFolder, ResolvesToAnAbsolutePath) {
  SetupShell shell(nullptr);
  char programs[MAX_PATH] = "untouched";
  ASSERT_TRUE(shell.GetProgramsFolder(programs));
  EXPECT_EQ(programs[1], ':') << programs;
  EXPECT_NE(std::string(programs).find("Programs"), std::string::npos) << programs;
}

}  // namespace
