#include "framing.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/sim_stack.h"

namespace valmor {
namespace {

TEST(Crc16UsbTest, CheckValueAndEmptyInput) {
  const std::string check = "123456789";
  EXPECT_EQ(Crc16Usb({reinterpret_cast<const uint8_t*>(check.data()), check.size()}), 0xB4C8);
  EXPECT_EQ(Crc16Usb({}), 0x0000);
}

TEST(Crc16UsbTest, TableMatchesBitwiseDefinitionForEveryLength) {
  std::vector<uint8_t> bytes(70);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
  for (size_t n = 0; n <= bytes.size(); ++n) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
      crc ^= bytes[i];
      for (int b = 0; b < 8; ++b) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    EXPECT_EQ(Crc16Usb({bytes.data(), n}), static_cast<uint16_t>(crc ^ 0xFFFF)) << n;
  }
}

struct PadCase {
  uint32_t frame_length;
  uint8_t pad;
  size_t total;
};

void PrintTo(const PadCase& c, std::ostream* os) { *os << "L=" << c.frame_length; }

class PadTest : public ::testing::TestWithParam<PadCase> {};

TEST_P(PadTest, TransferLengthFollowsThePadRule) {
  const PadCase c = GetParam();
  EXPECT_EQ(PadCount(c.frame_length), c.pad);
  std::vector<uint8_t> out(kMaxTransferSize);
  const std::vector<uint8_t> frame = sim::MakeFrame(c.frame_length);
  ASSERT_EQ(BuildBulkOut(frame, out), c.total);
  EXPECT_EQ(out[0] | out[1] << 8, static_cast<int>(c.frame_length));
  EXPECT_EQ(out[2], c.pad);
  EXPECT_NE(c.total % 64, 0u);
}

INSTANTIATE_TEST_SUITE_P(Lengths, PadTest,
                         ::testing::Values(PadCase{60, 21, 114},     // R = 29
                                           PadCase{1514, 39, 1586},  // R = 11
                                           PadCase{17, 0, 50},       // R = 50
                                           PadCase{27, 0, 60},       // R = 60
                                           PadCase{28, 53, 114},     // R = 61
                                           PadCase{29, 52, 114},     // R = 62
                                           PadCase{30, 51, 114},     // R = 63
                                           PadCase{31, 50, 114},     // R = 0
                                           PadCase{0, 17, 50}));

TEST(PadTest, EveryFrameLengthGivesATransferBetween50And60Modulo64) {
  for (uint32_t length = 0; length <= 1514; ++length) {
    const size_t total = kHeaderSize + length + PadCount(length);
    EXPECT_GE(total % 64, 50u) << length;
    EXPECT_LE(total % 64, 60u) << length;
    EXPECT_LE(total, kMaxTransferSize);
  }
}

TEST(BulkOutTest, TooLongFrameIsRefused) {
  std::vector<uint8_t> out(kMaxTransferSize);
  EXPECT_EQ(BuildBulkOut(std::vector<uint8_t>(1515), out), 0u);
}

// Finds a frame whose USB packet `k` hits the CRC condition when byte `at`
// of the frame is varied.
std::vector<uint8_t> FrameHittingPacket(size_t length, size_t k, bool* found) {
  std::vector<uint8_t> frame = sim::MakeFrame(length, 3);
  std::vector<uint8_t> out(kMaxTransferSize);
  const size_t at = k * kUsbPacketSize - kHeaderSize + 5;  // inside packet k
  for (int v = 0; v < 65536; ++v) {
    frame[at] = static_cast<uint8_t>(v);
    frame[at + 1] = static_cast<uint8_t>(v >> 8);
    const size_t total = kHeaderSize + length + PadCount(static_cast<uint32_t>(length));
    std::copy(frame.begin(), frame.end(), out.begin() + kHeaderSize);
    std::fill(out.begin() + kHeaderSize + length, out.begin() + total, 0);
    const size_t end = std::min(total, (k + 1) * kUsbPacketSize);
    if ((Crc16Usb({out.data() + k * kUsbPacketSize, end - k * kUsbPacketSize}) & 0xFC00) ==
        0xFC00) {
      *found = true;
      return frame;
    }
  }
  *found = false;
  return frame;
}

TEST(PacketChangeRuleTest, ChangedPacketIsMarkedInTheMapAndUndone) {
  for (size_t k : {1u, 2u, 24u}) {
    bool found = false;
    const std::vector<uint8_t> frame = FrameHittingPacket(1514, k, &found);
    ASSERT_TRUE(found) << k;
    std::vector<uint8_t> out(kMaxTransferSize);
    const size_t total = BuildBulkOut(frame, out);
    ASSERT_EQ(total, 1586u);
    EXPECT_EQ(out[kMapOffset + k], k);
    const size_t frame_index = k * kUsbPacketSize - kHeaderSize;
    EXPECT_EQ(out[k * kUsbPacketSize], frame[frame_index] ^ 0x55);
    EXPECT_EQ(out[kMapOffset], 0) << "packet 0 is never changed";
    // Every map byte is either 0 or its own index.
    for (size_t j = 1; j < 26; ++j)
      EXPECT_TRUE(out[kMapOffset + j] == 0 || out[kMapOffset + j] == j);
    out.resize(total);
    const std::span<const uint8_t> decoded = DecodeBulkOut(out);
    EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), frame.begin(), frame.end())) << k;
  }
}

