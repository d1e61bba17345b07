// The install's copy goes by the held folders: a link above the chosen folder
// pointed elsewhere once they are held changes nothing outside the held tree.
// Under Wine a Unix symbolic link stands for the link; the test makes and
// points it with ln, run as a Unix program.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "common/text_encoding.h"
#include "installer/install_flow.h"
#include "installer/install_host.h"
#include "installer/path_guard.h"
#include "installer/setup_shell.h"
#include "tests/unit/picture_files.h"

namespace {

// The scratch folder (drive S:) as the Unix side names it.
std::string UnixScratch() {
  const char* scratch = std::getenv("SETUP_TEST_SCRATCH");
  return scratch ? scratch : "";
}

// Points the Unix symbolic link `link` at `target` (both below the scratch folder).
void PointLink(const std::string& link, const std::string& target) {
  std::wstring command = L"ln -sfn " + WideFromUtf8(UnixScratch() + "/" + target) + L" " +
                         WideFromUtf8(UnixScratch() + "/" + link);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(L"\\\\?\\unix\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // Wine may report a Unix program ended before it has: wait until the link
  // leads where it should.
  const std::wstring wanted = WideFromUtf8(target.substr(target.rfind('/') + 1));
  const std::wstring linkPath = L"S:\\" + WideFromUtf8(link);
  for (int tries = 0; tries < 200; ++tries) {
    FileHandle folder(CreateFileW(linkPath.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    std::wstring reached;
    if (folder) reached = FinalPathOf(folder.get());
    if (reached.size() >= wanted.size() && reached.compare(reached.size() - wanted.size(), wanted.size(), wanted) == 0) {
      return;
    }
    Sleep(50);
  }
  FAIL() << "the link never led to " << target;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(InstallCopy, ALinkAboveTheChosenFolderRetargetedAfterTheHoldChangesNothing) {
  ASSERT_FALSE(UnixScratch().empty());
  const std::wstring root = L"S:\\retarget";
  for (const wchar_t* folder : {L"", L"\\held", L"\\held\\Chosen", L"\\held\\Chosen\\App", L"\\elsewhere",
                                L"\\elsewhere\\Chosen", L"\\elsewhere\\Chosen\\App", L"\\data"}) {
    CreateDirectoryW((root + folder).c_str(), nullptr);
  }
  WriteFileBytes(root + L"\\data\\app.bin", Bytes(3000, 0x5A));
  for (const wchar_t* left : {L"\\held\\Chosen\\App\\app.bin", L"\\elsewhere\\Chosen\\App\\app.bin"}) {
    DeleteFileW((root + left).c_str());  // from an earlier run
  }
  PointLink("retarget/link", "retarget/held");

  SetupShell shell(nullptr);
  installHost.shell = &shell;
  installFolder = root + L"\\link\\Chosen";
  destFolder = installFolder + L"\\App";
  sourceFolder = root + L"\\data";
  copiedBytes = 0;
  copyStartHook = [] { PointLink("retarget/link", "retarget/elsewhere"); };
  CopyPayload();
  copyStartHook = nullptr;
  installHost = InstallHost{};

  EXPECT_TRUE(Exists(root + L"\\held\\Chosen\\App\\app.bin")) << "the copy went into the held folder";
  EXPECT_FALSE(Exists(root + L"\\elsewhere\\Chosen\\App\\app.bin")) << "nothing went where the link leads now";
  EXPECT_EQ(copiedBytes.load(), 3000u);
}

}  // namespace
