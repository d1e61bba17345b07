#include "common/skin_archive.h"

#include <unzip.h>

#include <array>
#include <cstring>

#include "common/file_at.h"
#include "common/packed_layout.h"
#include "common/sha256.h"
#include "common/text_encoding.h"

namespace {

const SkinArchive* packedSkin = nullptr;

// The archive as minizip sees a file: `size` bytes of `file` from `offset`,
// read by position so that each reader has its own place in it.
struct Region {
  HANDLE file;
  uint64_t offset, size;
};
struct RegionStream {
  Region region;
  uint64_t position = 0;
  bool failed = false;
  // minizip reads headers a few bytes at a time: they come from a block read ahead.
  std::vector<uint8_t> ahead;
  uint64_t aheadStart = 0;
};

constexpr DWORD kReadAhead = 64 * 1024;

bool ReadRegionAt(const Region& region, uint64_t position, void* buffer, DWORD size, DWORD& got) {
  return ReadFileAt(region.file, region.offset + position, buffer, size, got);
}

voidpf ZCALLBACK OpenRegion(voidpf opaque, const void*, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  auto* stream = new RegionStream;
  stream->region = *static_cast<Region*>(opaque);
  return stream;
}

uLong ZCALLBACK ReadRegion(voidpf, voidpf stream, void* buffer, uLong size) {
  auto* s = static_cast<RegionStream*>(stream);
  auto* out = static_cast<uint8_t*>(buffer);
  uLong done = 0;
  while (done < size && s->position < s->region.size) {
    const uint64_t left = s->region.size - s->position;
    const uint64_t wanted = size - done < left ? size - done : left;
    if (s->position >= s->aheadStart && s->position < s->aheadStart + s->ahead.size()) {
      const uint64_t offset = s->position - s->aheadStart;
      const uint64_t n = wanted < s->ahead.size() - offset ? wanted : s->ahead.size() - offset;
      std::memcpy(out + done, s->ahead.data() + offset, static_cast<size_t>(n));
      done += static_cast<uLong>(n);
      s->position += n;
      continue;
    }
    DWORD got = 0;
    if (wanted >= kReadAhead) {  // a large read goes straight through
      if (!ReadRegionAt(s->region, s->position, out + done, static_cast<DWORD>(wanted), got) || got == 0) {
        s->failed = true;
        break;
      }
      done += got;
      s->position += got;
      continue;
    }
    // Never past the archive's end: nothing beyond it is read.
    s->ahead.resize(left < kReadAhead ? static_cast<size_t>(left) : kReadAhead);
    if (!ReadRegionAt(s->region, s->position, s->ahead.data(), static_cast<DWORD>(s->ahead.size()), got) ||
        got == 0) {
      s->ahead.clear();
      s->failed = true;
      break;
    }
    s->ahead.resize(got);
    s->aheadStart = s->position;
  }
  return done;
}

uLong ZCALLBACK WriteRegion(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellRegion(voidpf, voidpf stream) { return static_cast<RegionStream*>(stream)->position; }

long ZCALLBACK SeekRegion(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* s = static_cast<RegionStream*>(stream);
  uint64_t base = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = s->position;
  if (origin == ZLIB_FILEFUNC_SEEK_END) base = s->region.size;
  if (offset > s->region.size || base > s->region.size - offset) return -1;
  s->position = base + offset;
  return 0;
}

int ZCALLBACK CloseRegion(voidpf, voidpf stream) {
  delete static_cast<RegionStream*>(stream);
  return 0;
}

int ZCALLBACK RegionError(voidpf, voidpf stream) { return static_cast<RegionStream*>(stream)->failed ? 1 : 0; }

// A minizip handle on the archive, closed exactly once.
class Unzip {
 public:
  Unzip(HANDLE file, uint64_t offset, uint64_t size) : region_{file, offset, size} {
    zlib_filefunc64_def functions = {OpenRegion, ReadRegion, WriteRegion, TellRegion,
                                     SeekRegion, CloseRegion, RegionError, &region_};
    zip_ = unzOpen2_64("archive", &functions);
  }
  ~Unzip() {
    if (zip_) unzClose(zip_);
  }
  Unzip(const Unzip&) = delete;
  Unzip& operator=(const Unzip&) = delete;
  unzFile get() const { return zip_; }

 private:
  Region region_;  // minizip keeps a pointer to it through `opaque`
  unzFile zip_ = nullptr;
};

class EntrySequence : public SkinArchive::Sequence {
 public:
  EntrySequence(HANDLE file, uint64_t offset, uint64_t size) : zip_(file, offset, size) {}
  ~EntrySequence() override {
    if (open_) unzCloseCurrentFile(zip_.get());
  }
  bool Open(const SkinArchive::Entry& entry) override {
    const bool before = !open_ || unzCloseCurrentFile(zip_.get()) == UNZ_OK;
    unz64_file_pos position = {entry.directoryPosition, entry.number};
    open_ = zip_.get() && unzGoToFilePos64(zip_.get(), &position) == UNZ_OK &&
            unzOpenCurrentFile(zip_.get()) == UNZ_OK;
    ended_ = false;
    return before && open_;
  }
  bool Read(void* buffer, uint32_t size, uint32_t& got) override {
    got = 0;
    if (!open_) return ended_;  // after a clean end, reads give no bytes
    const int read = unzReadCurrentFile(zip_.get(), buffer, size);
    if (read < 0) return false;
    got = static_cast<uint32_t>(read);
    if (got > 0) return true;
    // The end: minizip checks the entry's CRC as it closes it.
    open_ = false;
    ended_ = unzCloseCurrentFile(zip_.get()) == UNZ_OK;
    return ended_;
  }

 private:
  Unzip zip_;
  bool open_ = false;
  bool ended_ = false;
};

}  // namespace

SkinArchive::Found SkinArchive::Open(const std::wstring& path) {
  entries_.clear();
  file_.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER fileSize;
  // The program's own file always opens for reading; a writer holding it
  // open would be able to change it under the hash.
  if (!file_ || !GetFileSizeEx(file_.get(), &fileSize)) return Found::kDamaged;
  const uint64_t total = static_cast<uint64_t>(fileSize.QuadPart);
  std::array<uint8_t, 4096> headers = {};
  const DWORD headerSize = total < headers.size() ? static_cast<DWORD>(total) : static_cast<DWORD>(headers.size());
  PeLayout layout;
  uint32_t stringTableSize = 0;
  if (!ReadExactlyAt(file_.get(), 0, headers.data(), headerSize) ||
      !ReadPeLayout(headers.data(), headerSize, total, layout) ||
      (layout.stringTableAt != 0 && !ReadExactlyAt(file_.get(), layout.stringTableAt, &stringTableSize, 4))) {
    return Found::kDamaged;
  }
  const uint64_t programEnd = ProgramEnd(layout, stringTableSize);
  if (programEnd >= layout.signedEnd) {
    file_.reset();
    return Found::kNone;  // nothing after the program: the folder form
  }
  // An archive of ours starts right after the program and ends with the
  // trailer; bytes there that start as no archive are someone else's.
  std::array<uint8_t, kPackTrailerSize> tail = {};
  PackTrailer trailer;
  uint8_t start[4] = {};
  const bool archiveFollows = layout.signedEnd - programEnd >= sizeof start &&
                              ReadExactlyAt(file_.get(), programEnd, start, sizeof start) &&
                              StartsAsZip(start, sizeof start);
  const bool trailerFound = layout.signedEnd - programEnd >= kPackTrailerSize &&
                            ReadExactlyAt(file_.get(), layout.signedEnd - kPackTrailerSize, tail.data(),
                                   static_cast<DWORD>(tail.size())) &&
                            DecodeTrailer(tail.data(), trailer);
  if (!trailerFound) {
    if (archiveFollows) return Found::kDamaged;  // its end is gone: cut short
    file_.reset();
    return Found::kNone;
  }
  std::array<uint8_t, kSha256Size> digest = {};
  if (!TrailerFits(trailer, programEnd, layout.signedEnd) ||
      !Sha256OfFileRange(file_.get(), trailer.archiveOffset, trailer.archiveSize, digest) ||
      digest != trailer.sha256) {
    return Found::kDamaged;
  }
  offset_ = trailer.archiveOffset;
  size_ = trailer.archiveSize;
  return List() ? Found::kArchive : Found::kDamaged;
}

bool SkinArchive::List() {
  Unzip zip(file_.get(), offset_, size_);
  if (!zip.get()) return false;
  for (int status = unzGoToFirstFile(zip.get()); status == UNZ_OK; status = unzGoToNextFile(zip.get())) {
    unz_file_info64 info;
    char name[1024] = {};
    unz64_file_pos position;
    if (unzGetCurrentFileInfo64(zip.get(), &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK ||
        info.size_filename >= sizeof name || unzGetFilePos64(zip.get(), &position) != UNZ_OK) {
      return false;
    }
    Entry entry;
    if (!DecodeText(std::string(name, info.size_filename), TextEncoding::kUtf8, entry.name) ||
        entry.name.empty()) {
      return false;
    }
    for (wchar_t& c : entry.name) {
      if (c == L'/') c = L'\\';
    }
    entry.folder = entry.name.back() == L'\\';
    if (entry.folder) entry.name.pop_back();
    entry.size = info.uncompressed_size;
    entry.directoryPosition = position.pos_in_zip_directory;
    entry.number = position.num_of_file;
    entries_.push_back(std::move(entry));
  }
  return true;
}

const SkinArchive::Entry* SkinArchive::Find(const std::wstring& name) const {
  for (const Entry& entry : entries_) {
    if (entry.name.size() == name.size() &&
        CompareStringOrdinal(entry.name.data(), static_cast<int>(entry.name.size()), name.data(),
                             static_cast<int>(name.size()), TRUE) == CSTR_EQUAL) {
      return &entry;
    }
  }
  return nullptr;
}

std::unique_ptr<SkinArchive::Reader> SkinArchive::OpenEntry(const Entry& entry) const {
  auto sequence = OpenSequence();
  sequence->Open(entry);
  return sequence;
}

std::unique_ptr<SkinArchive::Sequence> SkinArchive::OpenSequence() const {
  return std::make_unique<EntrySequence>(file_.get(), offset_, size_);
}

bool SkinArchive::ReadWhole(const Entry& entry, uint64_t limit, std::vector<uint8_t>& bytes) const {
  bytes.clear();
  if (entry.folder || entry.size > limit) return false;
  bytes.resize(static_cast<size_t>(entry.size));
  auto reader = OpenEntry(entry);
  size_t done = 0;
  uint32_t got = 0;
  uint8_t extra = 0;
  while (done < bytes.size()) {
    const uint64_t left = bytes.size() - done;
    const uint32_t want = left > 0x100000 ? 0x100000 : static_cast<uint32_t>(left);
    if (!reader->Read(bytes.data() + done, want, got) || got == 0) return false;
    done += got;
  }
  // The end, where the entry's CRC is checked.
  return reader->Read(&extra, 1, got) && got == 0;
}

const SkinArchive* PackedSkin() { return packedSkin; }
void SetPackedSkin(const SkinArchive* archive) { packedSkin = archive; }
