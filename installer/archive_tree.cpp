// The folder-tree operations of SetupShell over a packed setup.exe's archive:
// the entries below "data\" are measured and copied as the data folder's
// files are, with the same counted copy and the same held destination
// folders, in the order the archive lists them.
#include <vector>

#include "common/paths.h"
#include "common/skin_archive.h"
#include "installer/counted_copy.h"
#include "installer/path_guard.h"
#include "installer/setup_shell.h"

namespace {

constexpr wchar_t kPayloadFolder[] = L"data";

// The parts of a payload entry's name below "data\", when every one of them
// may be joined to a folder (IsPlainEntryName); empty for any other entry.
std::vector<std::wstring> PayloadParts(const SkinArchive::Entry& entry) {
  std::vector<std::wstring> parts;
  std::wstring part;
  for (wchar_t c : entry.name + L'\\') {
    if (c != L'\\') {
      part += c;
      continue;
    }
    if (!IsPlainEntryName(part) || part == L"." || part == L"..") return {};
    parts.push_back(part);
    part.clear();
  }
  if (parts.size() < 2 || !SameNameIgnoringCase(parts.front(), kPayloadFolder)) return {};
  parts.erase(parts.begin());
  return parts;
}

bool IsPayload(const SkinArchive::Entry& entry) {
  const std::wstring prefix = std::wstring(kPayloadFolder) + L'\\';
  return entry.name.size() > prefix.size() && SameNameIgnoringCase(entry.name.substr(0, prefix.size()), prefix);
}

// Makes the folders of `parts` (all but the last part of a file's name, all
// of a folder's) below destination, and holds them: the path, by the held
// folder's own, to write the entry at. Empty when one cannot be made or is
// no real folder.
std::wstring HoldFoldersOf(const std::wstring& destination, const std::vector<std::wstring>& folders,
                           FolderChain& chain) {
  std::wstring folder = destination;
  for (const std::wstring& part : folders) {
    folder = JoinPath(folder, part);
    CreateDirectoryW(ExtendedLengthPath(folder).c_str(), nullptr);  // an existing folder is reused
  }
  return chain.Hold(destination, folder) == FolderCheck::kHeld ? chain.FinalPath() : L"";
}

}  // namespace

uint32_t SetupShell::ScanArchiveSize(const SkinArchive& archive) {
  uint32_t total = 0;
  for (const SkinArchive::Entry& entry : archive.Entries()) {
    if (!entry.folder && !PayloadParts(entry).empty()) total += static_cast<uint32_t>(entry.size);
  }
  return total;
}

void SetupShell::CopyArchiveTree(const SkinArchive& archive, const std::wstring& destination,
                                 std::atomic<uint32_t>& counter, std::atomic<uint32_t>& notCopied) {
  const auto entries = archive.OpenSequence();  // one open archive for the whole copy
  for (const SkinArchive::Entry& entry : archive.Entries()) {
    if (!IsPayload(entry)) continue;
    std::vector<std::wstring> parts = PayloadParts(entry);
    if (parts.empty()) {
      if (!entry.folder) notCopied++;  // a name that would leave its folder: skipped
      continue;
    }
    const std::wstring leaf = entry.folder ? L"" : parts.back();
    if (!entry.folder) parts.pop_back();
    // A link or a file standing in the destination is not written through:
    // each file is written only into folders held as real folders.
    FolderChain chain;
    const std::wstring folder = HoldFoldersOf(destination, parts, chain);
    if (entry.folder) continue;
    if (folder.empty()) {
      notCopied++;
      continue;
    }
    entries->Open(entry);  // a failure shows as a read error of this entry
    ArchiveCopySource bytes(*entries);
    if (!CopyCounted(bytes, static_cast<uint32_t>(entry.size), JoinPath(folder, leaf), counter)) notCopied++;
  }
}
