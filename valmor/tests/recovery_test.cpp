// ControlThread, error recovery and power.

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "driver.h"
#include "fixture.h"

namespace valmor::test {
namespace {

class RecoveryTest : public AdapterTest {
 protected:
  void SetUp() override {
    Start();
    ASSERT_TRUE(WaitIdle());
  }

  // Sends `count` frames at once; the first goes out, the others queue.
  std::vector<std::unique_ptr<sim::OwnedPacket>> SendBatch(int count) {
    std::vector<std::unique_ptr<sim::OwnedPacket>> packets;
    std::vector<NdisPacket*> batch;
    for (int i = 0; i < count; ++i) {
      packets.push_back(std::make_unique<sim::OwnedPacket>(sim::MakeFrame(60, uint8_t(i))));
      batch.push_back(packets.back()->get());
    }
    stack.Send(batch);
    return packets;
  }
};

TEST_F(RecoveryTest, BulkInErrorThenPipeResetLetsFramesFlowAgain) {
  device.FailNextBulkIn(USBD_STATUS_DEV_NOT_RESPONDING);
  ASSERT_TRUE(
      stack.WaitFor([&] { return device.ResetPipeCount(sim::SimDevice::kBulkInPipe) == 1; }));
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(traces.Contains("Bulk-In Failed. Status:C0000001\n"));
  EXPECT_TRUE(traces.Contains("Resetting Bulk-In\n"));
  EXPECT_EQ(device.ResetPortCount(), 0);
  EXPECT_EQ(DeviceState(), VNET_STATE_RUNNING);
  EXPECT_EQ(stack.QueryU32(OID_GEN_RCV_ERROR), 1u);
  device.QueueFrame(sim::MakeFrame(60));
  ASSERT_TRUE(stack.WaitReceived(1));
  EXPECT_EQ(stack.StatusIndications().size(), 1u);  // media stayed connected
}

}  // namespace
}  // namespace valmor::test

namespace valmor::sim {
void PrintTo(PendingOnReset behaviour, std::ostream* os) {
  *os << (behaviour == PendingOnReset::kCompleteCancelled ? "completed" : "discarded");
}
}  // namespace valmor::sim

