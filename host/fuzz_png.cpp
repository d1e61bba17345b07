// PNG files, plain (.png) or scrambled (.iep): bit 0 of the first byte picks
// the form, the rest is the file. The other form of the same file is decoded too.
#include <cstddef>
#include <cstdint>

#include "contract_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FailIfBroken(CheckPngInput(data + 1, size - 1, data[0] & 1), "fuzz_png");
  return 0;
}
