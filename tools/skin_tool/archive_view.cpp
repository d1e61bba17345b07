#include "tools/skin_tool/archive_view.h"

#include "tools/skin_tool/disk_io.h"

#ifdef _WIN32
#include <windows.h>

#include "common/skin_archive.h"
#include "common/text_encoding.h"
#endif

namespace skintool {
namespace {

#ifdef _WIN32

// Whether name starts with prefix, compared as the file system compares names.
bool StartsWithName(const std::wstring& name, const std::wstring& prefix) {
  return name.size() > prefix.size() &&
         CompareStringOrdinal(name.data(), static_cast<int>(prefix.size()), prefix.data(),
                              static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

// The archive as a folder. Folders are the archive's folder entries and every
// folder that some entry's name passes through (ui\ has no entries of its own).
class ArchiveFolder : public FolderView {
 public:
  explicit ArchiveFolder(std::unique_ptr<SkinArchive> archive) : archive_(std::move(archive)) {}

  EntryKind Kind(const std::string& path) const override {
    const std::string normalized = NormalizePath(path);
    if (normalized.empty()) return EntryKind::kFolder;
    const std::wstring name = WideFromUtf8(normalized);
    if (name.empty()) return EntryKind::kNone;
    if (const SkinArchive::Entry* entry = archive_->Find(name)) {
      return entry->folder ? EntryKind::kFolder : EntryKind::kFile;
    }
    for (const SkinArchive::Entry& entry : archive_->Entries()) {
      if (StartsWithName(entry.name, name + L"\\")) return EntryKind::kFolder;
    }
    return EntryKind::kNone;
  }

  ReadResult Read(const std::string& path, uint64_t limit, std::vector<uint8_t>& bytes) const override {
    const std::wstring name = WideFromUtf8(NormalizePath(path));
    const SkinArchive::Entry* entry = name.empty() ? nullptr : archive_->Find(name);
    if (!entry || entry->folder) return ReadResult::kMissing;
    if (entry->size > limit) return ReadResult::kTooLarge;
    return archive_->ReadWhole(*entry, limit, bytes) ? ReadResult::kOk : ReadResult::kFailed;
  }

  void ForEachFile(const std::string& folder,
                   const std::function<void(const std::string&, uint64_t)>& visit) const override {
    const std::string normalized = NormalizePath(folder);
    const std::wstring prefix = normalized.empty() ? std::wstring() : WideFromUtf8(normalized) + L"\\";
    if (!normalized.empty() && prefix.size() == 1) return;  // not UTF-8: no such folder
    for (const SkinArchive::Entry& entry : archive_->Entries()) {
      if (entry.folder || (!prefix.empty() && !StartsWithName(entry.name, prefix))) continue;
      visit(Utf8FromWide(entry.name.substr(prefix.size())), entry.size);
    }
  }

 private:
  std::unique_ptr<SkinArchive> archive_;
};

#endif

}  // namespace

SkinSource OpenSkinSource(const std::string& path) {
  SkinSource source;
  if (IsFolder(path)) {
    source.kind = SkinSource::Kind::kFolder;
    source.view = OpenDiskFolder(path);
    return source;
  }
#ifdef _WIN32
  const std::wstring file = WideFilePath(path);
  const DWORD attributes = file.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return source;
  auto archive = std::make_unique<SkinArchive>();
  switch (archive->Open(file)) {
    case SkinArchive::Found::kNone:
      break;
    case SkinArchive::Found::kDamaged:
      source.kind = SkinSource::Kind::kDamaged;
      break;
    case SkinArchive::Found::kArchive:
      source.kind = SkinSource::Kind::kPacked;
      for (const SkinArchive::Entry& entry : archive->Entries()) source.files += entry.folder ? 0 : 1;
      source.view = std::make_unique<ArchiveFolder>(std::move(archive));
      break;
  }
#endif
  return source;
}

}  // namespace skintool
