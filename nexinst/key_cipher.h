#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace nexinst {

// The identifier of the card configuration; its 36 characters are also the
// key with which stored WEP keys are encrypted.
inline constexpr char kCardCfgId[] = "5e1c07fa-92b3-4d1e-a6f8-3c0b7d9e21a4";

// Encrypts a WEP key for the registry: zero-padded to a multiple of 8 bytes,
// Blowfish in ECB mode with `key`, each 8-byte block taken as two 32-bit
// little-endian words of which the first is the left half, and written as
// uppercase hexadecimal. An empty input gives an empty text.
std::string EncryptKeyHex(std::span<const uint8_t> input, std::string_view key = kCardCfgId);

// Standard Blowfish of one 8-byte block (big-endian halves, as the published
// test vectors use); for checking the cipher itself.
void BlowfishEncryptBlock(std::span<const uint8_t> key, const uint8_t in[8], uint8_t out[8]);

}  // namespace nexinst
