// Loading a SetupIni from its file: the Win32 side of the store.
#include <windows.h>

#include "app/setup_ini.h"
#include "common/win32_guards.h"

namespace {

// Reads the file a block at a time; a failed read or one of no bytes ends
// the stream.
class FileByteSource : public ByteSource {
 public:
  explicit FileByteSource(HANDLE file) : file_(file) {}
  int Next() override {
    if (next_ == filled_) {
      DWORD read = 0;
      if (ended_ || !ReadFile(file_, block_, sizeof block_, &read, nullptr) || read == 0) {
        ended_ = true;
        return -1;
      }
      next_ = 0;
      filled_ = read;
    }
    return block_[next_++];
  }
  bool Restart() override {
    LARGE_INTEGER start = {};
    next_ = filled_ = 0;
    ended_ = !SetFilePointerEx(file_, start, nullptr, FILE_BEGIN);
    return !ended_;
  }

 private:
  HANDLE file_;
  unsigned char block_[4096];
  DWORD next_ = 0, filled_ = 0;
  bool ended_ = false;
};

}  // namespace

bool SetupIni::Load() {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  // Shared for reading only: nobody changes the file between the loader's two readings.
  FileByteSource source(file.get());
  return LoadFrom(source);
}

