// Firmware update over USB DFU 1.0, run by ControlThread.

#include "dfu.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "driver.h"
#include "trace.h"

namespace valmor {
namespace {

using namespace host;

constexpr NtStatus STATUS_IO_TIMEOUT = 0xC00000B5;

constexpr uint8_t kDfuOut = 0x21;
constexpr uint8_t kDfuIn = 0xA1;
constexpr uint8_t DFU_DNLOAD = 1;
constexpr uint8_t DFU_GETSTATUS = 3;
constexpr uint8_t DFU_GETSTATE = 5;

enum DfuState : uint8_t {
  dfuIDLE = 2,
  dfuDNLOAD_SYNC = 3,
  dfuDNBUSY = 4,
  dfuDNLOAD_IDLE = 5,
  dfuMANIFEST_SYNC = 6,
  dfuMANIFEST = 7,
  dfuMANIFEST_WAIT_RESET = 8,
  dfuUPLOAD_IDLE = 9,
  dfuERROR = 10,
};

// The image held for download is global to the driver. It is shared so that a
// new image arriving during an update cannot free the bytes being sent.
struct HeldImage {
  std::shared_ptr<const uint8_t[]> bytes;
  uint32_t length = 0;
};
std::mutex g_image_mutex;
HeldImage g_image;

HeldImage TakeImageRef() {
  std::lock_guard lock(g_image_mutex);
  return g_image;
}

void ReleaseIfHeld(const HeldImage& image) {
  std::lock_guard lock(g_image_mutex);
  if (g_image.bytes == image.bytes) g_image = HeldImage{};
}

bool Stopping(const Adapter* adapter) {
  return adapter->Halting != 0 || adapter->TerminateThreads != 0;
}

// Waits out a poll time-out in half-second steps with FwProgress rising.
// Returns the number of milliseconds waited.
uint32_t WaitPollTimeout(Adapter* adapter, uint32_t timeout) {
  if (timeout > 0) {
    adapter->FwStatus = 4;
    adapter->FwProgress = 0;
  } else {
    adapter->FwStatus = 1;
  }
  uint32_t waited = 0;
  for (uint32_t i = 1; i <= timeout / 500 && !Stopping(adapter); ++i) {
    adapter->FwProgress += static_cast<uint8_t>(50000 / timeout);
    KeDelay(std::chrono::milliseconds(500));
    waited += 500;
  }
  return waited;
}

struct DfuStatus {
  uint8_t state;
  uint32_t poll_timeout;
};

NtStatus GetStatus(Adapter* adapter, DfuStatus* out) {
  uint8_t reply[6] = {};
  const NtStatus status = ControlRequest(adapter, kDfuIn, DFU_GETSTATUS, 0, reply, 6);
  if (NtSuccess(status)) {
    const uint32_t timeout = reply[1] | reply[2] << 8 | static_cast<uint32_t>(reply[3]) << 16;
    out->poll_timeout = std::min(timeout, kMaxPollTimeoutMs);
    out->state = reply[4];
  }
  return status;
}

bool StartDevice(Adapter* adapter) {
  VnetTrace(kTraceProgress, "Start Device...\n");
  const uint8_t state = adapter->AdapterState;
  if (state == VNET_STATE_STARTING || state == VNET_STATE_FW_UPDATE) {
    VnetTrace(kTraceProgress, "Starting Bulk-In.\n");
    StartBulkIn(adapter);
  }
  WakeControlThread(adapter);
  return true;
}

bool ResetForDfu(Adapter* adapter) {
  VnetTrace(kTraceProgress, "RESET DEVICE\n");
  InterlockedExchange(adapter->DeviceResetNeeded, 1u);
  InterlockedExchange(adapter->RecoveryPending, 1u);
  if (!Recover(adapter)) {
    VnetTrace(kTraceError, "RESET DEVICE FAILED. DFU FAILED. Unplug And Retry\n");
    adapter->FwStatus = 0;
    return false;
  }
  return true;
}

void DownloadAndRestart(Adapter* adapter, const HeldImage& image) {
  VnetTrace(kTraceProgress, "Starting Upgrade\n");
  adapter->FwStatus = 1;
  if (Download(adapter, image.bytes.get(), image.length) != NDIS_STATUS_SUCCESS) {
    VnetTrace(kTraceError, "FW Download FAILED. DFU FAILED. Unplug And Retry\n");
    adapter->FwStatus = 0;
    return;
  }
  if (!ResetForDfu(adapter)) return;
  adapter->FwProgress = 100;
  adapter->FwStatus = 2;
  FreeUsbResources(adapter);
  VnetTrace(kTraceProgress, "After DFU Restarting the Interface\n");
  if (ConfigureUsb(adapter) != STATUS_SUCCESS) {
    VnetTrace(kTraceError, "FAILED TO START DEVICE. DFU FAILED. Unplug And Retry\n");
    adapter->FwStatus = 0;
    return;
  }
  VnetTrace(kTraceProgress, "Re-Setting Current MAC ADDRESS\n");
  VnetTrace(kTraceProgress, "After DFU Restarting the Device\n");
  StartDevice(adapter);
  // The device runs the new firmware and receives again: the adapter is
  // running, so media connect is indicated and sends flow.
  SetState(adapter, VNET_STATE_RUNNING);
}

}  // namespace

NtStatus ReceiveImage(Adapter* adapter, const uint8_t* image, uint32_t length,
                      uint32_t* bytes_read) {
  SetState(adapter, VNET_STATE_FW_UPDATE);
  ReleaseFirmwareImage();
  *bytes_read = 0;
  if (length == 0) {
    adapter->FwStatus = 0;
    return NDIS_STATUS_FAILURE;
  }
  std::shared_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[length]);
  if (!copy) {
    adapter->FwStatus = 0;
    return NDIS_STATUS_FAILURE;
  }
  std::memcpy(copy.get(), image, length);
  {
    std::lock_guard lock(g_image_mutex);
    g_image = HeldImage{std::move(copy), length};
  }
  adapter->FwStatus = 3;
  *bytes_read = length;
  adapter->ControlWork = VNET_REQ_FW_UPDATE;
  WakeControlThread(adapter);
  return NDIS_STATUS_SUCCESS;
}

