#pragma once

#include <cstdint>

namespace valmor {

// Limits of the DFU download loop, so that no device can keep it running
// without end: a poll time-out is capped, and between two blocks (and after
// the last one) only so many state passes and so much waiting are allowed.
inline constexpr uint32_t kMaxPollTimeoutMs = 10000;
inline constexpr uint32_t kMaxPassesPerBlock = 64;
inline constexpr uint32_t kMaxWaitPerBlockMs = 60000;
inline constexpr uint32_t kDfuBlockSize = 1024;

}  // namespace valmor
