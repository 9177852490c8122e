#pragma once

#include <cstddef>
#include <cstdint>

namespace valmor::fuzz {

// Each entry takes arbitrary bytes and aborts on a broken invariant.

// A received bulk-in transfer: the check never reads past the bytes received
// and a good transfer's frame lies inside them.
void FuzzBulkIn(const uint8_t* data, size_t size);

// Any frame up to 1514 bytes survives framing and the device's undoing of the
// packet-change rule byte for byte; the transfer keeps the length rules.
void FuzzBulkOut(const uint8_t* data, size_t size);

// Arbitrary bytes taken as a bulk-out transfer by the device side: decoding
// stays inside the transfer.
void FuzzDecodeBulkOut(const uint8_t* data, size_t size);

}  // namespace valmor::fuzz
