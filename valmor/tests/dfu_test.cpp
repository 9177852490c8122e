// Firmware update over USB DFU, driven through OID_VNET_FW_IMAGE.

#include "dfu.h"

#include <gtest/gtest.h>

#include <atomic>

#include "driver.h"
#include "fixture.h"

namespace valmor::test {
namespace {

class DfuTest : public AdapterTest {
 protected:
  DfuTest() { stack.registry().dbg_level = 0x23; }

  void StartInMode(uint8_t mode) {
    device.config().mode = mode;
    Start();
  }

  static std::vector<uint8_t> Image(size_t size) {
    std::vector<uint8_t> image(size);
    for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 13 + (i >> 10));
    return image;
  }

  NtStatus SetImage(const std::vector<uint8_t>& image) {
    uint32_t read = 0;
    return stack.Set(OID_VNET_FW_IMAGE, image, &read);
  }

  // Waits for the update to end: FwStatus 2 or 0 and ControlThread idle.
  bool WaitUpdateEnd() {
    return stack.WaitFor([this] {
      const uint8_t status = adapter()->FwStatus;
      return (status == 0 || status == 2) && adapter()->ControlWork == 0;
    });
  }

  int DnloadCount() {
    int n = 0;
    for (const sim::ControlRecord& r : device.ControlRequests()) n += r.request_type == 0x21;
    return n;
  }
};

TEST_F(DfuTest, ImageOnDeviceInDfuModeIsSentInBlocksAndTheDeviceRestarts) {
  StartInMode(3);
  const std::vector<uint8_t> image = Image(2048);
  ASSERT_EQ(SetImage(image), NDIS_STATUS_SUCCESS);
  ASSERT_TRUE(WaitUpdateEnd());
  EXPECT_EQ(FwProgress(), (std::pair<uint8_t, uint8_t>{2, 100}));
  const auto blocks = device.DfuBlocks();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].size(), 1024u);
  EXPECT_EQ(blocks[1].size(), 1024u);
  EXPECT_EQ(device.DfuImage(), image);
  std::vector<std::pair<uint16_t, uint32_t>> dnloads;
  for (const sim::ControlRecord& r : device.ControlRequests()) {
    if (r.request_type == 0x21) dnloads.emplace_back(r.value, r.length);
  }
  EXPECT_EQ(dnloads, (std::vector<std::pair<uint16_t, uint32_t>>{{0, 1024}, {1, 1024}, {2, 0}}));
  EXPECT_TRUE(traces.Contains("DOWNLOADING 1024 Bytes (Block = 1)\n"));
  EXPECT_TRUE(traces.Contains("DOWNLOADING 0 Bytes (Block = 2)\n"));
  EXPECT_TRUE(traces.Contains("After DFU Restarting the Interface\n"));
  EXPECT_TRUE(traces.Contains("After DFU Restarting the Device\n"));
  EXPECT_TRUE(traces.Contains("Releasing FW\n"));
  EXPECT_EQ(device.ResetPortCount(), 1);
  EXPECT_EQ(device.SelectCount(), 2);  // configured again
  // Decided: after a successful restart the adapter runs again.
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(DeviceState(), VNET_STATE_RUNNING);
  EXPECT_EQ(stack.StatusIndications(),
            (std::vector<NtStatus>{NDIS_STATUS_MEDIA_CONNECT, NDIS_STATUS_MEDIA_DISCONNECT,
                                   NDIS_STATUS_MEDIA_CONNECT}));
  device.QueueFrame(sim::MakeFrame(60));
  ASSERT_TRUE(stack.WaitReceived(1));
  stack.Halt();
  EXPECT_FALSE(traces.Contains("Releasing loaded FW\n"));
}

