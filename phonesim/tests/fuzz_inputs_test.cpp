#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fuzz_entries.h"
#include "tftp_packet.h"

namespace phonesim {
namespace {

std::string AsText(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// A run of datagrams as the TFTP fuzz entry reads them: each led by its length.
std::string Datagrams(const std::vector<std::vector<uint8_t>>& datagrams) {
  std::string text;
  for (const auto& d : datagrams) {
    text += static_cast<char>(std::min<size_t>(d.size(), 255));
    text += AsText(d).substr(0, 255);
  }
  return text;
}

// Nasty inputs through the fuzz targets' entry functions; under the sanitizer
// build any read or write out of bounds fails the test.
TEST(FuzzInputs, TftpAndSessionSurviveNastyInputs) {
  std::vector<std::string> inputs = {
      "",
      std::string(1, '\0'),
      std::string("\0\3\0\1", 4),
      Datagrams({EncodeData(1, std::vector<uint8_t>(200, 'x')), EncodeData(1, {}),
                 EncodeData(2, {}), EncodeAck(0), EncodeAck(65535), EncodeError(0, "")}),
      Datagrams({{0, 5}, {0, 5, 0}, {0, 1, 'a'}, {0, 3}, {0, 4, 0, 1, 9, 9}}),
      "REQ upload a\r\nREQ import\r\nREQ fwupgrade \r\nREQ FactoryDefault\r\n",
      "REQ upload x\r\nPhBook_Count=100\r\n" + std::string(600, '\n') +
          "PhBook_Name=" + std::string(300, 'n') + "\r\nProf1_IPaddress=1.2.3.4.5.6\r\n",
      "REQ login " + std::string(1000, ' ') + "\r\nREQ mode\r\nREQ probe\r\n",
      std::string(70000, 'R'),
  };
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
  inputs.push_back(garbage);
  for (const std::string& input : inputs) {
    const auto* data = reinterpret_cast<const uint8_t*>(input.data());
    EXPECT_EQ(fuzz::FuzzTftp(data, input.size()), 0);
    EXPECT_EQ(fuzz::FuzzSession(data, input.size()), 0);
  }
}

}  // namespace
}  // namespace phonesim
