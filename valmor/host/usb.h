#pragma once

// USB-like interface of the host layer: request blocks, request packets and the
// device stack below the adapter.

#include <atomic>
#include <cstdint>
#include <vector>

#include "host/status.h"

namespace valmor::host {

// Status of a request block as the USB stack reports it.
using UsbdStatus = uint32_t;
inline constexpr UsbdStatus USBD_STATUS_SUCCESS = 0;
inline constexpr UsbdStatus USBD_STATUS_STALL_PID = 0xC0000004;
inline constexpr UsbdStatus USBD_STATUS_DEV_NOT_RESPONDING = 0xC0000005;
inline constexpr UsbdStatus USBD_STATUS_CANCELED = 0xC0010000;
inline constexpr UsbdStatus USBD_STATUS_BUFFER_OVERRUN = 0xC000000C;

inline constexpr uint8_t USB_DEVICE_DESCRIPTOR_TYPE = 1;
inline constexpr uint8_t USB_CONFIGURATION_DESCRIPTOR_TYPE = 2;
inline constexpr uint8_t USB_INTERFACE_DESCRIPTOR_TYPE = 4;
inline constexpr uint8_t USB_ENDPOINT_DESCRIPTOR_TYPE = 5;

enum class UsbPipeType : uint8_t { kControl = 0, kIsochronous = 1, kBulk = 2, kInterrupt = 3 };
using PipeHandle = uint32_t;  // 0 is no pipe
using ConfigurationHandle = uint32_t;

struct UsbPipeInformation {
  uint8_t endpoint_address = 0;  // bit 7 set: IN
  UsbPipeType pipe_type = UsbPipeType::kControl;
  uint16_t maximum_packet_size = 0;
  uint32_t maximum_transfer_size = 0;
  PipeHandle pipe_handle = 0;
};

struct UsbInterfaceInformation {
  uint8_t interface_number = 0;
  uint8_t alternate_setting = 0;
  uint8_t interface_class = 0;
  std::vector<UsbPipeInformation> pipes;
};

enum class UrbFunction : uint8_t {
  kGetDescriptor,        // descriptor_type, buffer, transfer_length
  kSelectConfiguration,  // configuration_descriptor, interface
  kBulkTransfer,         // pipe, transfer_in, short_ok, buffer, transfer_length
  kControlTransfer,      // vendor or class request on the default pipe
  kResetPipe,            // pipe
};

// A request block. In: the fields of its function. Out: status,
// transfer_length (bytes moved) and, for select configuration, the handles.
struct Urb {
  UrbFunction function = UrbFunction::kGetDescriptor;
  UsbdStatus status = USBD_STATUS_SUCCESS;
  uint8_t* buffer = nullptr;
  uint32_t transfer_length = 0;
  uint8_t descriptor_type = 0;
  const uint8_t* configuration_descriptor = nullptr;
  UsbInterfaceInformation* interface = nullptr;
  ConfigurationHandle configuration_handle = 0;
  PipeHandle pipe = 0;
  bool transfer_in = false;
  bool short_ok = false;
  uint8_t request_type = 0;
  uint8_t request = 0;
  uint16_t value = 0;
  uint16_t index = 0;
};

struct Irp;
// Returns STATUS_MORE_PROCESSING_REQUIRED to keep the packet for reuse.
using IoCompletionRoutine = NtStatus (*)(Irp* irp, void* context);

// A request packet sent down to the USB stack; reusable after completion.
struct Irp {
  enum class Code : uint8_t { kSubmitUrb, kResetPort };
  Code code = Code::kSubmitUrb;
  Urb* urb = nullptr;
  IoCompletionRoutine completion = nullptr;
  void* context = nullptr;
  NtStatus status = STATUS_SUCCESS;
  bool cancelled = false;
  uint8_t stack_size = 0;
};

// The USB device stack below the adapter (the next-lower device).
class UsbDevice {
 public:
  virtual ~UsbDevice() = default;
  // Starts the request. The completion routine runs exactly once, unless a
  // port reset discards a pending transfer (see the device's documentation):
  // either on a thread of the stack (the call returns STATUS_PENDING) or
  // before the call returns, on the caller's thread (the call returns the
  // final status). Callers must be ready for both.
  virtual NtStatus CallDriver(Irp* irp) = 0;
  // Asks the stack to cancel a pending request; no effect when it is not pending.
  virtual void CancelIrp(Irp* irp) = 0;
  virtual uint8_t StackSize() const = 0;
};

}  // namespace valmor::host