namespace valmor::test {
namespace {

class DeviceResetTest : public RecoveryTest,
                        public ::testing::WithParamInterface<sim::PendingOnReset> {
 protected:
  void SetUp() override {
    device.config().pending_on_reset = GetParam();
    RecoveryTest::SetUp();
  }
};

// A bulk-out error whose pipe reset fails escalates to a device reset in the
// same Recover call, while the bulk-in transfer is pending. Whether the USB
// stack then completes that transfer or drops it, the count stays exact.
TEST_P(DeviceResetTest, FailedPipeResetEscalatesToDeviceReset) {
  device.FailNextBulkOut(USBD_STATUS_STALL_PID);
  device.FailResetPipe(1);
  auto packets = SendBatch(1);
  ASSERT_TRUE(stack.WaitFor([&] { return device.ResetPortCount() == 1; }));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Refs(), kIdleRefs);
  EXPECT_TRUE(traces.Contains("Resetting Bulk-Out\n"));
  EXPECT_TRUE(traces.Contains("Resetting Device\n"));
  EXPECT_TRUE(traces.Contains(" *** R E S E T  D E V I C E ***\n"));
  EXPECT_TRUE(traces.Contains("After Reset Re-Starting Bulk-In ...\n"));
  EXPECT_EQ(device.ResetPipeCount(sim::SimDevice::kBulkOutPipe), 0);  // it failed
  device.QueueFrame(sim::MakeFrame(60));
  ASSERT_TRUE(stack.WaitReceived(1));
  auto more = SendBatch(2);
  ASSERT_TRUE(stack.WaitCompletions(3));
  EXPECT_EQ(stack.CompletionOf(more[1]->get()), NDIS_STATUS_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(StackBehaviour, DeviceResetTest,
                         ::testing::Values(sim::PendingOnReset::kCompleteCancelled,
                                           sim::PendingOnReset::kDiscard));

TEST_F(RecoveryTest, FailedDeviceResetRejectsTheQueueAndFailsTheDevice) {
  device.FailNextBulkOut(USBD_STATUS_STALL_PID);
  device.FailResetPipe(1);
  device.FailResetPort(1);
  auto packets = SendBatch(4);
  ASSERT_TRUE(stack.WaitCompletions(4));
  for (const auto& p : packets) EXPECT_EQ(stack.CompletionOf(p->get()), NDIS_STATUS_FAILURE);
  ASSERT_TRUE(stack.WaitFor(
      [&] { return adapter()->DeviceFailed != 0 && adapter()->RecoveryPending == 0; }));
  EXPECT_TRUE(traces.Contains("Device RESET FAILED. Device must be Removed. Driver Halted.\n"));
  EXPECT_TRUE(traces.Contains("Rejected packets = 3\n\n"));
  auto later = SendBatch(2);
  EXPECT_EQ(stack.CompletionOf(later[0]->get()), NDIS_STATUS_SUCCESS);
  EXPECT_EQ(stack.CompletionOf(later[1]->get()), NDIS_STATUS_SUCCESS);
  EXPECT_EQ(device.BulkOutCount(), 1u);
  // The bulk-in transfer is still with the stack; halt cancels it and waits.
  stack.Halt();
  EXPECT_TRUE(traces.Contains("Stopping RX IRP\n"));
}

TEST_F(RecoveryTest, RecoverAtD3ResetsNothingButClearsRecoveryPending) {
  ASSERT_EQ(stack.SetU32(OID_PNP_SET_POWER, kPowerD3), NDIS_STATUS_SUCCESS);
  EXPECT_EQ(DeviceState(), VNET_STATE_POWERED_DOWN);
  EXPECT_EQ(stack.StatusIndications().size(), 1u);  // no media indication
  EXPECT_TRUE(traces.Contains("Power OFF\n"));
  device.FailNextBulkIn(USBD_STATUS_DEV_NOT_RESPONDING);
  ASSERT_TRUE(stack.WaitFor([&] {
    return adapter()->BulkInResetNeeded != 0 && adapter()->RecoveryPending == 0 &&
           adapter()->ControlWork == 0 && Refs() == kIdleRefs - 1;  // no bulk-in transfer now
  }));
  EXPECT_EQ(device.ResetPipeCount(sim::SimDevice::kBulkInPipe), 0);
  EXPECT_EQ(device.ResetPortCount(), 0);
}

TEST_F(RecoveryTest, PowerOnRestartsBulkInAndConnectsMedia) {
  ASSERT_EQ(stack.SetU32(OID_PNP_SET_POWER, kPowerD3), NDIS_STATUS_SUCCESS);
  auto dropped = SendBatch(1);
  EXPECT_EQ(stack.CompletionOf(dropped[0]->get()), NDIS_STATUS_SUCCESS);  // at once
  // The transfer left pending at power-down is lost with the power.
  device.FailNextBulkIn(USBD_STATUS_DEV_NOT_RESPONDING);
  ASSERT_TRUE(
      stack.WaitFor([&] { return adapter()->RecoveryPending == 0 && Refs() == kIdleRefs - 1; }));
  const int submissions = device.BulkInSubmissions();
  ASSERT_EQ(stack.SetU32(OID_PNP_SET_POWER, kPowerD0), NDIS_STATUS_SUCCESS);
  ASSERT_TRUE(stack.WaitStatusCount(2));
  EXPECT_EQ(stack.StatusIndications().back(), NDIS_STATUS_MEDIA_CONNECT);
  EXPECT_TRUE(traces.Contains("Power ON\n"));
  EXPECT_TRUE(traces.Contains("After Power Save Restarting the Device\n"));
  EXPECT_TRUE(traces.Contains("Re-Starting Bulk-In After Power Save.\n"));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(device.BulkInSubmissions(), submissions + 1);
  EXPECT_EQ(DeviceState(), VNET_STATE_RUNNING);
  device.QueueFrame(sim::MakeFrame(60));
  ASSERT_TRUE(stack.WaitReceived(1));
}

// A USB stack may keep the bulk-in transfer through power-down. The restart
// then leaves that transfer running instead of submitting its request packet
// a second time, which would hold a reference no completion ever releases.
TEST_F(RecoveryTest, PowerOnWithTheBulkInTransferStillPendingKeepsIt) {
  ASSERT_EQ(stack.SetU32(OID_PNP_SET_POWER, kPowerD3), NDIS_STATUS_SUCCESS);
  const int submissions = device.BulkInSubmissions();
  ASSERT_EQ(stack.SetU32(OID_PNP_SET_POWER, kPowerD0), NDIS_STATUS_SUCCESS);
  ASSERT_TRUE(stack.WaitStatusCount(2));
  EXPECT_EQ(stack.StatusIndications().back(), NDIS_STATUS_MEDIA_CONNECT);
  ASSERT_TRUE(stack.WaitFor([&] { return adapter()->ControlWork == 0; }));
  EXPECT_EQ(device.BulkInSubmissions(), submissions);
  EXPECT_TRUE(WaitIdle());
  EXPECT_EQ(Refs(), kIdleRefs);
  device.QueueFrame(sim::MakeFrame(60));
  ASSERT_TRUE(stack.WaitReceived(1));
}

TEST_F(RecoveryTest, ControlThreadWaitsForTheBulkOutInFlight) {
  device.HoldBulkOut(true);
  auto packets = SendBatch(1);
  ASSERT_TRUE(device.WaitBulkOutHeld());
  device.FailNextBulkIn(USBD_STATUS_DEV_NOT_RESPONDING);
  ASSERT_TRUE(stack.WaitFor([&] { return adapter()->RecoveryPending != 0; }));
  EXPECT_EQ(device.ResetPipeCount(sim::SimDevice::kBulkInPipe), 0);
  device.HoldBulkOut(false);
  ASSERT_TRUE(
      stack.WaitFor([&] { return device.ResetPipeCount(sim::SimDevice::kBulkInPipe) == 1; }));
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(stack.WaitFor(
      [&] { return traces.Contains("No more Commands. Trigger Bulk-Out from ControlThread\n"); }));
}

// Holds the next bulk-in completion right after it took its transfer back,
// on the device's stack thread, until the test lets it go.
class CompletionGate {
 public:
  void Arm() {
    std::lock_guard lock(m_mutex);
    m_armed = true;
  }
  void Pass() {
    std::unique_lock lock(m_mutex);
    if (!m_armed) return;
    m_armed = false;
    m_held = true;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return m_open; });
  }
  bool WaitHeld() {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, sim::kWaitLimit, [this] { return m_held; });
  }
  void Open() {
    {
      std::lock_guard lock(m_mutex);
      m_armed = false;
      m_open = true;
    }
    m_changed.notify_all();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_armed = false;
  bool m_held = false;
  bool m_open = false;
};

struct RaceCase {
  const char* name;
  bool good_frame;  // the held completion submits its packet again
};
void PrintTo(const RaceCase& race, std::ostream* os) { *os << race.name; }

// A power-on restart that runs while a bulk-in completion sits between taking
// its transfer back and deciding on submitting it again must leave the
// request packet to that completion. The device refuses a packet it already
// holds, so a second submission shows as a refusal and a reference that halt
// would wait for forever.
class PowerOnRaceTest : public AdapterTest, public ::testing::WithParamInterface<RaceCase> {
 protected:
  void SetUp() override {
    device.SetInlineControlCompletion(true);  // the stack thread is held below
    SetRxCompletionHook([this](Adapter*) { m_gate.Pass(); });
    Start();
    ASSERT_TRUE(WaitIdle());
  }
  ~PowerOnRaceTest() override {
    m_gate.Open();
    stack.Halt();
    SetRxCompletionHook({});
  }

