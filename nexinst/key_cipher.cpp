#include "key_cipher.h"

#include <nettle/blowfish.h>

#include <algorithm>
#include <vector>

namespace nexinst {

namespace {

// Swaps the byte order of both 32-bit words of a block: turns little-endian
// words into the big-endian order nettle reads, and back.
void SwapWords(uint8_t* block) {
  std::reverse(block, block + 4);
  std::reverse(block + 4, block + 8);
}

}  // namespace

void BlowfishEncryptBlock(std::span<const uint8_t> key, const uint8_t in[8], uint8_t out[8]) {
  blowfish_ctx context;
  blowfish_set_key(&context, key.size(), key.data());
  blowfish_encrypt(&context, BLOWFISH_BLOCK_SIZE, out, in);
}

std::string EncryptKeyHex(std::span<const uint8_t> input, std::string_view key) {
  if (input.empty()) return std::string();
  std::vector<uint8_t> data(input.begin(), input.end());
  data.resize((data.size() + 7) / 8 * 8, 0);

  blowfish_ctx context;
  // The weak-key report concerns attacks on the key itself; the schedule is
  // complete either way.
  blowfish_set_key(&context, key.size(), reinterpret_cast<const uint8_t*>(key.data()));
  for (size_t at = 0; at < data.size(); at += 8) {
    uint8_t* block = data.data() + at;
    SwapWords(block);
    blowfish_encrypt(&context, BLOWFISH_BLOCK_SIZE, block, block);
    SwapWords(block);
  }

  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t byte : data) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0xF];
  }
  return text;
}

}  // namespace nexinst
