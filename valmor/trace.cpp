#include "trace.h"

#include <cstdarg>
#include <cstdio>

#include "host/kernel.h"

namespace valmor {

std::atomic<uint8_t> g_DebugMask{kDefaultDebugMask};

void VnetTrace(uint8_t level, const char* format, ...) {
  if ((g_DebugMask.load() & level) == 0) return;
  char line[512];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (length < 0) return;
  const size_t size =
      static_cast<size_t>(length) < sizeof line ? static_cast<size_t>(length) : sizeof line - 1;
  host::DbgPrint(std::string_view(line, size));
}

}  // namespace valmor
