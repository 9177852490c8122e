#pragma once

#include <cstdint>

namespace valmor::host {

// NDIS and NT status codes share one 32-bit space; the driver returns them unchanged.
using NtStatus = uint32_t;

inline constexpr NtStatus NDIS_STATUS_SUCCESS = 0x00000000;
inline constexpr NtStatus NDIS_STATUS_PENDING = 0x00000103;
inline constexpr NtStatus NDIS_STATUS_FAILURE = 0xC0000001;
inline constexpr NtStatus NDIS_STATUS_NOT_RESETTABLE = 0x80010001;
inline constexpr NtStatus NDIS_STATUS_MEDIA_CONNECT = 0x4001000B;
inline constexpr NtStatus NDIS_STATUS_MEDIA_DISCONNECT = 0x4001000C;
inline constexpr NtStatus NDIS_STATUS_INVALID_LENGTH = 0xC0010014;
inline constexpr NtStatus NDIS_STATUS_BUFFER_TOO_SHORT = 0xC0010016;
inline constexpr NtStatus NDIS_STATUS_INVALID_OID = 0xC0010017;
inline constexpr NtStatus NDIS_STATUS_UNSUPPORTED_MEDIA = 0xC0010019;
inline constexpr NtStatus NDIS_STATUS_NOT_SUPPORTED = 0xC00000BB;
inline constexpr NtStatus NDIS_STATUS_RESOURCES = 0xC000009A;

inline constexpr NtStatus STATUS_SUCCESS = 0x00000000;
inline constexpr NtStatus STATUS_PENDING = 0x00000103;
inline constexpr NtStatus STATUS_MORE_PROCESSING_REQUIRED = 0xC0000016;
inline constexpr NtStatus STATUS_UNSUCCESSFUL = 0xC0000001;
inline constexpr NtStatus STATUS_INVALID_PARAMETER = 0xC000000D;
inline constexpr NtStatus STATUS_INSUFFICIENT_RESOURCES = 0xC000009A;
inline constexpr NtStatus STATUS_CANCELLED = 0xC0000120;
inline constexpr NtStatus STATUS_DEVICE_DATA_ERROR = 0xC000009C;

// True for the success and informational ranges, as NT_SUCCESS.
constexpr bool NtSuccess(NtStatus status) { return static_cast<int32_t>(status) >= 0; }

}  // namespace valmor::host
