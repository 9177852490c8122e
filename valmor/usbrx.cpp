// Receive path: one bulk-in transfer stays outstanding; its completion checks
// the frame and puts it in RxRing, and RXThread indicates ring frames.

#include <algorithm>
#include <cstring>
#include <utility>

#include "driver.h"
#include "framing.h"
#include "trace.h"

namespace valmor {
namespace {

using namespace host;

RxCompletionHook g_rx_completion_hook;

NtStatus SubmitBulkIn(Adapter* adapter);

// The completion keeps the request packet idle: its ownership goes back, so
// that the next starter (recovery, power-on) may submit it. Comes before any
// request for recovery, which restarts bulk-in only if it can take ownership.
void ReturnBulkIn(Adapter* adapter) { InterlockedExchange(adapter->RxIrpBusy, 0u); }

void RequestBulkInRecovery(Adapter* adapter) {
  ++adapter->ReceiveErrors;
  InterlockedExchange(adapter->BulkInResetNeeded, 1u);
  InterlockedExchange(adapter->RecoveryPending, 1u);
  adapter->ControlWork.fetch_or(VNET_REQ_RECOVER);
}

// Producer side of RxRing; runs in the bulk-in completion only.
void PutInRing(Adapter* adapter, const uint8_t* frame, uint16_t length) {
  const uint32_t write = adapter->RxWrite;
  const uint32_t next = (write + 1) % kRxRingSlots;
  if (next == adapter->RxRead || length > kMaxFrameSize) {
    ++adapter->ReceiveNoBuffer;
    return;
  }
  RxSlot& slot = adapter->RxRing[write];
  std::memcpy(slot.frame, frame, length);
  slot.length = length;
  slot.tag = 0;
  InterlockedExchange(adapter->RxWrite, next);
  ++adapter->FramesReceived;
  WakeRxThread(adapter);
}

NtStatus USB_RxPacketComplete(Irp* irp, void* context) {
  auto* adapter = static_cast<Adapter*>(context);
  VnetTrace(kTraceRxComplete, "RX Complete.\n");
  adapter->RxIrpIdle.Set();
  // Recovery may already have released this transfer's reference before a
  // device reset; then the late completion must neither release nor restart,
  // and leaves RxIrpBusy to recovery, which returns it after the reset.
  if (InterlockedExchange(adapter->RxIrpPending, 0u) == 0) return STATUS_MORE_PROCESSING_REQUIRED;
  // RxIrpBusy stays 1 from here: nobody else submits the packet while this
  // routine decides whether to submit it again.
  if (g_rx_completion_hook) g_rx_completion_hook(adapter);

  if (irp->cancelled || irp->status == STATUS_CANCELLED) {
    ReturnBulkIn(adapter);
    VnetTrace(kTraceProgress, "RX CANCELLED\n");
  } else if (adapter->Halting != 0 || adapter->DeviceFailed != 0) {
    ReturnBulkIn(adapter);
    VnetTrace(kTraceProgress, "RX DROPPED DUE TO DEVICE REMOVAL\n");
  } else if (!NtSuccess(irp->status) || irp->urb->status != USBD_STATUS_SUCCESS) {
    ReturnBulkIn(adapter);
    RequestBulkInRecovery(adapter);
    VnetTrace(kTraceError, "Bulk-In Failed. Status:%08X\n", irp->status);
    WakeControlThread(adapter);
  } else {
    const uint32_t received = std::min(irp->urb->transfer_length, kRxBufferSize);
    const BulkInCheck check = CheckBulkIn(std::span<const uint8_t>(adapter->RxBuffer, received));
    if (check.good) {
      PutInRing(adapter, check.frame.data(), static_cast<uint16_t>(check.frame.size()));
      SubmitBulkIn(adapter);
    } else {
      ReturnBulkIn(adapter);
      RequestBulkInRecovery(adapter);
      VnetTrace(kTraceError, "Bulk-In Failed. Invalid Length. Expected:%u, Received:%u\n",
                check.expected, received);
      WakeControlThread(adapter);
    }
  }
  Release(adapter);
  return STATUS_MORE_PROCESSING_REQUIRED;
}

// Hands the request packet to the USB stack; the caller owns RxIrpBusy, which
// goes back when nothing is submitted.
NtStatus SubmitBulkIn(Adapter* adapter) {
  if (adapter->Halting != 0 || adapter->DeviceFailed != 0) {
    ReturnBulkIn(adapter);
    return STATUS_UNSUCCESSFUL;
  }
  Urb* urb = adapter->Usb.rx_urb.get();
  *urb = Urb{};
  urb->function = UrbFunction::kBulkTransfer;
  urb->pipe = adapter->Usb.bulk_in_pipe;
  urb->transfer_in = true;
  urb->short_ok = true;
  urb->buffer = adapter->RxBuffer;
  urb->transfer_length = kRxBufferSize;
  Irp* irp = adapter->Usb.rx_irp.get();
  irp->code = Irp::Code::kSubmitUrb;
  irp->urb = urb;
  irp->completion = USB_RxPacketComplete;
  irp->context = adapter;
  irp->cancelled = false;
  irp->status = STATUS_SUCCESS;
  AddRef(adapter);
  InterlockedExchange(adapter->RxIrpPending, 1u);
  adapter->RxIrpIdle.Clear();
  const NtStatus status = adapter->NextDeviceObject->CallDriver(irp);
  // Halt may have looked for a pending transfer just before this one went
  // down; cancel it here so that halt never waits for it.
  if (adapter->Halting != 0) adapter->NextDeviceObject->CancelIrp(irp);
  return status;
}

}  // namespace

NtStatus StartBulkIn(Adapter* adapter) {
  // The decision to submit is taken once: a plain look at RxIrpPending would
  // miss a completion that took the transfer back and is about to submit it
  // again.
  if (InterlockedCompareExchange(adapter->RxIrpBusy, 1u, 0u) != 0) return STATUS_PENDING;
  return SubmitBulkIn(adapter);
}

void SetRxCompletionHook(RxCompletionHook hook) { g_rx_completion_hook = std::move(hook); }

void RXThread(Adapter* adapter) {
  SystemThread::SetPriority(16);
  VnetTrace(kTraceProgress, "*** Inside RXThread ***\n");
  NdisPort* port = adapter->MiniportAdapterHandle;
  while (adapter->TerminateThreads == 0) {
    adapter->Rx.event.Wait();
    while (adapter->RxRead != adapter->RxWrite && adapter->TerminateThreads == 0) {
      const uint32_t read = adapter->RxRead;
      RxSlot& slot = adapter->RxRing[read];
      port->EthIndicateReceive(&slot, slot.frame, 14, slot.frame + 14, slot.length - 14u,
                               slot.length - 14u);
      port->EthIndicateReceiveComplete();
      InterlockedExchange(adapter->RxRead, (read + 1) % kRxRingSlots);
    }
  }
  adapter->Rx.running = false;
  VnetTrace(kTraceProgress, "+ + + + RX Thread Terminated + + + +\n");
  Release(adapter);
}

NtStatus VNETTransferData(NdisPacket* packet, uint32_t* bytes_transferred, NdisHandle /*context*/,
                          NdisHandle receive_context, uint32_t byte_offset,
                          uint32_t bytes_to_transfer) {
  const auto* slot = static_cast<const RxSlot*>(receive_context);
  // 64-bit sums: a protocol's offset and count must not wrap past the slot.
  const uint64_t offset = uint64_t{byte_offset} + 14;
  uint32_t count = bytes_to_transfer;
  if (offset + bytes_to_transfer > slot->length) {
    if (slot->length < offset) {
      *bytes_transferred = 0;
      return NDIS_STATUS_FAILURE;
    }
    count = static_cast<uint32_t>(slot->length - offset);
  }
  uint32_t copied = 0;
  for (const NdisBuffer& buffer : packet->buffers) {
    if (copied == count) break;
    const uint32_t n = std::min(buffer.length, count - copied);
    if (n != 0) std::memcpy(buffer.data, slot->frame + offset + copied, n);
    copied += n;
  }
  *bytes_transferred = copied;
  return NDIS_STATUS_SUCCESS;
}

}  // namespace valmor