TEST(PacketChangeRuleTest, MarkerFollowsTheCrcOfPacketZeroAfterTheMap) {
  // Vary the first frame bytes until packet 0 hits the condition, and check
  // the marker against an independent computation of the rule.
  int marked = 0;
  for (int v = 0; v < 4096; ++v) {
    std::vector<uint8_t> frame = sim::MakeFrame(60);
    frame[20] = static_cast<uint8_t>(v);
    frame[21] = static_cast<uint8_t>(v >> 8);
    std::vector<uint8_t> out(kMaxTransferSize);
    const size_t total = BuildBulkOut(frame, out);
    std::array<uint8_t, 64> first{};
    std::copy(out.begin(), out.begin() + 64, first.begin());
    first[kMarkerOffset] = 0;
    const bool hit = (Crc16Usb(first) & 0xFC00) == 0xFC00;
    EXPECT_EQ(out[kMarkerOffset], hit ? 0x55 : 0x00) << v;
    marked += hit ? 1 : 0;
    ASSERT_EQ(total, 114u);
  }
  EXPECT_GT(marked, 0);
}

TEST(PacketChangeRuleTest, ShortTransferUsesAllItsBytesAsPacketZero) {
  int marked = 0;
  for (int v = 0; v < 65536; v += 7) {
    std::vector<uint8_t> frame = sim::MakeFrame(17);
    frame[15] = static_cast<uint8_t>(v);
    frame[16] = static_cast<uint8_t>(v >> 8);
    std::vector<uint8_t> out(kMaxTransferSize);
    ASSERT_EQ(BuildBulkOut(frame, out), 50u);
    std::vector<uint8_t> check(out.begin(), out.begin() + 50);
    check[kMarkerOffset] = 0;
    const bool hit = (Crc16Usb(check) & 0xFC00) == 0xFC00;
    EXPECT_EQ(out[kMarkerOffset], hit ? 0x55 : 0x00);
    marked += hit ? 1 : 0;
  }
  EXPECT_GT(marked, 0);
}

#ifdef VALMOR_TOOL_PATH
std::string RunTool(const std::string& args, const std::vector<uint8_t>& input, int* rc) {
  const std::string in_path =
      ::testing::TempDir() + "valmor_tool_in_" + std::to_string(getpid()) + ".bin";
  FILE* f = std::fopen(in_path.c_str(), "wb");
  if (!input.empty()) std::fwrite(input.data(), 1, input.size(), f);
  std::fclose(f);
  const std::string cmd =
      std::string(VALMOR_TOOL_PATH) + " " + args + " < " + in_path + " 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  char buf[4096];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  *rc = WEXITSTATUS(pclose(p));
  return out;
}

TEST(ValmorToolTest, FrameAndCrc16Commands) {
  int rc = -1;
  const std::vector<uint8_t> frame = sim::MakeFrame(60);
  const std::string transfer = RunTool("frame", frame, &rc);
  EXPECT_EQ(rc, 0);
  std::vector<uint8_t> expected(kMaxTransferSize);
  expected.resize(BuildBulkOut(frame, expected));
  EXPECT_EQ(transfer, std::string(expected.begin(), expected.end()));

  const std::string check = "123456789";
  EXPECT_EQ(RunTool("crc16", {check.begin(), check.end()}, &rc), "B4C8\n");
  EXPECT_EQ(rc, 0);

  RunTool("frame", std::vector<uint8_t>(1515), &rc);
  EXPECT_EQ(rc, 1);
  RunTool("bogus", {}, &rc);
  EXPECT_EQ(rc, 2);
  EXPECT_NE(RunTool("--help", {}, &rc).find("crc16"), std::string::npos);
  EXPECT_EQ(rc, 0);
}
#endif

}  // namespace
}  // namespace valmor
