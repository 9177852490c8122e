#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fuzz_entries.h"
#include "tftp_packet.h"

namespace mivo::link {
namespace {

// Length-led chunks as the fuzz entries read them.
std::string Chunks(const std::vector<std::string>& chunks) {
  std::string text;
  for (const std::string& chunk : chunks) {
    text += static_cast<char>(std::min<std::size_t>(chunk.size(), 255));
    text += chunk.substr(0, 255);
  }
  return text;
}

std::string Bytes(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// Nasty inputs through the fuzz targets' entry functions; under the sanitizer build any
// read or write out of bounds fails the test.
TEST(FuzzInputs, RepliesChannelAndServerSurviveNastyInputs) {
  std::string garbage;
  for (int i = 0; i < 4000; ++i) garbage += static_cast<char>((i * 131) % 256);
  const std::vector<std::string> inputs = {
      "",
      std::string(1, '\0'),
      garbage,
      "CNF login\nCNF login 99999999999999999999\nCNF import -5 x\nIND upload \"\"\n",
      "CNF getfirmwareinfo FW: BSP: BOOT:\nCNF getfirmwareinfo FW:a BSP:b BOOT:" +
          std::string(400, 'c') + "\n",
      Chunks({std::string(255, 'x'), std::string(255, 'y'), std::string(10, '\n')}),
      Chunks({"CNF getmac A\r\n", "CNF getmac B\r\n", "CNF mode\r\n", "CNF probe\r"}) +
          std::string(6, '\0'),
      Chunks({Bytes(tftp::MakeRequest(tftp::kRrq, "f")), Bytes(tftp::MakeAck(1)),
              Bytes(tftp::MakeAck(2)), Bytes(tftp::MakeAck(3)), Bytes(tftp::MakeAck(9))}),
      Chunks({Bytes(tftp::MakeRequest(tftp::kWrq, "x")), std::string("\0\3\0\1", 4),
              std::string("\0\3\0\2", 4), std::string("\0\3", 2), std::string("\0\5", 2)}) +
          std::string(5, '\0'),
      Chunks({Bytes(tftp::MakeRequest(tftp::kRrq, "g.bin")), Bytes(tftp::MakeAck(1)),
              std::string("\0\1", 2), std::string("\0\1missing", 9)}),
  };
  for (const std::string& input : inputs) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(input.data());
    EXPECT_EQ(fuzz::FuzzReplies(data, input.size()), 0);
    EXPECT_EQ(fuzz::FuzzChannel(data, input.size()), 0);
    EXPECT_EQ(fuzz::FuzzTftpServer(data, input.size()), 0);
  }
  // A write that runs past the settings buffer, block by block.
  std::vector<std::string> write = {Bytes(tftp::MakeRequest(tftp::kWrq, "x"))};
  std::string large;
  for (int block = 1; block <= 70; ++block) {
    std::string data(4, '\0');
    data[1] = 3;
    data[3] = static_cast<char>(block);
    large += static_cast<char>(255) + (data + std::string(251, 'w')).substr(0, 255);
  }
  const std::string input = Chunks(write) + large;
  EXPECT_EQ(fuzz::FuzzTftpServer(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()),
            0);
}

}  // namespace
}  // namespace mivo::link
