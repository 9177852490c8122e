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

// The download loop over the device's DFU states. Runs on ControlThread;
// every request blocks until the device answers.
class DfuDownload {
 public:
  DfuDownload(Adapter* adapter, const uint8_t* image, uint32_t length)
      : m_adapter(adapter), m_image(image), m_length(length), m_remaining(length) {}

  NtStatus Run() {
    for (;;) {
      if (Stopping(m_adapter)) return STATUS_CANCELLED;
      if (++m_passes > kMaxPassesPerBlock || m_waited > kMaxWaitPerBlockMs) {
        VnetTrace(kTraceError, "DFU: device makes no progress (state %u)\n", m_state);
        return STATUS_IO_TIMEOUT;
      }
      if (m_need_state) {
        if (!NtSuccess(ControlRequest(m_adapter, kDfuIn, DFU_GETSTATE, 0, &m_state, 1))) {
          VnetTrace(kTraceFirmware, "DFU: Failed to get DFU state...\n");
          return NDIS_STATUS_FAILURE;
        }
        m_need_state = false;
      }
      const NtStatus result = Pass();
      if (m_done || !NtSuccess(result)) return result;
    }
  }

 private:
  // Acts on the state byte once.
  NtStatus Pass() {
    switch (m_state) {
      case dfuIDLE:
      case dfuDNLOAD_IDLE:
        return SendBlock();
      case dfuDNLOAD_SYNC:
        VnetTrace(kTraceFirmware, "STATE_dfuDNLOAD_SYNC\n");
        return TakeStatus(false);
      case dfuDNBUSY:
        VnetTrace(kTraceFirmware, "STATE_dfuDNBUSY\n");
        m_need_state = true;
        m_waited += WaitPollTimeout(m_adapter, m_poll_timeout);
        return NDIS_STATUS_SUCCESS;
      case dfuMANIFEST_SYNC:
        VnetTrace(kTraceFirmware, "STATE_dfuMANIFEST_SYNC\n");
        return TakeStatus(true);
      case dfuMANIFEST:
        VnetTrace(kTraceFirmware, "STATE_dfuMANIFEST\n");
        m_done = true;
        return NDIS_STATUS_SUCCESS;
      case dfuMANIFEST_WAIT_RESET:
        // The device has manifested the image and waits for the reset that
        // follows the download: the download is complete.
        VnetTrace(kTraceFirmware, "STATE_dfuMANIFEST_WAIT_RESET\n");
        m_done = true;
        return NDIS_STATUS_SUCCESS;
      case dfuUPLOAD_IDLE:
        // An upload is no part of this sequence; the download cannot go on.
        VnetTrace(kTraceFirmware, "STATE_dfuUPLOAD_IDLE\n");
        return STATUS_INVALID_PARAMETER;
      case dfuERROR:
        VnetTrace(kTraceError, "DFU ERROR STATE\n");
        return STATUS_INVALID_PARAMETER;
      default:
        VnetTrace(kTraceFirmware, "DFU UNKNOWN STATE\n");
        return STATUS_INVALID_PARAMETER;
    }
  }

  // DFU_DNLOAD of the next block; with nothing remaining, the zero-length
  // block that ends the image.
  NtStatus SendBlock() {
    m_adapter->FwStatus = 1;
    VnetTrace(kTraceFirmware, "IDLE\n");
    const uint32_t size = std::min(m_remaining, kDfuBlockSize);
    m_remaining -= size;
    m_adapter->FwProgress = static_cast<uint8_t>((102400 / m_length) * (m_block + 1u));
    VnetTrace(kTraceFirmware, "DOWNLOADING %d Bytes (Block = %d)\n", static_cast<int>(size),
              m_block);
    // The request only reads from the buffer; the image is not changed.
    const NtStatus result =
        ControlRequest(m_adapter, kDfuOut, DFU_DNLOAD, m_block,
                       const_cast<uint8_t*>(m_image + m_offset), static_cast<uint16_t>(size));
    if (!NtSuccess(result)) VnetTrace(kTraceFirmware, "Write FW Block %d FAILED\n", m_block);
    m_offset += size;
    ++m_block;
    m_need_state = true;
    // Only real progress renews the pass budget: a device that keeps asking
    // for blocks after the end of the image runs out of it.
    if (!m_end_sent) {
      m_passes = 0;
      m_waited = 0;
    }
    m_end_sent = m_end_sent || size == 0;
    return result;
  }

  // DFU_GETSTATUS: the next pass acts on bState without asking again.
  NtStatus TakeStatus(bool wait) {
    DfuStatus reply{};
    const NtStatus result = GetStatus(m_adapter, &reply);
    if (NtSuccess(result)) {
      m_state = reply.state;
      m_poll_timeout = reply.poll_timeout;
      if (wait) m_waited += WaitPollTimeout(m_adapter, m_poll_timeout);
    }
    return result;
  }

  Adapter* m_adapter;
  const uint8_t* m_image;
  uint32_t m_length;
  uint32_t m_remaining;
  bool m_need_state = true;
  bool m_done = false;
  uint8_t m_state = 0;
  uint32_t m_poll_timeout = 0;
  uint16_t m_block = 0;
  uint32_t m_offset = 0;
  uint32_t m_passes = 0;  // since the last block
  uint32_t m_waited = 0;  // milliseconds, since the last block
  bool m_end_sent = false;
};

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
  return DfuDownload(adapter, image, length).Run();
}

}  // namespace valmor
