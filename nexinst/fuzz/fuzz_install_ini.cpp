// libFuzzer entry for nexinst::fuzz::InstallIni.
#include "fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nexinst::fuzz::InstallIni(data, size);
  return 0;
}
