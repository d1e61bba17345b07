// Loading a SetupIni from its file: the Win32 side of the store.
#include <windows.h>

#include "app/setup_ini.h"
#include "common/win32_guards.h"

namespace {

// Reads one byte per ReadFile call; a read of no bytes ends the stream.
class FileByteSource : public ByteSource {
 public:
  explicit FileByteSource(HANDLE file) : file_(file) {}
  int Next() override {
    if (ended_) return -1;
    unsigned char byte = 0;
    DWORD read = 0;
    if (!ReadFile(file_, &byte, 1, &read, nullptr) || read == 0) {
      ended_ = true;
      return -1;
    }
    return byte;
  }

 private:
  HANDLE file_;
  bool ended_ = false;
};

}  // namespace

bool SetupIni::Load() {
  FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  FileByteSource source(file.get());
  return LoadFrom(source);
}

