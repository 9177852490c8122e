// Frames through the adapter in both directions, with the device's errors.

#include <gtest/gtest.h>

#include <memory>

#include "fixture.h"
#include "framing.h"

namespace valmor::test {
namespace {

class DataPathTest : public AdapterTest {
 protected:
  void SetUp() override {
    Start();
    ASSERT_TRUE(WaitIdle());
  }
};

TEST_F(DataPathTest, FramesAreSentInTheBulkOutFormat) {
  struct Case {
    size_t length;
    std::vector<uint32_t> split;
    size_t total;
  };
  const Case cases[] = {
      {60, {}, 114}, {1514, {}, 1586}, {1514, {14, 1000, 0, 500}, 1586}, {28, {}, 114}};
  std::vector<std::unique_ptr<sim::OwnedPacket>> packets;
  for (const Case& c : cases) {
    packets.push_back(std::make_unique<sim::OwnedPacket>(
        sim::MakeFrame(c.length, static_cast<uint8_t>(packets.size())), c.split));
    stack.Send({packets.back()->get()});
  }
  ASSERT_TRUE(stack.WaitCompletions(std::size(cases)));
  const auto transfers = device.BulkOutTransfers();
  ASSERT_EQ(transfers.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(stack.CompletionOf(packets[i]->get()), NDIS_STATUS_SUCCESS);
    std::vector<uint8_t> expected(kMaxTransferSize);
    expected.resize(BuildBulkOut(packets[i]->bytes(), expected));
    EXPECT_EQ(transfers[i].size(), cases[i].total);
    EXPECT_EQ(transfers[i], expected) << i;
  }
  EXPECT_EQ(stack.QueryU32(OID_GEN_XMIT_OK), std::size(cases));
}

TEST_F(DataPathTest, PacketChangeRuleAppliesOnTheWire) {
  // Craft a frame whose USB packet 3 hits the CRC condition, and one whose
  // packet 0 sets the first-packet marker.
  struct Crafted {
    size_t index;  // map byte 7 + k, or the marker at 3
    uint8_t value;
  };
  for (const Crafted want : {Crafted{kMapOffset + 3, 3}, Crafted{kMarkerOffset, 0x55}}) {
    std::vector<uint8_t> frame = sim::MakeFrame(1514, 1);
    std::vector<uint8_t> expected(kMaxTransferSize);
    bool found = false;
    for (int v = 0; v < 65536 && !found; ++v) {
      const size_t at = want.index == kMarkerOffset ? 20 : 3 * 64 - kHeaderSize + 9;
      frame[at] = static_cast<uint8_t>(v);
      frame[at + 1] = static_cast<uint8_t>(v >> 8);
      BuildBulkOut(frame, expected);
      found = expected[want.index] == want.value;
    }
    ASSERT_TRUE(found);
    expected.resize(1586);
    sim::OwnedPacket packet(frame, {100, 1414});
    const size_t before = device.BulkOutTransfers().size();
    stack.Send({packet.get()});
    ASSERT_TRUE(device.WaitBulkOutCount(before + 1));
    const auto transfers = device.BulkOutTransfers();
    EXPECT_EQ(transfers.back(), expected);
    EXPECT_EQ(transfers.back()[want.index], want.value);
  }
}

TEST_F(DataPathTest, OversizedPacketFailsAndNothingIsSent) {
  sim::OwnedPacket too_long(sim::MakeFrame(1515));
  sim::OwnedPacket good(sim::MakeFrame(60));
  stack.Send({too_long.get(), good.get()});
  ASSERT_TRUE(stack.WaitCompletions(2));
  EXPECT_EQ(stack.CompletionOf(too_long.get()), NDIS_STATUS_FAILURE);
  EXPECT_EQ(stack.CompletionOf(good.get()), NDIS_STATUS_SUCCESS);
  const auto transfers = device.BulkOutTransfers();
  ASSERT_EQ(transfers.size(), 1u);
  EXPECT_EQ(transfers[0].size(), 114u);
}

TEST_F(DataPathTest, FramesAreReceivedAndIndicated) {
  const std::vector<uint8_t> frames[] = {sim::MakeFrame(60, 1), sim::MakeFrame(1514, 2),
                                         sim::MakeFrame(28, 3)};
  device.QueueFrame(frames[0], 10);  // pad bytes are not part of the frame
  device.QueueFrame(frames[1]);
  device.QueueFrame(frames[2], 1);
  ASSERT_TRUE(stack.WaitReceived(3));
  EXPECT_EQ(stack.ReceivedFrames(),
            std::vector<std::vector<uint8_t>>(std::begin(frames), std::end(frames)));
  EXPECT_EQ(stack.QueryU32(OID_GEN_RCV_OK), 3u);
  ASSERT_TRUE(WaitIdle());
}

TEST_F(DataPathTest, LoopbackCarriesFramesBothWays) {
  device.SetLoopback(true);
  std::vector<std::unique_ptr<sim::OwnedPacket>> packets;
  // Completions on the device's thread, then inside the submitting call.
  for (bool inline_completion : {false, true}) {
    device.SetInlineBulkOutCompletion(inline_completion);
    for (size_t length : {60u, 1514u, 100u, 1000u}) {
      packets.push_back(std::make_unique<sim::OwnedPacket>(sim::MakeFrame(length, 9)));
      stack.Send({packets.back()->get()});
    }
    ASSERT_TRUE(stack.WaitReceived(packets.size()));
    ASSERT_TRUE(stack.WaitCompletions(packets.size()));
  }
  const auto received = stack.ReceivedFrames();
  for (size_t i = 0; i < packets.size(); ++i) {
    EXPECT_EQ(received[i], packets[i]->bytes());
    EXPECT_EQ(stack.CompletionOf(packets[i]->get()), NDIS_STATUS_SUCCESS);
  }
  ASSERT_TRUE(WaitIdle());
}

TEST_F(DataPathTest, BadBulkInLengthsCountAnErrorAndRecover) {
  struct Case {
    const char* name;
    std::vector<uint8_t> transfer;
    const char* trace;
  };
  std::vector<uint8_t> l100(112, 0);
  l100[0] = 100;
  l100[2] = 10;
  std::vector<uint8_t> l27(30, 0);
  l27[0] = 27;
  const Case cases[] = {
      {"L100_P10_112", l100, "Bulk-In Failed. Invalid Length. Expected:113, Received:112\n"},
      {"L27", l27, "Bulk-In Failed. Invalid Length. Expected:30, Received:30\n"},
  };
  uint32_t errors = 0;
  for (const Case& c : cases) {
    const int resets = device.ResetPipeCount(sim::SimDevice::kBulkInPipe);
    device.QueueBulkIn(c.transfer);
    ASSERT_TRUE(stack.WaitFor([&] {
      return device.ResetPipeCount(sim::SimDevice::kBulkInPipe) == resets + 1;
    })) << c.name;
    ASSERT_TRUE(WaitIdle()) << c.name;
    EXPECT_TRUE(traces.Contains(c.trace)) << c.name;
    EXPECT_EQ(stack.QueryU32(OID_GEN_RCV_ERROR), ++errors);
    EXPECT_EQ(DeviceState(), VNET_STATE_RUNNING);
  }
  // Bulk-in runs again after the pipe resets.
  device.QueueFrame(sim::MakeFrame(64));
  ASSERT_TRUE(stack.WaitReceived(1));
  EXPECT_EQ(stack.QueryU32(OID_GEN_RCV_OK), 1u);
}

TEST_F(DataPathTest, FullRingDropsAndCountsWhileBulkInGoesOn) {
  stack.CloseGate();
  device.QueueFrame(sim::MakeFrame(60, 0));
  ASSERT_TRUE(stack.WaitIndicationBlocked());  // RXThread holds slot 0
  for (int i = 1; i < 39; ++i) device.QueueFrame(sim::MakeFrame(60, static_cast<uint8_t>(i)));
  ASSERT_TRUE(device.WaitBulkInIdle());
  EXPECT_EQ(adapter()->ReceiveNoBuffer.load(), 0u);
  device.QueueFrame(sim::MakeFrame(60, 39));  // the ring holds 39: this one has no slot
  device.QueueFrame(sim::MakeFrame(60, 40));
  ASSERT_TRUE(device.WaitBulkInIdle());
  EXPECT_EQ(adapter()->ReceiveNoBuffer.load(), 2u);
  EXPECT_EQ(adapter()->FramesReceived.load(), 39u);
  EXPECT_TRUE(device.BulkInPending());
  stack.OpenGate();
  ASSERT_TRUE(stack.WaitReceived(39));
  const auto received = stack.ReceivedFrames();
  for (int i = 0; i < 39; ++i) EXPECT_EQ(received[i], sim::MakeFrame(60, static_cast<uint8_t>(i)));
  EXPECT_EQ(stack.QueryU32(OID_GEN_RCV_NO_BUFFER), 2u);
  device.QueueFrame(sim::MakeFrame(60, 41));
  ASSERT_TRUE(stack.WaitReceived(40));
}

// A well-formed transfer whose frame is longer than a ring slot is dropped
// like a frame without a slot; it is no bulk-in error and bulk-in goes on.
TEST_F(DataPathTest, FrameLongerThanASlotIsDroppedAndCounted) {
  std::vector<uint8_t> transfer(3 + 1515, 0x5A);
  transfer[0] = 1515 & 0xFF;
  transfer[1] = 1515 >> 8;
  transfer[2] = 0;
  device.QueueBulkIn(transfer);
  device.QueueFrame(sim::MakeFrame(1514, 7));
  ASSERT_TRUE(stack.WaitReceived(1));
  EXPECT_EQ(stack.ReceivedFrames().front(), sim::MakeFrame(1514, 7));
  EXPECT_EQ(stack.QueryU32(OID_GEN_RCV_NO_BUFFER), 1u);
  EXPECT_EQ(stack.QueryU32(OID_GEN_RCV_ERROR), 0u);
  EXPECT_EQ(stack.QueryU32(OID_GEN_RCV_OK), 1u);
  EXPECT_EQ(device.ResetPipeCount(sim::SimDevice::kBulkInPipe), 0);
}

TEST_F(DataPathTest, TransferDataCopiesFromTheSlot) {
  struct Case {
    uint32_t offset;
    uint32_t count;
    NtStatus status;
    uint32_t copied;
  };
  const Case cases[] = {
      {0, 46, NDIS_STATUS_SUCCESS, 46},          {10, 100, NDIS_STATUS_SUCCESS, 36},
      {46, 10, NDIS_STATUS_SUCCESS, 0},          {47, 1, NDIS_STATUS_FAILURE, 0},
      {0xFFFFFFF8u, 16, NDIS_STATUS_FAILURE, 0}, {5, 20, NDIS_STATUS_SUCCESS, 20}};
  const std::vector<uint8_t> frame = sim::MakeFrame(60, 5);
  std::vector<std::pair<NtStatus, std::vector<uint8_t>>> results;
  stack.OnReceive([&](NdisHandle context) {
    for (const Case& c : cases) {
      std::vector<uint8_t> bytes(64, 0xEE);
      sim::OwnedPacket target(bytes, {7, 9, 48});  // three buffers in chain order
      uint32_t copied = 0;
      const NtStatus status = stack.TransferData(target.get(), &copied, context, c.offset, c.count);
      std::vector<uint8_t> got;
      for (const NdisBuffer& b : target.get()->buffers)
        got.insert(got.end(), b.data, b.data + b.length);
      got.resize(copied);
      results.emplace_back(status, got);
    }
  });
  device.QueueFrame(frame);
  ASSERT_TRUE(stack.WaitReceived(1));
  ASSERT_EQ(results.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(results[i].first, cases[i].status) << i;
    ASSERT_EQ(results[i].second.size(), cases[i].copied) << i;
    const auto from = frame.begin() + 14 + (cases[i].copied ? cases[i].offset : 0);
    EXPECT_TRUE(std::equal(results[i].second.begin(), results[i].second.end(), from)) << i;
  }
}

TEST_F(DataPathTest, SendsInTheFirmwareStateCompleteAtOnce) {
  adapter()->AdapterState = VNET_STATE_FW_UPDATE;
  sim::OwnedPacket a(sim::MakeFrame(60)), b(sim::MakeFrame(100));
  stack.Send({a.get(), b.get()});
  EXPECT_EQ(stack.CompletionOf(a.get()), NDIS_STATUS_SUCCESS);
  EXPECT_EQ(stack.CompletionOf(b.get()), NDIS_STATUS_SUCCESS);
  EXPECT_EQ(device.BulkOutCount(), 0u);
  adapter()->AdapterState = VNET_STATE_RUNNING;
}

TEST_F(DataPathTest, BulkOutErrorFailsThePacketAndResetsThePipe) {
  device.FailNextBulkOut(USBD_STATUS_STALL_PID);
  sim::OwnedPacket a(sim::MakeFrame(60));
  stack.Send({a.get()});
  ASSERT_TRUE(stack.WaitCompletions(1));
  EXPECT_EQ(stack.CompletionOf(a.get()), NDIS_STATUS_FAILURE);
  ASSERT_TRUE(
      stack.WaitFor([&] { return device.ResetPipeCount(sim::SimDevice::kBulkOutPipe) == 1; }));
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(traces.Contains("Bulk-Out Failed Status:C0000001\n"));
  EXPECT_EQ(stack.QueryU32(OID_GEN_XMIT_ERROR), 1u);
  sim::OwnedPacket b(sim::MakeFrame(60));
  stack.Send({b.get()});
  ASSERT_TRUE(stack.WaitCompletions(2));
  EXPECT_EQ(stack.CompletionOf(b.get()), NDIS_STATUS_SUCCESS);
}

TEST_F(DataPathTest, HaltCompletesQueuedPacketsWithFailureAndWaitsForEveryReference) {
  device.HoldBulkOut(true);
  std::vector<std::unique_ptr<sim::OwnedPacket>> packets;
  std::vector<NdisPacket*> batch;
  for (int i = 0; i < 5; ++i) {
    packets.push_back(
        std::make_unique<sim::OwnedPacket>(sim::MakeFrame(60, static_cast<uint8_t>(i))));
    batch.push_back(packets.back()->get());
  }
  stack.Send(batch);
  ASSERT_TRUE(device.WaitBulkOutHeld());
  EXPECT_EQ(Refs(), kIdleRefs + 1);  // the bulk-out transfer in flight
  stack.Halt();
  EXPECT_EQ(stack.CompletionCount(), 5u);
  for (const auto& p : packets) EXPECT_EQ(stack.CompletionOf(p->get()), NDIS_STATUS_FAILURE);
  // The transfer in flight is cancelled either by halt ("Stopping TX IRP") or,
  // when TXThread saw halting just after submitting it, by TXThread itself.
  EXPECT_GE(traces.Find("Rejected packets = 4\n\n"), 0);
  EXPECT_LT(traces.Find("Rejected packets = 4\n\n"), traces.Find("No More Pending IRPs\n"));
}

}  // namespace
}  // namespace valmor::test
