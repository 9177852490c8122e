// libFuzzer entry for nexinst::fuzz::CommandLine.
#include "fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nexinst::fuzz::CommandLine(data, size);
  return 0;
}
