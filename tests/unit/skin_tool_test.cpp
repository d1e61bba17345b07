// skintool: the checker finds each kind of problem in setup folders made on
// disk (at the right file and line) and nothing in a clean one, and agrees
// with setup.exe's own code on every value fed to both; scramble and
// unscramble round-trip byte for byte; the command line's exit codes.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/memory_byte_source.h"
#include "app/setup_ini.h"
#include "common/paths.h"
#include "common/text_encoding.h"
#include "imaging/picture_decoders.h"
#include "imaging/skin_layout.h"
#include "imaging/surface.h"
#include "installer/install_flow.h"
#include "installer/install_host.h"
#include "installer/path_guard.h"
#include "installer/path_rules.h"
#include "installer/record_path.h"
#include "installer/setup_shell.h"
#include "tests/unit/message_capture.h"
#include "tests/unit/picture_files.h"
#include "tools/skin_tool/cli.h"
#include "tools/skin_tool/disk_io.h"
#include "tools/skin_tool/ini_scan.h"
#include "tools/skin_tool/skin_check.h"

namespace {

using skintool::Finding;
using skintool::Severity;

// ----- files on disk ---------------------------------------------------------
// Paths are UTF-8, as skintool holds them.

std::wstring Wide(const std::string& path) { return WideFromUtf8(path); }

void RemoveTree(const std::string& path) {
  std::wstring full;
  if (ResolveFullPath(Wide(path), full)) SetupShell(nullptr).DeleteTreeContents(full);
  RemoveDirectoryW(Wide(path).c_str());
}

void MakeParents(const std::string& path) {
  for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1)) {
    CreateDirectoryW(Wide(path.substr(0, at)).c_str(), nullptr);
  }
}

Bytes ReadBytes(const std::string& path) {
  Bytes bytes;
  EXPECT_TRUE(skintool::ReadWholeFile(path, bytes)) << path;
  return bytes;
}

bool Exists(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// A file of `size` bytes that takes no room: its end is set, nothing written.
void MakeSparseFile(const std::string& path, uint64_t size) {
  MakeParents(path);
  HANDLE file =
      CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  EXPECT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
  EXPECT_TRUE(SetEndOfFile(file));
  CloseHandle(file);
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Each test works in its own folder below the scratch directory.
class ScratchFolder : public testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryW(L"skin_tool", nullptr);
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    root_ = "skin_tool\\" + name;
    RemoveTree(root_);
    CreateDirectoryW(Wide(root_).c_str(), nullptr);
  }
  void TearDown() override { RemoveTree(root_); }
  std::string Path(const std::string& relative) const { return root_ + "\\" + relative; }
  void Put(const std::string& relative, const Bytes& bytes) const {
    MakeParents(Path(relative));
    WriteFileBytes(Wide(Path(relative)), bytes);
  }

  std::string root_;
};

// ----- a skin --------------------------------------------------------------

TestPicture BasePicture() {
  TestPicture base = Gradient(400, 300);
  auto black = [&](int x, int y) { base.pixels[y * base.width + x] = {0, 0, 0}; };
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 400; ++x) {
      if ((x < 6 && y < 6) || (x >= 394 && y >= 294) || (x >= 100 && x < 110 && y >= 100 && y < 110)) black(x, y);
    }
  }
  return base;
}

// An RGBA PNG of `picture` whose top-left `side` x `side` square is `colour`
// and fully transparent, as an editor saves a cut-out corner.
Bytes TransparentCorner(TestPicture picture, int side, Rgb colour) {
  std::vector<uint8_t> alpha(picture.pixels.size(), 255);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) picture.pixels[y * picture.width + x] = colour, alpha[y * picture.width + x] = 0;
  }
  return MakePng(picture, 6, 8, false, alpha);
}

// A clean skin in every picture form. Setup.ini has CR LF line ends; the
// line numbers below are the ones the cases refer to.
struct Skin {
  std::vector<std::string> ini = {
      "; test skin",                        // 1
      "Caption=\x83\x65\x83\x58\x83\x67",   // 2  (Shift-JIS)
      "UninstallIni=SkinToolTest.ini",      // 3
      "TitleBarX=10",                       // 4
      "TitleBarY=8",                        // 5
      "TitleBarWidth=380",                  // 6
      "TitleBarHeight=30",                  // 7
      "InstallButtonX=20",                  // 8
      "InstallButtonY=250",                 // 9
      "UninstallButtonX=150",               // 10
      "UninstallButtonY=250",               // 11
      "ExitButtonX=280",                    // 12
      "ExitButtonY=250",                    // 13
      "ProgressBarX=100",                   // 14
      "ProgressBarY=200",                   // 15
      "InstallDest=App",                    // 16
      "CreateDirectory0=App",               // 17
      "CreateStartmenuDirectory0=My App",   // 18
      "CreateShortcutFrom0=App\\app.exe",   // 19
      "CreateShortcutTo0=My App\\App.lnk",  // 20
      "CreateShortcutDescription0=Start it",  // 21
      "AutoStart=1",                        // 22
      "AutoStartText=Start now?",           // 23
      "AutoStartPath=App\\app.exe",         // 24
  };
  bool hasIni = true;
  std::map<std::string, Bytes> files = {
      {"ui\\base.bmp", MakeBmp(BasePicture())},
      {"ui\\Install.png", MakePng(Gradient(80, 30))},
      {"ui\\Uninstall.ieg", ScrambleBmp(MakeBmp(Gradient(80, 30)))},
      {"ui\\Exit.jpg", MakeJpeg(Gradient(80, 30))},
      {"ui\\Install_h.iep", ScrambleAll(MakePng(Gradient(90, 36), 6))},
      {"ui\\Uninstall_h.iej", ScrambleAll(MakeJpeg(Gradient(80, 30)))},
      {"ui\\Exit_h", MakeBmp(Gradient(80, 30))},
      {"ui\\ProgressBar.bmp", MakeBmp(Gradient(200, 10))},
      {"data\\app.exe", Text("MZ")},  // installed as App\app.exe
      {"data\\doc\\readme.txt", Text("read me")},
  };
  std::map<std::string, uint64_t> sparseFiles;  // name and size, nothing written

