#include "fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return mivo::link::fuzz::FuzzTftpServer(data, size);
}
