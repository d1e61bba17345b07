// Joining paths within MAX_PATH, drive roots held short, the record's path,
// and what the auto-start takes for a link.
#include <gtest/gtest.h>

#include <string>

#include "installer/auto_start.h"
#include "installer/record_path.h"
#include "common/paths.h"

namespace {

TEST(Paths, JoinUsesOneBackslashAndNeverOverruns) {
  char path[MAX_PATH];
  EXPECT_TRUE(JoinPath(path, "D:", "App"));
  EXPECT_STREQ(path, "D:\\App");
  EXPECT_TRUE(JoinPath(path, "C:\\x", ""));
  EXPECT_STREQ(path, "C:\\x\\");
  const std::string base(200, 'b');
  EXPECT_TRUE(JoinPath(path, base.c_str(), std::string(58, 'n').c_str()));  // 259 bytes
  EXPECT_FALSE(JoinPath(path, base.c_str(), std::string(59, 'n').c_str()));
  EXPECT_STREQ(path, "");
}

TEST(Paths, DriveRootLosesItsBackslash) {
  const std::pair<const char*, const char*> cases[] = {
      {"E:\\", "E:"}, {"E:\\App", "E:\\App"}, {"E:", "E:"}, {"", ""},
      {"a\x83\\", "a\x83\\"}};  // a followed by ソ (83 5C): no root, nothing cut
  for (const auto& [given, expected] : cases) {
    char path[MAX_PATH];
    strcpy(path, given);
    CutDriveRootBackslash(path);
    EXPECT_STREQ(path, expected) << given;
  }
}

TEST(RecordPath, WithoutTheWindowsDirectoryThereIsNoRecordPath) {
  struct Case {
    const char* windows;
    UINT length;
    const char* name;
    const char* expected;  // "" means no path
  };
  const std::string longName(250, 'n');
  const Case cases[] = {
      {"C:\\windows", 10, "Setup.ini", "C:\\windows\\Setup.ini"},
      {"", 0, "Setup.ini", ""},                // GetWindowsDirectoryA failed
      {"C:\\windows", MAX_PATH + 20, "Setup.ini", ""},  // it did not fit
      {"C:\\windows", 10, "", ""},             // no record name
      {"C:\\windows", 10, longName.c_str(), ""},
      {"C:\\windows", 10, "..\\boot.ini", ""},  // outside the Windows directory
      {"C:\\windows", 10, ".", ""},
      {"C:\\windows", 10, "system32\\drivers.ini", ""},  // a folder part
      {"C:\\windows", 10, "sub/rec.ini", ""},
      {"C:\\windows", 10, "C:rec.ini", ""},
      {"C:\\windows", 10, "\x83\\.ini", "C:\\windows\\\x83\\.ini"},  // ソ.ini: 5C is a trail byte
  };
  for (const Case& c : cases) {
    char path[MAX_PATH] = "stale";
    EXPECT_EQ(RecordPathIn(c.windows, c.length, c.name, path), c.expected[0] != '\0') << c.length;
    EXPECT_STREQ(path, c.expected);
  }
}

TEST(AutoStart, LinkLikeNamesAndShellLinkContentAreKnown) {
  const std::pair<const char*, bool> names[] = {
      {"C:\\A\\run.lnk", true}, {"C:\\A\\RUN.URL", true}, {"C:\\A\\x.pif", true},
      {"C:\\A\\x.scf", true},   {"C:\\A\\x.website", true}, {"C:\\A\\run.exe", false},
      {"C:\\A.lnk\\run", false}, {"C:\\A\\run.lnk.exe", false}, {"C:\\A\\lnk", false}};
  for (const auto& [name, linkLike] : names) EXPECT_EQ(IsLinkLikeName(name), linkLike) << name;

  BYTE link[76] = {0x4C, 0, 0, 0, 0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  EXPECT_TRUE(HasShellLinkHeader(link, sizeof link));
  EXPECT_FALSE(HasShellLinkHeader(link, 19));
  link[19] = 0x47;
  EXPECT_FALSE(HasShellLinkHeader(link, sizeof link));
}

}  // namespace
