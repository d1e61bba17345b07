// The skin checker over a setup folder held in memory: a fuzzed Setup.ini and
// a few fuzzed files under the names the checker looks at. Every finding must
// say something, and a line number needs a file; nothing may crash or read
// out of bounds.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/skin_tool/folder_view.h"
#include "tools/skin_tool/skin_check.h"

namespace {

const char* const kNames[] = {
    "ui\\base.bmp",  "ui\\base.png",     "ui\\base.iej",        "ui\\Install.ieg",
    "ui\\Exit.jpg",  "ui\\Install_h",    "ui\\ProgressBar.iep", "ui\\Uninstall.bmp",
    "data\\app.exe", "data\\sub\\a.txt", "data\\MyApp\\b.dat",  "ui\\Exit_h.png",
    u8"data\\한글\\😀 café.txt",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string ini = input.ConsumeRandomLengthString(4096);
  skintool::MemoryFolder folder;
  folder.AddFolder("data");
  const std::vector<uint8_t> iniBytes(ini.begin(), ini.end());
  folder.AddFile("Setup.ini", iniBytes);
  while (input.remaining_bytes() > 0) {
    const char* name = input.PickValueInArray(kNames);
    if (input.ConsumeBool()) {
      folder.AddSizedFile(name, input.ConsumeIntegral<uint64_t>());
    } else {
      folder.AddFile(name, input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 2048)));
    }
  }
  for (const skintool::Finding& finding : skintool::CheckSkinFolder(folder)) {
    if (finding.message.empty() || finding.line < 0 || (finding.line > 0 && finding.file.empty())) {
      std::fprintf(stderr, "fuzz_skin_check: a finding without text, or a line without a file\n");
      std::abort();
    }
  }
  return 0;
}
