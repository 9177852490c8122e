#include "tftp_client.h"

#include <gtest/gtest.h>

#include <numeric>

#include "tftp_packet.h"

namespace phonesim {
namespace {

constexpr uint16_t kServerPort = 6969;
constexpr uint16_t kTransferPort = 41000;

class RecordingPort : public TftpClientPort {
 public:
  void SendDatagram(const TftpOutgoing& datagram) override { sent.push_back(datagram); }
  void Log(const std::string&) override {}
  std::vector<TftpOutgoing> sent;
};

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>('a' + i % 26);
  return bytes;
}

TftpPacket Decoded(const TftpOutgoing& datagram) {
  auto packet = DecodeTftpPacket(datagram.bytes);
  EXPECT_TRUE(packet);
  return packet.value_or(TftpPacket{});
}

class TftpClientTest : public ::testing::Test {
 protected:
  explicit TftpClientTest(TftpClient::Settings settings = {}) : client(port, settings) {}
  void Deliver(const std::vector<uint8_t>& datagram, uint16_t from = kTransferPort) {
    client.OnDatagram(datagram, from, now);
  }
  RecordingPort port;
  TftpClient client;
  int64_t now = 1000;
};

// Reads of sizes around the block boundary: every block acknowledged once, a
// transfer ends with a short (maybe empty) block.
TEST_F(TftpClientTest, ReadsFilesOfEverySizeAroundTheBlockBoundary) {
  for (size_t size : {0u, 1u, 511u, 512u, 513u, 1024u, 1500u}) {
    SCOPED_TRACE(size);
    port.sent.clear();
    const std::vector<uint8_t> file = Pattern(size);
    client.StartRead("PhoneCNF.txt", kServerPort, now);
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0].port, kServerPort);
    EXPECT_EQ(Decoded(port.sent[0]).opcode, TftpOpcode::kRrq);
    const size_t blocks = size / 512 + 1;
    for (size_t block = 1; block <= blocks; ++block) {
      const size_t from = (block - 1) * 512;
      std::span<const uint8_t> part(file.data() + from, std::min<size_t>(512, size - from));
      Deliver(EncodeData(static_cast<uint16_t>(block), part));
      ASSERT_EQ(port.sent.size(), block + 1);
      EXPECT_EQ(port.sent.back().port, kTransferPort) << "answers go to the server's new port";
      EXPECT_EQ(port.sent.back().bytes, EncodeAck(static_cast<uint16_t>(block)));
    }
    EXPECT_FALSE(client.Busy());
    auto result = client.TakeResult();
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->ok);
    EXPECT_EQ(result->data, file);
  }
}

TEST_F(TftpClientTest, WritesFilesOfEverySizeAroundTheBlockBoundary) {
  for (size_t size : {0u, 511u, 512u, 1024u, 30721u}) {
    SCOPED_TRACE(size);
    port.sent.clear();
    const std::vector<uint8_t> file = Pattern(size);
    client.StartWrite("PhoneCNF.txt", file, kServerPort, now);
    EXPECT_EQ(Decoded(port.sent[0]).opcode, TftpOpcode::kWrq);
    std::vector<uint8_t> received;
    uint16_t block = 0;
    while (client.Busy()) {
      Deliver(EncodeAck(block));
      if (!client.Busy()) break;
      TftpPacket data = Decoded(port.sent.back());
      ASSERT_EQ(data.opcode, TftpOpcode::kData);
      ASSERT_EQ(data.block, ++block);
      received.insert(received.end(), data.data.begin(), data.data.end());
    }
    EXPECT_EQ(block, size / 512 + 1) << "a multiple of 512 ends with an empty block";
    EXPECT_EQ(received, file);
    auto result = client.TakeResult();
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->ok);
  }
}

TEST_F(TftpClientTest, ResendsOnTimeOutAndGivesUpAfterItsRetries) {
  client.StartRead("a.txt", kServerPort, now);
  ASSERT_EQ(client.Deadline(), now + 1000);
  client.OnTimer(now + 999);
  EXPECT_EQ(port.sent.size(), 1u) << "nothing before the deadline";
  for (int resend = 1; resend <= 5; ++resend) {
    now = *client.Deadline();
    client.OnTimer(now);
    ASSERT_EQ(port.sent.size(), 1u + resend);
    EXPECT_EQ(port.sent.back().bytes, port.sent.front().bytes);
  }
  now = *client.Deadline();
  client.OnTimer(now);
  EXPECT_FALSE(client.Busy());
  auto result = client.TakeResult();
  ASSERT_TRUE(result);
  EXPECT_FALSE(result->ok);
  EXPECT_EQ(port.sent.size(), 6u);
}

