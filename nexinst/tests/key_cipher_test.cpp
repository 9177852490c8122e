#include "key_cipher.h"

#include <gtest/gtest.h>

#include <vector>

namespace nexinst {
namespace {

std::vector<uint8_t> FromHex(std::string_view hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

std::string ToHex(const uint8_t* bytes, size_t size) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 0xF];
  }
  return text;
}

// The published Blowfish vectors: ECB with 8-byte keys, then the variable key
// length table (prefixes of one 24-byte key, one plaintext).
TEST(KeyCipherTest, BlowfishMatchesThePublishedVectors) {
  struct Case {
    const char* key;
    const char* plain;
    const char* cipher;
  };
  const Case cases[] = {
      {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
      {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
      {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
      {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
      {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
      {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
      {"F0E1D2C3B4A59687", "FEDCBA9876543210", "E87A244E2CC85E82"},
      {"F0E1D2C3B4A5968778", "FEDCBA9876543210", "15750E7A4F4EC577"},
      {"F0E1D2C3B4A596877869", "FEDCBA9876543210", "122BA70B3AB64AE0"},
      {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677", "FEDCBA9876543210", "05044B62FA52D080"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> key = FromHex(c.key);
    std::vector<uint8_t> plain = FromHex(c.plain);
    uint8_t out[8];
    BlowfishEncryptBlock(key, plain.data(), out);
    EXPECT_EQ(ToHex(out, 8), c.cipher) << c.key;
  }
}

TEST(KeyCipherTest, BlocksAreTakenAsLittleEndianWords) {
  // FEDCBA9876543210 / 0123456789ABCDEF gives 0ACEAB0F C6A0A28D as
  // big-endian words; here every word is stored and read little-endian.
  std::string key(reinterpret_cast<const char*>(FromHex("FEDCBA9876543210").data()), 8);
  std::vector<uint8_t> plain = FromHex("67452301EFCDAB89");
  EXPECT_EQ(EncryptKeyHex(plain, key), "0FABCE0A8DA2A0C6");
  std::string zero_key(8, '\0');
  EXPECT_EQ(EncryptKeyHex(std::vector<uint8_t>(8, 0), zero_key), "4597F94E78DD9861");
}

TEST(KeyCipherTest, PadsWithZerosToWholeBlocks) {
  std::vector<uint8_t> five = {'a', 'b', 'c', 'd', 'e'};
  std::vector<uint8_t> padded = {'a', 'b', 'c', 'd', 'e', 0, 0, 0};
  EXPECT_EQ(EncryptKeyHex(five), EncryptKeyHex(padded));
  EXPECT_EQ(EncryptKeyHex(five).size(), 16u);
  EXPECT_EQ(EncryptKeyHex(std::vector<uint8_t>(13, 'k')).size(), 32u);
  EXPECT_EQ(EncryptKeyHex(std::vector<uint8_t>(16, 'k')).size(), 32u);
  EXPECT_EQ(EncryptKeyHex({}), "");
  std::string hex = EncryptKeyHex(std::vector<uint8_t>(16, 'k'));
  EXPECT_EQ(hex.substr(0, 16), hex.substr(16));  // ECB: equal blocks, equal output
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
}

}  // namespace
}  // namespace nexinst
