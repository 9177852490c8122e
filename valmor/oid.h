#pragma once

#include <cstdint>

namespace valmor {

// Object identifiers the driver answers.
inline constexpr uint32_t OID_GEN_SUPPORTED_LIST = 0x00010101;
inline constexpr uint32_t OID_GEN_HARDWARE_STATUS = 0x00010102;
inline constexpr uint32_t OID_GEN_MEDIA_SUPPORTED = 0x00010103;
inline constexpr uint32_t OID_GEN_MEDIA_IN_USE = 0x00010104;
inline constexpr uint32_t OID_GEN_MAXIMUM_LOOKAHEAD = 0x00010105;
inline constexpr uint32_t OID_GEN_MAXIMUM_FRAME_SIZE = 0x00010106;
inline constexpr uint32_t OID_GEN_LINK_SPEED = 0x00010107;
inline constexpr uint32_t OID_GEN_TRANSMIT_BUFFER_SPACE = 0x00010108;
inline constexpr uint32_t OID_GEN_RECEIVE_BUFFER_SPACE = 0x00010109;
inline constexpr uint32_t OID_GEN_TRANSMIT_BLOCK_SIZE = 0x0001010A;
inline constexpr uint32_t OID_GEN_RECEIVE_BLOCK_SIZE = 0x0001010B;
inline constexpr uint32_t OID_GEN_VENDOR_ID = 0x0001010C;
inline constexpr uint32_t OID_GEN_VENDOR_DESCRIPTION = 0x0001010D;
inline constexpr uint32_t OID_GEN_CURRENT_PACKET_FILTER = 0x0001010E;
inline constexpr uint32_t OID_GEN_CURRENT_LOOKAHEAD = 0x0001010F;
inline constexpr uint32_t OID_GEN_DRIVER_VERSION = 0x00010110;
inline constexpr uint32_t OID_GEN_MAXIMUM_TOTAL_SIZE = 0x00010111;
inline constexpr uint32_t OID_GEN_PROTOCOL_OPTIONS = 0x00010112;
inline constexpr uint32_t OID_GEN_MAC_OPTIONS = 0x00010113;
inline constexpr uint32_t OID_GEN_MEDIA_CONNECT_STATUS = 0x00010114;
inline constexpr uint32_t OID_GEN_MAXIMUM_SEND_PACKETS = 0x00010115;
inline constexpr uint32_t OID_GEN_VENDOR_DRIVER_VERSION = 0x00010116;
inline constexpr uint32_t OID_GEN_XMIT_OK = 0x00020101;
inline constexpr uint32_t OID_GEN_RCV_OK = 0x00020102;
inline constexpr uint32_t OID_GEN_XMIT_ERROR = 0x00020103;
inline constexpr uint32_t OID_GEN_RCV_ERROR = 0x00020104;
inline constexpr uint32_t OID_GEN_RCV_NO_BUFFER = 0x00020105;
inline constexpr uint32_t OID_GEN_RCV_CRC_ERROR = 0x0002020D;
inline constexpr uint32_t OID_GEN_TRANSMIT_QUEUE_LENGTH = 0x0002020E;
inline constexpr uint32_t OID_802_3_PERMANENT_ADDRESS = 0x01010101;
inline constexpr uint32_t OID_802_3_CURRENT_ADDRESS = 0x01010102;
inline constexpr uint32_t OID_802_3_MULTICAST_LIST = 0x01010103;
inline constexpr uint32_t OID_802_3_MAXIMUM_LIST_SIZE = 0x01010104;
inline constexpr uint32_t OID_802_3_RCV_ERROR_ALIGNMENT = 0x01020101;
inline constexpr uint32_t OID_802_3_XMIT_ONE_COLLISION = 0x01020102;
inline constexpr uint32_t OID_802_3_XMIT_MORE_COLLISIONS = 0x01020103;
inline constexpr uint32_t OID_802_3_XMIT_DEFERRED = 0x01020201;
inline constexpr uint32_t OID_802_3_XMIT_LATE_COLLISIONS = 0x01020207;
inline constexpr uint32_t OID_VNET_DEVICE_STATE = 0xFF000003;
inline constexpr uint32_t OID_VNET_FW_PROGRESS = 0xFF210014;
inline constexpr uint32_t OID_VNET_FW_IMAGE = 0xFF020012;
inline constexpr uint32_t OID_VNET_FW_RESERVED = 0xFF213004;
inline constexpr uint32_t OID_PNP_CAPABILITIES = 0xFD010100;
inline constexpr uint32_t OID_PNP_SET_POWER = 0xFD010101;
inline constexpr uint32_t OID_PNP_QUERY_POWER = 0xFD010102;

inline constexpr uint32_t kSupportedOidCount = 50;
extern const uint32_t kSupportedOids[kSupportedOidCount];

}  // namespace valmor