TEST_F(TftpClientTest, AnswersRepeatedDataAgainButNotRepeatedAcks) {
  client.StartRead("a.txt", kServerPort, now);
  Deliver(EncodeData(1, Pattern(512)));
  Deliver(EncodeData(1, Pattern(512)));  // the server missed our ACK 1
  ASSERT_EQ(port.sent.size(), 3u);
  EXPECT_EQ(port.sent[2].bytes, EncodeAck(1));

  client.StartWrite("b.txt", Pattern(1024), kServerPort, now);
  port.sent.clear();
  Deliver(EncodeAck(0));
  Deliver(EncodeAck(0));  // late duplicate: answering it would double every block
  ASSERT_EQ(port.sent.size(), 1u);
  EXPECT_EQ(Decoded(port.sent[0]).block, 1);
}

TEST_F(TftpClientTest, KeepsToTheFirstAnsweringPortAndTellsStrangers) {
  client.StartRead("a.txt", kServerPort, now);
  Deliver(EncodeData(1, Pattern(512)));
  Deliver(EncodeData(2, Pattern(10)), 50000);
  ASSERT_EQ(port.sent.size(), 3u);
  EXPECT_EQ(port.sent[2].port, 50000);
  EXPECT_EQ(Decoded(port.sent[2]).opcode, TftpOpcode::kError);
  EXPECT_EQ(Decoded(port.sent[2]).error_code, 5);
  EXPECT_TRUE(client.Busy()) << "the stranger does not end our transfer";
}

TEST_F(TftpClientTest, EndsOnAnErrorPacketWithItsCode) {
  client.StartRead("missing.bin", kServerPort, now);
  std::vector<uint8_t> error = EncodeError(1, "File Not Found !");
  error.resize(256, 0);
  Deliver(error, kServerPort);
  auto result = client.TakeResult();
  ASSERT_TRUE(result);
  EXPECT_FALSE(result->ok);
  EXPECT_EQ(result->error_code, 1);
  EXPECT_NE(result->message.find("File Not Found !"), std::string::npos);
}

TEST_F(TftpClientTest, RefusesAReadBeyondItsLimitWithDiskFull) {
  client.StartRead("big.txt", kServerPort, now, 1000);
  Deliver(EncodeData(1, Pattern(512)));
  Deliver(EncodeData(2, Pattern(512)));
  auto result = client.TakeResult();
  ASSERT_TRUE(result);
  EXPECT_FALSE(result->ok);
  EXPECT_EQ(Decoded(port.sent.back()).opcode, TftpOpcode::kError);
  EXPECT_EQ(Decoded(port.sent.back()).error_code, 3);
}

class TftpClientFaultTest : public TftpClientTest {
 protected:
  static TftpClient::Settings WithFaults() {
    TftpClient::Settings settings;
    settings.faults = {{TftpFault::Kind::kDrop, 1, 0},
                       {TftpFault::Kind::kDuplicate, 3, 0},
                       {TftpFault::Kind::kDelay, 4, 250},
                       {TftpFault::Kind::kForeign, 5, 0}};
    return settings;
  }
  TftpClientFaultTest() : TftpClientTest(WithFaults()) {}
};

// Packets are counted per transfer from the request, resends included.
TEST_F(TftpClientFaultTest, MarksTheNumberedPacketsOfEachTransfer) {
  for (int transfer = 0; transfer < 2; ++transfer) {
    port.sent.clear();
    client.StartRead("a.txt", kServerPort, now);
    now = *client.Deadline();
    client.OnTimer(now);  // packet 2: the request again
    Deliver(EncodeData(1, Pattern(512)));
    Deliver(EncodeData(2, Pattern(512)));
    Deliver(EncodeData(3, Pattern(1)));
    ASSERT_EQ(port.sent.size(), 5u);
    EXPECT_EQ(port.sent[0].copies, 0);
    EXPECT_EQ(port.sent[1].copies, 1);
    EXPECT_EQ(port.sent[2].copies, 2);
    EXPECT_EQ(port.sent[3].delay_ms, 250);
    EXPECT_TRUE(port.sent[4].foreign);
    EXPECT_FALSE(port.sent[3].foreign);
  }
}

}  // namespace
}  // namespace phonesim
