// Query and set requests.

#include <gtest/gtest.h>

#include "driver.h"
#include "fixture.h"

namespace valmor::test {
namespace {

class OidTest : public AdapterTest {
 protected:
  void SetUp() override { Start(); }
};

std::vector<uint8_t> U32(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

TEST_F(OidTest, QueriesAnswerTheirValuesAndLengths) {
  struct Case {
    NdisOid oid;
    std::vector<uint8_t> answer;
  };
  const Case cases[] = {
      {OID_GEN_HARDWARE_STATUS, U32(0)},
      {OID_GEN_MEDIA_SUPPORTED, U32(0)},
      {OID_GEN_MEDIA_IN_USE, U32(0)},
      {OID_GEN_MAXIMUM_LOOKAHEAD, U32(1514)},
      {OID_GEN_MAXIMUM_FRAME_SIZE, U32(1500)},
      {OID_GEN_LINK_SPEED, U32(100000)},
      {OID_GEN_TRANSMIT_BUFFER_SPACE, {0x00, 0x30}},
      {OID_GEN_RECEIVE_BUFFER_SPACE, {0x00, 0x40}},
      {OID_GEN_TRANSMIT_BLOCK_SIZE, U32(1514)},
      {OID_GEN_RECEIVE_BLOCK_SIZE, U32(1514)},
      {OID_GEN_VENDOR_ID, U32(0x00250400)},
      {OID_GEN_CURRENT_LOOKAHEAD, U32(1514)},
      {OID_GEN_DRIVER_VERSION, {0x00, 0x05}},
      {OID_GEN_MAXIMUM_TOTAL_SIZE, U32(1514)},
      {OID_GEN_MAC_OPTIONS, U32(0x0E)},
      {OID_GEN_MEDIA_CONNECT_STATUS, U32(0)},
      {OID_GEN_MAXIMUM_SEND_PACKETS, U32(8)},
      {OID_GEN_VENDOR_DRIVER_VERSION, U32(0x00010001)},
      {OID_GEN_XMIT_OK, U32(0)},
      {OID_GEN_RCV_OK, U32(0)},
      {OID_GEN_XMIT_ERROR, U32(0)},
      {OID_GEN_RCV_ERROR, U32(0)},
      {OID_GEN_RCV_NO_BUFFER, U32(0)},
      {OID_GEN_RCV_CRC_ERROR, U32(0)},
      {OID_GEN_TRANSMIT_QUEUE_LENGTH, U32(0)},
      {OID_802_3_MAXIMUM_LIST_SIZE, U32(32)},
      {OID_802_3_RCV_ERROR_ALIGNMENT, U32(0)},
      {OID_802_3_XMIT_ONE_COLLISION, U32(0)},
      {OID_802_3_XMIT_MORE_COLLISIONS, U32(0)},
      {0x01020204, U32(0)},
      {OID_802_3_XMIT_LATE_COLLISIONS, U32(0)},
      {OID_VNET_DEVICE_STATE, {VNET_STATE_RUNNING}},
      {OID_VNET_FW_PROGRESS, {0, 0}},
      {OID_PNP_CAPABILITIES, std::vector<uint8_t>(16, 0)},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> answer;
    uint32_t needed = 99;
    EXPECT_EQ(stack.Query(c.oid, &answer, 64, &needed), NDIS_STATUS_SUCCESS) << std::hex << c.oid;
    EXPECT_EQ(answer, c.answer) << std::hex << c.oid;
    EXPECT_EQ(needed, 0u);
    // One byte short of the answer: nothing is written, the length is needed.
    EXPECT_EQ(stack.Query(c.oid, &answer, static_cast<uint32_t>(c.answer.size() - 1), &needed),
              NDIS_STATUS_BUFFER_TOO_SHORT)
        << std::hex << c.oid;
    EXPECT_EQ(needed, c.answer.size());
    EXPECT_TRUE(answer.empty());
  }
  EXPECT_TRUE(traces.Contains("Q:Got a Query Capabilities Call\n"));
}

TEST_F(OidTest, SupportedListHasFiftyEntriesInOrder) {
  std::vector<uint8_t> answer;
  uint32_t needed = 0;
  EXPECT_EQ(stack.Query(OID_GEN_SUPPORTED_LIST, &answer, 100, &needed),
            NDIS_STATUS_BUFFER_TOO_SHORT);
  EXPECT_EQ(needed, 200u);
  ASSERT_EQ(stack.Query(OID_GEN_SUPPORTED_LIST, &answer, 200, &needed), NDIS_STATUS_SUCCESS);
  ASSERT_EQ(answer.size(), 200u);
  std::vector<uint32_t> list(50);
  std::memcpy(list.data(), answer.data(), 200);
  EXPECT_EQ(list[0], 0x00010101u);
  EXPECT_EQ(list[20], 0x00010115u);
  EXPECT_EQ(list[21], 0x00020101u);
  EXPECT_EQ(list[28], 0x00010116u);
  EXPECT_EQ(list[36], 0x01020201u);
  EXPECT_EQ(list[42], 0x01020207u);
  EXPECT_EQ(list[43], 0xFF000003u);
  EXPECT_EQ(list[49], 0xFD010102u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(list[i + 1], list[i] + 1);
}

TEST_F(OidTest, UnknownAndUnansweredOidsAreInvalid) {
  for (NdisOid oid : {OID_GEN_CURRENT_PACKET_FILTER, OID_GEN_PROTOCOL_OPTIONS,
                      OID_802_3_MULTICAST_LIST, 0x12345678u, OID_PNP_SET_POWER}) {
    std::vector<uint8_t> answer;
    EXPECT_EQ(stack.Query(oid, &answer, 64), NDIS_STATUS_INVALID_OID) << std::hex << oid;
  }
  std::vector<uint8_t> answer;
  EXPECT_EQ(stack.Query(OID_VNET_FW_RESERVED, &answer, 64), NDIS_STATUS_FAILURE);
  uint32_t read = 0;
  for (NdisOid oid : {OID_GEN_SUPPORTED_LIST, OID_VNET_DEVICE_STATE, 0x12345678u}) {
    EXPECT_EQ(stack.Set(oid, U32(0), &read), NDIS_STATUS_INVALID_OID) << std::hex << oid;
  }
}

TEST_F(OidTest, DescriptionAndAddressesAnswerTheirBytes) {
  std::vector<uint8_t> answer;
  uint32_t needed = 0;
  EXPECT_EQ(stack.Query(OID_802_3_PERMANENT_ADDRESS, &answer, 5, &needed),
            NDIS_STATUS_BUFFER_TOO_SHORT);
  EXPECT_EQ(needed, 6u);
}

TEST_F(OidTest, SetRequests) {
  struct Case {
    const char* name;
    NdisOid oid;
    std::vector<uint8_t> data;
    NtStatus status;
    uint32_t read;
  };
  const Case cases[] = {
      {"multicast_12", OID_802_3_MULTICAST_LIST, std::vector<uint8_t>(12, 1), NDIS_STATUS_SUCCESS,
       12},
      {"multicast_0", OID_802_3_MULTICAST_LIST, {}, NDIS_STATUS_SUCCESS, 0},
      {"multicast_10", OID_802_3_MULTICAST_LIST, std::vector<uint8_t>(10, 1),
       NDIS_STATUS_INVALID_LENGTH, 0},
      {"filter_0x0F", OID_GEN_CURRENT_PACKET_FILTER, U32(0x0F), NDIS_STATUS_SUCCESS, 4},
      {"filter_promiscuous", OID_GEN_CURRENT_PACKET_FILTER, U32(0x20), NDIS_STATUS_NOT_SUPPORTED,
       4},
      {"filter_short", OID_GEN_CURRENT_PACKET_FILTER, {1, 0}, NDIS_STATUS_INVALID_LENGTH, 0},
      {"lookahead_short", OID_GEN_CURRENT_LOOKAHEAD, {1, 0, 0}, NDIS_STATUS_INVALID_LENGTH, 0},
      {"lookahead_2000", OID_GEN_CURRENT_LOOKAHEAD, U32(2000), NDIS_STATUS_SUCCESS, 4},
      {"power_short", OID_PNP_SET_POWER, {1}, NDIS_STATUS_INVALID_LENGTH, 0},
  };
  for (const Case& c : cases) {
    uint32_t read = 77;
    EXPECT_EQ(stack.Set(c.oid, c.data, &read), c.status) << c.name;
    EXPECT_EQ(read, c.read) << c.name;
  }
  EXPECT_EQ(stack.QueryU32(OID_GEN_CURRENT_LOOKAHEAD), 1514u);  // 2000 was ignored
  EXPECT_EQ(stack.SetU32(OID_GEN_CURRENT_LOOKAHEAD, 256), NDIS_STATUS_SUCCESS);
  EXPECT_EQ(stack.QueryU32(OID_GEN_CURRENT_LOOKAHEAD), 256u);
}

TEST_F(OidTest, ImageSetAnswersProgressAndDisconnectsMedia) {
  ASSERT_TRUE(WaitIdle());
  // Keep ControlThread from starting the update: it waits while a bulk-out
  // transfer is in flight.
  device.HoldBulkOut(true);
  sim::OwnedPacket packet(sim::MakeFrame(60));
  stack.Send({packet.get()});
  ASSERT_TRUE(device.WaitBulkOutHeld());

  std::vector<uint8_t> image(100, 0xAB);
  uint32_t read = 0;
  EXPECT_EQ(stack.Set(OID_VNET_FW_IMAGE, image, &read), NDIS_STATUS_SUCCESS);
  EXPECT_EQ(read, 100u);
  EXPECT_EQ(FwProgress(), (std::pair<uint8_t, uint8_t>{3, 0}));
  EXPECT_EQ(DeviceState(), VNET_STATE_FW_UPDATE);
  EXPECT_EQ(stack.QueryU32(OID_GEN_MEDIA_CONNECT_STATUS), 1u);
  EXPECT_EQ(stack.StatusIndications(),
            (std::vector<NtStatus>{NDIS_STATUS_MEDIA_CONNECT, NDIS_STATUS_MEDIA_DISCONNECT}));
  stack.Halt();
  EXPECT_TRUE(traces.Contains("Releasing loaded FW\n"));
}

TEST_F(OidTest, EmptyImageIsRefused) {
  uint32_t read = 5;
  EXPECT_EQ(stack.Set(OID_VNET_FW_IMAGE, {}, &read), NDIS_STATUS_FAILURE);
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(FwProgress().first, 0);
  EXPECT_EQ(DeviceState(), VNET_STATE_FW_UPDATE);
  EXPECT_EQ(stack.QueryU32(OID_GEN_MEDIA_CONNECT_STATUS), 1u);
  EXPECT_EQ(adapter()->ControlWork.load(), 0u);
}

TEST_F(OidTest, QueryPowerStoresTheProposedState) {
  EXPECT_EQ(stack.SetU32(OID_PNP_QUERY_POWER, kPowerD3), NDIS_STATUS_INVALID_OID);
  std::vector<uint8_t> state = U32(kPowerD3);
  uint32_t written = 0, needed = 0;
  ASSERT_EQ(VNETQueryInformation(stack.context(), OID_PNP_QUERY_POWER, state.data(), 4, &written,
                                 &needed),
            NDIS_STATUS_SUCCESS);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(adapter()->DevicePowerState.load(), kPowerD3);
  EXPECT_TRUE(traces.Contains("Q:Got a Query Power Call of 0x4\n"));
  ASSERT_EQ(VNETQueryInformation(stack.context(), OID_PNP_QUERY_POWER, state.data(), 2, &written,
                                 &needed),
            NDIS_STATUS_INVALID_LENGTH);
  EXPECT_EQ(adapter()->DevicePowerState.load(), kPowerD3);
}

}  // namespace
}  // namespace valmor::test
