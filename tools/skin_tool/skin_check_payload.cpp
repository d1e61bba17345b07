// The checker on the payload under data\: missing or empty, and files or a
// whole of 4 GiB or more, which setup.exe's 32-bit sizes cannot count.
#include "tools/skin_tool/skin_check_topics.h"

namespace skintool {

void CheckPayload(CheckRun& run) {
  if (run.folder.Kind("data") != EntryKind::kFolder) {
    run.Add(Severity::kError, "data", 0, "the payload folder data is missing: the install copies nothing");
    return;
  }
  uint64_t total = 0;
  size_t files = 0;
  run.folder.ForEachFile("data", [&](const std::string& path, uint64_t size) {
    ++files;
    total += size;
    if (size >= kFourGiB) {
      run.Add(Severity::kError, "data\\" + path, 0,
              "4 GiB or larger (" + std::to_string(size) + " bytes): setup.exe counts sizes in 32 bits and cannot "
              "install it");
    }
  });
  if (files == 0) {
    run.Add(Severity::kWarning, "data", 0, "the payload folder data is empty: the install copies nothing");
  } else if (total >= kFourGiB) {
    run.Add(Severity::kError, "data", 0,
            "the payload holds " + std::to_string(total) + " bytes, 4 GiB or more: setup.exe counts sizes in 32 bits "
            "(free space and progress go wrong)");
  }
}

}  // namespace skintool
