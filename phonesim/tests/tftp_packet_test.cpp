#include "tftp_packet.h"

#include <gtest/gtest.h>

namespace phonesim {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(TftpPacket, EncodesEveryPacketInNetworkOrder) {
  EXPECT_EQ(EncodeRequest(TftpOpcode::kRrq, "a.txt"),
            Bytes(std::string_view("\0\1a.txt\0octet\0", 14)));
  EXPECT_EQ(EncodeRequest(TftpOpcode::kWrq, "b"), Bytes(std::string_view("\0\2b\0octet\0", 10)));
  EXPECT_EQ(EncodeAck(0x0102), Bytes(std::string_view("\0\4\1\2", 4)));
  const std::vector<uint8_t> data = {'x', 'y'};
  EXPECT_EQ(EncodeData(258, data), Bytes(std::string_view("\0\3\1\2xy", 6)));
  EXPECT_EQ(EncodeError(1, "No"), Bytes(std::string_view("\0\5\0\1No\0", 7)));
}

TEST(TftpPacket, DecodesWhatItEncodes) {
  std::vector<uint8_t> block(512, 'z');
  auto data = DecodeTftpPacket(EncodeData(65535, block));
  ASSERT_TRUE(data);
  EXPECT_EQ(data->opcode, TftpOpcode::kData);
  EXPECT_EQ(data->block, 65535);
  EXPECT_EQ(data->data, block);

  auto request = DecodeTftpPacket(EncodeRequest(TftpOpcode::kWrq, "c:\\x\\PhoneCNF.txt"));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->file_name, "c:\\x\\PhoneCNF.txt");
  EXPECT_EQ(request->mode, "octet");

  // The utility pads its ERROR packets with zero bytes to 256 bytes.
  std::vector<uint8_t> padded = EncodeError(3, "Disk full or allocation exceeded !");
  padded.resize(256, 0);
  auto error = DecodeTftpPacket(padded);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->error_code, 3);
  EXPECT_EQ(error->error_message, "Disk full or allocation exceeded !");
}

TEST(TftpPacket, RefusesMalformedDatagrams) {
  const std::vector<std::vector<uint8_t>> cases = {
      {},
      {0, 4, 0},                 // ACK cut short
      {0, 9, 0, 1},              // unknown opcode
      {0, 1, 'a', 0, 'o', 'c'},  // mode not terminated
      {0, 1, 'a', 'b'},          // name not terminated
      [] {
        std::vector<uint8_t> big = EncodeData(1, std::vector<uint8_t>(513, 'q'));
        return big;
      }(),  // DATA above 512 bytes
  };
  for (const auto& datagram : cases) {
    EXPECT_FALSE(DecodeTftpPacket(datagram)) << DescribeTftpPacket(datagram);
  }
}

}  // namespace
}  // namespace phonesim
