// Finding a skin picture's file and reading it into a Surface: the Win32 side
// of loading (files, messages, the plane); decoding lives in the decoders.
#include <cstring>
#include <string>
#include <vector>

#include "common/messages.h"
#include "common/message_box.h"
#include "common/skin_archive.h"
#include "common/text_encoding.h"
#include "common/win32_guards.h"
#include "imaging/picture_decoders.h"
#include "imaging/picture_names.h"
#include "imaging/surface.h"

namespace {

constexpr size_t kNameBuffer = MAX_PATH;
static_assert(kNameBuffer == kPictureNameBuffer);

// Picture names are the program's own ("ui\\base" and an extension), spelt
// in the same code page as its message texts.
FileHandle OpenForReading(const char* name) {
  return FileHandle(CreateFileW(WideFromShiftJis(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The archive's entry of that name, for a packed setup.exe: never a file beside it.
const SkinArchive::Entry* PackedEntry(const char* name) {
  const SkinArchive::Entry* entry = PackedSkin()->Find(WideFromShiftJis(name));
  return entry && !entry->folder ? entry : nullptr;
}

bool Opens(const char* name) {
  return PackedSkin() ? PackedEntry(name) != nullptr : static_cast<bool>(OpenForReading(name));
}

// The whole file, or false when it cannot be opened or read in full.
bool ReadWholeFile(const char* name, std::vector<uint8_t>& bytes) {
  if (PackedSkin()) {
    const SkinArchive::Entry* entry = PackedEntry(name);
    return entry && PackedSkin()->ReadWhole(*entry, kMaxPictureFileBytes, bytes);
  }
  FileHandle file = OpenForReading(name);
  if (!file) return false;
  DWORD high = 0;
  const DWORD size = GetFileSize(file.get(), &high);
  if (size == INVALID_FILE_SIZE || high != 0 || size > kMaxPictureFileBytes) return false;
  bytes.resize(size);
  DWORD done = 0;
  while (done < size) {
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data() + done, size - done, &read, nullptr) || read == 0) {
      return false;
    }
    done += read;
  }
  return true;
}

void ShowPictureMessage(HWND owner, const char* prefix, const char* name, const char* suffix) {
  const std::string text = std::string(prefix) + name + suffix;
  ShowMessage(owner, text.c_str(), kCaptionGraphicsFile, MB_OK);
}

}  // namespace

uint8_t Surface::ResolveImageName(char* name) {
  const std::string resolved =
      ResolvePictureName(std::string(name, strnlen(name, kNameBuffer)),
                         [](const std::string& candidate) { return Opens(candidate.c_str()); });
  if (resolved.empty() || resolved.size() >= kNameBuffer) return 1;
  std::memcpy(name, resolved.c_str(), resolved.size() + 1);
  return 0;
}

bool Surface::Load(char* name) {
  const std::string asGiven(name, strnlen(name, kNameBuffer));
  if (ResolveImageName(name) != 0) {
    ShowPictureMessage(window, kMsgPictureNotFoundPrefix, asGiven.c_str(), kMsgPictureNotFoundSuffix);
    return false;
  }

  DecodedPicture picture;
  DecodeStatus status = DecodeStatus::kDamaged;
  std::vector<uint8_t> file;
  if (ReadWholeFile(name, file)) status = DecodePictureFile(name, file.data(), file.size(), picture);

  switch (status) {
    case DecodeStatus::kOk:
      Resize(picture.width, picture.height);
      if (bits != nullptr && width == picture.width && height == picture.height) {
        std::memcpy(bits, picture.pixels.data(), picture.pixels.size());
        return true;
      }
      return false;  // no plane of that size could be made
    case DecodeStatus::kNotTwentyFourBitBmp:
      ShowPictureMessage(window, kMsgPictureFilePrefix, name, kMsgBmpNotTwentyFourBitSuffix);
      return false;
    case DecodeStatus::kUnsupportedPngColorType:
      // The picture's size is taken, its pixels are not written.
      Resize(picture.width, picture.height);
      ShowPictureMessage(window, kMsgPictureFilePrefix, name, kMsgPngColorTypeSuffix);
      return false;
    case DecodeStatus::kDamaged:
      ShowPictureMessage(window, kMsgPictureFilePrefix, name, kMsgPictureDamagedSuffix);
      return false;
  }
  return false;
}
