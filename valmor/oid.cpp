// Query and set handlers. Both complete synchronously and hold a reference
// while they run; they may be called from any thread at any time.

#include "oid.h"

#include <cstring>

#include "driver.h"
#include "trace.h"

namespace valmor {

const uint32_t kSupportedOids[kSupportedOidCount] = {
    0x00010101, 0x00010102, 0x00010103, 0x00010104, 0x00010105, 0x00010106, 0x00010107, 0x00010108,
    0x00010109, 0x0001010A, 0x0001010B, 0x0001010C, 0x0001010D, 0x0001010E, 0x0001010F, 0x00010110,
    0x00010111, 0x00010112, 0x00010113, 0x00010114, 0x00010115, 0x00020101, 0x00020102, 0x00020103,
    0x00020104, 0x00020105, 0x0002020D, 0x0002020E, 0x00010116, 0x01010101, 0x01010102, 0x01010103,
    0x01010104, 0x01020101, 0x01020102, 0x01020103, 0x01020201, 0x01020202, 0x01020203, 0x01020204,
    0x01020205, 0x01020206, 0x01020207, 0xFF000003, 0xFF210014, 0xFF020012, 0xFF213004, 0xFD010100,
    0xFD010101, 0xFD010102,
};

namespace {

using namespace host;

constexpr uint32_t kPacketFilterMask = 0x0F;

// The answer to one query: bytes and length, or a status without bytes.
class Answer {
 public:
  void U32(uint32_t v) { Bytes(&v, 4); }
  void U16(uint16_t v) { Bytes(&v, 2); }
  void Bytes(const void* data, uint32_t length) {
    m_data = static_cast<const uint8_t*>(data);
    m_length = length;
    if (length <= sizeof m_scratch) {
      std::memcpy(m_scratch, data, length);
      m_data = m_scratch;
    }
  }
  const uint8_t* data() const { return m_data; }
  uint32_t length() const { return m_length; }

