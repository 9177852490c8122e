#pragma once

// NDIS-like interface of the host layer: packets, the miniport's handler table
// and the operations a miniport calls on the network stack above it.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/status.h"

namespace valmor::host {

class UsbDevice;

using NdisHandle = void*;
using NdisOid = uint32_t;

// One buffer of a packet's chain; the memory belongs to the packet's owner.
struct NdisBuffer {
  uint8_t* data = nullptr;
  uint32_t length = 0;
};

// A packet handed to the miniport. `MiniportReserved` is the miniport's own
// area while it holds the packet (the driver links its queue through slot 0).
struct NdisPacket {
  std::vector<NdisBuffer> buffers;
  void* MiniportReserved[4] = {};
  NtStatus status = NDIS_STATUS_SUCCESS;

  uint32_t TotalLength() const {
    uint32_t total = 0;
    for (const NdisBuffer& b : buffers) total += b.length;
    return total;
  }
};

enum class NdisMedium : uint32_t { k802_3 = 0, k802_5 = 1, kFddi = 2, kWan = 3 };

inline constexpr uint32_t NDIS_ATTRIBUTE_DESERIALIZE = 0x20;
enum class NdisInterfaceType : uint32_t { kInternal = 0 };

// Handler signatures of a miniport. The adapter context is what the miniport
// passed to SetAttributes.
using InitializeHandler = NtStatus (*)(uint32_t* selected_medium_index,
                                       const NdisMedium* medium_array, uint32_t medium_array_size,
                                       NdisHandle miniport_adapter_handle);
using HaltHandler = void (*)(NdisHandle adapter_context);
using QueryInformationHandler = NtStatus (*)(NdisHandle adapter_context, NdisOid oid, void* buffer,
                                             uint32_t buffer_length, uint32_t* bytes_written,
                                             uint32_t* bytes_needed);
using SetInformationHandler = NtStatus (*)(NdisHandle adapter_context, NdisOid oid, void* buffer,
                                           uint32_t buffer_length, uint32_t* bytes_read,
                                           uint32_t* bytes_needed);
using ResetHandler = NtStatus (*)(bool* addressing_reset, NdisHandle adapter_context);
using SendPacketsHandler = void (*)(NdisHandle adapter_context, NdisPacket** packets,
                                    uint32_t count);
using TransferDataHandler = NtStatus (*)(NdisPacket* packet, uint32_t* bytes_transferred,
                                         NdisHandle adapter_context, NdisHandle receive_context,
                                         uint32_t byte_offset, uint32_t bytes_to_transfer);

struct MiniportCharacteristics {
  uint8_t major_version = 0;
  uint8_t minor_version = 0;
  HaltHandler halt = nullptr;
  InitializeHandler initialize = nullptr;
  QueryInformationHandler query_information = nullptr;
  SetInformationHandler set_information = nullptr;
  ResetHandler reset = nullptr;
  SendPacketsHandler send_packets = nullptr;
  TransferDataHandler transfer_data = nullptr;
};

// The wrapper a driver registers with at driver entry.
class NdisWrapper {
 public:
  virtual ~NdisWrapper() = default;
  // Returns NDIS_STATUS_SUCCESS or the reason the miniport was refused.
  virtual NtStatus RegisterMiniport(const MiniportCharacteristics& characteristics) = 0;
};

struct DeviceProperties {
  UsbDevice* physical = nullptr;
  UsbDevice* functional = nullptr;
  UsbDevice* next_lower = nullptr;
};

// What a miniport calls on the stack for one adapter. The miniport adapter
// handle given to Initialize is a pointer to this port. Every method may be
// called from any thread.
class NdisPort {
 public:
  virtual ~NdisPort() = default;

  virtual void SetAttributes(NdisHandle adapter_context, uint32_t attribute_flags,
                             NdisInterfaceType interface_type) = 0;
  virtual void SendComplete(NdisPacket* packet, NtStatus status) = 0;
  // `receive_context` stays valid until the call returns; TransferData may be
  // called with it meanwhile.
  virtual void EthIndicateReceive(NdisHandle receive_context, const uint8_t* header,
                                  uint32_t header_size, const uint8_t* lookahead,
                                  uint32_t lookahead_size, uint32_t packet_size) = 0;
  virtual void EthIndicateReceiveComplete() = 0;
  virtual void IndicateStatus(NtStatus status, const void* buffer, uint32_t size) = 0;
  virtual void IndicateStatusComplete() = 0;

  // Adapter configuration. Open returns NDIS_STATUS_FAILURE when it cannot.
  virtual NtStatus OpenConfiguration() = 0;
  virtual NtStatus ReadConfigurationInteger(std::string_view keyword, uint32_t* value) = 0;
  // On success `address` holds the bytes read (any length).
  virtual NtStatus ReadNetworkAddress(std::vector<uint8_t>* address) = 0;
  virtual NtStatus ReadConfigurationString(std::string_view keyword, std::u16string* value) = 0;
  virtual void CloseConfiguration() = 0;

  virtual DeviceProperties QueryDeviceProperties() = 0;
  virtual bool IsWdmVersionAvailable(uint8_t major, uint8_t minor) = 0;
};

}  // namespace valmor::host
