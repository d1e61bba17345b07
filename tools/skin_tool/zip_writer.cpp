#include "tools/skin_tool/zip_writer.h"

#include <zip.h>

#include <algorithm>
#include <vector>

#include "tools/skin_tool/pack_io.h"

namespace skintool {
namespace {

constexpr uLong kFixedDosDate = (1 + (1 << 5)) << 16;  // 1980-01-01 00:00
constexpr uLong kUtf8Names = 1 << 11;                  // the general-purpose flag's bit 11

using Stream = ZipWriter::Stream;

voidpf ZCALLBACK OpenStream(voidpf opaque, const void*, int mode) {
  return (mode & ZLIB_FILEFUNC_MODE_CREATE) ? opaque : nullptr;
}

uLong ZCALLBACK ReadStream(voidpf, voidpf, void*, uLong) { return 0; }  // writing only

constexpr size_t kGather = 1 << 20;

uLong ZCALLBACK WriteStream(voidpf, voidpf stream, const void* bytes, uLong size) {
  auto* s = static_cast<Stream*>(stream);
  const auto* p = static_cast<const uint8_t*>(bytes);
  // A write into the gathered bytes (an entry's header made final) changes them.
  if (s->position >= s->pendingAt && s->position - s->pendingAt + size <= s->pending.size()) {
    std::copy(p, p + size, s->pending.begin() + static_cast<ptrdiff_t>(s->position - s->pendingAt));
    s->position += size;
    return size;
  }
  // One that does not continue them, or would make them too many, sends them first.
  if ((s->position != s->pendingAt + s->pending.size() || s->pending.size() + size > kGather) && !s->Flush()) {
    return 0;
  }
  if (s->pending.empty()) s->pendingAt = s->position;
  s->pending.insert(s->pending.end(), p, p + size);
  s->position += size;
  if (s->position > s->end) s->end = s->position;
  return size;
}

ZPOS64_T ZCALLBACK TellStream(voidpf, voidpf stream) { return static_cast<Stream*>(stream)->position; }

long ZCALLBACK SeekStream(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* s = static_cast<Stream*>(stream);
  const uint64_t base = origin == ZLIB_FILEFUNC_SEEK_CUR ? s->position : origin == ZLIB_FILEFUNC_SEEK_END ? s->end : 0;
  s->position = base + offset;
  return 0;
}

int ZCALLBACK CloseStream(voidpf, voidpf) { return 0; }

int ZCALLBACK StreamError(voidpf, voidpf stream) { return static_cast<Stream*>(stream)->failed ? 1 : 0; }

}  // namespace

bool ZipWriter::Stream::Flush() {
  if (!failed && !pending.empty() && !WriteAt(file, base + pendingAt, pending.data(), pending.size())) failed = true;
  pending.clear();
  return !failed;
}

ZipWriter::ZipWriter(HANDLE file, uint64_t offset) : stream_{file, offset, 0, 0, false, {}, 0} {
  zlib_filefunc64_def functions = {OpenStream, ReadStream,  WriteStream, TellStream,
                                   SeekStream, CloseStream, StreamError, &stream_};
  zip_ = zipOpen2_64("archive", APPEND_STATUS_CREATE, nullptr, &functions);
}

ZipWriter::~ZipWriter() {
  if (zip_) zipClose(static_cast<zipFile>(zip_), nullptr);
}

bool ZipWriter::Open(const std::string& name, bool folder, bool large) {
  zip_fileinfo info = {};
  info.dosDate = kFixedDosDate;
  info.external_fa = folder ? FILE_ATTRIBUTE_DIRECTORY : 0;
  return zip_ && zipOpenNewFileInZip4_64(static_cast<zipFile>(zip_), name.c_str(), &info, nullptr, 0, nullptr, 0,
                                         nullptr, folder ? 0 : Z_DEFLATED, folder ? 0 : 9, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                         Z_DEFAULT_STRATEGY, nullptr, 0, 0, kUtf8Names, large ? 1 : 0) == ZIP_OK;
}

bool ZipWriter::AddFolder(const std::string& name) {
  return Open(name, true, stream_.position >= 0xFFFFFFFF) && zipCloseFileInZip(static_cast<zipFile>(zip_)) == ZIP_OK;
}

bool ZipWriter::AddFile(const std::string& name, HANDLE source, uint64_t& copied) {
  copied = 0;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(source, &size)) return false;
  // Sizes or offsets past 32 bits need the zip64 extra field.
  const bool large = static_cast<uint64_t>(size.QuadPart) >= 0xFFFFFFFF || stream_.position >= 0xFFFFFFFF;
  if (!Open(name, false, large)) return false;
  std::vector<uint8_t> buffer(1 << 20);
  bool ok = true;
  for (;;) {
    DWORD got = 0;
    ok = ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) &&
         (got == 0 || zipWriteInFileInZip(static_cast<zipFile>(zip_), buffer.data(), got) == ZIP_OK);
    if (!ok || got == 0) break;
    copied += got;
  }
  return zipCloseFileInZip(static_cast<zipFile>(zip_)) == ZIP_OK && ok && !stream_.failed;
}

bool ZipWriter::Finish(uint64_t& size) {
  const bool closed = zip_ && zipClose(static_cast<zipFile>(zip_), nullptr) == ZIP_OK;
  zip_ = nullptr;
  size = stream_.end;
  return closed && stream_.Flush();
}

}  // namespace skintool
