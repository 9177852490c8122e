// Transmit path: the send handler queues packets, TXThread frames one packet at
// a time into the transmit buffer and submits it on the bulk OUT pipe, and
// USB_TxPacketComplete finishes it.

#include <cstring>

#include "driver.h"
#include "framing.h"
#include "trace.h"

namespace valmor {
namespace {

using namespace host;

NdisPacket*& Link(NdisPacket* packet) {
  return reinterpret_cast<NdisPacket*&>(packet->MiniportReserved[0]);
}

bool SendsRefused(const Adapter* adapter) {
  return adapter->Halting != 0 || adapter->DeviceFailed != 0 || adapter->RecoveryPending != 0 ||
         adapter->AdapterState != VNET_STATE_RUNNING;
}

// Unlinks the head packet under QueueLock; null when the queue is empty.
NdisPacket* TakeHead(Adapter* adapter) {
  adapter->QueueLock.Acquire();
  NdisPacket* packet = adapter->TxQHead;
  if (packet != nullptr) {
    adapter->TxQHead = Link(packet);
    if (adapter->TxQHead == nullptr) adapter->TxQTail = nullptr;
    Link(packet) = nullptr;
    --adapter->TxQCount;
  }
  adapter->QueueLock.Release();
  return packet;
}

bool QueueEmpty(Adapter* adapter) {
  adapter->QueueLock.Acquire();
  const bool empty = adapter->TxQHead == nullptr;
  adapter->QueueLock.Release();
  return empty;
}

// Copies the packet's chain to offset 33 of the transmit buffer. Returns the
// frame length, or 0 when the packet does not fit the frame size.
uint32_t CopyPacket(Adapter* adapter, const NdisPacket* packet) {
  const uint32_t total = packet->TotalLength();
  if (total > kMaxFrameSize) return 0;
  uint32_t copied = 0;
  for (const NdisBuffer& buffer : packet->buffers) {
    if (copied + buffer.length > kMaxFrameSize) return 0;
    if (buffer.length != 0) {
      std::memcpy(adapter->TxBuffer + kBulkOutHeaderSize + copied, buffer.data, buffer.length);
    }
    copied += buffer.length;
  }
  return copied == total ? copied : 0;
}

NtStatus USB_TxPacketComplete(Irp* irp, void* context) {
  auto* adapter = static_cast<Adapter*>(context);
  InterlockedExchange(adapter->TxIrpPending, 0u);
  NdisPacket* packet = adapter->TxPacketInFlight;
  adapter->TxPacketInFlight = nullptr;
  NdisPort* port = adapter->MiniportAdapterHandle;

  if (irp->cancelled || adapter->Halting != 0 || adapter->DeviceFailed != 0) {
    port->SendComplete(packet, NDIS_STATUS_FAILURE);
  } else if (NtSuccess(irp->status) && irp->urb->status == USBD_STATUS_SUCCESS) {
    ++adapter->FramesSent;
    port->SendComplete(packet, NDIS_STATUS_SUCCESS);
  } else {
    ++adapter->SendErrors;
    port->SendComplete(packet, NDIS_STATUS_FAILURE);
    InterlockedExchange(adapter->BulkOutResetNeeded, 1u);
    InterlockedExchange(adapter->RecoveryPending, 1u);
    adapter->ControlWork.fetch_or(VNET_REQ_RECOVER);
    VnetTrace(kTraceError, "Bulk-Out Failed Status:%X\n", NDIS_STATUS_FAILURE);
    WakeControlThread(adapter);
  }
  // The reference goes last: it may be the one halt waits for.
  InterlockedExchange(adapter->TransmitBusy, 0u);
  WakeTxThread(adapter);
  Release(adapter);
  return STATUS_MORE_PROCESSING_REQUIRED;
}

void SendOne(Adapter* adapter) {
  InterlockedExchange(adapter->TransmitBusy, 1u);
  // ControlThread starts its work only while transmit busy is clear; a
  // request it took up between our first check and the flag above must win,
  // since that work may reset the device or replace the request packets.
  if (adapter->ControlWork != 0 || adapter->RecoveryPending != 0 ||
      adapter->AdapterState != VNET_STATE_RUNNING) {
    InterlockedExchange(adapter->TransmitBusy, 0u);
    return;
  }
  NdisPacket* packet = TakeHead(adapter);
  if (packet == nullptr) {
    InterlockedExchange(adapter->TransmitBusy, 0u);
    return;
  }
  adapter->TxPacketInFlight = packet;
  const uint32_t length = CopyPacket(adapter, packet);
  if (length == 0 && packet->TotalLength() != 0) {
    adapter->TxPacketInFlight = nullptr;
    adapter->MiniportAdapterHandle->SendComplete(packet, NDIS_STATUS_FAILURE);
    InterlockedExchange(adapter->TransmitBusy, 0u);
    WakeTxThread(adapter);
    return;
  }
  const size_t total = FinishBulkOut(std::span<uint8_t>(adapter->TxBuffer), length);

  Urb* urb = adapter->Usb.tx_urb.get();
  *urb = Urb{};
  urb->function = UrbFunction::kBulkTransfer;
  urb->pipe = adapter->Usb.bulk_out_pipe;
  urb->transfer_in = false;
  urb->buffer = adapter->TxBuffer;
  urb->transfer_length = static_cast<uint32_t>(total);
  Irp* irp = adapter->Usb.tx_irp.get();
  irp->code = Irp::Code::kSubmitUrb;
  irp->urb = urb;
  irp->completion = USB_TxPacketComplete;
  irp->context = adapter;
  irp->cancelled = false;
  irp->status = STATUS_SUCCESS;
  AddRef(adapter);
  InterlockedExchange(adapter->TxIrpPending, 1u);
  adapter->NextDeviceObject->CallDriver(irp);
  if (adapter->Halting != 0) adapter->NextDeviceObject->CancelIrp(irp);  // see StartBulkIn
}

bool MaySend(Adapter* adapter) {
  return adapter->TerminateThreads == 0 && adapter->DeviceFailed == 0 && adapter->Halting == 0 &&
         adapter->RecoveryPending == 0 && adapter->AdapterState == VNET_STATE_RUNNING &&
         adapter->ControlWork == 0 && adapter->TransmitBusy == 0 && !QueueEmpty(adapter);
}

}  // namespace

void VNETSendPackets(NdisHandle context, NdisPacket** packets, uint32_t count) {
  auto* adapter = static_cast<Adapter*>(context);
  NdisPort* port = adapter->MiniportAdapterHandle;
  if (SendsRefused(adapter)) {
    for (uint32_t i = 0; i < count; ++i) port->SendComplete(packets[i], NDIS_STATUS_SUCCESS);
    return;
  }
  for (uint32_t i = 0; i < count; ++i) {
    NdisPacket* packet = packets[i];
    if (adapter->Halting != 0 || adapter->DeviceFailed != 0) {
      port->SendComplete(packet, NDIS_STATUS_SUCCESS);
      continue;
    }
    packet->status = NDIS_STATUS_PENDING;
    Link(packet) = nullptr;
    adapter->QueueLock.Acquire();
    if (adapter->TxQTail == nullptr) {
      adapter->TxQHead = packet;
    } else {
      Link(adapter->TxQTail) = packet;
    }
    adapter->TxQTail = packet;
    ++adapter->TxQCount;
    adapter->QueueLock.Release();
  }
  WakeTxThread(adapter);
}

void TXThread(Adapter* adapter) {
  SystemThread::SetPriority(16);
  VnetTrace(kTraceProgress, "*** Inside TXThread ***\n");
  while (adapter->TerminateThreads == 0) {
    adapter->Tx.event.Wait();
    if (MaySend(adapter)) SendOne(adapter);
  }
  adapter->Tx.running = false;
  VnetTrace(kTraceProgress, "+ + + + TX Thread Terminated + + + +\n");
  Release(adapter);
}

void RejectQueue(Adapter* adapter) {
  adapter->QueueLock.Acquire();
  const uint32_t pending = adapter->TxQCount;
  const void* head = adapter->TxQHead;
  adapter->QueueLock.Release();
  VnetTrace(kTraceProgress, "Pending packets to reject = %d (Adapter->TxQHead=%08X)\n",
            static_cast<int>(pending),
            static_cast<unsigned>(reinterpret_cast<uintptr_t>(head) & 0xFFFFFFFFu));
  int rejected = 0;
  while (NdisPacket* packet = TakeHead(adapter)) {
    adapter->MiniportAdapterHandle->SendComplete(packet, NDIS_STATUS_FAILURE);
    ++rejected;
  }
  VnetTrace(kTraceProgress, "Rejected packets = %d\n\n", rejected);
}

}  // namespace valmor
