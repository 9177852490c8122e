#pragma once

// The per-adapter context and the constants every file of the driver shares.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "host/kernel.h"
#include "host/ndis.h"
#include "host/usb.h"

namespace valmor {

using host::NtStatus;

// AdapterState values, visible outside through OID_VNET_DEVICE_STATE.
inline constexpr uint8_t VNET_STATE_STARTING = 0;
inline constexpr uint8_t VNET_STATE_RUNNING = 5;
inline constexpr uint8_t VNET_STATE_FW_UPDATE = 12;
inline constexpr uint8_t VNET_STATE_POWERED_DOWN = 255;

// ControlWork bits.
inline constexpr uint32_t VNET_REQ_RECOVER = 0x80000;
inline constexpr uint32_t VNET_REQ_FW_UPDATE = 0x100000;
inline constexpr uint32_t VNET_REQ_POWER_ON = 0x200000;
inline constexpr uint32_t kControlWorkMask = 0x3FFFFF;

// Device power states.
inline constexpr uint32_t kPowerD0 = 1;
inline constexpr uint32_t kPowerD3 = 4;

// Media connect status as answered to queries.
inline constexpr uint32_t kMediaConnected = 0;
inline constexpr uint32_t kMediaDisconnected = 1;

inline constexpr uint32_t kMaxFrameSize = 1514;
inline constexpr uint32_t kInitialLookahead = 1514;
inline constexpr uint32_t kPipeMaxTransferSize = 1601;
inline constexpr uint32_t kBulkOutHeaderSize = 33;
inline constexpr uint32_t kTxBufferSize = 1600;  // a transfer is at most 1586 bytes
inline constexpr uint32_t kRxBufferSize = 1587;
inline constexpr uint32_t kRxRingSlots = 40;
inline constexpr uint32_t kDescriptionMax = 255;

struct RxSlot {
  uint8_t frame[kMaxFrameSize];
  uint16_t length;
  uint32_t tag;  // always 0
};

// USB resources made by the configuration step and freed by halt or before a
// reconfiguration after a firmware download.
struct UsbResources {
  std::array<uint8_t, 18> device_descriptor{};
  std::unique_ptr<uint8_t[]> configuration_descriptor;  // pUsbConfigurationDescriptor
  uint32_t configuration_descriptor_length = 0;
  std::unique_ptr<host::UsbInterfaceInformation> interface;
  uint16_t interface_length = 0;
  host::ConfigurationHandle configuration_handle = 0;
  host::PipeHandle bulk_in_pipe = 0;
  host::PipeHandle bulk_out_pipe = 0;
  host::PipeHandle interrupt_pipe = 0;
  std::unique_ptr<host::Irp> rx_irp;
  std::unique_ptr<host::Urb> rx_urb;
  std::unique_ptr<host::Irp> tx_irp;
  std::unique_ptr<host::Urb> tx_urb;
};

// One worker thread: its running marker and its wake-up event (auto-reset).
struct Worker {
  host::SystemThread thread;
  std::atomic<bool> running{false};
  host::KEvent event;
};

// Flags are changed only by atomic exchange; readers load them.
using Flag = std::atomic<uint32_t>;

struct Adapter {
  host::NdisPort* MiniportAdapterHandle = nullptr;
  host::KEvent NoPendingEvent{true};
  host::UsbDevice* PhysicalDeviceObject = nullptr;
  host::UsbDevice* FunctionalDeviceObject = nullptr;
  host::UsbDevice* NextDeviceObject = nullptr;
  std::atomic<uint32_t> MediaConnectStatus{kMediaDisconnected};
  std::atomic<uint32_t> CurrentLookahead{kInitialLookahead};
  uint8_t OsLevel = 0;

  Worker Control;
  Worker Rx;
  Worker Tx;

  host::KSpinLock QueueLock;

  char Description[kDescriptionMax + 1] = {};
  uint8_t DescriptionLength = 0;

  // Transmit side. The queue links run through MiniportReserved[0].
  uint32_t TxQCount = 0;  // under QueueLock
  host::NdisPacket* TxQHead = nullptr;
  host::NdisPacket* TxQTail = nullptr;
  host::NdisPacket* TxPacketInFlight = nullptr;
  uint8_t TxBuffer[kTxBufferSize] = {};

  // Receive side.
  RxSlot RxRing[kRxRingSlots] = {};
  std::atomic<uint32_t> RxRead{0};
  std::atomic<uint32_t> RxWrite{0};
  uint8_t RxBuffer[kRxBufferSize] = {};

  // Set while a bulk transfer of ours is with the USB stack and its reference
  // is still held; whoever exchanges it back to 0 releases that reference.
  Flag RxIrpPending{0};
  Flag TxIrpPending{0};
  // Ownership of the bulk-in request packet, so that it is never submitted
  // twice. 1 from the moment a starter takes it (compare-exchange 0 to 1)
  // until the packet is idle again: the completion routine keeps it while it
  // submits the packet again and clears it when it does not; recovery clears
  // it after a device reset took the transfer back from the stack.
  Flag RxIrpBusy{0};
  // Set while the bulk-in request packet is not with the USB stack. A failed
  // device reset can leave the transfer there after its reference was
  // dropped; halt then cancels it and waits for this before freeing it.
  host::KEvent RxIrpIdle{true, true};

  // Statistics.
  std::atomic<uint32_t> FramesSent{0};
  std::atomic<uint32_t> SendErrors{0};
  std::atomic<uint32_t> FramesReceived{0};
  std::atomic<uint32_t> ReceiveErrors{0};
  std::atomic<uint32_t> ReceiveNoBuffer{0};

  std::atomic<uint8_t> FwStatus{0};
  std::atomic<uint8_t> FwProgress{0};

  uint8_t PermanentAddress[6] = {};
  uint8_t CurrentAddress[6] = {};
  uint8_t AddressReadBuffer[6] = {};

  std::atomic<uint8_t> AdapterState{VNET_STATE_STARTING};
  std::atomic<uint32_t> DevicePowerState{kPowerD0};
  uint32_t PipeMaxTransferSize = kPipeMaxTransferSize;

  UsbResources Usb;

  Flag TransmitBusy{0};
  Flag RecoveryPending{0};
  Flag BulkOutResetNeeded{0};
  Flag BulkInResetNeeded{0};
  Flag DeviceResetNeeded{0};
  Flag DeviceFailed{0};
  Flag Halting{0};

  std::atomic<uint8_t> DeviceMode{0};
  Flag TerminateThreads{0};
  std::atomic<int32_t> PendingRefs{0};
  uint8_t AddressOverride = 0;
  std::atomic<uint32_t> ControlWork{0};
};

}  // namespace valmor
