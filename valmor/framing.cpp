#include "framing.h"

#include <array>
#include <cstring>

#include "adapter.h"

namespace valmor {
namespace {

constexpr uint16_t kReflectedPoly = 0xA001;  // 0x8005 bit-reversed

// Slicing-by-8 tables: the transmit path runs the CRC over every byte it sends.
constexpr size_t kSlices = 8;
constexpr std::array<std::array<uint16_t, 256>, kSlices> MakeTables() {
  std::array<std::array<uint16_t, 256>, kSlices> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint16_t crc = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ kReflectedPoly)
                      : static_cast<uint16_t>(crc >> 1);
    }
    t[0][i] = crc;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    for (size_t k = 1; k < kSlices; ++k) {
      const uint16_t prev = t[k - 1][i];
      t[k][i] = static_cast<uint16_t>((prev >> 8) ^ t[0][prev & 0xFF]);
    }
  }
  return t;
}

constexpr auto kTables = MakeTables();

}  // namespace

uint16_t Crc16Usb(std::span<const uint8_t> bytes) {
  uint32_t crc = 0xFFFF;
  const uint8_t* p = bytes.data();
  size_t n = bytes.size();
  while (n >= kSlices) {
    const uint32_t x = crc ^ (static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8);
    crc = kTables[7][x & 0xFF] ^ kTables[6][(x >> 8) & 0xFF] ^ kTables[5][p[2]] ^ kTables[4][p[3]] ^
          kTables[3][p[4]] ^ kTables[2][p[5]] ^ kTables[1][p[6]] ^ kTables[0][p[7]];
    p += kSlices;
    n -= kSlices;
  }
  while (n-- > 0) {
    crc = (crc >> 8) ^ kTables[0][(crc ^ *p++) & 0xFF];
  }
  return static_cast<uint16_t>(crc ^ 0xFFFF);
}

uint8_t PadCount(uint32_t frame_length) {
  const uint32_t r = (kHeaderSize + frame_length) % kUsbPacketSize;
  if (r < 50) return static_cast<uint8_t>(50 - r);
  if (r > 60) return static_cast<uint8_t>(51 + (63 - r));  // 63 -> 51, 62 -> 52, 61 -> 53
  return 0;
}

namespace {
bool TopSixBitsSet(uint16_t crc) { return (crc & 0xFC00) == 0xFC00; }
}  // namespace

void ApplyPacketChangeRule(std::span<uint8_t> transfer) {
  const size_t total = transfer.size();
  for (size_t start = kUsbPacketSize, k = 1; start < total; start += kUsbPacketSize, ++k) {
    const size_t size = std::min(kUsbPacketSize, total - start);
    if (TopSixBitsSet(Crc16Usb(transfer.subspan(start, size)))) {
      transfer[start] ^= kChangeMarker;
      transfer[kMapOffset + k] = static_cast<uint8_t>(k);
    }
  }
  const size_t first = std::min(kUsbPacketSize, total);
  if (TopSixBitsSet(Crc16Usb(transfer.first(first)))) transfer[kMarkerOffset] = kChangeMarker;
}

size_t FinishBulkOut(std::span<uint8_t> transfer, uint32_t frame_length) {
  const uint8_t pad = PadCount(frame_length);
  const size_t total = kHeaderSize + frame_length + pad;
  transfer[0] = static_cast<uint8_t>(frame_length & 0xFF);
  transfer[1] = static_cast<uint8_t>(frame_length >> 8);
  transfer[2] = pad;
  std::memset(transfer.data() + 3, 0, kHeaderSize - 3);  // marker, reserved, map
  std::memset(transfer.data() + kHeaderSize + frame_length, 0, pad);
  ApplyPacketChangeRule(transfer.first(total));
  return total;
}

size_t BuildBulkOut(std::span<const uint8_t> frame, std::span<uint8_t> out) {
  if (frame.size() > kMaxFrameSize) return 0;
  const size_t total = kHeaderSize + frame.size() + PadCount(static_cast<uint32_t>(frame.size()));
  if (out.size() < total) return 0;
  if (!frame.empty()) std::memcpy(out.data() + kHeaderSize, frame.data(), frame.size());
  return FinishBulkOut(out, static_cast<uint32_t>(frame.size()));
}

std::span<const uint8_t> DecodeBulkOut(std::span<uint8_t> transfer) {
  if (transfer.size() < kHeaderSize) return {};
  const size_t length = transfer[0] | static_cast<size_t>(transfer[1]) << 8;
  const size_t pad = transfer[2];
  if (kHeaderSize + length + pad != transfer.size()) return {};
  for (size_t k = 1; k < 26; ++k) {
    if (transfer[kMapOffset + k] == k && k * kUsbPacketSize < transfer.size()) {
      transfer[k * kUsbPacketSize] ^= kChangeMarker;
    }
  }
  return transfer.subspan(kHeaderSize, length);
}

BulkInHeader ReadBulkInHeader(std::span<const uint8_t> bytes) {
  return BulkInHeader{static_cast<uint16_t>(bytes[0] | bytes[1] << 8), bytes[2]};
}

BulkInCheck CheckBulkIn(std::span<const uint8_t> received) {
  if (received.size() < kBulkInHeaderSize) return BulkInCheck{false, 0, {}};
  const BulkInHeader header = ReadBulkInHeader(received);
  const uint32_t expected = kBulkInHeaderSize + header.frame_length + header.pad_count;
  if (expected != received.size() || header.frame_length < 28) {
    return BulkInCheck{false, expected, {}};
  }
  return BulkInCheck{true, expected, received.subspan(kBulkInHeaderSize, header.frame_length)};
}

}  // namespace valmor
