// SetupShell's shell side that runs without a window: the free-space test,
// shortcut files read back through the shell, and the Programs folder.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <iterator>
#include <string>

#include "common/win32_guards.h"
#include "installer/path_guard.h"
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
  EXPECT_FALSE(shell.LacksFreeSpace(L".", 0));
  EXPECT_FALSE(shell.LacksFreeSpace(L"S:\\", 0));  // a root already ends in its separator
  EXPECT_TRUE(shell.LacksFreeSpace(L"Q:\\no such drive", 0));
}

struct LinkRead {
  std::wstring target, folder, description;
};

LinkRead ReadLink(const std::wstring& file) {
  ComInit com;
  LinkRead read;
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> persist;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.put_void())) ||
      FAILED(link->QueryInterface(IID_IPersistFile, persist.put_void())) ||
      FAILED(persist->Load(file.c_str(), STGM_READ))) {
    read.target = L"<unreadable>";
    return read;
  }
  // The target as the shell resolves it, through the link's ID list: Wine's
  // GetPath gives the ANSI copy it keeps beside it, "Jose" for "José".
  wchar_t text[1024] = {};
  PIDLIST_ABSOLUTE target = nullptr;
  if (SUCCEEDED(link->GetIDList(&target)) && target != nullptr) {
    SHGetPathFromIDListW(target, text);
    CoTaskMemFree(target);
  }
  read.target = text;
  text[0] = L'\0';
  link->GetWorkingDirectory(text, MAX_PATH);
  read.folder = text;
  text[0] = L'\0';
  link->GetDescription(text, static_cast<int>(std::size(text)));
  read.description = text;
  return read;
}

TEST(Shortcuts, AreSavedUnderTheExactNameWithTheirFields) {
  SetupShell shell(nullptr);
  const struct {
    const wchar_t *link, *folder, *description;
  } cases[] = {
      {L"with description.lnk", L"C:\\Program Files\\App", L"説明"},
      {L"no description.lnk", L"C:\\Program Files\\App", L""},
      {L"no extension", L"C:\\Program Files\\App", L"plain"},
      // Outside code page 932: the shell link keeps them as they are.
      {L"caf\u00E9 \U0001F600.lnk", L"C:\\Program Files\\Jos\u00E9 한글", L"snow\u2603"},
  };
  for (const auto& c : cases) {
    const std::wstring target = std::wstring(c.folder) + L"\\app.exe";
    DeleteFileW(c.link);
    EXPECT_EQ(shell.CreateShortcut(target, c.folder, c.link, c.description), S_OK) << c.link;
    EXPECT_NE(GetFileAttributesW(c.link), INVALID_FILE_ATTRIBUTES) << c.link << " saved as named";
    const LinkRead read = ReadLink(c.link);
    EXPECT_EQ(read.target, target) << c.link;
    EXPECT_EQ(read.folder, c.folder) << c.link;
    EXPECT_EQ(read.description, c.description) << c.link;
    DeleteFileW(c.link);
  }
}

TEST(Shortcuts, ALinkInAMissingFolderIsNotSaved) {
  SetupShell shell(nullptr);
  EXPECT_NE(shell.CreateShortcut(L"C:\\x.exe", L"C:\\", L"missing folder\\x.lnk", {}), S_OK);
}

TEST(ProgramsFolder, ResolvesToAFullPath) {
  SetupShell shell(nullptr);
  std::wstring programs = L"untouched";
  ASSERT_TRUE(shell.GetProgramsFolder(programs));
  std::wstring full;
  ASSERT_TRUE(ResolveFullPath(programs, full)) << programs;
  EXPECT_EQ(programs, full) << "absolute, without a trailing separator";
  EXPECT_NE(programs.find(L"Programs"), std::wstring::npos) << programs;
}

}  // namespace
