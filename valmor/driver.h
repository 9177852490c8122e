#pragma once

// Functions the files of the driver call on one another. Each says on which
// thread it runs and whether it may block.

#include <functional>

#include "adapter.h"

namespace valmor {

// miniport.cpp ---------------------------------------------------------------

// Atomic reference on the adapter; never blocks.
void AddRef(Adapter* adapter);
// Drops a reference; sets NoPendingEvent when none is left and no worker runs.
// The caller must not touch the adapter afterwards unless it holds another one.
void Release(Adapter* adapter);
// Stores a new AdapterState with the media indications; any thread, no lock held.
void SetState(Adapter* adapter, uint8_t state);
// Starts bulk-in when the state is starting or firmware update, then wakes
// ControlThread. Used at start-up and after a firmware download.
void StartDevice(Adapter* adapter);
void WakeControlThread(Adapter* adapter);
void WakeRxThread(Adapter* adapter);
void WakeTxThread(Adapter* adapter);

// usbtx.cpp ------------------------------------------------------------------

void VNETSendPackets(host::NdisHandle context, host::NdisPacket** packets, uint32_t count);
void TXThread(Adapter* adapter);
// Completes every queued packet with NDIS_STATUS_FAILURE; takes QueueLock.
void RejectQueue(Adapter* adapter);

// usbrx.cpp ------------------------------------------------------------------

// Submits the one bulk-in transfer when its request packet is idle (takes
// RxIrpBusy). Returns STATUS_PENDING without submitting when the packet is
// still with the USB stack or its completion routine, which submits it again
// itself; STATUS_UNSUCCESSFUL while halting or after the device failed; else
// what the USB stack answered (pending). Any thread but the bulk-in
// completion; never blocks.
NtStatus StartBulkIn(Adapter* adapter);
// Test seam: runs in the bulk-in completion right after it took the transfer
// back (RxIrpPending to 0) and before it decides on submitting it again, so
// that a test can hold the completion there. Install only while no bulk-in
// transfer is pending; an empty hook removes it.
using RxCompletionHook = std::function<void(Adapter*)>;
void SetRxCompletionHook(RxCompletionHook hook);
void RXThread(Adapter* adapter);
NtStatus VNETTransferData(host::NdisPacket* packet, uint32_t* bytes_transferred,
                          host::NdisHandle context, host::NdisHandle receive_context,
                          uint32_t byte_offset, uint32_t bytes_to_transfer);

// vnetusb.cpp (all block until the USB stack answers; never call them from a
// completion routine) --------------------------------------------------------

// Configures the device (descriptors, configuration, pipes, request blocks).
// Returns STATUS_SUCCESS, STATUS_INSUFFICIENT_RESOURCES or the failing request's status.
NtStatus ConfigureUsb(Adapter* adapter);
void FreeUsbResources(Adapter* adapter);
// Submits `urb` (or a port reset when `urb` is null) and waits for its end.
NtStatus CallUsbSync(Adapter* adapter, host::Urb* urb);
// Vendor get requests of the device; on failure they request a device reset
// and run Recover before returning the failure.
NtStatus GetDeviceMode(Adapter* adapter);
NtStatus GetMacAddress(Adapter* adapter);
// A control request on the default pipe in a freshly allocated request block.
NtStatus ControlRequest(Adapter* adapter, uint8_t request_type, uint8_t request, uint16_t value,
                        uint8_t* buffer, uint16_t length);
NtStatus ResetPipe(Adapter* adapter, host::PipeHandle pipe);
NtStatus ResetDevice(Adapter* adapter);

// control.cpp ----------------------------------------------------------------

void ControlThread(Adapter* adapter);
// Runs on ControlThread or the start path only; blocks on USB resets. Returns
// false when the device reset failed (the device is then failed).
bool Recover(Adapter* adapter);
// Set-power request: stores the state and wakes ControlThread for D0.
void SetPower(Adapter* adapter, uint32_t power_state);
// Start-of-device mode check shared by start-up and the power-on restart:
// asks the device its mode; returns true when the start may go on, with
// `*dfu_mode` set for a device stuck in DFU mode (mode 3).
bool CheckDeviceMode(Adapter* adapter, bool* dfu_mode);

// dfu.cpp --------------------------------------------------------------------

// The set request OID_VNET_FW_IMAGE. Returns the status of the request.
NtStatus ReceiveImage(Adapter* adapter, const uint8_t* image, uint32_t length,
                      uint32_t* bytes_read);
// Runs on ControlThread for VNET_REQ_FW_UPDATE.
void FirmwareUpdate(Adapter* adapter);
// The DFU download loop; returns NDIS_STATUS_SUCCESS or the failure.
NtStatus Download(Adapter* adapter, const uint8_t* image, uint32_t length);
bool FirmwareImageHeld();
void ReleaseFirmwareImage();

// oid.cpp --------------------------------------------------------------------

NtStatus VNETQueryInformation(host::NdisHandle context, host::NdisOid oid, void* buffer,
                              uint32_t buffer_length, uint32_t* bytes_written,
                              uint32_t* bytes_needed);
NtStatus VNETSetInformation(host::NdisHandle context, host::NdisOid oid, void* buffer,
                            uint32_t buffer_length, uint32_t* bytes_read, uint32_t* bytes_needed);

}  // namespace valmor
