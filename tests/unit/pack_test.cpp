// skintool pack and unpack with the build's own setup.exe as the program: the
// archive holds exactly the folder, in order, and setup.exe's reader finds it;
// unpack gives the same bytes and folders back; the same folder packs to the
// same bytes; damage, plain, packed and signed programs, links, names that
// lead outside and non-empty folders are each met as they should be; check
// and preview read a packed file as they read its folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/packed_layout.h"
#include "common/sha256.h"
#include "common/skin_archive.h"
#include "common/text_encoding.h"
#include "installer/path_guard.h"
#include "installer/setup_shell.h"
#include "tests/unit/picture_files.h"
#include "tools/skin_tool/archive_view.h"
#include "tools/skin_tool/cli.h"
#include "tools/skin_tool/disk_io.h"
#include "tools/skin_tool/zip_writer.h"

namespace {

using skintool::EntryKind;
using Found = SkinArchive::Found;

std::wstring Wide(const std::string& path) { return WideFromUtf8(path); }

Bytes ReadBytes(const std::string& path) {
  Bytes bytes;
  EXPECT_TRUE(skintool::ReadWholeFile(path, bytes)) << path;
  return bytes;
}

void Write(const std::string& path, const Bytes& bytes) { WriteFileBytes(Wide(path), bytes); }

// The build copies setup.exe into this test's working folder.
const Bytes& Program() {
  static const Bytes program = ReadBytes(".\\setup.exe");
  return program;
}

Found OpenArchive(const std::string& path) { return SkinArchive().Open(Wide(path)); }

// Every file and folder below root: its path and its bytes, "/" for a folder.
std::map<std::string, std::string> Tree(const std::string& root, const std::string& below = "") {
  std::map<std::string, std::string> tree;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(Wide(root + "\\" + below + "*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return tree;
  do {
    const std::string name = Utf8FromWide(found.cFileName);
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      tree[below + name] = "/";
      for (const auto& entry : Tree(root, below + name + "\\")) tree.insert(entry);
    } else {
      const Bytes bytes = ReadBytes(root + "\\" + below + name);
      tree[below + name] = std::string(bytes.begin(), bytes.end());
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return tree;
}

// The certificate table's directory entry in a PE file's headers.
size_t SecurityEntry(const Bytes& pe) {
  const size_t optional = (pe[0x3C] | pe[0x3D] << 8 | pe[0x3E] << 16) + 24;
  return optional + (pe[optional] == 0x0B && pe[optional + 1] == 0x02 ? 112 : 96) + 32;
}

// The file as a signing tool leaves it: a certificate table appended, and
// named in the headers.
Bytes Signed(Bytes pe) {
  const uint32_t at = static_cast<uint32_t>(pe.size()), size = 16;
  pe.resize(pe.size() + size, 0x5A);
  for (int i = 0; i < 4; ++i) {
    pe[SecurityEntry(pe) + i] = static_cast<uint8_t>(at >> (8 * i));
    pe[SecurityEntry(pe) + 4 + i] = static_cast<uint8_t>(size >> (8 * i));
  }
  return pe;
}

class Pack : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(Program().size(), 4096u) << "setup.exe is missing from the working folder";
    CreateDirectoryW(L"pack", nullptr);
    root_ = "pack\\" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name());
    RemoveTree();
    CreateDirectoryW(Wide(root_).c_str(), nullptr);
  }
  void TearDown() override { RemoveTree(); }
  void RemoveTree() {
    std::wstring full;
    if (ResolveFullPath(Wide(root_), full)) SetupShell(nullptr).DeleteTreeContents(full);
    RemoveDirectoryW(Wide(root_).c_str());
  }

  std::string Path(const std::string& relative) const { return root_ + "\\" + relative; }
  void Put(const std::string& relative, const Bytes& bytes) const {
    std::string made;
    for (size_t at = relative.find('\\'); at != std::string::npos; at = relative.find('\\', at + 1)) {
      CreateDirectoryW(Wide(Path(relative.substr(0, at))).c_str(), nullptr);
    }
    Write(Path(relative), bytes);
  }
  void Folder(const std::string& relative) const { CreateDirectoryW(Wide(Path(relative)).c_str(), nullptr); }

  // A small setup folder below `at`: names outside code page 932, an empty
  // folder, a file of 3000 bytes.
  void MakeSkin(const std::string& at = "skin") const {
    Put(at + "\\setup.exe", Program());
    Put(at + "\\Setup.ini", Text(u8"Caption=ほしぞらソフト\r\nInstallDest=App\r\nCreateDirectory0=App\r\n"));
    Put(at + "\\ui\\base.png", MakePng(Gradient(40, 30)));
    Put(at + u8"\\data\\café.txt", Text("café"));
    Put(at + u8"\\data\\한글\\😀.txt", Text("emoji"));
    Folder(at + "\\data\\empty");
    Bytes big(3000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
    Put(at + "\\data\\big.bin", big);
  }

  int Run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = skintool::RunSkinTool(args, out, err);
    out_ = out.str();
    err_ = err.str();
    return status;
  }
  // Packs the skin folder into `name`; the packed file's bytes.
  Bytes Packed(const std::string& name = "packed.exe") {
    EXPECT_EQ(Run({"pack", "--force", Path("skin"), Path(name)}), skintool::kExitOk) << err_;
    return ReadBytes(Path(name));
  }

  static Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

  std::string root_, out_, err_;
};

TEST_F(Pack, TheArchiveHoldsTheFolderInOrderBehindTheProgram) {
  MakeSkin();
  const Bytes packed = Packed();
  SkinArchive archive;
  ASSERT_EQ(archive.Open(Wide(Path("packed.exe"))), Found::kArchive);
  struct Expected {
    std::wstring name;
    bool folder;
    uint64_t size;
  };
  const Bytes ini = ReadBytes(Path("skin\\Setup.ini")), png = ReadBytes(Path("skin\\ui\\base.png"));
  const std::vector<Expected> expected = {
      {L"Setup.ini", false, ini.size()}, {L"ui\\base.png", false, png.size()}, {L"data", true, 0},
      {L"data\\big.bin", false, 3000},   {L"data\\café.txt", false, 5},        {L"data\\empty", true, 0},
      {L"data\\한글", true, 0},          {L"data\\한글\\😀.txt", false, 5},
  };
  ASSERT_EQ(archive.Entries().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const SkinArchive::Entry& entry = archive.Entries()[i];
    EXPECT_EQ(entry.name, expected[i].name) << i;
    EXPECT_EQ(entry.folder, expected[i].folder) << i;
    EXPECT_EQ(entry.size, expected[i].size) << i;
  }
  EXPECT_EQ(archive.offset(), Program().size());
  EXPECT_TRUE(std::equal(Program().begin(), Program().end(), packed.begin()));
  EXPECT_EQ(packed.size() % 8, 0u);
  EXPECT_LT(packed.size() - kPackTrailerSize - archive.offset() - archive.size(), 8u);
  EXPECT_EQ(out_, Path("packed.exe") + ": 5 files, 3 folders, " + std::to_string(ini.size() + png.size() + 3010) +
                      " bytes in, archive " + std::to_string(archive.size()) + " bytes\n");
}

TEST_F(Pack, UnpackGivesTheSameBytesAndFoldersBack) {
  MakeSkin();
  Packed();
  ASSERT_EQ(Run({"unpack", Path("packed.exe"), Path("back\\deeper")}), skintool::kExitOk) << err_;
  EXPECT_EQ(out_, Path("back\\deeper") + ": setup.exe, 5 files, 3 folders, " +
                      std::to_string(ReadBytes(Path("skin\\Setup.ini")).size() +
                                     ReadBytes(Path("skin\\ui\\base.png")).size() + 3010) +
                      " bytes\n");
  EXPECT_EQ(Tree(Path("back\\deeper")), Tree(Path("skin")));
}

TEST_F(Pack, TheSameFolderPacksToTheSameBytesWhateverItsTimes) {
  MakeSkin();
  const Bytes first = Packed("first.exe");
  FILETIME later = {0x12345678, 0x01DA0000};
  for (const char* name : {"skin\\Setup.ini", "skin\\data\\big.bin"}) {
    HANDLE file = CreateFileW(Wide(Path(name)).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(file, &later, &later, &later));
    CloseHandle(file);
  }
  EXPECT_EQ(Packed("second.exe"), first);

  // An existing file is replaced only with --force.
  EXPECT_EQ(Run({"pack", Path("skin"), Path("second.exe")}), skintool::kExitProblems);
  EXPECT_EQ(err_, "skintool pack: " + Path("second.exe") + " exists already (give --force to replace it)\n");
}

TEST_F(Pack, DamageIsFoundAndAPlainProgramCarriesNoArchive) {
  MakeSkin();
  const Bytes packed = Packed();
  SkinArchive archive;
  ASSERT_EQ(archive.Open(Wide(Path("packed.exe"))), Found::kArchive);
  const size_t offset = static_cast<size_t>(archive.offset()), trailer = packed.size() - kPackTrailerSize;
  struct Case {
    const char* what;
    std::function<void(Bytes&)> change;
    Found found;
  };
  const Case cases[] = {
      {"a byte of the archive changed", [&](Bytes& b) { b[offset + 40] ^= 1; }, Found::kDamaged},
      {"the archive cut short before the trailer",
       [&](Bytes& b) { b.erase(b.begin() + offset + 100, b.begin() + offset + 108); }, Found::kDamaged},
      {"the trailer's size changed", [&](Bytes& b) { b[trailer + 8] ^= 1; }, Found::kDamaged},
      {"the trailer's offset changed", [&](Bytes& b) { b[trailer] ^= 1; }, Found::kDamaged},
      {"the trailer's hash changed", [&](Bytes& b) { b[trailer + 16] ^= 1; }, Found::kDamaged},
      {"the bare program", [&](Bytes& b) { b = Program(); }, Found::kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes changed = packed;
    c.change(changed);
    Write(Path("changed.exe"), changed);
    EXPECT_EQ(OpenArchive(Path("changed.exe")), c.found);
    EXPECT_EQ(Run({"unpack", Path("changed.exe"), Path("out")}), skintool::kExitProblems);
    EXPECT_EQ(err_, "skintool unpack: " + Path("changed.exe") +
                        (c.found == Found::kNone ? " carries no archive\n" : ": its archive is damaged or altered\n"));
    EXPECT_EQ(GetFileAttributesW(Wide(Path("out")).c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

TEST_F(Pack, RefusesAProgramThatIsPackedOrSigned) {
  MakeSkin();
  const Bytes packed = Packed();
  const struct {
    Bytes program;
    std::string why;
  } cases[] = {
      {packed, "already carries an archive: pack the bare program (skintool unpack gives it back)"},
      {Signed(Program()), "is signed: pack the unsigned program, then sign the packed file"},
      {Text("MZ, but no more"), "is no Windows program"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    Write(Path("skin\\setup.exe"), c.program);
    EXPECT_EQ(Run({"pack", Path("skin"), Path("again.exe")}), skintool::kExitProblems);
    EXPECT_EQ(err_, "skintool pack: " + Path("skin") + "\\setup.exe " + c.why + "\n");
    EXPECT_EQ(GetFileAttributesW(Wide(Path("again.exe")).c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

TEST_F(Pack, APackedFileSignedAfterwardsUnpacksToTheBareProgram) {
  MakeSkin();
  Write(Path("signed.exe"), Signed(Packed()));
  EXPECT_EQ(OpenArchive(Path("signed.exe")), Found::kArchive);
  ASSERT_EQ(Run({"unpack", Path("signed.exe"), Path("back")}), skintool::kExitOk) << err_;
  EXPECT_EQ(err_, "skintool unpack: warning: the signature covered the archive and is not kept\n");
  EXPECT_EQ(ReadBytes(Path("back\\setup.exe")), Program());
}

// A file of two names (a hard link; Wine 8 makes no symbolic links through
// Win32) stays out, as setup.exe's copy leaves it out.
TEST_F(Pack, FilesOfMoreThanOneNameInDataStayOut) {
  MakeSkin();
  Put("elsewhere.txt", Text("secret"));
  ASSERT_TRUE(CreateHardLinkW(Wide(Path("skin\\data\\empty\\linked.txt")).c_str(), Wide(Path("elsewhere.txt")).c_str(),
                              nullptr));
  Packed();
  EXPECT_EQ(err_,
            "skintool pack: warning: data\\empty\\linked.txt: a file of more than one name, which setup.exe "
            "does not copy: not packed\n");
  SkinArchive archive;
  ASSERT_EQ(archive.Open(Wide(Path("packed.exe"))), Found::kArchive);
  EXPECT_NE(archive.Find(L"data\\empty"), nullptr);
  EXPECT_EQ(archive.Find(L"data\\empty\\linked.txt"), nullptr);
}

// A packed file made by hand whose archive holds folder entries of the given names.
void WriteHandMade(const std::string& path, const std::vector<std::string>& names) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, Program().data(), static_cast<DWORD>(Program().size()), &written, nullptr);
  PackTrailer trailer;
  trailer.archiveOffset = Program().size();
  {
    skintool::ZipWriter zip(file, trailer.archiveOffset);
    for (const std::string& name : names) EXPECT_TRUE(zip.AddFolder(name)) << name;
    EXPECT_TRUE(zip.Finish(trailer.archiveSize));
  }
  EXPECT_TRUE(Sha256OfFileRange(file, trailer.archiveOffset, trailer.archiveSize, trailer.sha256));
  Bytes tail((8 - (trailer.archiveOffset + trailer.archiveSize + kPackTrailerSize) % 8) % 8, 0);
  const auto encoded = EncodeTrailer(trailer);
  tail.insert(tail.end(), encoded.begin(), encoded.end());
  SetFilePointer(file, 0, nullptr, FILE_END);
  WriteFile(file, tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr);
  CloseHandle(file);
}

TEST_F(Pack, UnpackRefusesNamesThatLeadOutOfTheFolder) {
  const struct {
    std::vector<std::string> names;
    std::string shown, why;
  } cases[] = {
      {{"data/", "../outside/"}, "..\\outside", "a name that leads out of the folder"},
      {{"data/../../outside/"}, "data\\..\\..\\outside", "a name that leads out of the folder"},
      {{"/outside/"}, "\\outside", "a name that leads out of the folder"},
      {{"C:outside/"}, "C:outside", "a name that leads out of the folder"},
      {{"data/./x/"}, "data\\.\\x", "a name that leads out of the folder"},
      {{"data/a:stream/"}, "data\\a:stream", "a name that leads out of the folder"},
      {{"Data/x/", "data/X/"}, "data\\X", "twice"},
      {{"SETUP.EXE/"}, "SETUP.EXE", "the program's own name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    WriteHandMade(Path("hand.exe"), c.names);
    ASSERT_EQ(OpenArchive(Path("hand.exe")), Found::kArchive);
    EXPECT_EQ(Run({"unpack", Path("hand.exe"), Path("out\\in")}), skintool::kExitProblems);
    EXPECT_NE(err_.find("holds \"" + c.shown + "\""), std::string::npos) << err_;
    EXPECT_NE(err_.find(c.why + "; nothing written\n"), std::string::npos) << err_;
    EXPECT_EQ(GetFileAttributesW(Wide(Path("out")).c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

TEST_F(Pack, UnpackWritesIntoAFolderWithFilesOnlyWithForce) {
  MakeSkin();
  Packed();
  Put("back\\mine.txt", Text("mine"));
  Put("back\\Setup.ini", Text("old"));
  EXPECT_EQ(Run({"unpack", Path("packed.exe"), Path("back")}), skintool::kExitProblems);
  EXPECT_EQ(err_, "skintool unpack: " + Path("back") + " is not empty (give --force to write into it)\n");
  EXPECT_EQ(ReadBytes(Path("back\\Setup.ini")), Text("old"));
  ASSERT_EQ(Run({"unpack", "--force", Path("packed.exe"), Path("back")}), skintool::kExitOk) << err_;
  EXPECT_EQ(ReadBytes(Path("back\\Setup.ini")), ReadBytes(Path("skin\\Setup.ini")));
  EXPECT_EQ(ReadBytes(Path("back\\mine.txt")), Text("mine"));
}

TEST_F(Pack, ThePackedViewFindsNamesWithoutCaseAndFoldersWithoutEntries) {
  MakeSkin();
  Packed();
  const skintool::SkinSource source = skintool::OpenSkinSource(Path("packed.exe"));
  ASSERT_EQ(source.kind, skintool::SkinSource::Kind::kPacked);
  EXPECT_EQ(source.files, 5u);
  const skintool::FolderView& view = *source.view;
  const std::pair<std::string, EntryKind> kinds[] = {
      {"", EntryKind::kFolder},
      {"UI", EntryKind::kFolder},
      {"ui\\BASE.PNG", EntryKind::kFile},
      {"data/empty", EntryKind::kFolder},
      {u8"DATA\\CAFÉ.TXT", EntryKind::kFile},
      {"data\\big", EntryKind::kNone},
      {"dat", EntryKind::kNone},
  };
  for (const auto& [path, kind] : kinds) EXPECT_EQ(view.Kind(path), kind) << path;
  Bytes bytes;
  EXPECT_EQ(view.Read("data\\big.bin", 2999, bytes), skintool::ReadResult::kTooLarge);
  EXPECT_EQ(view.Read("data\\empty", 100, bytes), skintool::ReadResult::kMissing);
  ASSERT_EQ(view.Read(u8"data\\한글\\😀.txt", 100, bytes), skintool::ReadResult::kOk);
  EXPECT_EQ(bytes, Text("emoji"));
  std::vector<std::string> files;
  view.ForEachFile("Data", [&](const std::string& name, uint64_t) { files.push_back(name); });
  EXPECT_EQ(files, (std::vector<std::string>{"big.bin", u8"café.txt", u8"한글\\😀.txt"}));
}

TEST_F(Pack, CheckAndPreviewReadAPackedFileAsTheFolder) {
  MakeSkin();
  const Bytes packed = Packed();
  EXPECT_EQ(Run({"check", Path("skin")}), skintool::kExitProblems);
  const std::string folderReport = out_;
  EXPECT_EQ(Run({"check", Path("packed.exe")}), skintool::kExitProblems);
  const std::string expected = "packed: 5 files in the archive\n" +
                               folderReport.substr(0, folderReport.rfind(Path("skin"))) + Path("packed.exe") +
                               folderReport.substr(folderReport.rfind(':'));
  EXPECT_EQ(out_, expected);

  ASSERT_EQ(Run({"preview", Path("skin"), Path("folder.png")}), skintool::kExitOk) << err_;
  ASSERT_EQ(Run({"preview", Path("packed.exe"), Path("packed.png")}), skintool::kExitOk) << err_;
  EXPECT_EQ(ReadBytes(Path("packed.png")), ReadBytes(Path("folder.png")));

  Bytes damaged = packed;
  damaged[Program().size() + 40] ^= 1;
  Write(Path("damaged.exe"), damaged);
  EXPECT_EQ(Run({"check", Path("damaged.exe")}), skintool::kExitProblems);
  EXPECT_EQ(out_, "error: the archive is damaged or altered\n" + Path("damaged.exe") + ": 1 error, 0 warnings\n");
  EXPECT_EQ(Run({"preview", Path("damaged.exe"), Path("damaged.png")}), skintool::kExitProblems);
  EXPECT_EQ(Run({"check", ".\\setup.exe"}), skintool::kExitUsage);
  EXPECT_EQ(err_, "skintool check: .\\setup.exe is neither a folder nor a packed setup.exe\n");
}

TEST_F(Pack, UsageErrors) {
  EXPECT_EQ(Run({"pack", Path("skin")}), skintool::kExitUsage);
  EXPECT_EQ(Run({"pack", "--strict", Path("skin"), Path("x.exe")}), skintool::kExitUsage);
  EXPECT_EQ(Run({"pack", Path("nowhere"), Path("x.exe")}), skintool::kExitUsage);
  EXPECT_EQ(Run({"unpack", Path("x.exe")}), skintool::kExitUsage);
  EXPECT_EQ(Run({"--help"}), skintool::kExitOk);
  EXPECT_NE(out_.find("skintool pack [--force] FOLDER OUT.exe"), std::string::npos);
  EXPECT_NE(out_.find("skintool unpack [--force] PACKED.exe FOLDER"), std::string::npos);
}

}  // namespace
