// skintool unpack: a packed setup.exe made into its setup folder again: the
// bare program (the bytes before the archive) as setup.exe, then every entry
// of the archive, empty folders too. Every name is checked before anything is
// written: no part empty, ".", ".." or holding ":", so nothing lands outside
// the folder, and no two entries of one name.
#include <windows.h>

#include <set>

#include "common/paths.h"
#include "common/skin_archive.h"
#include "common/text_encoding.h"
#include "common/win32_guards.h"
#include "tools/skin_tool/cli.h"
#include "tools/skin_tool/disk_io.h"
#include "tools/skin_tool/pack.h"
#include "tools/skin_tool/pack_io.h"

namespace skintool {
namespace {

struct NameLess {
  bool operator()(const std::wstring& a, const std::wstring& b) const {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_LESS_THAN;
  }
};

// Why the archive's names cannot be written below a folder; "" when they can.
std::string RefuseNames(const SkinArchive& archive) {
  std::set<std::wstring, NameLess> seen;
  for (const SkinArchive::Entry& entry : archive.Entries()) {
    const std::string shown = "\"" + Utf8FromWide(entry.name) + "\"";
    if (!NameLess()(entry.name, L"setup.exe") && !NameLess()(L"setup.exe", entry.name)) {
      return "the archive holds " + shown + ", the program's own name";
    }
    size_t start = 0;
    for (;;) {
      const size_t end = entry.name.find(L'\\', start);
      const std::wstring part = entry.name.substr(start, end - start);
      if (part.empty() || part == L"." || part == L".." || part.find(L':') != std::wstring::npos) {
        return "the archive holds " + shown + ", a name that leads out of the folder";
      }
      if (end == std::wstring::npos) break;
      start = end + 1;
    }
    if (!seen.insert(entry.name).second) return "the archive holds " + shown + " twice";
  }
  return "";
}

// The bytes before the archive. A signature the packed file carried covered
// the archive too: its directory entry goes, so that the program is bare.
bool ReadProgram(const std::wstring& path, const SkinArchive& archive, std::vector<uint8_t>& bytes,
                 bool& signatureDropped) {
  PeFile pe;
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  bytes.resize(static_cast<size_t>(archive.offset()));
  DWORD got = 0;
  if (!ReadPeFile(path, pe) || !file ||
      !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) || got != bytes.size()) {
    return false;
  }
  signatureDropped = pe.signedEnd != pe.size && pe.securityEntry != 0;
  if (signatureDropped) std::fill_n(bytes.begin() + static_cast<ptrdiff_t>(pe.securityEntry), 8, 0);
  return true;
}

// One entry into a new file; a write that fails leaves no file behind.
bool WriteEntry(const SkinArchive& archive, const SkinArchive::Entry& entry, const std::wstring& path, bool force) {
  if (force) DeleteFileW(path.c_str());  // a link standing there goes, not what it leads to
  FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  auto reader = archive.OpenEntry(entry);
  std::vector<uint8_t> buffer(1 << 20);
  bool ok = true;
  for (uint32_t got = 1; ok && got > 0;) {
    DWORD written = 0;
    ok = reader->Read(buffer.data(), static_cast<uint32_t>(buffer.size()), got) &&
         (got == 0 || (WriteFile(file.get(), buffer.data(), got, &written, nullptr) && written == got));
  }
  file.reset();
  if (!ok) DeleteFileW(path.c_str());
  return ok;
}

bool IsEmptyFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  FindHandle find(
      FindFirstFileExW(JoinPath(folder, L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
  if (!find) return true;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") return false;
  } while (FindNextFileW(find.get(), &found));
  return true;
}

}  // namespace

int RunUnpack(const std::vector<std::string>& operands, bool force, std::ostream& out, std::ostream& err) {
  auto refuse = [&](const std::string& why) {
    err << "skintool unpack: " << why << "\n";
    return kExitProblems;
  };
  if (operands.size() != 2) {
    err << "skintool unpack: give a packed setup.exe and the folder to write\n";
    return kExitUsage;
  }
  const std::string& packed = operands[0];
  const std::string& folder = operands[1];
  const std::wstring path = WideFilePath(packed);
  const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return refuse(packed + " cannot be read");
  }
  PeFile pe;
  if (!ReadPeFile(path, pe)) return refuse(packed + " is no Windows program");
  SkinArchive archive;
  switch (archive.Open(path)) {
    case SkinArchive::Found::kNone:
      return refuse(packed + " carries no archive");
    case SkinArchive::Found::kDamaged:
      return refuse(packed + ": its archive is damaged or altered");
    case SkinArchive::Found::kArchive:
      break;
  }
  const std::string refusal = RefuseNames(archive);
  if (!refusal.empty()) return refuse(packed + ": " + refusal + "; nothing written");

  const std::wstring root = WideFilePath(folder);
  if (root.empty()) return refuse("cannot write " + folder);
  const DWORD rootAttributes = GetFileAttributesW(root.c_str());
  if (rootAttributes != INVALID_FILE_ATTRIBUTES && !(rootAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return refuse(folder + " is a file");
  }
  if (!force && rootAttributes != INVALID_FILE_ATTRIBUTES && !IsEmptyFolder(root)) {
    return refuse(folder + " is not empty (give --force to write into it)");
  }
  std::vector<uint8_t> program;
  bool signatureDropped = false;
  if (!ReadProgram(path, archive, program, signatureDropped)) return refuse(packed + " cannot be read");
  if (!MakeFolderChain(root)) return refuse("cannot make the folder " + folder);
  if (WriteWholeFile(folder + "\\setup.exe", program, force) != WriteResult::kOk) {
    return refuse("cannot write " + folder + "\\setup.exe");
  }
  if (signatureDropped) err << "skintool unpack: warning: the signature covered the archive and is not kept\n";

  uint64_t files = 0, folders = 0, bytes = 0;
  int failures = 0;
  std::set<std::wstring, NameLess> made;  // folders known to be real ones
  for (const SkinArchive::Entry& entry : archive.Entries()) {
    // Each folder on the way is made, or entered only as a real folder.
    bool placed = true;
    for (size_t at = entry.name.find(L'\\'); placed; at = entry.name.find(L'\\', at + 1)) {
      const std::wstring part = entry.name.substr(0, at);
      if (at == std::wstring::npos && !entry.folder) break;
      placed = made.count(part) || (MakeRealFolder(JoinPath(root, part)) && made.insert(part).second);
      if (at == std::wstring::npos) break;
    }
    const std::string shown = folder + "\\" + Utf8FromWide(entry.name);
    if (!placed || (!entry.folder && !WriteEntry(archive, entry, JoinPath(root, entry.name), force))) {
      err << "skintool unpack: cannot write " << shown << "\n";
      ++failures;
      continue;
    }
    (entry.folder ? folders : files)++;
    bytes += entry.folder ? 0 : entry.size;
  }
  out << folder << ": setup.exe, " << files << (files == 1 ? " file, " : " files, ") << folders
      << (folders == 1 ? " folder, " : " folders, ") << bytes << " bytes\n";
  return failures > 0 ? kExitProblems : kExitOk;
}

}  // namespace skintool
