// Path rules of the install and uninstall: joining within MAX_PATH, drive
// roots, a destination inside the payload, and which trees may be emptied.
#include <gtest/gtest.h>

#include <string>

#include "common/paths.h"
#include "installer/install_flow.h"
#include "installer/uninstall_flow.h"

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
      {"E:\\", "E:"}, {"E:\\App", "E:\\App"}, {"E:", "E:"}, {"", ""}};
  for (const auto& [given, expected] : cases) {
    char path[MAX_PATH];
    strcpy(path, given);
    CutDriveRootBackslash(path);
    EXPECT_STREQ(path, expected) << given;
  }
}

TEST(Paths, SameOrInsideComparesWholeFolderNames) {
  struct Case {
    const char* inner;
    const char* outer;
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
      {"D:\\App", "D:", true},  // "D:" is how a drive root is held
      {"D:\\", "D:\\", true},
      {"D:\\App", "D:\\", true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsSameOrInside(c.inner, c.outer), c.inside) << c.inner << " in " << c.outer;
}

TEST(UninstallGuard, OnlyAnAbsoluteFolderWithADestinationBelowItIsEmptied) {
  struct Case {
    const char* installDirectory;
    const char* installDest;
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
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsSafeTreeToEmpty(c.installDirectory, c.installDest), c.safe)
        << "'" << c.installDirectory << "' + '" << c.installDest << "'";
  }
}

}  // namespace