  void Set(int line, const std::string& text) { ini.at(line - 1) = text; }
  std::string IniText() const {
    std::string text;
    for (const std::string& line : ini) text += line + "\r\n";
    return text;
  }
};

class SkinCheck : public ScratchFolder {
 protected:
  std::vector<Finding> Check(const Skin& skin) {
    if (skin.hasIni) Put("Setup.ini", Text(skin.IniText()));
    for (const auto& [name, bytes] : skin.files) Put(name, bytes);
    for (const auto& [name, size] : skin.sparseFiles) MakeSparseFile(Path(name), size);
    return skintool::CheckSkinFolder(*skintool::OpenDiskFolder(root_));
  }
  static std::string Describe(const std::vector<Finding>& findings) {
    std::string text;
    for (const Finding& finding : findings) text += "\n  " + skintool::FormatFinding(finding);
    return text.empty() ? " (none)" : text;
  }
};

TEST_F(SkinCheck, ACleanSkinInEveryPictureFormHasNoFindings) {
  const std::vector<Finding> findings = Check(Skin());
  EXPECT_TRUE(findings.empty()) << Describe(findings);
}

struct Case {
  const char* name;
  std::function<void(Skin&)> breakIt;
  Severity severity;
  const char* file;
  int line;
  const char* says;  // a part of the message
};

