// Start-up, configuration, state indications and halt of the adapter.

#include <gtest/gtest.h>

#include <string>

#include "fixture.h"

namespace valmor::test {
namespace {

using StartupTest = AdapterTest;

struct ModeCase {
  const char* name;
  uint8_t mode;
  bool stall;
  NtStatus result;
  const char* trace;
  bool bulk_in;
  bool mac_read;
};

void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

class StartupModeTest : public AdapterTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(StartupModeTest, StartsInEveryAcceptedMode) {
  const ModeCase c = GetParam();
  device.config().mode = c.mode;
  device.config().stall_mode_request = c.stall;
  ASSERT_EQ(stack.Start(), c.result);
  if (c.trace != nullptr) {
    EXPECT_TRUE(traces.Contains(c.trace)) << c.name;
  }

  bool mac_requested = false;
  for (const sim::ControlRecord& r : device.ControlRequests()) {
    mac_requested = mac_requested || (r.request_type == 0xC1 && r.value == 2);
  }
  EXPECT_EQ(mac_requested, c.mac_read) << c.name;
  if (c.result != NDIS_STATUS_SUCCESS) {
    EXPECT_FALSE(stack.started());
    EXPECT_TRUE(traces.Contains("FAILED TO START DEVICE\n"));
    EXPECT_TRUE(traces.Contains("+ + + + TX Thread Terminated + + + +\n"));
    // The failed start stops its threads without halt's traces.
    EXPECT_GT(traces.Find("Terminate Threads\n"), traces.Find("FAILED TO START DEVICE\n"));
    for (const char* halt_only : {"Trigger Control Thread\n", "Trigger RX Thread\n",
                                  "Trigger TX Thread\n", "No More Pending IRPs\n"}) {
      EXPECT_FALSE(traces.Contains(halt_only)) << halt_only;
    }
    return;
  }
  EXPECT_EQ(DeviceState(), VNET_STATE_RUNNING);
  EXPECT_EQ(stack.StatusIndications(), std::vector<NtStatus>{NDIS_STATUS_MEDIA_CONNECT});
  EXPECT_EQ(traces.Find("Inside VNETInitialize!"), 0);
  if (c.bulk_in) {
    int at = 0;
    for (const char* line :
         {"Getting Device MAC ADDRESS\n", "Start Device...\n", "Starting Bulk-In.\n"}) {
      const int found = traces.Find(line, at);
      EXPECT_GT(found, at) << c.name << ": " << line;
      at = std::max(at, found);
    }
  } else {
    // Stuck in DFU mode: neither the address nor the device start.
    EXPECT_FALSE(traces.Contains("Getting Device MAC ADDRESS\n"));
    EXPECT_FALSE(traces.Contains("Start Device...\n"));
  }
  EXPECT_EQ(device.BulkInSubmissions(), c.bulk_in ? 1 : 0) << c.name;
  EXPECT_EQ(stack.selected_medium(), 1u);
  EXPECT_EQ(stack.attribute_flags(), NDIS_ATTRIBUTE_DESERIALIZE);
  // A stalled mode request resets the device on the way (recovery of the
  // failing request) and the start goes on as without flash.
  EXPECT_EQ(device.ResetPortCount(), c.stall ? 1 : 0);
  if (c.bulk_in) {
    EXPECT_TRUE(WaitIdle());
  } else {
    EXPECT_EQ(Refs(), kIdleRefs - 1);  // no bulk-in transfer holds one
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, StartupModeTest,
    ::testing::Values(ModeCase{"normal", 1, false, NDIS_STATUS_SUCCESS, nullptr, true, true},
                      ModeCase{"dfu", 3, false, NDIS_STATUS_SUCCESS,
                               "Device Operates WITH FLASH. Stuck in DFU Mode!\n", false, false},
                      ModeCase{"no_flash", 4, false, NDIS_STATUS_SUCCESS,
                               "Device Operates WITHOUT FLASH\n", true, true},
                      ModeCase{"stalled", 1, true, NDIS_STATUS_SUCCESS,
                               "Device Operates WITHOUT FLASH\n", true, true},
                      ModeCase{"hw_config", 2, false, NDIS_STATUS_FAILURE,
                               "HW CONFIGURATION MODE IS NOT SUPPORTED AS A DEVICE START MODE\n",
                               false, false},
                      ModeCase{"unknown", 7, false, NDIS_STATUS_FAILURE, nullptr, false, false}),
    [](const auto& p) { return std::string(p.param.name); });

struct AddressCase {
  const char* name;
  std::optional<std::vector<uint8_t>> registry;
  std::array<uint8_t, 6> device_mac;
  std::array<uint8_t, 6> permanent;
  std::array<uint8_t, 6> current;
};

void PrintTo(const AddressCase& c, std::ostream* os) { *os << c.name; }

class AddressTest : public AdapterTest, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(AddressTest, PermanentAndCurrentAddress) {
  const AddressCase c = GetParam();
  stack.registry().network_address = c.registry;
  device.config().mac = c.device_mac;
  Start();
  std::vector<uint8_t> answer;
  ASSERT_EQ(stack.Query(OID_802_3_PERMANENT_ADDRESS, &answer, 6), NDIS_STATUS_SUCCESS);
  EXPECT_EQ(answer, std::vector<uint8_t>(c.permanent.begin(), c.permanent.end())) << c.name;
  ASSERT_EQ(stack.Query(OID_802_3_CURRENT_ADDRESS, &answer, 6), NDIS_STATUS_SUCCESS);
  EXPECT_EQ(answer, std::vector<uint8_t>(c.current.begin(), c.current.end())) << c.name;
  EXPECT_EQ(traces.Contains("****** Override Network Address ******\n"),
            c.registry && c.registry->size() == 6);
}

const std::array<uint8_t, 6> kDeviceMac{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
const std::array<uint8_t, 6> kFallback{0x00, 0x04, 0xAC, 0x6C, 0x32, 0x70};
const std::array<uint8_t, 6> kOverride{0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE};

INSTANTIATE_TEST_SUITE_P(
    Rules, AddressTest,
    ::testing::Values(
        AddressCase{"device", std::nullopt, kDeviceMac, kDeviceMac, kDeviceMac},
        AddressCase{"override", std::vector<uint8_t>(kOverride.begin(), kOverride.end()),
                    kDeviceMac, kDeviceMac, kOverride},
        AddressCase{"five_bytes", std::vector<uint8_t>{2, 1, 2, 3, 4}, kDeviceMac, kDeviceMac,
                    kDeviceMac},
        AddressCase{"seven_bytes", std::vector<uint8_t>{2, 1, 2, 3, 4, 5, 6}, kDeviceMac,
                    kDeviceMac, kDeviceMac},
        AddressCase{"group", std::nullopt, {0x01, 0, 0x5E, 0, 0, 1}, kFallback, kFallback},
        AddressCase{"zero", std::nullopt, {0, 0, 0, 0, 0, 0}, kFallback, kFallback},
        AddressCase{"zero_with_override",
                    std::vector<uint8_t>(kOverride.begin(), kOverride.end()),
                    {0, 0, 0, 0, 0, 0},
                    kFallback,
                    kOverride}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(StartupTest, NoOverrideIsTracedWithLengthAndStatus) {
  stack.registry().network_address = std::vector<uint8_t>{1, 2, 3, 4, 5};
  Start();
  EXPECT_TRUE(traces.Contains("No-Override for Network Address(l=5, s=0x0)...\n"));
}

TEST_F(StartupTest, DescriptionTakesLowBytesUpTo255Characters) {
  struct Case {
    std::u16string desc;
    std::string expected;
  };
  const Case cases[] = {
      {u"Velto 5837 USB", "Velto 5837 USB"},
      {std::u16string(300, u'x'), std::string(255, 'x')},
      {u"AB\u0100CD", "AB"},  // a character whose low byte is zero ends it
      {u"\u0141\u0142", "\x41\x42"},
  };
  for (const Case& c : cases) {
    sim::SimDevice dev;
    sim::SimStack st(&dev);
    st.registry().driver_desc = c.desc;
    ASSERT_EQ(st.Start(), NDIS_STATUS_SUCCESS);
    std::vector<uint8_t> answer;
    uint32_t needed = 0;
    ASSERT_EQ(st.Query(OID_GEN_VENDOR_DESCRIPTION, &answer, 512, &needed), NDIS_STATUS_SUCCESS);
    EXPECT_EQ(std::string(answer.begin(), answer.end()), c.expected);
  }
  std::vector<uint8_t> answer;
  Start();  // no "DriverDesc" at all
  EXPECT_EQ(stack.Query(OID_GEN_VENDOR_DESCRIPTION, &answer, 512), NDIS_STATUS_SUCCESS);
  EXPECT_TRUE(answer.empty());
}

TEST_F(StartupTest, DebugMaskFiltersTraces) {
  stack.registry().dbg_level = 0x101;  // low byte 0x01: errors only
  stack.registry().network_address = std::vector<uint8_t>{1};
  Start();
  EXPECT_FALSE(traces.Contains("Getting Device MAC ADDRESS\n"));
  EXPECT_TRUE(traces.Contains("No-Override for Network Address(l=1, s=0x0)...\n"));
  stack.Halt();
  sim::SimDevice dev;
  sim::SimStack st(&dev);
  ASSERT_EQ(st.Start(), NDIS_STATUS_SUCCESS);  // no "DbgLevel": mask 3 again
  EXPECT_TRUE(traces.Contains("Getting Device MAC ADDRESS\n"));
}

TEST_F(StartupTest, StartFailures) {
  struct Case {
    const char* trace;
    NtStatus status;
    std::function<void(sim::SimStack&, sim::SimDevice&)> arrange;
  };
  const Case cases[] = {
      {"FAILED TO START DEVICE (Unable to open registry)\n", NDIS_STATUS_FAILURE,
       [](sim::SimStack& s, sim::SimDevice&) { s.registry().open_fails = true; }},
      {"FAILED TO START DEVICE (Ethernet Medium Type is not supported)\n",
       NDIS_STATUS_UNSUPPORTED_MEDIA,
       [](sim::SimStack& s, sim::SimDevice&) { s.media() = {NdisMedium::k802_5}; }},
      {"FAILED TO START DEVICE (Unable to get PDO)\n", NDIS_STATUS_FAILURE,
       [](sim::SimStack& s, sim::SimDevice&) { s.SetNextLower(nullptr); }},
      {"FAILED TO START DEVICE (Unable to detect OS version)\n", NDIS_STATUS_FAILURE,
       [](sim::SimStack& s, sim::SimDevice&) { s.wdm_versions().clear(); }},
      {"FAILED TO START DEVICE\n", NDIS_STATUS_FAILURE,
       [](sim::SimStack&, sim::SimDevice&) { host::FailThreadCreations(1); }},
      {"FAILED TO START DEVICE\n", NDIS_STATUS_FAILURE,
       [](sim::SimStack&, sim::SimDevice& d) { d.config().no_interface = true; }},
      {"FAILED TO GET PERMANENT MAC ADDRESS\n", NDIS_STATUS_FAILURE,
       [](sim::SimStack&, sim::SimDevice& d) { d.config().fail_mac_request = true; }},
  };
  for (const Case& c : cases) {
    sim::TraceRecorder recorder;
    sim::SimDevice dev;
    sim::SimStack st(&dev);
    c.arrange(st, dev);
    EXPECT_EQ(st.Start(), c.status) << c.trace;
    EXPECT_TRUE(recorder.Contains(c.trace)) << c.trace;
    EXPECT_FALSE(st.started());
  }
  host::FailThreadCreations(0);
}

TEST_F(StartupTest, WdmVersionGivesOsLevel) {
  stack.wdm_versions() = {{1, 0x00}};
  Start();
  EXPECT_EQ(adapter()->OsLevel, 2);
}

TEST_F(StartupTest, LargeConfigurationDescriptorIsReadAgainAtItsTotalLength) {
  device.config().extra_descriptor_bytes = 600;
  Start();
  const std::vector<uint32_t> reads = device.ConfigurationDescriptorReads();
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0], 521u);
  EXPECT_EQ(reads[1], 9u + 9 + 3 * 7 + 600);
  EXPECT_EQ(adapter()->Usb.bulk_in_pipe, sim::SimDevice::kBulkInPipe);
  EXPECT_EQ(adapter()->Usb.bulk_out_pipe, sim::SimDevice::kBulkOutPipe);
  EXPECT_EQ(adapter()->Usb.interrupt_pipe, sim::SimDevice::kInterruptPipe);
  for (const UsbPipeInformation& pipe : adapter()->Usb.interface->pipes) {
    EXPECT_EQ(pipe.maximum_transfer_size, 1601u);
  }
}

TEST_F(StartupTest, SmallConfigurationDescriptorIsReadOnce) {
  device.config().interrupt_endpoint = false;
  Start();
  EXPECT_EQ(device.ConfigurationDescriptorReads(), std::vector<uint32_t>{521});
  EXPECT_EQ(adapter()->Usb.interrupt_pipe, 0u);
}

TEST_F(StartupTest, ResetIsNotSupported) {
  Start();
  EXPECT_EQ(stack.Reset(), NDIS_STATUS_NOT_RESETTABLE);
}

TEST_F(StartupTest, HaltStepsInOrder) {
  Start();
  ASSERT_TRUE(WaitIdle());
  stack.Halt();
  const char* order[] = {" - - - -      VNET Halt       - - - - \n",
                         "Stopping RX IRP\n",
                         "Dropping Pending Tx Packets...\n",
                         "Terminate Threads\n",
                         "Trigger Control Thread\n",
                         "Trigger RX Thread\n",
                         "Trigger TX Thread\n",
                         "No More Pending IRPs\n"};
  int at = 0;
  for (const char* line : order) {
    const int found = traces.Find(line, at);
    EXPECT_GE(found, at) << line;
    at = std::max(at, found);
  }
  EXPECT_TRUE(traces.Contains("RX CANCELLED\n"));
  EXPECT_TRUE(traces.Contains("+ + + + Control Thread Terminated + + + + \n"));
  EXPECT_TRUE(traces.Contains("+ + + + RX Thread Terminated + + + +\n"));
}

}  // namespace
}  // namespace valmor::test
