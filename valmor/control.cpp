// ControlThread and the work it runs one request at a time: recovery after a
// failed bulk transfer, the restart after power-on and the firmware update.

#include <chrono>
#include <thread>

#include "driver.h"
#include "trace.h"

namespace valmor {
namespace {

using namespace host;

bool PoweredOn(const Adapter* adapter) { return adapter->DevicePowerState == kPowerD0; }

void PowerOnRestart(Adapter* adapter) {
  VnetTrace(kTraceProgress, "After Power Save Restarting the Device\n");
  adapter->AdapterState = VNET_STATE_STARTING;  // stored directly, no indication
  bool dfu_mode = false;
  if (CheckDeviceMode(adapter, &dfu_mode)) {
    VnetTrace(kTraceProgress, "Re-Starting Bulk-In After Power Save.\n");
    // The USB stack may have kept the bulk-in transfer through power-down, or
    // its completion may be about to submit it again; StartBulkIn then leaves
    // the request packet where it is instead of submitting it twice.
    StartBulkIn(adapter);
    SetState(adapter, VNET_STATE_RUNNING);
  }
}

// One pass over ControlWork. Each bit is taken off the word before its work
// runs, so that a request raised meanwhile (say a bulk-in error right after
// recovery restarted bulk-in) is kept for the next pass instead of being lost.
void RunControlWork(Adapter* adapter) {
  adapter->ControlWork.fetch_and(kControlWorkMask);
  if ((adapter->ControlWork.fetch_and(~VNET_REQ_POWER_ON) & VNET_REQ_POWER_ON) != 0) {
    PowerOnRestart(adapter);
  }
  if ((adapter->ControlWork.fetch_and(~VNET_REQ_RECOVER) & VNET_REQ_RECOVER) != 0) {
    Recover(adapter);
  }
  if ((adapter->ControlWork & VNET_REQ_FW_UPDATE) != 0) {
    if (adapter->AdapterState != VNET_STATE_POWERED_DOWN) {
      FirmwareUpdate(adapter);
      // The update frees its own image; one still held arrived during the
      // update and is queued again instead of being forgotten.
      adapter->ControlWork = FirmwareImageHeld() ? VNET_REQ_FW_UPDATE : 0;
    } else {
      adapter->ControlWork.fetch_and(~VNET_REQ_FW_UPDATE);  // the image stays held
    }
  }
}

}  // namespace

bool CheckDeviceMode(Adapter* adapter, bool* dfu_mode) {
  *dfu_mode = false;
  if (GetDeviceMode(adapter) != STATUS_SUCCESS) {
    VnetTrace(kTraceProgress, "Device Operates WITHOUT FLASH\n");
    return true;
  }
  switch (adapter->DeviceMode) {
    case 1:
      return true;
    case 3:
      VnetTrace(kTraceProgress, "Device Operates WITH FLASH. Stuck in DFU Mode!\n");
      *dfu_mode = true;
      return true;
    case 4:
      VnetTrace(kTraceProgress, "Device Operates WITHOUT FLASH\n");
      return true;
    case 2:
      VnetTrace(kTraceError, "HW CONFIGURATION MODE IS NOT SUPPORTED AS A DEVICE START MODE\n");
      return false;
    default:
      return false;
  }
}

void ControlThread(Adapter* adapter) {
  SystemThread::SetPriority(16);
  VnetTrace(kTraceProgress, "*** Inside ControlThread ***\n");
  while (adapter->TerminateThreads == 0) {
    adapter->Control.event.Wait();
    if (adapter->TerminateThreads != 0 || adapter->DeviceFailed != 0 || adapter->Halting != 0) {
      break;
    }
    if (adapter->TransmitBusy != 0) {
      // Requests run only while no bulk-out transfer is in flight. The short
      // pause keeps this retry from spinning a core while the transfer ends.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      WakeControlThread(adapter);
      continue;
    }
    RunControlWork(adapter);
    if (adapter->AdapterState == VNET_STATE_POWERED_DOWN) continue;
    if (adapter->ControlWork != 0) {
      VnetTrace(kTraceProgress, "More Commands. Trigger ControlThread\n");
      WakeControlThread(adapter);
    } else {
      VnetTrace(kTraceProgress, "No more Commands. Trigger Bulk-Out from ControlThread\n");
      WakeTxThread(adapter);
    }
  }
  adapter->Control.running = false;
  VnetTrace(kTraceProgress, "+ + + + Control Thread Terminated + + + + \n");
  Release(adapter);
}

bool Recover(Adapter* adapter) {
  bool result = true;
  if (adapter->BulkInResetNeeded != 0 && adapter->DeviceResetNeeded == 0 && PoweredOn(adapter)) {
    VnetTrace(kTraceProgress, "Resetting Bulk-In\n");
    if (!NtSuccess(ResetPipe(adapter, adapter->Usb.bulk_in_pipe))) {
      InterlockedExchange(adapter->DeviceResetNeeded, 1u);
    } else {
      InterlockedExchange(adapter->BulkInResetNeeded, 0u);
      if (adapter->AdapterState != VNET_STATE_FW_UPDATE) StartBulkIn(adapter);
    }
  }
  if (adapter->BulkOutResetNeeded != 0 && adapter->DeviceResetNeeded == 0 && PoweredOn(adapter)) {
    VnetTrace(kTraceProgress, "Resetting Bulk-Out\n");
    if (!NtSuccess(ResetPipe(adapter, adapter->Usb.bulk_out_pipe))) {
      InterlockedExchange(adapter->DeviceResetNeeded, 1u);
    } else {
      InterlockedExchange(adapter->BulkOutResetNeeded, 0u);
      InterlockedExchange(adapter->TransmitBusy, 0u);
    }
  }
  if (adapter->DeviceResetNeeded != 0 && PoweredOn(adapter)) {
    VnetTrace(kTraceProgress, "Resetting Device\n");
    // The pending bulk-in transfer is not expected to complete after the
    // reset. Whoever takes RxIrpPending back to 0 (here or a late completion)
    // drops its reference, so the count stays exact either way.
    const bool took_bulk_in = InterlockedExchange(adapter->RxIrpPending, 0u) != 0;
    if (took_bulk_in) Release(adapter);
    if (!NtSuccess(ResetDevice(adapter))) {
      VnetTrace(kTraceError, "Device RESET FAILED. Device must be Removed. Driver Halted.\n");
      adapter->ControlWork = 0;
      InterlockedExchange(adapter->DeviceFailed, 1u);
      RejectQueue(adapter);
      result = false;
    } else {
      // After a successful port reset the stack no longer holds the transfer.
      // The request packet taken back above is idle again; one that a
      // completion still holds stays with that completion.
      adapter->RxIrpIdle.Set();
      if (took_bulk_in) InterlockedExchange(adapter->RxIrpBusy, 0u);
      InterlockedExchange(adapter->TransmitBusy, 0u);
      InterlockedExchange(adapter->DeviceResetNeeded, 0u);
      InterlockedExchange(adapter->BulkInResetNeeded, 0u);
      InterlockedExchange(adapter->BulkOutResetNeeded, 0u);
      const uint8_t state = adapter->AdapterState;
      const bool has_pipes = adapter->Usb.interface && !adapter->Usb.interface->pipes.empty();
      if (has_pipes && state != VNET_STATE_STARTING && state != VNET_STATE_FW_UPDATE) {
        VnetTrace(kTraceProgress, "After Reset Re-Starting Bulk-In ...\n");
        const NtStatus status = StartBulkIn(adapter);
        VnetTrace(kTraceProgress, "Bulk-In Start status = 0x%X\n", status);
      }
    }
  }
  InterlockedExchange(adapter->RecoveryPending, 0u);
  return result;
}

void SetPower(Adapter* adapter, uint32_t power_state) {
  adapter->DevicePowerState = power_state;
  if (power_state == kPowerD0) {
    VnetTrace(kTraceProgress, "Power ON\n");
    adapter->ControlWork = VNET_REQ_POWER_ON;
    WakeControlThread(adapter);
  } else {
    VnetTrace(kTraceProgress, "Power OFF\n");
    adapter->AdapterState = VNET_STATE_POWERED_DOWN;  // stored directly, no indication
  }
}

}  // namespace valmor