 private:
  uint8_t m_scratch[16] = {};
  const uint8_t* m_data = m_scratch;
  uint32_t m_length = 0;
};

NtStatus Query(Adapter* adapter, NdisOid oid, const void* buffer, uint32_t buffer_length,
               Answer* answer) {
  switch (oid) {
    case OID_GEN_SUPPORTED_LIST:
      answer->Bytes(kSupportedOids, sizeof kSupportedOids);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_HARDWARE_STATUS:
    case OID_GEN_MEDIA_SUPPORTED:
    case OID_GEN_MEDIA_IN_USE:
    case OID_GEN_RCV_CRC_ERROR:
    case OID_GEN_TRANSMIT_QUEUE_LENGTH:
      answer->U32(0);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_MAXIMUM_LOOKAHEAD:
    case OID_GEN_TRANSMIT_BLOCK_SIZE:
    case OID_GEN_RECEIVE_BLOCK_SIZE:
    case OID_GEN_MAXIMUM_TOTAL_SIZE:
      answer->U32(kMaxFrameSize);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_MAXIMUM_FRAME_SIZE:
      answer->U32(1500);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_LINK_SPEED:
      answer->U32(100000);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_TRANSMIT_BUFFER_SPACE:
      answer->U16(0x3000);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_RECEIVE_BUFFER_SPACE:
      answer->U16(0x4000);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_VENDOR_ID:
      answer->U32(0x00250400);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_VENDOR_DESCRIPTION:
      answer->Bytes(adapter->Description, adapter->DescriptionLength);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_CURRENT_LOOKAHEAD:
      answer->U32(adapter->CurrentLookahead);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_DRIVER_VERSION:
      answer->U16(0x0500);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_MAC_OPTIONS:
      answer->U32(0x0E);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_MEDIA_CONNECT_STATUS: {
      const uint32_t status =
          adapter->AdapterState == VNET_STATE_RUNNING ? kMediaConnected : kMediaDisconnected;
      adapter->MediaConnectStatus = status;
      answer->U32(status);
      return NDIS_STATUS_SUCCESS;
    }
    case OID_GEN_MAXIMUM_SEND_PACKETS:
      answer->U32(8);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_VENDOR_DRIVER_VERSION:
      answer->U32(0x00010001);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_XMIT_OK:
      answer->U32(adapter->FramesSent);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_RCV_OK:
      answer->U32(adapter->FramesReceived);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_XMIT_ERROR:
      answer->U32(adapter->SendErrors);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_RCV_ERROR:
      answer->U32(adapter->ReceiveErrors);
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_RCV_NO_BUFFER:
      answer->U32(adapter->ReceiveNoBuffer);
      return NDIS_STATUS_SUCCESS;
    case OID_802_3_PERMANENT_ADDRESS:
      answer->Bytes(adapter->PermanentAddress, 6);
      return NDIS_STATUS_SUCCESS;
    case OID_802_3_CURRENT_ADDRESS:
      answer->Bytes(adapter->CurrentAddress, 6);
      return NDIS_STATUS_SUCCESS;
    case OID_802_3_MAXIMUM_LIST_SIZE:
      answer->U32(32);
      return NDIS_STATUS_SUCCESS;
    case 0x01020101:
    case 0x01020102:
    case 0x01020103:
    case 0x01020201:
    case 0x01020202:
    case 0x01020203:
    case 0x01020204:
    case 0x01020205:
    case 0x01020206:
    case 0x01020207:
      answer->U32(0);
      return NDIS_STATUS_SUCCESS;
    case OID_VNET_DEVICE_STATE: {
      const uint8_t state = adapter->AdapterState;
      answer->Bytes(&state, 1);
      return NDIS_STATUS_SUCCESS;
    }
    case OID_VNET_FW_PROGRESS: {
      const uint8_t progress[2] = {adapter->FwStatus, adapter->FwProgress};
      answer->Bytes(progress, 2);
      return NDIS_STATUS_SUCCESS;
    }
    case OID_VNET_FW_RESERVED:
      return NDIS_STATUS_FAILURE;
    case OID_PNP_CAPABILITIES: {
      VnetTrace(kTraceProgress, "Q:Got a Query Capabilities Call\n");
      const uint8_t capabilities[16] = {};
      answer->Bytes(capabilities, 16);
      return NDIS_STATUS_SUCCESS;
    }
    case OID_PNP_QUERY_POWER: {
      // The proposed state is four bytes; without them nothing is stored (a
      // made-up state would stop every reset).
      if (buffer == nullptr || buffer_length < 4) return NDIS_STATUS_INVALID_LENGTH;
      uint32_t state = 0;
      std::memcpy(&state, buffer, 4);
      VnetTrace(kTraceProgress, "Q:Got a Query Power Call of 0x%X\n", state);
      adapter->DevicePowerState = state;
      return NDIS_STATUS_SUCCESS;
    }
    default:
      return NDIS_STATUS_INVALID_OID;
  }
}

NtStatus Set(Adapter* adapter, NdisOid oid, const uint8_t* buffer, uint32_t length,
             uint32_t* bytes_read) {
  switch (oid) {
    case OID_802_3_MULTICAST_LIST:
      if (length % 6 != 0) return NDIS_STATUS_INVALID_LENGTH;
      *bytes_read = length;
      return NDIS_STATUS_SUCCESS;
    case OID_GEN_CURRENT_PACKET_FILTER: {
      if (length != 4) return NDIS_STATUS_INVALID_LENGTH;
      uint32_t filter = 0;
      std::memcpy(&filter, buffer, 4);
      *bytes_read = 4;
      return (filter & ~kPacketFilterMask) != 0 ? NDIS_STATUS_NOT_SUPPORTED : NDIS_STATUS_SUCCESS;
    }
    case OID_GEN_CURRENT_LOOKAHEAD: {
      if (length != 4) return NDIS_STATUS_INVALID_LENGTH;
      uint32_t lookahead = 0;
      std::memcpy(&lookahead, buffer, 4);
      if (lookahead <= kMaxFrameSize) adapter->CurrentLookahead = lookahead;
      *bytes_read = 4;
      return NDIS_STATUS_SUCCESS;
    }
    case OID_VNET_FW_IMAGE:
      return ReceiveImage(adapter, buffer, length, bytes_read);
    case OID_PNP_SET_POWER: {
      // A power state is four bytes; a shorter buffer is refused rather than
      // read past its end.
      if (length < 4) return NDIS_STATUS_INVALID_LENGTH;
      uint32_t state = 0;
      std::memcpy(&state, buffer, 4);
      VnetTrace(kTraceProgress, "S: Power State change to 0x%X!!!\n", state);
      SetPower(adapter, state);
      *bytes_read = 4;
      return NDIS_STATUS_SUCCESS;
    }
    default:
      return NDIS_STATUS_INVALID_OID;
  }
}

}  // namespace

NtStatus VNETQueryInformation(NdisHandle context, NdisOid oid, void* buffer, uint32_t buffer_length,
                              uint32_t* bytes_written, uint32_t* bytes_needed) {
  auto* adapter = static_cast<Adapter*>(context);
  AddRef(adapter);
  *bytes_written = 0;
  *bytes_needed = 0;
  Answer answer;
  NtStatus status = Query(adapter, oid, buffer, buffer_length, &answer);
  if (status == NDIS_STATUS_SUCCESS && answer.length() > 0) {
    if (answer.length() > buffer_length) {
      *bytes_needed = answer.length();
      status = NDIS_STATUS_BUFFER_TOO_SHORT;
    } else {
      std::memcpy(buffer, answer.data(), answer.length());
      *bytes_written = answer.length();
    }
  }
  Release(adapter);
  return status;
}

NtStatus VNETSetInformation(NdisHandle context, NdisOid oid, void* buffer, uint32_t buffer_length,
                            uint32_t* bytes_read, uint32_t* bytes_needed) {
  auto* adapter = static_cast<Adapter*>(context);
  AddRef(adapter);
  *bytes_read = 0;
  *bytes_needed = 0;
  const NtStatus status =
      Set(adapter, oid, static_cast<const uint8_t*>(buffer), buffer_length, bytes_read);
  Release(adapter);
  return status;
}

}  // namespace valmor
