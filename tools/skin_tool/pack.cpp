// skintool pack: the folder's setup.exe, then an archive of Setup.ini, every
// file below ui\ and every file and folder below data\ (a folder as a "name/"
// entry, so that an empty one survives), in ordinal order of the names within
// each folder, depth first; then zero bytes and the trailer
// (common/packed_layout.h). Links in data\ stay out, as setup.exe's copy
// leaves them out. The file is written under a temporary name beside the
// target and moved into place whole.
#include "tools/skin_tool/pack.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "common/packed_layout.h"
#include "common/paths.h"
#include "common/sha256.h"
#include "common/skin_archive.h"
#include "common/text_encoding.h"
#include "common/win32_guards.h"
#include "tools/skin_tool/cli.h"
#include "tools/skin_tool/disk_io.h"
#include "tools/skin_tool/pack_io.h"
#include "tools/skin_tool/zip_writer.h"

namespace skintool {
namespace {

struct Item {
  std::wstring source;  // full, extended-length
  std::string name;     // in the archive: UTF-8, "/" between parts, a folder's ending in "/"
  bool folder = false;
};

struct Collected {
  std::vector<Item> items;
  std::vector<std::string> skipped;  // why each entry left out is left out
};

// An archive name as the user's system writes it: "data\docs".
std::string Shown(std::string name) {
  if (!name.empty() && name.back() == '/') name.pop_back();
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

bool Is(const std::wstring& path, bool folder) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder;
}

// The entries below `folder`, their archive names starting with `prefix`. In
// the payload folders are entries too, and links are left out; in ui\ a link
// to a file is read through. A folder that is a link is never entered.
void Collect(const std::wstring& folder, const std::string& prefix, bool payload, Collected& collected) {
  std::vector<std::pair<std::wstring, DWORD>> listed;
  WIN32_FIND_DATAW found;
  FindHandle find(
      FindFirstFileExW(JoinPath(folder, L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
  if (find) {
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") listed.emplace_back(name, found.dwFileAttributes);
    } while (FindNextFileW(find.get(), &found));
  }
  std::sort(listed.begin(), listed.end());  // ordinal: by UTF-16 code units
  for (const auto& [name, attributes] : listed) {
    const std::wstring path = JoinPath(folder, name);
    std::string utf8;
    if (!EncodeText(name, TextEncoding::kUtf8, utf8)) {
      collected.skipped.push_back("a name in " + Shown(prefix) + " is no Unicode text: not packed");
      continue;
    }
    const std::string entry = prefix + utf8;
    const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (link && (payload || isFolder)) {
      collected.skipped.push_back(Shown(entry) + ": a link, which setup.exe does not copy: not packed");
    } else if (isFolder) {
      if (payload) collected.items.push_back({path, entry + "/", true});
      Collect(path, entry + "/", payload, collected);
    } else if (payload && !IsPlainFile(path)) {
      collected.skipped.push_back(Shown(entry) +
                                  ": a file of more than one name, which setup.exe does not copy: "
                                  "not packed");
    } else {
      collected.items.push_back({path, entry, false});
    }
  }
}

// Why the folder's setup.exe cannot be the packed file's program; "" when it can.
std::string RefuseProgram(const std::wstring& program) {
  PeFile pe;
  if (!ReadPeFile(program, pe)) return "is no Windows program";
  if (pe.signedEnd != pe.size) return "is signed: pack the unsigned program, then sign the packed file";
  SkinArchive archive;
  switch (archive.Open(program)) {
    case SkinArchive::Found::kNone:
      return "";
    case SkinArchive::Found::kArchive:
      return "already carries an archive: pack the bare program (skintool unpack gives it back)";
    case SkinArchive::Found::kDamaged:
      break;
  }
  return "carries a damaged archive: pack the bare program";
}

struct Totals {
  uint64_t files = 0, folders = 0, bytesIn = 0, archiveSize = 0;
};

// The archive from `offset` of `file`, then the padding and the trailer.
bool WriteArchive(HANDLE file, uint64_t offset, const std::vector<Item>& items, Totals& totals, std::string& error) {
  ZipWriter zip(file, offset);
  for (const Item& item : items) {
    if (item.folder) {
      if (!zip.AddFolder(item.name)) break;
      ++totals.folders;
      continue;
    }
    FileHandle source(CreateFileW(item.source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    uint64_t copied = 0;
    if (!source || !zip.AddFile(item.name, source.get(), copied)) {
      error = Shown(item.name) + (source ? " could not be packed" : " cannot be read");
      return false;
    }
    ++totals.files;
    totals.bytesIn += copied;
  }
  PackTrailer trailer;
  trailer.archiveOffset = offset;
  if (totals.files + totals.folders != items.size() || !zip.Finish(trailer.archiveSize) ||
      !Sha256OfFileRange(file, offset, trailer.archiveSize, trailer.sha256)) {
    error = "the archive could not be written";
    return false;
  }
  totals.archiveSize = trailer.archiveSize;
  const uint64_t end = offset + trailer.archiveSize;
  std::vector<uint8_t> tail((8 - (end + kPackTrailerSize) % 8) % 8, 0);
  const auto encoded = EncodeTrailer(trailer);
  tail.insert(tail.end(), encoded.begin(), encoded.end());
  if (!WriteAt(file, end, tail.data(), tail.size())) {
    error = "the archive could not be written";
    return false;
  }
  return true;
}

std::string Count(uint64_t n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); }

}  // namespace

int RunPack(const std::vector<std::string>& operands, bool force, std::ostream& out, std::ostream& err) {
  auto refuse = [&](const std::string& why) {
    err << "skintool pack: " << why << "\n";
    return kExitProblems;
  };
  if (operands.size() != 2) {
    err << "skintool pack: give a setup folder and the executable to write\n";
    return kExitUsage;
  }
  const std::string& folder = operands[0];
  const std::string& target = operands[1];
  if (!IsFolder(folder)) {
    err << "skintool pack: " << folder << " is not a folder\n";
    return kExitUsage;
  }
  const std::wstring root = WideFilePath(folder);
  const std::wstring program = JoinPath(root, L"setup.exe");
  if (!Is(program, false)) return refuse(folder + " has no setup.exe");
  const std::string refusal = RefuseProgram(program);
  if (!refusal.empty()) return refuse(folder + "\\setup.exe " + refusal);
  const std::wstring ini = JoinPath(root, L"Setup.ini");
  if (!Is(ini, false)) return refuse(folder + " has no Setup.ini");

  Collected collected;
  collected.items.push_back({ini, "Setup.ini", false});
  if (Is(JoinPath(root, L"ui"), true)) Collect(JoinPath(root, L"ui"), "ui/", false, collected);
  if (Is(JoinPath(root, L"data"), true)) {
    collected.items.push_back({JoinPath(root, L"data"), "data/", true});
    Collect(JoinPath(root, L"data"), "data/", true, collected);
  }
  for (const std::string& skipped : collected.skipped) err << "skintool pack: warning: " << skipped << "\n";

  const std::wstring output = WideFilePath(target);
  if (output.empty()) return refuse("cannot write " + target);
  if (!force && GetFileAttributesW(output.c_str()) != INVALID_FILE_ATTRIBUTES) {
    return refuse(target + " exists already (give --force to replace it)");
  }
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(folder + "\\setup.exe", bytes)) return refuse(folder + "\\setup.exe cannot be read");

  const std::wstring temporary = output + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  FileHandle file(CreateFileW(temporary.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return refuse("cannot write " + target);
  Totals totals;
  std::string error = "cannot write " + target;
  bool done = WriteAt(file.get(), 0, bytes.data(), bytes.size()) &&
              WriteArchive(file.get(), bytes.size(), collected.items, totals, error);
  file.reset();
  if (done && !MoveFileExW(temporary.c_str(), output.c_str(), force ? MOVEFILE_REPLACE_EXISTING : 0)) {
    done = false;
    error = GetLastError() == ERROR_ALREADY_EXISTS ? target + " exists already (give --force to replace it)"
                                                   : "cannot write " + target;
  }
  if (!done) {
    DeleteFileW(temporary.c_str());
    return refuse(error);
  }
  out << target << ": " << Count(totals.files, "file") << ", " << Count(totals.folders, "folder") << ", "
      << totals.bytesIn << " bytes in, archive " << totals.archiveSize << " bytes\n";
  return kExitOk;
}

}  // namespace skintool
