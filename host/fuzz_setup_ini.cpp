// Setup.ini texts (and uninstall records) of any bytes through the store.
#include <cstddef>
#include <cstdint>

#include "contract_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FailIfBroken(CheckSetupIniInput(data, size), "fuzz_setup_ini");
  return 0;
}
