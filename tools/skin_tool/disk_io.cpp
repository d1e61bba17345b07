#include "tools/skin_tool/disk_io.h"

#include <algorithm>
#include <cerrno>

#ifdef _WIN32
#include <windows.h>

#include "common/paths.h"
#include "common/text_encoding.h"
#include "common/win32_guards.h"
#else
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <system_error>
#endif

namespace skintool {
namespace {

#ifdef _WIN32

std::string Join(const std::string& root, const std::string& relative) {
  const std::string normalized = NormalizePath(relative);
  if (normalized.empty()) return root;
  return root + "\\" + normalized;
}

// The form of a UTF-8 path the W file functions take: full, and extended in
// length. L"" (which every file call refuses) for a path that is not UTF-8.
std::wstring FilePath(const std::string& path) {
  const std::wstring wide = WideFromUtf8(path);
  if (wide.empty()) return std::wstring();
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return std::wstring();
    if (length < full.size()) {
      full.resize(length);
      return ExtendedLengthPath(full);
    }
    full.resize(length);
  }
}

// A name Windows gave, as UTF-8; a UTF-16 unit without its pair (which no
// UTF-8 can spell) shows as U+FFFD.
std::string NameOf(const wchar_t* name) {
  std::wstring wide = name;
  for (size_t i = 0; i < wide.size(); ++i) {
    const bool high = wide[i] >= 0xD800 && wide[i] <= 0xDBFF, low = wide[i] >= 0xDC00 && wide[i] <= 0xDFFF;
    if (high && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
      ++i;
    } else if (high || low) {
      wide[i] = 0xFFFD;
    }
  }
  return Utf8FromWide(wide);
}

EntryKind KindOf(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::kNone;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::kFolder : EntryKind::kFile;
}

ReadResult ReadLimited(const std::wstring& path, uint64_t limit, std::vector<uint8_t>& bytes) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return KindOf(path) == EntryKind::kNone ? ReadResult::kMissing : ReadResult::kFailed;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size)) return ReadResult::kFailed;
  if (static_cast<uint64_t>(size.QuadPart) > limit) return ReadResult::kTooLarge;
  if (static_cast<uint64_t>(size.QuadPart) > SIZE_MAX / 2) return ReadResult::kTooLarge;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data() + done, chunk, &read, nullptr) || read == 0) return ReadResult::kFailed;
    done += read;
  }
  return ReadResult::kOk;
}

class DiskFolder : public FolderView {
 public:
  explicit DiskFolder(std::string root) : root_(std::move(root)) {}

  EntryKind Kind(const std::string& path) const override { return KindOf(FilePath(Join(root_, path))); }

  ReadResult Read(const std::string& path, uint64_t limit, std::vector<uint8_t>& bytes) const override {
    return ReadLimited(FilePath(Join(root_, path)), limit, bytes);
  }

  void ForEachFile(const std::string& folder,
                   const std::function<void(const std::string&, uint64_t)>& visit) const override {
    Walk(FilePath(Join(root_, folder)), "", visit);
  }

 private:
  static void Walk(const std::wstring& folder, const std::string& relative,
                   const std::function<void(const std::string&, uint64_t)>& visit) {
    if (folder.empty()) return;
    WIN32_FIND_DATAW entry;
    FindHandle find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                     nullptr, 0));
    if (!find) return;
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::string path = (relative.empty() ? "" : relative + "\\") + NameOf(entry.cFileName);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        Walk(folder + L"\\" + name, path, visit);
      } else {
        visit(path, (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow);
      }
    } while (FindNextFileW(find.get(), &entry));
  }

  std::string root_;
};

#else  // POSIX

namespace fs = std::filesystem;

// The path below root that `relative` names, each part matched without case
// for ASCII letters when no part of exactly that name exists.
fs::path Resolve(const fs::path& root, const std::string& relative) {
  fs::path path = root;
  for (const std::string& part : SplitPath(NormalizePath(relative))) {
    std::error_code error;
    if (fs::exists(path / part, error)) {
      path /= part;
      continue;
    }
    const std::string folded = FoldPath(part);
    fs::path match = path / part;
    for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
      if (FoldPath(it->path().filename().string()) == folded) {
        match = it->path();
        break;
      }
    }
    path = match;
  }
  return path;
}

class DiskFolder : public FolderView {
 public:
  explicit DiskFolder(std::string root) : root_(std::move(root)) {}

  EntryKind Kind(const std::string& path) const override {
    std::error_code error;
    const fs::file_status status = fs::status(Resolve(root_, path), error);
    if (error || !fs::exists(status)) return EntryKind::kNone;
    return fs::is_directory(status) ? EntryKind::kFolder : EntryKind::kFile;
  }

  ReadResult Read(const std::string& path, uint64_t limit, std::vector<uint8_t>& bytes) const override {
    const fs::path file = Resolve(root_, path);
    std::error_code error;
    if (!fs::is_regular_file(file, error)) return ReadResult::kMissing;
    const uintmax_t size = fs::file_size(file, error);
    if (error) return ReadResult::kFailed;
    if (size > limit) return ReadResult::kTooLarge;
    return ReadWholeFile(file.string(), bytes) ? ReadResult::kOk : ReadResult::kFailed;
  }

  void ForEachFile(const std::string& folder,
                   const std::function<void(const std::string&, uint64_t)>& visit) const override {
    const fs::path start = Resolve(root_, folder);
    std::error_code error;
    for (fs::recursive_directory_iterator it(start, error), end; !error && it != end; it.increment(error)) {
      std::error_code sizeError;
      if (!it->is_regular_file(sizeError)) continue;
      std::string relative = fs::relative(it->path(), start, sizeError).generic_string();
      for (char& c : relative) {
        if (c == '/') c = '\\';
      }
      visit(relative, it->file_size(sizeError));
    }
  }

 private:
  fs::path root_;
};

#endif

}  // namespace

std::unique_ptr<FolderView> OpenDiskFolder(const std::string& root) { return std::make_unique<DiskFolder>(root); }

#ifdef _WIN32

std::wstring WideFilePath(const std::string& path) { return FilePath(path); }

bool IsFolder(const std::string& path) { return KindOf(FilePath(path)) == EntryKind::kFolder; }

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  return ReadLimited(FilePath(path), UINT64_MAX, bytes) == ReadResult::kOk;
}

WriteResult WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, bool replace) {
  const std::wstring target = FilePath(path);
  if (target.empty()) return WriteResult::kFailed;
  FileHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, replace ? CREATE_ALWAYS : CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? WriteResult::kExists : WriteResult::kFailed;
  }
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
    DWORD written = 0;
    ok = WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) && written == chunk;
    done += written;
  }
  if (!ok) {
    file.reset();
    DeleteFileW(target.c_str());
    return WriteResult::kFailed;
  }
  return WriteResult::kOk;
}

#else

bool IsFolder(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

WriteResult WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, bool replace) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | (replace ? O_TRUNC : O_EXCL), 0644);
  if (fd < 0) return errno == EEXIST ? WriteResult::kExists : WriteResult::kFailed;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
    if (written <= 0) {
      close(fd);
      unlink(path.c_str());
      return WriteResult::kFailed;
    }
    done += static_cast<size_t>(written);
  }
  return close(fd) == 0 ? WriteResult::kOk : WriteResult::kFailed;
}

#endif

}  // namespace skintool
