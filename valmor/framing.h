#pragma once

// The bulk transfer formats as pure functions over bytes. No allocation, no I/O.

#include <cstddef>
#include <cstdint>
#include <span>

namespace valmor {

inline constexpr size_t kUsbPacketSize = 64;
inline constexpr size_t kHeaderSize = 33;  // bulk-out header before the frame
inline constexpr size_t kMapOffset = 7;
inline constexpr size_t kMarkerOffset = 3;
inline constexpr uint8_t kChangeMarker = 0x55;
inline constexpr size_t kMaxTransferSize = 1586;
inline constexpr size_t kBulkInHeaderSize = 3;

// CRC-16/USB: polynomial 0x8005, initial 0xFFFF, reflected, final XOR 0xFFFF.
uint16_t Crc16Usb(std::span<const uint8_t> bytes);

// Pad count P for a frame of `frame_length` bytes, so that the transfer length
// 33 + L + P modulo 64 lies between 50 and 60.
uint8_t PadCount(uint32_t frame_length);

// Completes a bulk-out transfer whose frame of `frame_length` bytes already
// sits at offset 33 of `transfer`: writes the header, zeroes the pad and
// applies the packet-change rule. `transfer` must hold 33 + L + P bytes.
// Returns the transfer length T.
size_t FinishBulkOut(std::span<uint8_t> transfer, uint32_t frame_length);

// Applies the packet-change rule to a transfer whose map and marker are zero.
void ApplyPacketChangeRule(std::span<uint8_t> transfer);

// Builds the whole bulk-out transfer for `frame` (at most 1514 bytes) into
// `out` (at least 1586 bytes). Returns T, or 0 when the frame is too long or
// `out` too small.
size_t BuildBulkOut(std::span<const uint8_t> frame, std::span<uint8_t> out);

// Undoes the packet-change rule in place (what the device does on receipt) and
// returns the frame carried by the transfer, or an empty span when the header
// does not fit the transfer's length.
std::span<const uint8_t> DecodeBulkOut(std::span<uint8_t> transfer);

// Header of a bulk-in transfer: frame length L and pad count P.
struct BulkInHeader {
  uint16_t frame_length;
  uint8_t pad_count;
};
// Reads the header; `bytes` must hold at least 3 bytes.
BulkInHeader ReadBulkInHeader(std::span<const uint8_t> bytes);

// The check of a received bulk-in transfer: good when 3 + L + P equals the
// bytes received and L is at least 28. `expected` is 3 + L + P (0 when fewer
// than 3 bytes arrived); on success `frame` is the L frame bytes.
struct BulkInCheck {
  bool good;
  uint32_t expected;
  std::span<const uint8_t> frame;
};
BulkInCheck CheckBulkIn(std::span<const uint8_t> received);

}  // namespace valmor