TEST_F(DfuTest, DeviceInNormalModeIsDetachedWaitedForAndReset) {
  StartInMode(1);
  ASSERT_TRUE(WaitIdle());
  std::vector<std::pair<uint8_t, uint8_t>> progress;
  OnSleep([this, &progress] { progress.push_back(FwProgress()); });
  const std::vector<uint8_t> image = Image(3000);
  ASSERT_EQ(SetImage(image), NDIS_STATUS_SUCCESS);
  ASSERT_TRUE(WaitUpdateEnd());
  OnSleep({});
  EXPECT_EQ(FwProgress().first, 2);
  ASSERT_EQ(progress.size(), 20u);
  for (size_t i = 0; i < 20; ++i) EXPECT_EQ(progress[i].second, 5 * (i + 1)) << i;
  EXPECT_EQ(Sleeps(), std::vector<std::chrono::milliseconds>(20, std::chrono::milliseconds(500)));
  const auto control = device.ControlRequests();
  const auto detach = std::find_if(control.begin(), control.end(), [](const auto& r) {
    return r.request_type == 0x41 && r.request == 0 && r.value == 1000 && r.length == 0;
  });
  ASSERT_NE(detach, control.end());
  EXPECT_LT(traces.Find("Wait 10 sec\n"), traces.Find("RESET DEVICE\n"));
  EXPECT_LT(traces.Find("RESET DEVICE\n"), traces.Find("Starting Upgrade\n"));
  EXPECT_EQ(device.ResetPortCount(), 2);  // into DFU mode, then after the download
  EXPECT_EQ(device.DfuImage(), image);
  ASSERT_TRUE(WaitIdle());
}

TEST_F(DfuTest, ImageArrivingDuringAnUpdateIsDownloadedAfterIt) {
  StartInMode(1);
  ASSERT_TRUE(WaitIdle());
  const std::vector<uint8_t> first = Image(1100);
  const std::vector<uint8_t> second = Image(2100);
  bool sent = false;
  OnSleep([&] {
    if (!sent) {
      sent = true;  // from ControlThread, in the middle of the first update
      EXPECT_EQ(SetImage(second), NDIS_STATUS_SUCCESS);
    }
  });
  ASSERT_EQ(SetImage(first), NDIS_STATUS_SUCCESS);
  ASSERT_TRUE(stack.WaitFor([&] {
    return device.DfuImage() == second && adapter()->FwStatus == 2 && adapter()->ControlWork == 0;
  }));
  OnSleep({});
  EXPECT_GT(traces.Find("Releasing FW\n", traces.Find("Releasing FW\n") + 1), 0);  // twice
  ASSERT_TRUE(WaitIdle());
}

TEST_F(DfuTest, PollTimeoutIsWaitedOutInHalfSecondsWithProgress) {
  device.config().dfu.busy_after_block = true;
  device.config().dfu.poll_timeout_ms = 1200;
  StartInMode(3);
  std::vector<std::pair<uint8_t, uint8_t>> progress;
  OnSleep([this, &progress] { progress.push_back(FwProgress()); });
  ASSERT_EQ(SetImage(Image(1024)), NDIS_STATUS_SUCCESS);
  ASSERT_TRUE(WaitUpdateEnd());
  OnSleep({});
  EXPECT_EQ(FwProgress().first, 2);
  // DNBUSY after block 0 and MANIFEST-SYNC after the end: two waits of two sleeps.
  ASSERT_EQ(progress.size(), 4u);
  EXPECT_EQ(progress[0], (std::pair<uint8_t, uint8_t>{4, 41}));
  EXPECT_EQ(progress[1], (std::pair<uint8_t, uint8_t>{4, 82}));
  EXPECT_TRUE(traces.Contains("STATE_dfuDNBUSY\n"));
  EXPECT_TRUE(traces.Contains("STATE_dfuMANIFEST_SYNC\n"));
}

