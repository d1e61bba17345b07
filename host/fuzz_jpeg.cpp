// JPEG streams as given: plain ones (FF D8 ...) and scrambled ones (5A 7D ...)
// alike, each also decoded in its other form.
#include <cstddef>
#include <cstdint>

#include "contract_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FailIfBroken(CheckJpegInput(data, size), "fuzz_jpeg");
  return 0;
}
