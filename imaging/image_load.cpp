// Finding a skin picture's file and reading it into a Surface.
#include <cstring>

#include "common/win32_guards.h"
#include "imaging/surface.h"

namespace {

// Tried in this order after the bare name: PNG before BMP before JPEG, the
// scrambled form of each before the plain one.
constexpr const char* kExtensions[] = {".iep", ".png", ".ieg", ".bmp", ".iej", ".jpg"};
constexpr size_t kNameBuffer = MAX_PATH;

bool CanOpenForReading(const char* name) {
  FileHandle file(CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(file);
}

}  // namespace

uint8_t Surface::ResolveImageName(char* name) {
  if (CanOpenForReading(name)) return 0;
  // A name too long to take an extension within the buffer is refused as not found.
  size_t length = strnlen(name, kNameBuffer);
  if (length + 4 >= kNameBuffer) return 1;
  for (const char* extension : kExtensions) {
    char candidate[kNameBuffer];
    std::memcpy(candidate, name, length);
    std::memcpy(candidate + length, extension, 5);
    if (CanOpenForReading(candidate)) {
      std::memcpy(name, candidate, length + 5);
      return 0;
    }
  }
  return 1;
}

void Surface::Load(char* name) {
  // The picture readers are added with the image formats; until then a
  // Surface keeps its size and pixels.
  (void)name;
}
