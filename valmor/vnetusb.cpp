// USB configuration, control requests and resets. Every function here blocks
// until the USB stack answers and must not run in a completion routine.

#include <cstring>
#include <new>

#include "driver.h"
#include "trace.h"

namespace valmor {
namespace {

using namespace host;

constexpr uint32_t kFirstConfigurationRead = 521;
constexpr uint8_t kVendorIn = 0xC1;
constexpr uint8_t kVendorGet = 0x33;
constexpr uint16_t kGetMode = 1;
constexpr uint16_t kGetMac = 2;

NtStatus SyncCompletion(Irp* /*irp*/, void* context) {
  static_cast<KEvent*>(context)->Set();
  return STATUS_MORE_PROCESSING_REQUIRED;
}

NtStatus GetDescriptor(Adapter* adapter, uint8_t type, uint8_t* buffer, uint32_t length,
                       uint32_t* received) {
  Urb urb;
  urb.function = UrbFunction::kGetDescriptor;
  urb.descriptor_type = type;
  urb.buffer = buffer;
  urb.transfer_length = length;
  const NtStatus status = CallUsbSync(adapter, &urb);
  *received = urb.transfer_length;
  return status;
}

// Reads the configuration descriptor: 521 bytes first, again at wTotalLength
// when that is larger.
NtStatus ReadConfigurationDescriptor(Adapter* adapter) {
  UsbResources& usb = adapter->Usb;
  uint32_t size = kFirstConfigurationRead;
  for (;;) {
    usb.configuration_descriptor.reset(new (std::nothrow) uint8_t[size]);
    if (!usb.configuration_descriptor) return STATUS_INSUFFICIENT_RESOURCES;
    std::memset(usb.configuration_descriptor.get(), 0, size);
    uint32_t received = 0;
    const NtStatus status = GetDescriptor(adapter, USB_CONFIGURATION_DESCRIPTOR_TYPE,
                                          usb.configuration_descriptor.get(), size, &received);
    if (!NtSuccess(status)) return status;
    usb.configuration_descriptor_length = received;
    if (received < 4) return STATUS_SUCCESS;  // nothing returned; no interface will be found
    const uint8_t* d = usb.configuration_descriptor.get();
    const uint32_t total = d[2] | static_cast<uint32_t>(d[3]) << 8;
    if (total <= size) {
      usb.configuration_descriptor_length = std::min(received, total);
      return STATUS_SUCCESS;
    }
    size = total;
  }
}

// The first interface descriptor within the configuration, or null.
const uint8_t* FindFirstInterface(const UsbResources& usb) {
  const uint8_t* d = usb.configuration_descriptor.get();
  const uint32_t length = usb.configuration_descriptor_length;
  uint32_t offset = 0;
  while (offset + 2 <= length) {
    const uint8_t size = d[offset];
    if (size < 2 || offset + size > length) return nullptr;
    if (d[offset + 1] == USB_INTERFACE_DESCRIPTOR_TYPE && size >= 9) return d + offset;
    offset += size;
  }
  return nullptr;
}

NtStatus SelectConfiguration(Adapter* adapter) {
  UsbResources& usb = adapter->Usb;
  const uint8_t* descriptor = FindFirstInterface(usb);
  if (descriptor == nullptr) return STATUS_INSUFFICIENT_RESOURCES;
  auto interface =
      std::unique_ptr<UsbInterfaceInformation>(new (std::nothrow) UsbInterfaceInformation());
  if (!interface) return STATUS_INSUFFICIENT_RESOURCES;
  interface->interface_number = descriptor[2];
  interface->alternate_setting = descriptor[3];
  interface->pipes.resize(descriptor[4]);
  for (UsbPipeInformation& pipe : interface->pipes) {
    pipe.maximum_transfer_size = adapter->PipeMaxTransferSize;
  }
  Urb urb;
  urb.function = UrbFunction::kSelectConfiguration;
  urb.configuration_descriptor = usb.configuration_descriptor.get();
  urb.interface = interface.get();
  const NtStatus status = CallUsbSync(adapter, &urb);
  if (!NtSuccess(status)) return status;

  usb.configuration_handle = urb.configuration_handle;
  usb.interface_length = static_cast<uint16_t>(16 + 20 * interface->pipes.size());
  for (const UsbPipeInformation& pipe : interface->pipes) {
    const bool in = (pipe.endpoint_address & 0x80) != 0;
    if (pipe.pipe_type == UsbPipeType::kBulk && in) usb.bulk_in_pipe = pipe.pipe_handle;
    if (pipe.pipe_type == UsbPipeType::kBulk && !in) usb.bulk_out_pipe = pipe.pipe_handle;
    if (pipe.pipe_type == UsbPipeType::kInterrupt && in) usb.interrupt_pipe = pipe.pipe_handle;
  }
  usb.interface = std::move(interface);
  return STATUS_SUCCESS;
}

NtStatus AllocateTransfers(Adapter* adapter) {
  UsbResources& usb = adapter->Usb;
  const auto stack_size = static_cast<uint8_t>(adapter->NextDeviceObject->StackSize() + 1);
  usb.rx_irp.reset(new (std::nothrow) Irp());
  usb.tx_irp.reset(new (std::nothrow) Irp());
  usb.rx_urb.reset(new (std::nothrow) Urb());
  usb.tx_urb.reset(new (std::nothrow) Urb());
  if (!usb.rx_irp || !usb.tx_irp || !usb.rx_urb || !usb.tx_urb) {
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  usb.rx_irp->stack_size = stack_size;
  usb.tx_irp->stack_size = stack_size;
  return STATUS_SUCCESS;
}

// A vendor get request; a failure asks for a device reset and recovers at once.
NtStatus VendorGet(Adapter* adapter, uint16_t value, uint8_t* buffer, uint16_t length) {
  const NtStatus status = ControlRequest(adapter, kVendorIn, kVendorGet, value, buffer, length);
  if (!NtSuccess(status)) {
    InterlockedExchange(adapter->DeviceResetNeeded, 1u);
    InterlockedExchange(adapter->RecoveryPending, 1u);
    Recover(adapter);
  }
  return status;
}

}  // namespace

NtStatus CallUsbSync(Adapter* adapter, Urb* urb) {
  KEvent done(true);  // notification event: it dies with this frame after the wait
  Irp irp;
  irp.code = urb != nullptr ? Irp::Code::kSubmitUrb : Irp::Code::kResetPort;
  irp.urb = urb;
  irp.completion = SyncCompletion;
  irp.context = &done;
  irp.stack_size = static_cast<uint8_t>(adapter->NextDeviceObject->StackSize() + 1);
  AddRef(adapter);
  NtStatus status = adapter->NextDeviceObject->CallDriver(&irp);
  if (status == STATUS_PENDING) {
    done.Wait();
    status = irp.status;
  }
  Release(adapter);
  return status;
}

NtStatus ControlRequest(Adapter* adapter, uint8_t request_type, uint8_t request, uint16_t value,
                        uint8_t* buffer, uint16_t length) {
  std::unique_ptr<Urb> urb(new (std::nothrow) Urb());
  if (!urb) {
    VnetTrace(kTraceError, "Failed to allocate memory for the urb...\n");
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  urb->function = UrbFunction::kControlTransfer;
  urb->request_type = request_type;
  urb->request = request;
  urb->value = value;
  urb->index = 0;
  urb->transfer_in = (request_type & 0x80) != 0;
  urb->buffer = buffer;
  urb->transfer_length = length;
  return CallUsbSync(adapter, urb.get());
}

NtStatus ConfigureUsb(Adapter* adapter) {
  adapter->PipeMaxTransferSize = kPipeMaxTransferSize;
  UsbResources& usb = adapter->Usb;
  uint32_t received = 0;
  NtStatus status = GetDescriptor(adapter, USB_DEVICE_DESCRIPTOR_TYPE, usb.device_descriptor.data(),
                                  static_cast<uint32_t>(usb.device_descriptor.size()), &received);
  if (!NtSuccess(status)) return status;
  status = ReadConfigurationDescriptor(adapter);
  if (!NtSuccess(status)) return status;
  status = SelectConfiguration(adapter);
  if (!NtSuccess(status)) return status;
  return AllocateTransfers(adapter);
}

void FreeUsbResources(Adapter* adapter) {
  UsbResources& usb = adapter->Usb;
  usb.interface.reset();
  usb.interface_length = 0;
  usb.configuration_descriptor.reset();
  usb.configuration_descriptor_length = 0;
  usb.device_descriptor.fill(0);
  usb.rx_irp.reset();
  usb.rx_urb.reset();
  usb.tx_irp.reset();
  usb.tx_urb.reset();
  usb.bulk_in_pipe = usb.bulk_out_pipe = usb.interrupt_pipe = 0;
}

NtStatus GetDeviceMode(Adapter* adapter) {
  uint8_t mode = 0;
  const NtStatus status = VendorGet(adapter, kGetMode, &mode, 1);
  if (NtSuccess(status)) adapter->DeviceMode = mode;
  return status;
}

NtStatus GetMacAddress(Adapter* adapter) {
  return VendorGet(adapter, kGetMac, adapter->AddressReadBuffer, 6);
}

NtStatus ResetPipe(Adapter* adapter, PipeHandle pipe) {
  Urb urb;
  urb.function = UrbFunction::kResetPipe;
  urb.pipe = pipe;
  return CallUsbSync(adapter, &urb);
}

NtStatus ResetDevice(Adapter* adapter) {
  VnetTrace(kTraceProgress, " *** R E S E T  D E V I C E ***\n");
  const NtStatus status = CallUsbSync(adapter, nullptr);
  VnetTrace(kTraceProgress, "Reset Device Status 0x%X\n", status);
  return status;
}

}  // namespace valmor
