// setup.exe as a Windows user receives it: its manifest and version record,
// read back from the built executable.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

// The build copies setup.exe into this test's working folder.
std::string SetupExePath() { return ".\\setup.exe"; }

TEST(Resources, TheManifestAsksForAdministratorDpiAwarenessAndCommonControls) {
  HMODULE exe = LoadLibraryExA(SetupExePath().c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr) << SetupExePath() << " error " << GetLastError();
  HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(found, nullptr);
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(exe, found)));
  const std::string manifest(bytes, SizeofResource(exe, found));
  for (const char* part : {"requireAdministrator", "PerMonitorV2", "true/pm",
                           "Microsoft.Windows.Common-Controls", "6.0.0.0",
                           "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
  FreeLibrary(exe);
}

TEST(Resources, TheVersionRecordNamesTheProgram) {
  const std::string path = SetupExePath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> data(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  const std::pair<const char*, const char*> strings[] = {
      {"OriginalFilename", "setup.exe"},
      {"FileDescription", "Skinned installer and uninstaller"},
      {"FileVersion", "1.0.0.0"},
  };
  for (const auto& [name, expected] : strings) {
    char* value = nullptr;
    const std::string query = std::string("\\StringFileInfo\\041104B0\\") + name;
    ASSERT_TRUE(VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) << name;
    EXPECT_STREQ(value, expected);
  }
}

}  // namespace
