// libFuzzer entry for nexinst::fuzz::ProfilePro.
#include "fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nexinst::fuzz::ProfilePro(data, size);
  return 0;
}
