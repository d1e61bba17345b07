// The black-run scan of the window's shape over pictures made from the input
// (see FuzzPicture for the reading).
#include <cstddef>
#include <cstdint>

#include "contract_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzPicture picture(data, size);
  FailIfBroken(CheckBlackRuns(picture.bits, picture.width, picture.height, picture.stride),
               "fuzz_black_runs");
  return 0;
}