bool FirmwareImageHeld() {
  std::lock_guard lock(g_image_mutex);
  return g_image.bytes != nullptr;
}

void ReleaseFirmwareImage() {
  std::lock_guard lock(g_image_mutex);
  g_image = HeldImage{};
}

void FirmwareUpdate(Adapter* adapter) {
  const HeldImage image = TakeImageRef();
  SetState(adapter, VNET_STATE_FW_UPDATE);
  VnetTrace(kTraceProgress, "Dropping Pending Tx Packets...\n");
  RejectQueue(adapter);
  adapter->FwProgress = 0;

  const uint8_t mode = adapter->DeviceMode;
  if (mode == 3) {
    DownloadAndRestart(adapter, image);
  } else if (mode == 1) {
    if (!NtSuccess(ControlRequest(adapter, 0x41, 0x00, 1000, nullptr, 0))) {
      VnetTrace(kTraceError, "DFU DETACH FAILED. DFU FAILED. Unplug And Retry\n");
      adapter->FwStatus = 0;
    } else {
      adapter->FwProgress = 0;
      VnetTrace(kTraceProgress, "Wait 10 sec\n");
      for (int i = 0; i < 20 && !Stopping(adapter); ++i) {
        adapter->FwProgress += 5;
        KeDelay(std::chrono::milliseconds(500));
      }
      if (ResetForDfu(adapter)) DownloadAndRestart(adapter, image);
    }
  } else {
    VnetTrace(kTraceError, "UNSUPPORTED Mode of device operation\n");
    adapter->FwStatus = 0;
  }
  if (image.bytes) {
    VnetTrace(kTraceProgress, "Releasing FW\n");
    ReleaseIfHeld(image);
  }
}