struct FailureCase {
  const char* name;
  std::function<void(sim::SimDevice&)> arrange;
  uint8_t mode;
  const char* trace;
  int max_sleeps;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class DfuFailureTest : public DfuTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DfuFailureTest, UpdateEndsWithStatusZeroAndFreesTheImage) {
  const FailureCase& c = GetParam();
  c.arrange(device);
  StartInMode(c.mode);
  ASSERT_EQ(SetImage(Image(1500)), NDIS_STATUS_SUCCESS);
  ASSERT_TRUE(WaitUpdateEnd());
  EXPECT_EQ(FwProgress().first, 0);
  EXPECT_TRUE(traces.Contains(c.trace)) << c.name;
  EXPECT_TRUE(traces.Contains("Releasing FW\n"));
  EXPECT_EQ(DeviceState(), VNET_STATE_FW_UPDATE);
  EXPECT_LE(static_cast<int>(Sleeps().size()), c.max_sleeps);
  stack.Halt();
  EXPECT_FALSE(traces.Contains("Releasing loaded FW\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, DfuFailureTest,
    ::testing::Values(
        FailureCase{"dfu_error", [](sim::SimDevice& d) { d.config().dfu.error_at_block = 0; }, 3,
                    "DFU ERROR STATE\n", 0},
        FailureCase{"detach_fails", [](sim::SimDevice& d) { d.config().dfu.fail_detach = true; }, 1,
                    "DFU DETACH FAILED. DFU FAILED. Unplug And Retry\n", 0},
        FailureCase{"unsupported_mode", [](sim::SimDevice&) {}, 4,
                    "UNSUPPORTED Mode of device operation\n", 0},
        FailureCase{"busy_forever",
                    [](sim::SimDevice& d) {
                      d.config().dfu.busy_after_block = true;
                      d.config().dfu.busy_forever = true;
                      d.config().dfu.poll_timeout_ms = 1000;
                    },
                    3, "FW Download FAILED. DFU FAILED. Unplug And Retry\n",
                    2 * (kMaxWaitPerBlockMs / 1000 + 1)},
        FailureCase{"busy_forever_no_poll",
                    [](sim::SimDevice& d) {
                      d.config().dfu.busy_after_block = true;
                      d.config().dfu.busy_forever = true;
                    },
                    3, "FW Download FAILED. DFU FAILED. Unplug And Retry\n", 0},
        FailureCase{"reset_fails_after_download", [](sim::SimDevice& d) { d.FailResetPort(1); }, 3,
                    "RESET DEVICE FAILED. DFU FAILED. Unplug And Retry\n", 0},
        FailureCase{"reset_fails_after_detach", [](sim::SimDevice& d) { d.FailResetPort(1); }, 1,
                    "RESET DEVICE FAILED. DFU FAILED. Unplug And Retry\n", 20},
        FailureCase{"upload_idle", [](sim::SimDevice& d) { d.config().dfu.final_state = 9; }, 3,
                    "STATE_dfuUPLOAD_IDLE\n", 0}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(DfuTest, ErrorStateAnswersInvalidParameterFromDownload) {
  device.config().dfu.error_at_block = 0;
  StartInMode(3);
  ASSERT_EQ(SetImage(Image(10)), NDIS_STATUS_SUCCESS);
  ASSERT_TRUE(WaitUpdateEnd());
  EXPECT_TRUE(traces.Contains("FW Download FAILED. DFU FAILED. Unplug And Retry\n"));
  EXPECT_EQ(device.ResetPortCount(), 0);  // no reset after a failed download
}

TEST_F(DfuTest, DownloadAnswersItsStatus) {
  // Called directly on an idle adapter whose device is in DFU mode.
  device.config().dfu.error_at_block = 1;
  StartInMode(3);
  const std::vector<uint8_t> image = Image(1500);
  EXPECT_EQ(Download(adapter(), image.data(), 0), NDIS_STATUS_FAILURE);
  EXPECT_TRUE(traces.Contains("FW Buffer LEN Invalid \n"));
  EXPECT_TRUE(device.ControlRequests().empty() ||
              device.ControlRequests().back().request_type == 0xC1);  // only start-up requests
  EXPECT_EQ(Download(adapter(), image.data(), 1500), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(device.DfuBlocks().size(), 2u);  // the device failed after block 1
}

// Each block sets FwProgress to (102400 / image length) * (block + 1), kept to
// eight bits; a device failing after block k leaves the value of block k.
TEST_F(DfuTest, BlockProgressFollowsTheImageLength) {
  struct Case {
    uint32_t length;
    int failing_block;
    uint8_t progress;
  };
  const Case cases[] = {
      {1500, 0, 68}, {3000, 1, 68}, {3000, 2, 102}, {700, 0, 146}, {100, 0, 0},  // 1024 & 0xFF
  };
  for (const Case& c : cases) {
    sim::SimDevice dev;
    dev.config().mode = 3;
    dev.config().dfu.error_at_block = c.failing_block;
    sim::SimStack st(&dev);
    ASSERT_EQ(st.Start(), NDIS_STATUS_SUCCESS);
    auto* a = static_cast<Adapter*>(st.context());
    const std::vector<uint8_t> image = Image(c.length);
    EXPECT_EQ(Download(a, image.data(), c.length), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(a->FwProgress, c.progress) << c.length << " bytes, block " << c.failing_block;
    EXPECT_EQ(dev.DfuBlocks().size(), static_cast<size_t>(c.failing_block) + 1);
  }
}

TEST_F(DfuTest, ManifestWaitResetEndsTheDownload) {
  device.config().dfu.final_state = 8;
  StartInMode(3);
  ASSERT_EQ(SetImage(Image(100)), NDIS_STATUS_SUCCESS);
  ASSERT_TRUE(WaitUpdateEnd());
  EXPECT_EQ(FwProgress().first, 2);
  EXPECT_TRUE(traces.Contains("STATE_dfuMANIFEST_WAIT_RESET\n"));
}

TEST_F(DfuTest, AbsurdPollTimeoutIsCapped) {
  device.config().dfu.busy_after_block = true;
  device.config().dfu.poll_timeout_ms = 0xFFFFFF;  // about 4.6 hours
  StartInMode(3);
  ASSERT_EQ(SetImage(Image(100)), NDIS_STATUS_SUCCESS);
  ASSERT_TRUE(WaitUpdateEnd());
  EXPECT_EQ(FwProgress().first, 2);
  // Two waits (DNBUSY, MANIFEST-SYNC) of the capped time-out each.
  EXPECT_EQ(Sleeps().size(), 2 * kMaxPollTimeoutMs / 500);
}

TEST_F(DfuTest, UpdateWhilePoweredDownKeepsTheImage) {
  StartInMode(1);
  ASSERT_TRUE(WaitIdle());
  // A bulk-out transfer in flight keeps ControlThread from starting the update
  // until power is down.
  device.HoldBulkOut(true);
  sim::OwnedPacket packet(sim::MakeFrame(60));
  stack.Send({packet.get()});
  ASSERT_TRUE(device.WaitBulkOutHeld());
  ASSERT_EQ(SetImage(Image(100)), NDIS_STATUS_SUCCESS);
  ASSERT_EQ(stack.SetU32(OID_PNP_SET_POWER, kPowerD3), NDIS_STATUS_SUCCESS);
  device.HoldBulkOut(false);
  ASSERT_TRUE(stack.WaitFor([&] { return adapter()->ControlWork == 0; }));
  EXPECT_TRUE(device.DfuBlocks().empty());
  EXPECT_EQ(FwProgress().first, 3);
  EXPECT_EQ(DeviceState(), VNET_STATE_POWERED_DOWN);
  stack.Halt();
  EXPECT_TRUE(traces.Contains("Releasing loaded FW\n"));
}

TEST_F(DfuTest, HaltDuringAnUpdate) {
  device.config().dfu.busy_after_block = true;
  device.config().dfu.busy_forever = true;
  device.config().dfu.poll_timeout_ms = 1000;
  StartInMode(3);
  Adapter* a = adapter();
  host::KEvent in_wait(true);
  OnSleep([a, &in_wait] {
    in_wait.Set();
    // Stay in the device's wait until halt has begun.
    for (int i = 0; i < 1000 && a->Halting == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  ASSERT_EQ(SetImage(Image(4000)), NDIS_STATUS_SUCCESS);
  ASSERT_TRUE(in_wait.WaitFor(std::chrono::seconds(10)));
  stack.Halt();  // returns only once every reference is gone
  OnSleep({});
  EXPECT_TRUE(traces.Contains("No More Pending IRPs\n"));
  EXPECT_TRUE(traces.Contains("+ + + + Control Thread Terminated + + + + \n"));
  EXPECT_LE(Sleeps().size(), 2u);
}

}  // namespace
}  // namespace valmor::test
