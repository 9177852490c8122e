// libFuzzer entry (built with Clang only).

#include "fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  valmor::fuzz::FuzzBulkIn(data, size);
  return 0;
}