NtStatus Download(Adapter* adapter, const uint8_t* image, uint32_t length) {
  if (length == 0 || image == nullptr) {
    VnetTrace(kTraceFirmware, "FW Buffer LEN Invalid \n");
    return NDIS_STATUS_FAILURE;
  }
  VnetTrace(kTraceFirmware, "Start FW Downloading...\n");
  bool need_state = true;
  uint8_t state = 0;
  uint32_t poll_timeout = 0;
  uint16_t block = 0;
  uint32_t remaining = length;
  uint32_t offset = 0;
  uint32_t passes = 0;  // since the last block was sent
  uint32_t waited = 0;
  bool end_sent = false;
  for (;;) {
    NtStatus result = NDIS_STATUS_SUCCESS;
    if (Stopping(adapter)) return STATUS_CANCELLED;
    if (++passes > kMaxPassesPerBlock || waited > kMaxWaitPerBlockMs) {
      VnetTrace(kTraceError, "DFU: device makes no progress (state %u)\n", state);
      return STATUS_IO_TIMEOUT;
    }
    if (need_state) {
      if (!NtSuccess(ControlRequest(adapter, kDfuIn, DFU_GETSTATE, 0, &state, 1))) {
        VnetTrace(kTraceFirmware, "DFU: Failed to get DFU state...\n");
        return NDIS_STATUS_FAILURE;
      }
      need_state = false;
    }
    switch (state) {
      case dfuIDLE:
      case dfuDNLOAD_IDLE: {
        adapter->FwStatus = 1;
        VnetTrace(kTraceFirmware, "IDLE\n");
        const uint32_t size = std::min(remaining, kDfuBlockSize);
        remaining -= size;
        adapter->FwProgress = static_cast<uint8_t>((102400 / length) * (block + 1u));
        VnetTrace(kTraceFirmware, "DOWNLOADING %d Bytes (Block = %d)\n", static_cast<int>(size),
                  block);
        // DFU_DNLOAD sends from the caller's buffer; the image is not changed.
        result = ControlRequest(adapter, kDfuOut, DFU_DNLOAD, block,
                                const_cast<uint8_t*>(image + offset), static_cast<uint16_t>(size));
        if (!NtSuccess(result)) VnetTrace(kTraceFirmware, "Write FW Block %d FAILED\n", block);
        offset += size;
        ++block;
        need_state = true;
        // Only real progress renews the pass budget: a device that keeps
        // asking for blocks after the end of the image runs out of it.
        if (!end_sent) {
          passes = 0;
          waited = 0;
        }
        end_sent = end_sent || size == 0;
        break;
      }
      case dfuDNLOAD_SYNC: {
        VnetTrace(kTraceFirmware, "STATE_dfuDNLOAD_SYNC\n");
        DfuStatus reply{};
        result = GetStatus(adapter, &reply);
        if (NtSuccess(result)) {
          state = reply.state;
          poll_timeout = reply.poll_timeout;
        }
        break;
      }
      case dfuDNBUSY:
        VnetTrace(kTraceFirmware, "STATE_dfuDNBUSY\n");
        need_state = true;
        waited += WaitPollTimeout(adapter, poll_timeout);
        break;
      case dfuMANIFEST_SYNC: {
        VnetTrace(kTraceFirmware, "STATE_dfuMANIFEST_SYNC\n");
        DfuStatus reply{};
        result = GetStatus(adapter, &reply);
        if (NtSuccess(result)) {
          state = reply.state;
          poll_timeout = reply.poll_timeout;
          waited += WaitPollTimeout(adapter, poll_timeout);
        }
        break;
      }
      case dfuMANIFEST:
        VnetTrace(kTraceFirmware, "STATE_dfuMANIFEST\n");
        return result;
      case dfuMANIFEST_WAIT_RESET:
        // The device has manifested the image and waits for the reset that
        // follows the download: the download is complete.
        VnetTrace(kTraceFirmware, "STATE_dfuMANIFEST_WAIT_RESET\n");
        return result;
      case dfuUPLOAD_IDLE:
        // An upload is not part of this sequence; the device is not where the
        // download can go on.
        VnetTrace(kTraceFirmware, "STATE_dfuUPLOAD_IDLE\n");
        result = STATUS_INVALID_PARAMETER;
        break;
      case dfuERROR:
        VnetTrace(kTraceError, "DFU ERROR STATE\n");
        result = STATUS_INVALID_PARAMETER;
        break;
      default:
        VnetTrace(kTraceFirmware, "DFU UNKNOWN STATE\n");
        result = STATUS_INVALID_PARAMETER;
        break;
    }
    if (!NtSuccess(result)) return result;
  }
}

}  // namespace valmor
