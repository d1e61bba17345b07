// setup.exe as a Windows user receives it: its manifest, version record and
// hardening flags, read back from the built executable.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
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
                           "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a",
                           "<file name=\"version.dll\" loadFrom=\"%SystemRoot%\\system32\\\"/>"}) {
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

TEST(Resources, TheHeaderKeepsAslrWithHighEntropyAndDep) {
  std::ifstream file(SetupExePath(), std::ios::binary);
  std::vector<char> head(4096);
  ASSERT_TRUE(file.read(head.data(), static_cast<std::streamsize>(head.size())));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(head.data());
  ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
  ASSERT_LT(dos->e_lfanew + sizeof(IMAGE_NT_HEADERS64), head.size());
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(head.data() + dos->e_lfanew);
  ASSERT_EQ(nt->Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
  const WORD flags = nt->OptionalHeader.DllCharacteristics;
  EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE) << std::hex << flags;
  EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA) << std::hex << flags;
  EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT) << std::hex << flags;
  // Without its relocations the image could not move, whatever the flags say.
  EXPECT_FALSE(nt->FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
  EXPECT_GT(nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size, 0u);
}

}  // namespace
