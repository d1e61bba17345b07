// Joining paths with one separator, the uninstall record (its folder lines,
// what is taken for one, its path), and what the auto-start takes for a link.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "common/paths.h"
#include "installer/auto_start.h"
#include "installer/record_path.h"
#include "installer/uninstall_record.h"
#include "tests/unit/picture_files.h"

namespace {

const std::wstring kEmoji = L"\U0001F600";

TEST(Paths, JoinUsesOneSeparatorAtAnyLength) {
  const std::wstring base(200, 'b'), name(300, 'n');
  const struct {
    std::wstring base, name, joined;
  } cases[] = {
      {L"D:", L"App", L"D:\\App"},
      {L"D:\\", L"App", L"D:\\App"},  // a drive root already ends in one
      {L"C:\\Users\\x\\Documents\\", L"App", L"C:\\Users\\x\\Documents\\App"},
      {L"C:/x/", L"App", L"C:/x/App"},
      {L"C:\\x", {}, L"C:\\x\\"},
      {L"C:\\ソ", L"表", L"C:\\ソ\\表"},
      {base, name, base + L"\\" + name},  // no MAX_PATH
  };
  for (const auto& c : cases) EXPECT_EQ(JoinPath(c.base, c.name), c.joined) << c.base << " + " << c.name;
}

TEST(Paths, AFullPathGetsItsExtendedLengthForm) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"D:\\App", L"\\\\?\\D:\\App"},
      {L"D:\\", L"\\\\?\\D:\\"},
      {L"\\\\server\\share\\App", L"\\\\?\\UNC\\server\\share\\App"},
      {L"\\\\?\\D:\\App", L"\\\\?\\D:\\App"},  // already in that form
      {L"App", L"App"},                          // not full: left as it is
      {L"D:", L"D:"},
  };
  for (const auto& [full, extended] : cases) EXPECT_EQ(ExtendedLengthPath(full), extended) << full;
}

// The value each recorded key was given: "App" for InstallDest, "" for the rest.
const char* UsedInstallDest(const char* key) { return std::strcmp(key, "InstallDest") == 0 ? "App" : ""; }

TEST(UninstallRecord, TheFolderIsRecordedInTheSettingsEncodingOrOnTheUnicodeLine) {
  const struct {
    std::wstring folder;
    TextEncoding encoding;
    std::string lines;  // the record's lines before InstallDest
  } cases[] = {
      {L"E:\\", TextEncoding::kShiftJis, "InstallDirectory=E:\r\n"},  // a drive root as the bare drive
      {L"E:\\App", TextEncoding::kShiftJis, "InstallDirectory=E:\\App\r\n"},
      {L"E:", TextEncoding::kShiftJis, "InstallDirectory=E:\r\n"},
      {{}, TextEncoding::kShiftJis, "InstallDirectory=\r\n"},
      {L"E:\\", TextEncoding::kUtf8, "InstallDirectory=E:\r\n"},
      // ソフト\表: Shift-JIS bytes as ever, trail bytes of 5C included.
      {L"C:\\ソフト\\表", TextEncoding::kShiftJis, "InstallDirectory=C:\\\x83\x5C\x83t\x83g\\\x95\x5C\r\n"},
      {L"C:\\ソフト\\表", TextEncoding::kUtf8,
       "InstallDirectory=C:\\\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88\\\xE8\xA1\xA8\r\n"},
      // No code-page-932 form: an empty first line and the escaped UTF-8.
      {L"C:\\Users\\Jos\u00E9", TextEncoding::kShiftJis,
       "InstallDirectory=\r\nInstallDirectoryUnicode=C:\\Users\\Jos%C3%A9\r\n"},
      {L"C:\\a\u00A5b", TextEncoding::kShiftJis,  // "¥" would come back as a backslash
       "InstallDirectory=\r\nInstallDirectoryUnicode=C:\\a%C2%A5b\r\n"},
      {L"C:\\100% " + kEmoji, TextEncoding::kShiftJis,
       "InstallDirectory=\r\nInstallDirectoryUnicode=C:\\100%25%20%F0%9F%98%80\r\n"},
      {L"C:\\Users\\Jos\u00E9", TextEncoding::kUtf8, "InstallDirectory=C:\\Users\\Jos\xC3\xA9\r\n"},
  };
  for (const auto& c : cases) {
    const std::string text = RecordText(c.folder, c.encoding, UsedInstallDest);
    EXPECT_EQ(text.substr(0, c.lines.size()), c.lines) << c.folder;
    EXPECT_EQ(text.compare(c.lines.size(), 16, "InstallDest=App\r"), 0) << c.folder << ": " << text;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << c.folder;
  }
}

TEST(UninstallRecord, TheEscapedFolderComesBackExactly) {
  const std::pair<std::wstring, std::string> cases[] = {
      {L"C:\\Users\\Jos\u00E9", "C:\\Users\\Jos%C3%A9"},
      {L"C:\\100%\\" + kEmoji, "C:\\100%25\\%F0%9F%98%80"},
      {L"\\\\server\\share\\a b", "\\\\server\\share\\a%20b"},
      {L"C:\\!~", "C:\\!~"},  // the ends of the range kept as they are
      {L"C:\\ソ", "C:\\%E3%82%BD"},
  };
  for (const auto& [folder, escaped] : cases) {
    EXPECT_EQ(EscapedFolder(folder), escaped) << folder;
    std::wstring back;
    EXPECT_TRUE(UnescapeFolder(escaped, back)) << escaped;
    EXPECT_EQ(back, folder);
  }
  for (const char* broken : {"", "C:\\%", "C:\\%4", "C:\\%G0", "C:\\%C3", "C:\\%ED%A0%80"}) {
    std::wstring back;
    EXPECT_FALSE(UnescapeFolder(broken, back)) << broken;  // cut short, not hex, not UTF-8
  }
}

