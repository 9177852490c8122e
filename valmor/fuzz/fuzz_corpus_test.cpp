// Runs the fuzz entries over crafted transfers and a fixed stream of random
// inputs, so that every build checks them without a fuzzer.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "fuzz_entries.h"

namespace valmor::fuzz {
namespace {

std::vector<std::vector<uint8_t>> Corpus() {
  std::vector<std::vector<uint8_t>> corpus = {
      {},
      {0},
      {28, 0, 0},
      {100, 0, 10},
      {0xFF, 0xFF, 0xFF},
      std::vector<uint8_t>(1587, 0xFF),
      std::vector<uint8_t>(1586, 0x55),
  };
  std::vector<uint8_t> good(3 + 60 + 4, 0x11);
  good[0] = 60;
  good[1] = 0;
  good[2] = 4;
  corpus.push_back(good);
  std::mt19937 random(5837);
  for (int i = 0; i < 400; ++i) {
    std::vector<uint8_t> bytes(random() % 1700);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    if (bytes.size() >= 3 && i % 2 == 0) {
      // Make the header agree with the length half of the time.
      const size_t frame = bytes.size() - 3 - (bytes.size() > 3 ? random() % 4 : 0);
      bytes[0] = static_cast<uint8_t>(frame);
      bytes[1] = static_cast<uint8_t>(frame >> 8);
      bytes[2] = static_cast<uint8_t>(bytes.size() - 3 - frame);
    }
    corpus.push_back(std::move(bytes));
  }
  return corpus;
}

TEST(ValmorFuzzCorpusTest, EntriesHoldTheirInvariants) {
  for (const std::vector<uint8_t>& input : Corpus()) {
    FuzzBulkIn(input.data(), input.size());
    FuzzBulkOut(input.data(), input.size());
    FuzzDecodeBulkOut(input.data(), input.size());
  }
}

}  // namespace
}  // namespace valmor::fuzz
