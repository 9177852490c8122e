#include "fuzz_entries.h"

#include <cstdlib>
#include <vector>

#include "framing.h"

namespace valmor::fuzz {
namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

void FuzzBulkIn(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> received(data, data + size);
  const BulkInCheck check = CheckBulkIn(received);
  if (!check.good) return;
  Require(check.expected == size);
  Require(check.frame.size() >= 28);
  Require(check.frame.data() == received.data() + kBulkInHeaderSize);
  Require(kBulkInHeaderSize + check.frame.size() <= size);
}

void FuzzBulkOut(const uint8_t* data, size_t size) {
  if (size > 1514) size = 1514;
  const std::vector<uint8_t> frame(data, data + size);
  std::vector<uint8_t> transfer(kMaxTransferSize);
  const size_t total = BuildBulkOut(frame, transfer);
  Require(total >= 50 && total <= kMaxTransferSize);
  Require(total % 64 >= 50 && total % 64 <= 60);
  Require(transfer[kMapOffset] == 0);
  transfer.resize(total);
  const std::span<const uint8_t> decoded = DecodeBulkOut(transfer);
  Require(decoded.size() == frame.size());
  for (size_t i = 0; i < frame.size(); ++i) Require(decoded[i] == frame[i]);
}

void FuzzDecodeBulkOut(const uint8_t* data, size_t size) {
  std::vector<uint8_t> transfer(data, data + size);
  const std::span<const uint8_t> frame = DecodeBulkOut(transfer);
  if (frame.empty()) return;
  Require(frame.data() >= transfer.data());
  Require(frame.data() + frame.size() <= transfer.data() + transfer.size());
}

}  // namespace valmor::fuzz
