// The skin checker: everything about a setup folder that setup.exe would meet
// silently or only while it runs, found before the folder ships. Pure C++:
// the Setup.ini bytes and a FolderView in, a list of findings out, their
// texts (Setup.ini's values among them) in UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/skin_tool/folder_view.h"

namespace skintool {

enum class Severity { kWarning, kError };

struct Finding {
  Severity severity;
  std::string file;  // relative to the setup folder, "" when the finding has none
  int line;          // 1-based line in `file`, 0 when none
  std::string message;
};

// setupIni: the bytes of Setup.ini, or null when the folder has none.
// readAs, when given, receives the encoding setup.exe reads Setup.ini in
// ("UTF-8", "Shift-JIS (code page 932)"; "" when there is none).
std::vector<Finding> CheckSkin(const std::vector<uint8_t>* setupIni, const FolderView& folder,
                               std::string* readAs = nullptr);

// Reads Setup.ini through the view, then CheckSkin.
std::vector<Finding> CheckSkinFolder(const FolderView& folder, std::string* readAs = nullptr);

// "Setup.ini:12: error: ..." / "ui\base.bmp: warning: ..." / "error: ...".
std::string FormatFinding(const Finding& finding);

// The keys setup.exe reads from Setup.ini, and whether it reads each as a number.
struct KnownKey {
  std::string name;
  bool numeric;
};
const std::vector<KnownKey>& KnownKeys();

// setup.exe counts sizes in 32 bits. Its other limits are its own constants:
// kMinimumBarWidth (imaging/skin_layout.h), kMaxPictureFileBytes
// (imaging/picture_decoders.h), the store's SetupIni::kSlots and kTextSize.
inline constexpr uint64_t kFourGiB = 1ull << 32;

}  // namespace skintool
