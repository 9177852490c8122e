#pragma once

#include <atomic>
#include <cstdint>

namespace valmor {

// Bits of the debug mask ("DbgLevel").
inline constexpr uint8_t kTraceError = 0x01;
inline constexpr uint8_t kTraceProgress = 0x02;
inline constexpr uint8_t kTraceRxComplete = 0x08;
inline constexpr uint8_t kTraceFirmware = 0x20;
inline constexpr uint8_t kDefaultDebugMask = 3;

// Driver-global debug mask, read from the registry at each initialisation.
extern std::atomic<uint8_t> g_DebugMask;

// Writes one trace to the debugger sink when `level` is set in the mask.
void VnetTrace(uint8_t level, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace valmor