  CompletionGate m_gate;
};

TEST_P(PowerOnRaceTest, CompletionKeepsTheRequestPacket) {
  ASSERT_EQ(stack.SetU32(OID_PNP_SET_POWER, kPowerD3), NDIS_STATUS_SUCCESS);
  const int submissions = device.BulkInSubmissions();
  m_gate.Arm();
  if (GetParam().good_frame) {
    device.QueueFrame(sim::MakeFrame(60));
  } else {
    std::vector<uint8_t> bad(30, 0);
    bad[0] = 27;  // the header claims more than the transfer holds
    device.QueueBulkIn(bad);
  }
  ASSERT_TRUE(m_gate.WaitHeld());

  ASSERT_EQ(stack.SetU32(OID_PNP_SET_POWER, kPowerD0), NDIS_STATUS_SUCCESS);
  ASSERT_TRUE(stack.WaitStatusCount(2));  // the restart has decided on bulk-in
  EXPECT_TRUE(traces.Contains("Re-Starting Bulk-In After Power Save.\n"));
  EXPECT_EQ(device.BulkInSubmissions(), submissions);
  m_gate.Open();

  if (!GetParam().good_frame) {
    ASSERT_TRUE(
        stack.WaitFor([&] { return device.ResetPipeCount(sim::SimDevice::kBulkInPipe) == 1; }));
  }
  // Until the packet is submitted again, the held completion's reference
  // makes the count look idle.
  EXPECT_TRUE(device.WaitBulkInIdle());
  EXPECT_TRUE(WaitIdle());
  EXPECT_EQ(device.BulkInDoubleSubmissions(), 0);
  EXPECT_EQ(device.BulkInSubmissions(), submissions + 1);
  EXPECT_EQ(Refs(), kIdleRefs);
  const size_t received = GetParam().good_frame ? 1 : 0;
  ASSERT_TRUE(stack.WaitReceived(received));
  device.QueueFrame(sim::MakeFrame(60));
  ASSERT_TRUE(stack.WaitReceived(received + 1));
}

INSTANTIATE_TEST_SUITE_P(HeldCompletion, PowerOnRaceTest,
                         ::testing::Values(RaceCase{"GoodFrameSubmitsAgain", true},
                                           RaceCase{"BadFrameLeavesItToRecovery", false}),
                         [](const auto& test_case) { return std::string(test_case.param.name); });

}  // namespace
}  // namespace valmor::test