const Case kCases[] = {
    {"no Setup.ini", [](Skin& s) { s.hasIni = false; }, Severity::kError, "Setup.ini", 0, "missing"},
    {"line without =", [](Skin& s) { s.ini.insert(s.ini.begin() + 4, "TitleBarY 8"); },
     Severity::kError, "Setup.ini", 5, "refuses to start"},
    {"= taken by a lead byte", [](Skin& s) { s.Set(23, "AutoStartText\x81=Go"); },
     Severity::kError, "Setup.ini", 23, "takes the \"=\""},
    {"line break taken by a lead byte", [](Skin& s) { s.Set(21, "CreateShortcutDescription0=Go\x82"); },
     Severity::kWarning, "Setup.ini", 21, "line break as its second byte"},
    {"Shift-JIS text after a byte order mark", [](Skin& s) { s.ini[0] = "\xEF\xBB\xBF; test skin"; },
     Severity::kError, "Setup.ini", 2, "value of \"Caption\" is not valid UTF-8 text (at its byte 1: 83)"},
    {"UTF-8 file but for one line", [](Skin& s) { s.Set(2, u8"Caption=テスト"), s.Set(23, "AutoStartText=\x82\xA0"); },
     Severity::kWarning, "Setup.ini", 23, "UTF-8 except for the bytes 82 on this line"},
    {"value that is no code page 932 text", [](Skin& s) { s.Set(23, "AutoStartText=Go\x81\x7F"); },
     Severity::kError, "Setup.ini", 23,
     "is not valid Shift-JIS (code page 932) text (at its byte 3: 81 7F): setup.exe refuses to start"},
    {"key in the wrong case", [](Skin& s) { s.Set(16, "installDest=App"); },
     Severity::kError, "Setup.ini", 16, "did you mean InstallDest?"},
    {"blank before a key", [](Skin& s) { s.Set(12, " ExitButtonX=280"); },
     Severity::kError, "Setup.ini", 12, "did you mean ExitButtonX?"},
    {"blank after a key", [](Skin& s) { s.Set(3, "UninstallIni =SkinToolTest.ini"); },
     Severity::kError, "Setup.ini", 3, "did you mean UninstallIni?"},
    {"misspelt key", [](Skin& s) { s.ini.push_back("ProgresBarX=100"); },
     Severity::kWarning, "Setup.ini", 25, "did you mean ProgressBarX?"},
    {"index out of range", [](Skin& s) { s.ini.push_back("CreateDirectory5=More"); },
     Severity::kWarning, "Setup.ini", 25, "only CreateDirectory0 to CreateDirectory4"},
    {"unknown key", [](Skin& s) { s.ini.push_back("Colour=red"); },
     Severity::kWarning, "Setup.ini", 25, "unknown key \"Colour\""},
    {"not a number", [](Skin& s) { s.Set(8, "InstallButtonX=twenty"); },
     Severity::kError, "Setup.ini", 8, "is not a number: setup.exe reads it as 0"},
    {"misspelt button key", [](Skin& s) { s.Set(8, "InstalButtonX=20"); },
     Severity::kError, "Setup.ini", 8,
     "unknown key \"InstalButtonX\", ignored by setup.exe; without InstallButtonX it places ui\\Install and "
     "ui\\Install_h at x = 0 (a missing number reads as 0); did you mean InstallButtonX?"},
    {"misspelt button key on the other axis", [](Skin& s) { s.Set(13, "ExitButonY=250"); },
     Severity::kError, "Setup.ini", 13, "without ExitButtonY it places ui\\Exit and ui\\Exit_h at y = 0"},
    {"bar key in the wrong case", [](Skin& s) { s.Set(15, "ProgressbarY=200"); },
     Severity::kError, "Setup.ini", 15,
     "without ProgressBarY it places ui\\ProgressBar at y = 0 (a missing number reads as 0); did you mean "
     "ProgressBarY? (keys are exact: case and blanks count)"},
    {"title key in the wrong case", [](Skin& s) { s.Set(4, "TitlebarX=10"); },
     Severity::kError, "Setup.ini", 4, "without TitleBarX the title rectangle starts at x = 0"},
    {"misspelt title size", [](Skin& s) { s.Set(6, "TitleBarWidht=380"); },
     Severity::kError, "Setup.ini", 6,
     "without TitleBarWidth the title rectangle is one pixel wide (a missing number reads as 0), so the window can "
     "hardly be moved"},
    {"number with a unit", [](Skin& s) { s.Set(9, "InstallButtonY=250px"); },
     Severity::kWarning, "Setup.ini", 9, "reads it as 250"},
    {"key past the store's capacity",
     [](Skin& s) {
       for (int i = 0; i < SetupIni::kSlots; ++i) s.ini.push_back("Filler" + std::to_string(i) + "=1");
       s.ini.push_back("CreateDirectory4=More");
     },
     Severity::kError, "Setup.ini", 24 + SetupIni::kSlots + 1, "comes after the 260th entry"},
    {"duplicate key", [](Skin& s) { s.ini.push_back("InstallDest=Other"); },
     Severity::kWarning, "Setup.ini", 25, "duplicate key InstallDest: setup.exe reads the first one (line 16)"},
    {"missing picture", [](Skin& s) { s.files.erase("ui\\Exit_h"); },
     Severity::kError, "ui\\Exit_h", 0, "not found"},
    {"picture shadowed by an earlier extension",
     [](Skin& s) { s.files["ui\\ProgressBar.png"] = MakePng(Gradient(200, 10)); },
     Severity::kWarning, "ui\\ProgressBar.bmp", 0, "takes ui\\ProgressBar.png first"},
    {"scrambled PNG before plain PNG",
     [](Skin& s) { s.files["ui\\Install.iep"] = ScrambleAll(MakePng(Gradient(80, 30))); },
     Severity::kWarning, "ui\\Install.png", 0, "takes ui\\Install.iep first"},
    {"bare name before any extension",
     [](Skin& s) { s.files["ui\\Exit_h.iep"] = ScrambleAll(MakePng(Gradient(80, 30))); },
     Severity::kWarning, "ui\\Exit_h.iep", 0, "takes ui\\Exit_h first"},
    {"8-bit BMP", [](Skin& s) { s.files["ui\\ProgressBar.bmp"] = MakeBmpOfDepth(200, 10, 8); },
     Severity::kError, "ui\\ProgressBar.bmp", 0, "8-bit BMP"},
    {"palette PNG", [](Skin& s) { s.files["ui\\Install.png"] = MakePalettePng(80, 30); },
     Severity::kError, "ui\\Install.png", 0,
     "PNG colour type 3 (palette): setup.exe reads only RGB (2) and RGBA (6) PNG files (ImageMagick and other tools "
     "write palette or grey PNGs by themselves for a picture of few colours or only greys); save it as RGB: convert "
     "ui\\Install.png PNG24:ui\\Install.png (or PNG32: with alpha)"},
    {"grey PNG, scrambled", [](Skin& s) { s.files["ui\\Install_h.iep"] = ScrambleAll(MakeGreyPng(90, 36)); },
     Severity::kError, "ui\\Install_h.iep", 0,
     "colour type 0 (grey): setup.exe reads only RGB (2) and RGBA (6) PNG files (ImageMagick and other tools write "
     "palette or grey PNGs by themselves for a picture of few colours or only greys); save it as RGB: unscramble it, "
     "convert ui\\Install_h.png PNG24:ui\\Install_h.png and scramble it again (or PNG32: with alpha)"},
    {"CMYK JPEG", [](Skin& s) { s.files["ui\\Exit.jpg"] = MakeJpeg(Gradient(80, 30), false, true); },
     Severity::kError, "ui\\Exit.jpg", 0,
     "a CMYK JPEG: setup.exe reads only RGB and grey JPEG files and refuses it as damaged; save it in RGB colour: "
     "convert ui\\Exit.jpg -colorspace sRGB ui\\Exit.jpg"},
    {"CMYK JPEG, scrambled",
     [](Skin& s) { s.files["ui\\Uninstall_h.iej"] = ScrambleAll(MakeJpeg(Gradient(80, 30), false, true)); },
     Severity::kError, "ui\\Uninstall_h.iej", 0,
     "a CMYK JPEG: setup.exe reads only RGB and grey JPEG files and refuses it as damaged; save it in RGB colour: "
     "unscramble it, convert ui\\Uninstall_h.jpg -colorspace sRGB ui\\Uninstall_h.jpg and scramble it again"},
    {"base with a transparent white corner",
     [](Skin& s) {
       s.files.erase("ui\\base.bmp");
       s.files["ui\\base.png"] = TransparentCorner(BasePicture(), 6, {255, 255, 255});
     },
     Severity::kError, "ui\\base.png", 0,
     "36 pixels are transparent or translucent (alpha below 255, the first at (0,0)) but not pure black: setup.exe "
     "ignores alpha, so the window shows them in their own colour instead of cutting them out; make what should be "
     "cut out pure black (0,0,0)"},
    {"highlight with transparent corners, scrambled",
     [](Skin& s) { s.files["ui\\Install_h.iep"] = ScrambleAll(TransparentCorner(Gradient(90, 36), 2, {9, 9, 9})); },
     Severity::kWarning, "ui\\Install_h.iep", 0,
     "4 pixels are transparent or translucent (alpha below 255, the first at (0,0)): setup.exe ignores alpha and "
     "draws the picture as an opaque rectangle, so they show in their own colour, not the base under them"},
    {"JPEG base with cut-out corners",
     [](Skin& s) { s.files.erase("ui\\base.bmp"), s.files["ui\\base.jpg"] = MakeJpeg(BasePicture()); },
     Severity::kWarning, "ui\\base.jpg", 0,
     "but not pure black: only pure black (0,0,0) is cut out, and JPEG never keeps it exact, so around cut-out "
     "areas they stay on the window as dark specks; save the base as PNG or BMP"},
    {"truncated PNG",
     [](Skin& s) { Bytes& b = s.files["ui\\Install.png"]; b.resize(b.size() / 2); },
     Severity::kError, "ui\\Install.png", 0, "cannot read it"},
    {"plain PNG under .iep",
     [](Skin& s) { s.files["ui\\Install_h.iep"] = MakePng(Gradient(90, 36)); },
     Severity::kError, "ui\\Install_h.iep", 0, "holds a plain PNG (name it .png)"},
    {"plain BMP under .ieg",
     [](Skin& s) { s.files["ui\\Uninstall.ieg"] = MakeBmp(Gradient(80, 30)); },
     Severity::kError, "ui\\Uninstall.ieg", 0, "holds a plain BMP (name it .bmp)"},
    {"base larger than a small laptop's work area",
     [](Skin& s) { s.files["ui\\base.bmp"] = MakeBmp(Gradient(1367, 300)); },
     Severity::kWarning, "ui\\base.bmp", 0, "1367 x 300 pixels, larger than a small laptop's work area (1366 x 728)"},
    {"narrow progress bar", [](Skin& s) { s.files["ui\\ProgressBar.bmp"] = MakeBmp(Gradient(99, 10)); },
     Severity::kError, "ui\\ProgressBar.bmp", 0, "99 pixels wide"},
    {"button off the base", [](Skin& s) { s.Set(12, "ExitButtonX=500"); },
     Severity::kError, "Setup.ini", 12, "the button cannot be seen or clicked"},
    {"button partly off the base", [](Skin& s) { s.Set(12, "ExitButtonX=350"); },
     Severity::kWarning, "Setup.ini", 12, "2400 pixels lie outside"},
    {"button on cut-out pixels", [](Skin& s) { s.Set(8, "InstallButtonX=95"), s.Set(9, "InstallButtonY=95"); },
     Severity::kWarning, "Setup.ini", 8, "100 of its 2400 pixels lie on pure-black"},
    {"title rectangle on a cut-out corner",
     [](Skin& s) { s.Set(4, "TitleBarX=0"), s.Set(5, "TitleBarY=0"), s.Set(6, "TitleBarWidth=5"),
                   s.Set(7, "TitleBarHeight=5"); },
     Severity::kError, "Setup.ini", 4, "the window cannot be moved"},
    {"title rectangle partly outside",
     [](Skin& s) { s.Set(4, "TitleBarX=50"), s.Set(6, "TitleBarWidth=400"); },
     Severity::kWarning, "Setup.ini", 4, "1500 of its 12000 pixels lie outside"},
    {"progress bar on cut-out pixels", [](Skin& s) { s.Set(15, "ProgressBarY=295"); },
     Severity::kWarning, "Setup.ini", 14, "partly off the window"},
    {"InstallDest not made", [](Skin& s) { s.Set(17, "CreateDirectory0="); },
     Severity::kError, "Setup.ini", 16, "not made by any CreateDirectory0..4 key"},
    {"InstallDest made before its parent",
     [](Skin& s) { s.Set(16, "InstallDest=Co\\App"), s.Set(17, "CreateDirectory0=Co\\App"); },
     Severity::kError, "Setup.ini", 16, "its parent folder is never made first"},
    {"empty InstallDest", [](Skin& s) { s.Set(16, "InstallDest="); },
     Severity::kWarning, "Setup.ini", 16, "InstallDest is empty"},
    {"InstallDest with a drive", [](Skin& s) { s.Set(16, "InstallDest=C:\\App"); },
     Severity::kError, "Setup.ini", 16, "must be relative"},
    {"shortcut to a file the payload lacks", [](Skin& s) { s.Set(19, "CreateShortcutFrom0=App\\gone.exe"); },
     Severity::kError, "Setup.ini", 19, "the payload has no data\\gone.exe"},
    {"shortcut outside InstallDest", [](Skin& s) { s.Set(19, "CreateShortcutFrom0=app.exe"); },
     Severity::kError, "Setup.ini", 19, "is outside InstallDest"},
    {"shortcut without a link name", [](Skin& s) { s.Set(20, "CreateShortcutTo0="); },
     Severity::kWarning, "Setup.ini", 19, "CreateShortcutTo0 is empty"},
    {"shortcut folder not made", [](Skin& s) { s.Set(18, "CreateStartmenuDirectory0=Other"); },
     Severity::kError, "Setup.ini", 20, "no CreateStartmenuDirectory0..4 key makes its folder \"My App\""},
    {"auto-start target missing", [](Skin& s) { s.Set(24, "AutoStartPath=App\\doc\\gone.txt"); },
     Severity::kError, "Setup.ini", 24, "the payload has no data\\doc\\gone.txt"},
    {"auto-start without a path", [](Skin& s) { s.Set(24, "AutoStartPath="); },
     Severity::kError, "Setup.ini", 22, "AutoStartPath is empty"},
    {"empty UninstallIni", [](Skin& s) { s.Set(3, "UninstallIni="); },
     Severity::kError, "Setup.ini", 3, "can never be uninstalled"},
    {"missing UninstallIni", [](Skin& s) { s.Set(3, "; no record"); },
     Severity::kError, "Setup.ini", 0, "can never be uninstalled"},
    {"UninstallIni with a folder", [](Skin& s) { s.Set(3, "UninstallIni=sub\\rec.ini"); },
     Severity::kError, "Setup.ini", 3, "must be a plain file name"},
    {"UninstallIni naming a Windows file", [](Skin& s) { s.Set(3, "UninstallIni=WIN.INI"); },
     Severity::kError, "Setup.ini", 3, "a file of Windows itself"},
    {"payload file of 4 GiB", [](Skin& s) { s.sparseFiles["data\\big.bin"] = skintool::kFourGiB; },
     Severity::kError, "data\\big.bin", 0, "4 GiB or larger (4294967296 bytes)"},
    {"payload file of 4 GiB named outside code page 932",
     [](Skin& s) { s.sparseFiles[u8"data\\한글\\😀 café.bin"] = skintool::kFourGiB; },
     Severity::kError, u8"data\\한글\\😀 café.bin", 0, "4 GiB or larger"},
    {"no payload",
     [](Skin& s) { s.files.erase("data\\app.exe"), s.files.erase("data\\doc\\readme.txt"); },
     Severity::kError, "data", 0, "payload folder data is missing"},
};