TEST(UninstallRecord, AFileIsTakenForARecordOnlyWhenItReadsAsOne) {
  const struct {
    std::string start;
    uint64_t size;
    bool record;
  } starts[] = {
      {"InstallDirectory=C:\\App", 40, true},
      {"InstallDirectory=", 17, true},
      {"InstallDirectory=", kMaxRecordBytes, true},
      {"InstallDirectory=", kMaxRecordBytes + 1, false},
      {"InstallDirectory", 16, false},
      {"[Setup]\r\n", 9, false},
      {"", 0, false},
  };
  for (const auto& c : starts) EXPECT_EQ(ReadsAsRecord(c.start, c.size), c.record) << c.start << " (" << c.size << " bytes)";

  // Files in the scratch folder (the current folder).
  CreateDirectoryW(L"records", nullptr);
  CreateDirectoryW(L"records\\folder.ini", nullptr);
  const std::string record = RecordText(L"C:\\Users\\Jos\u00E9", TextEncoding::kShiftJis, UsedInstallDest);
  WriteFileBytes(L"records\\record.ini", Bytes(record.begin(), record.end()));
  WriteFileBytes(L"records\\foreign.ini", Bytes{'[', 'S', ']'});
  WriteFileBytes(L"records\\empty.ini", Bytes{});
  const std::pair<const wchar_t*, RecordFile> files[] = {
      {L"records\\record.ini", RecordFile::kRecord},   {L"records\\missing.ini", RecordFile::kAbsent},
      {L"records\\gone\\x.ini", RecordFile::kAbsent}, {L"records\\foreign.ini", RecordFile::kForeign},
      {L"records\\empty.ini", RecordFile::kForeign},   {L"records\\folder.ini", RecordFile::kForeign},
  };
  for (const auto& [file, kind] : files) EXPECT_EQ(InspectRecordFile(file), kind) << file;
  for (const wchar_t* file : {L"records\\record.ini", L"records\\foreign.ini", L"records\\empty.ini"}) {
    DeleteFileW(file);
  }
  RemoveDirectoryW(L"records\\folder.ini");
  RemoveDirectoryW(L"records");
}

TEST(RecordPath, OnlyAPlainNameInsideTheWindowsDirectoryIsARecordPath) {
  struct Case {
    const wchar_t* windows;
    std::wstring name;
    std::wstring expected;  // "" means no path
  };
  const std::wstring longName(250, 'n');
  const Case cases[] = {
      {L"C:\\windows", L"Setup.ini", L"C:\\windows\\Setup.ini"},
      {L"C:\\windows\\", L"Setup.ini", L"C:\\windows\\Setup.ini"},
      {L"", L"Setup.ini", {}},    // GetWindowsDirectoryW failed
      {L"C:\\windows", {}, {}},  // no record name
      {L"C:\\windows", longName, L"C:\\windows\\" + longName},  // no MAX_PATH
      {L"C:\\windows", L"..\\boot.ini", {}},  // outside the Windows directory
      {L"C:\\windows", L".", {}},
      {L"C:\\windows", L"..", {}},
      {L"C:\\windows", L"...", {}},
      {L"C:\\windows", L"system32\\drivers.ini", {}},  // a folder part
      {L"C:\\windows", L"sub/rec.ini", {}},
      {L"C:\\windows", L"C:rec.ini", {}},
      {L"C:\\windows", L"rec.ini.", L"C:\\windows\\rec.ini"},  // read as the file system reads it
      {L"C:\\windows", L"ソ.ini", L"C:\\windows\\ソ.ini"},
      {L"C:\\windows", L"Jos\u00E9" + kEmoji + L".ini", L"C:\\windows\\Jos\u00E9" + kEmoji + L".ini"},
  };
  for (const Case& c : cases) {
    std::wstring path = L"stale";
    EXPECT_EQ(RecordPathIn(c.windows, c.name, path), !c.expected.empty()) << c.windows << " + " << c.name;
    EXPECT_EQ(path, c.expected);
  }
  wchar_t windows[MAX_PATH] = {};
  ASSERT_NE(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
  std::wstring path;
  EXPECT_TRUE(BuildRecordPath(L"Setup.ini", path));
  EXPECT_EQ(path, std::wstring(windows) + L"\\Setup.ini");
  EXPECT_FALSE(BuildRecordPath(L"..\\Setup.ini", path));
  EXPECT_EQ(path, L"");
}

TEST(AutoStart, LinkLikeNamesAndShellLinkContentAreKnown) {
  const std::pair<const wchar_t*, bool> names[] = {
      {L"C:\\A\\run.lnk", true},   {L"C:\\A\\RUN.URL", true},      {L"C:\\A\\x.pif", true},
      {L"C:\\A\\x.scf", true},     {L"C:\\A\\x.website", true},    {L"C:\\A\\run.exe", false},
      {L"C:\\A.lnk\\run", false},  {L"C:\\A\\run.lnk.exe", false}, {L"C:\\A\\lnk", false},
      {L"C:\\été\\\U0001F600.Lnk", true}, {L"C:\\A/run.lnk", true}, {L"C:\\A.lnk/run", false}};
  for (const auto& [name, linkLike] : names) EXPECT_EQ(IsLinkLikeName(name), linkLike) << name;

  BYTE link[76] = {0x4C, 0, 0, 0, 0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  EXPECT_TRUE(HasShellLinkHeader(link, sizeof link));
  EXPECT_FALSE(HasShellLinkHeader(link, 19));
  link[19] = 0x47;
  EXPECT_FALSE(HasShellLinkHeader(link, sizeof link));
}

}  // namespace
