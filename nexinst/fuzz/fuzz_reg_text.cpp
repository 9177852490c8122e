// libFuzzer entry for nexinst::fuzz::RegText.
#include "fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nexinst::fuzz::RegText(data, size);
  return 0;
}