class SkinCheckCases : public SkinCheck, public testing::WithParamInterface<Case> {};

TEST_P(SkinCheckCases, FindsTheProblemAtItsFileAndLine) {
  const Case& c = GetParam();
  Skin skin;
  c.breakIt(skin);
  const std::vector<Finding> findings = Check(skin);
  bool found = false;
  for (const Finding& f : findings) {
    found = found || (f.severity == c.severity && f.file == c.file && f.line == c.line &&
                      f.message.find(c.says) != std::string::npos);
  }
  EXPECT_TRUE(found) << c.name << ": expected " << (c.severity == Severity::kError ? "error" : "warning")
                     << " at " << c.file << ":" << c.line << " saying \"" << c.says << "\"; found:"
                     << Describe(findings);
}

std::string CaseName(const testing::TestParamInfo<Case>& info) {
  std::string name;
  for (const char* p = info.param.name; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Broken, SkinCheckCases, testing::ValuesIn(kCases), CaseName);

// ----- the checker says what setup.exe's own code does ------------------------

// A value fed to setup.exe's code and to the checker: setup.exe skips or
// refuses it exactly when the checker reports an error at it.
struct Agreement {
  const char* name;
  std::string setting;  // "Key=value" in place of line `line` (25: a new line)
  int line = 0;
  std::function<void(Skin&)> picture = nullptr;  // or the picture `file` made so
  std::string file = "Setup.ini";
  bool utf8 = false;  // Setup.ini in UTF-8 (its Caption too), setting written in it
};

Bytes Bar(int width) { return MakeBmp(Gradient(width, 10)); }

const Agreement kAgreements[] = {
    {"folder up and out", "CreateDirectory1=..\\Out", 25},
    {"folder in and out", "CreateDirectory1=In\\..\\..\\Out", 25},
    {"folder with a trailing backslash", "CreateDirectory1=Out\\", 25},
    {"folder with a drive", "CreateDirectory1=C:\\Out", 25},
    {"folder so", "CreateDirectory1=\x83\x5C", 25},  // ソ: 5C is a trail byte
    {"folder hyo and a backslash", "CreateDirectory1=\x95\x5C\\", 25},  // 表
    {"start-menu folder up and out", "CreateStartmenuDirectory1=..\\Out", 25},
    {"start-menu folder so", "CreateStartmenuDirectory1=\x83\x5C", 25},
    {"shortcut up and out", "CreateShortcutTo0=..\\App.lnk", 20},
    {"shortcut named so", "CreateShortcutTo0=\x83\x5C.lnk", 20},
    {"install destination up and out", "InstallDest=App\\..\\..\\Out", 16},
    {"auto-start of a shortcut", "AutoStartPath=App\\app.LNK", 24},
    {"auto-start of a program", "AutoStartPath=App\\app.exe", 24},
    {"record with a folder part", "UninstallIni=sub\\rec.ini", 3},
    {"record with a drive", "UninstallIni=C:rec.ini", 3},
    {"record with a trailing backslash", "UninstallIni=rec\\", 3},
    {"record named so", "UninstallIni=\x83\x5C.ini", 3},
    {"record named in Hangul", u8"UninstallIni=한글.ini", 3, nullptr, "Setup.ini", true},
    {"folder named with an emoji", u8"CreateDirectory1=😀 café", 25, nullptr, "Setup.ini", true},
    {"folder up and out past an emoji", u8"CreateDirectory1=😀\\..\\..\\Out", 25, nullptr, "Setup.ini", true},
    {"number", "InstallButtonX=20", 8},
    {"number with a unit", "InstallButtonX=20px", 8},
    {"word for a number", "InstallButtonX=twenty", 8},
    {"number out of range", "InstallButtonX=99999999999", 8},
    {"bar of 99 pixels", "", 0, [](Skin& s) { s.files["ui\\ProgressBar.bmp"] = Bar(99); }, "ui\\ProgressBar.bmp"},
    {"bar of 100 pixels", "", 0, [](Skin& s) { s.files["ui\\ProgressBar.bmp"] = Bar(100); }, "ui\\ProgressBar.bmp"},
    {"picture file over the size limit", "", 0,
     [](Skin& s) { s.files.erase("ui\\Exit_h"), s.sparseFiles["ui\\Exit_h"] = kMaxPictureFileBytes + 1; }, "ui\\Exit_h"},
    {"CMYK JPEG", "", 0,
     [](Skin& s) { s.files["ui\\Exit.jpg"] = MakeJpeg(Gradient(80, 30), false, true); }, "ui\\Exit.jpg"},
    {"grey JPEG", "", 0, [](Skin& s) { s.files["ui\\Exit.jpg"] = MakeJpeg(Gradient(80, 30), true); }, "ui\\Exit.jpg"},
    {"picture wider than the side limit", "", 0,
     [](Skin& s) { s.files["ui\\Exit_h"] = MakeBmp(Gradient(kMaxPictureSide + 1, 1)); }, "ui\\Exit_h"},
};

const SetupIni* settingsOfProbe = nullptr;

TEST_F(SkinCheck, SaysWhatSetupExesOwnCodeDoesWithTheSameValues) {
  for (const Agreement& a : kAgreements) {
    SCOPED_TRACE(a.name);
    Skin skin;
    if (a.picture) a.picture(skin);
    if (a.utf8) skin.Set(2, u8"Caption=テスト");
    if (a.line) a.line > 24 ? skin.ini.push_back(a.setting) : skin.Set(a.line, a.setting);
    RemoveTree(root_);
    const std::vector<Finding> findings = Check(skin);
    auto settings = std::make_unique<SetupIni>();
    MemoryByteSource source(skin.IniText());
    ASSERT_TRUE(settings->LoadFrom(source));
    EXPECT_EQ(settings->encoding, a.utf8 ? TextEncoding::kUtf8 : TextEncoding::kShiftJis);
    const std::string key = a.setting.substr(0, a.setting.find('='));
    const std::wstring value = settings->TextOf(key.c_str());

    bool error = false;
    for (const Finding& f : findings) {
      if (f.file != a.file || f.line != a.line) continue;
      error = error || f.severity == Severity::kError;
      const size_t readsAs = f.message.find("setup.exe reads it as ");
      if (readsAs != std::string::npos) {  // a number: the checker names the one setup.exe reads
        EXPECT_EQ(f.message.substr(readsAs + 22), std::to_string(settings->NumberOf(key.c_str()))) << f.message;
      }
    }
    if (key == "InstallButtonX") continue;  // a number: checked above
    // Whether setup.exe does what the skin asks: makes the folder, saves the
    // shortcut, writes the record, takes the bar or loads the picture.
    std::wstring path;
    bool does = true;
    if (key == "UninstallIni") {
      does = BuildRecordPath(value, path);
    } else if (key == "CreateShortcutTo0") {  // the check before a shortcut is saved
      does = IsStrictlyInside(JoinPath(L"C:\\Programs", value), L"C:\\Programs");
    } else if (key == "InstallDest") {  // InstallCommand's refusal
      does = IsStrictlyInside(JoinPath(L"C:\\Chosen", value), L"C:\\Chosen");
    } else if (key == "AutoStartPath") {  // what the auto-start refuses by its name alone
      does = !IsLinkLikeName(value);
    } else if (!key.empty()) {  // CreateDirectoryN, CreateStartmenuDirectoryN
      std::wstring base;
      CreateDirectoryW(Wide(Path("chosen")).c_str(), nullptr);
      ASSERT_TRUE(ResolveFullPath(Wide(Path("chosen")), base));
      settingsOfProbe = settings.get();
      installHost.settingText = [](const char* name) { return settingsOfProbe->TextOf(name); };
      CreateConfiguredFolder(base, key.c_str());
      does = GetFileAttributesW(JoinPath(base, value).c_str()) != INVALID_FILE_ATTRIBUTES;
    } else if (a.file == "ui\\ProgressBar.bmp") {
      DecodedPicture bar;
      const Bytes& file = skin.files.at(a.file);
      ASSERT_EQ(DecodeBmp(file.data(), file.size(), false, bar), DecodeStatus::kOk);
      does = !(bar.width < kMinimumBarWidth);  // InstallCommand's refusal
    } else {
      MessageCapture capture;
      Surface picture(nullptr, 1, 1);
      char name[MAX_PATH];
      lstrcpynA(name, Path(a.file).c_str(), MAX_PATH);
      picture.Load(name);
      does = capture.messages().empty();
    }
    EXPECT_EQ(error, !does) << Describe(findings);
  }
}

TEST_F(SkinCheck, APayloadOfFourGibibytesInSmallerFilesIsAnError) {
  Skin skin;
  Check(skin);
  MakeSparseFile(Path("data\\part1.bin"), skintool::kFourGiB - 18);
  MakeSparseFile(Path("data\\part2.bin"), 8);
  std::vector<Finding> findings = skintool::CheckSkinFolder(*skintool::OpenDiskFolder(root_));
  EXPECT_TRUE(findings.empty()) << "one byte under 4 GiB (with app.exe and readme.txt):" << Describe(findings);
  MakeSparseFile(Path("data\\part2.bin"), 9);
  findings = skintool::CheckSkinFolder(*skintool::OpenDiskFolder(root_));
  ASSERT_EQ(findings.size(), 1u) << Describe(findings);
  EXPECT_EQ(skintool::FormatFinding(findings[0]),
            "data: error: the payload holds 4294967296 bytes, 4 GiB or more: setup.exe counts sizes in 32 bits "
            "(free space and progress go wrong)");
}

TEST_F(SkinCheck, ATitleRectangleAsWideAsTheBaseAndOverItsCornersIsFine) {
  Skin skin;
  skin.Set(4, "TitleBarX=0");
  skin.Set(5, "TitleBarY=0");
  skin.Set(6, "TitleBarWidth=400");
  const std::vector<Finding> findings = Check(skin);
  EXPECT_TRUE(findings.empty()) << Describe(findings);
}

TEST_F(SkinCheck, TransparentPixelsThatArePureBlackAreCutOutAsMeant) {
  Skin skin;
  skin.files.erase("ui\\base.bmp");
  skin.files["ui\\base.png"] = TransparentCorner(BasePicture(), 6, {0, 0, 0});
  const std::vector<Finding> findings = Check(skin);
  EXPECT_TRUE(findings.empty()) << Describe(findings);
}

TEST_F(SkinCheck, NamesMatchWithoutCaseAsOnWindows) {
  Skin skin;
  skin.files.clear();
  skin.files["UI\\BASE.BMP"] = MakeBmp(BasePicture());
  skin.files["ui\\install.PNG"] = MakePng(Gradient(80, 30));
  for (const char* name : {"ui\\Uninstall.bmp", "ui\\Exit.bmp", "ui\\Install_h.bmp", "ui\\Uninstall_h.bmp",
                           "ui\\Exit_h.bmp", "ui\\ProgressBar.bmp"}) {
    skin.files[name] = MakeBmp(Gradient(name[3] == 'P' ? 200 : 80, 10));
  }
  skin.files["DATA\\APP.EXE"] = Text("MZ");
  const std::vector<Finding> findings = Check(skin);
  EXPECT_TRUE(findings.empty()) << Describe(findings);
}

// A folder held in memory keeps names outside code page 932 exactly, and
// finds them with ASCII letters in any case.
TEST(MemoryFolderView, KeepsNamesOutsideCodePage932Exactly) {
  skintool::MemoryFolder folder;
  folder.AddFile(u8"data\\Café\\한글.txt", "x");
  folder.AddSizedFile(u8"data/😀.bin", skintool::kFourGiB);
  EXPECT_EQ(folder.Kind(u8"DATA/café\\한글.TXT"), skintool::EntryKind::kFile);
  EXPECT_EQ(folder.Kind(u8"data\\CAFé"), skintool::EntryKind::kFolder);
  std::vector<std::string> names;
  folder.ForEachFile("Data", [&](const std::string& name, uint64_t) { names.push_back(name); });
  EXPECT_EQ(names, (std::vector<std::string>{u8"Café\\한글.txt", u8"😀.bin"}));
  bool reported = false;
  for (const Finding& f : skintool::CheckSkin(nullptr, folder)) {
    reported = reported || (f.file == u8"data\\😀.bin" && f.message.find("4 GiB or larger") != std::string::npos);
  }
  EXPECT_TRUE(reported);
}

// ----- Setup.ini as setup.exe reads it --------------------------------------

TEST(IniScan, CountsLinesAsAnEditorDoesAndReadsOnPastABrokenLine) {
  const std::string input = "A=1\r\nB=2\rC=3\n\n;x\r\nbroken line\r\nD=4\n";
  const skintool::IniScan scan = skintool::ScanSetupIni(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  ASSERT_EQ(scan.entries.size(), 4u);
  EXPECT_EQ(scan.entries[0].line, 1);
  EXPECT_EQ(scan.entries[1].line, 2);
  EXPECT_EQ(scan.entries[2].line, 3);
  EXPECT_EQ(scan.entries[3].line, 7);
  EXPECT_EQ(scan.entries[3].key, "D");  // in the slot the broken line had begun to fill
  EXPECT_EQ(scan.linesWithoutEquals, std::vector<int>{6});
  EXPECT_FALSE(scan.loads);
}

// ----- scramble and unscramble ------------------------------------------------

class SkinToolCommand : public ScratchFolder {
 protected:
  int Run(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = skintool::RunSkinTool(args, out, err);
    out_ = out.str();
    err_ = err.str();
    return status;
  }
  std::string out_, err_;
};

TEST_F(SkinToolCommand, ScrambleAndUnscrambleRoundTripByteForByte) {
  struct Form {
    const char* plain;
    const char* scrambled;
    const char* restored;  // unscramble writes the extension in lower case
    Bytes bytes;
    Bytes expected;  // the scrambled form, made by the tests' own helpers
  };
  const Bytes bmp = MakeBmp(Gradient(7, 5)), bmp8 = MakeBmpOfDepth(9, 3, 8);
  const Bytes png = MakePng(Gradient(6, 4), 6), jpeg = MakeJpeg(Gradient(16, 8));
  const Form forms[] = {
      {"a.bmp", "a.ieg", "a.bmp", bmp, ScrambleBmp(bmp)},
      {"b.BMP", "b.ieg", "b.bmp", bmp8, ScrambleBmp(bmp8)},  // its pixels start after a palette
      {"c.png", "c.iep", "c.png", png, ScrambleAll(png)},
      {"d.jpg", "d.iej", "d.jpg", jpeg, ScrambleAll(jpeg)},
      {u8"한글 😀.png", u8"한글 😀.iep", u8"한글 😀.png", png, ScrambleAll(png)},  // a name outside code page 932
  };
  for (const Form& form : forms) {
    SCOPED_TRACE(form.plain);
    Put(form.plain, form.bytes);
    ASSERT_EQ(Run({"scramble", Path(form.plain)}), skintool::kExitOk) << err_;
    EXPECT_EQ(out_, Path(form.plain) + " -> " + Path(form.scrambled) + "\n");
    EXPECT_EQ(ReadBytes(Path(form.scrambled)), form.expected);

    DeleteFileW(Wide(Path(form.plain)).c_str());
    ASSERT_EQ(Run({"unscramble", Path(form.scrambled)}), skintool::kExitOk) << err_;
    EXPECT_EQ(out_, Path(form.scrambled) + " -> " + Path(form.restored) + "\n");
    EXPECT_EQ(ReadBytes(Path(form.restored)), form.bytes);
  }
}

TEST_F(SkinToolCommand, ScrambledPicturesDecodeToThePlainOnesPixels) {
  const Bytes bmp = MakeBmp(Gradient(7, 5)), png = MakePng(Gradient(6, 4));
  Put("p.bmp", bmp);
  Put("p.png", png);
  ASSERT_EQ(Run({"scramble", Path("p.bmp"), Path("p.png")}), skintool::kExitOk) << err_;
  DecodedPicture plain, scrambled;
  const Bytes ieg = ReadBytes(Path("p.ieg")), iep = ReadBytes(Path("p.iep"));
  ASSERT_EQ(DecodeBmp(bmp.data(), bmp.size(), false, plain), DecodeStatus::kOk);
  ASSERT_EQ(DecodeBmp(ieg.data(), ieg.size(), true, scrambled), DecodeStatus::kOk);
  EXPECT_EQ(scrambled.pixels, plain.pixels);
  ASSERT_EQ(DecodePng(png.data(), png.size(), false, plain), DecodeStatus::kOk);
  ASSERT_EQ(DecodePng(iep.data(), iep.size(), true, scrambled), DecodeStatus::kOk);
  EXPECT_EQ(scrambled.pixels, plain.pixels);
}

TEST_F(SkinToolCommand, AnExistingFileIsReplacedOnlyWithForce) {
  const Bytes png = MakePng(Gradient(6, 4));
  Put("x.png", png);
  Put("x.iep", Text("keep me"));
  EXPECT_EQ(Run({"scramble", Path("x.png")}), skintool::kExitProblems);
  EXPECT_NE(err_.find("exists already (give --force to replace it)"), std::string::npos) << err_;
  EXPECT_EQ(ReadBytes(Path("x.iep")), Text("keep me"));
  EXPECT_EQ(Run({"scramble", "--force", Path("x.png")}), skintool::kExitOk) << err_;
  EXPECT_EQ(ReadBytes(Path("x.iep")), ScrambleAll(png));
}

TEST_F(SkinToolCommand, RefusesFilesItCannotConvertAndGoesOnWithTheRest) {
  Put("good.png", MakePng(Gradient(6, 4)));
  Put("notes.txt", Text("hello"));
  Put("fake.bmp", MakePng(Gradient(6, 4)));
  Put("twice.iep", ScrambleAll(MakePng(Gradient(6, 4))));
  Put("photo.jpeg", MakeJpeg(Gradient(8, 8)));
  EXPECT_EQ(Run({"scramble", Path("notes.txt"), Path("fake.bmp"), Path("twice.iep"), Path("photo.jpeg"),
                 Path("missing.png"), Path("good.png")}),
            skintool::kExitProblems);
  EXPECT_NE(err_.find("notes.txt: unknown extension \".txt\""), std::string::npos) << err_;
  EXPECT_NE(err_.find("fake.bmp: not a BMP file"), std::string::npos) << err_;
  EXPECT_NE(err_.find("twice.iep: already scrambled"), std::string::npos) << err_;
  EXPECT_NE(err_.find("photo.jpeg: setup.exe looks only for .jpg and .iej"), std::string::npos) << err_;
  EXPECT_NE(err_.find("missing.png: cannot be read"), std::string::npos) << err_;
  EXPECT_FALSE(Exists(Path("fake.ieg")));
  EXPECT_TRUE(Exists(Path("good.iep")));

  Put("plain.iep", MakePng(Gradient(6, 4)));
  EXPECT_EQ(Run({"unscramble", Path("plain.iep")}), skintool::kExitProblems);
  EXPECT_NE(err_.find("not a scrambled PNG file"), std::string::npos) << err_;
  EXPECT_FALSE(Exists(Path("plain.png")));
}

TEST_F(SkinToolCommand, APlainJpegUnderIejComesBackAsItIs) {
  const Bytes jpeg = MakeJpeg(Gradient(8, 8));
  Put("j.iej", jpeg);
  EXPECT_EQ(Run({"unscramble", Path("j.iej")}), skintool::kExitOk) << err_;
  EXPECT_EQ(ReadBytes(Path("j.jpg")), jpeg);
}

TEST_F(SkinToolCommand, ExitCodes) {
  EXPECT_EQ(Run({}), skintool::kExitUsage);
  EXPECT_NE(err_.find("usage:"), std::string::npos);
  EXPECT_EQ(Run({"--help"}), skintool::kExitOk);
  EXPECT_NE(out_.find("skintool check [--strict] FOLDER"), std::string::npos);
  EXPECT_EQ(Run({"frobnicate"}), skintool::kExitUsage);
  EXPECT_EQ(Run({"check"}), skintool::kExitUsage);
  EXPECT_EQ(Run({"check", Path("nowhere")}), skintool::kExitUsage);
  EXPECT_EQ(Run({"check", "--force", root_}), skintool::kExitUsage);
  EXPECT_EQ(Run({"scramble"}), skintool::kExitUsage);
  EXPECT_EQ(Run({"scramble", "--strict", "x.png"}), skintool::kExitUsage);

  // A folder with nothing in it: errors.
  EXPECT_EQ(Run({"check", root_}), skintool::kExitProblems);
  EXPECT_NE(out_.find("Setup.ini: error: Setup.ini is missing"), std::string::npos) << out_;

  // A clean skin, then one with a warning only.
  Skin skin;
  Put("Setup.ini", Text(skin.IniText()));
  for (const auto& [name, bytes] : skin.files) Put(name, bytes);
  const std::string shiftJis = "Setup.ini: read as Shift-JIS (code page 932)\n";
  EXPECT_EQ(Run({"check", root_}), skintool::kExitOk) << out_;
  EXPECT_EQ(out_, shiftJis + root_ + ": no problems found\n");
  skin.ini.push_back("Colour=red");
  Put("Setup.ini", Text(skin.IniText()));
  EXPECT_EQ(Run({"check", root_}), skintool::kExitOk) << out_;
  EXPECT_EQ(out_, shiftJis + "Setup.ini:25: warning: unknown key \"Colour\", ignored by setup.exe\n" + root_ +
                      ": 0 errors, 1 warning\n");
  EXPECT_EQ(Run({"check", "--strict", root_}), skintool::kExitProblems);

  // The same in UTF-8: its texts come out as they are.
  skin.Set(2, u8"Caption=ほしぞらソフト");
  skin.Set(25, u8"色=red");
  Put("Setup.ini", Text(skin.IniText()));
  EXPECT_EQ(Run({"check", root_}), skintool::kExitOk) << out_;
  EXPECT_EQ(out_, u8"Setup.ini: read as UTF-8\nSetup.ini:25: warning: unknown key \"色\", ignored by setup.exe\n" +
                      root_ + ": 0 errors, 1 warning\n");
}

}  // namespace
