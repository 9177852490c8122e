#pragma once

// A simulated USB function of the phone, standing below the adapter as its
// next-lower device. Completions run on the device's own stack thread, as a
// real USB stack completes requests on a thread other than the caller's.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "host/usb.h"

namespace valmor::sim {

using namespace std::chrono_literals;
inline constexpr std::chrono::milliseconds kWaitLimit = 10s;

// How a port reset treats a bulk-in transfer that is still pending.
enum class PendingOnReset { kCompleteCancelled, kDiscard };

struct DfuBehaviour {
  uint32_t poll_timeout_ms = 0;   // bwPollTimeout answered by GETSTATUS
  bool sync_after_block = false;  // DNLOAD-SYNC (and GETSTATUS) after each block
  bool busy_after_block = false;  // go through DNBUSY after each block
  bool busy_forever = false;      // never leave DNBUSY
  int error_at_block = -1;        // answer dfuERROR after this block
  uint8_t final_state = 7;        // dfuMANIFEST, or 8 dfuMANIFEST-WAIT-RESET, 9 ...
  bool fail_detach = false;
};

struct ControlRecord {
  uint8_t request_type;
  uint8_t request;
  uint16_t value;
  uint32_t length;
};

class SimDevice : public host::UsbDevice {
 public:
  struct Config {
    uint8_t mode = 1;
    bool stall_mode_request = false;
    bool fail_mac_request = false;
    std::array<uint8_t, 6> mac{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    bool interrupt_endpoint = true;
    bool no_interface = false;
    uint32_t extra_descriptor_bytes = 0;  // vendor descriptors after the endpoints
    PendingOnReset pending_on_reset = PendingOnReset::kCompleteCancelled;
    DfuBehaviour dfu;
  };

  SimDevice();
  ~SimDevice() override;
  SimDevice(const SimDevice&) = delete;
  SimDevice& operator=(const SimDevice&) = delete;

  // Set before the adapter starts.
  Config& config() { return m_config; }

  host::NtStatus CallDriver(host::Irp* irp) override;
  void CancelIrp(host::Irp* irp) override;
  uint8_t StackSize() const override { return 2; }

  // Bulk IN: raw transfers (header included) or frames wrapped with P = 0.
  void QueueBulkIn(std::vector<uint8_t> transfer);
  void QueueFrame(std::span<const uint8_t> frame, uint8_t pad = 0);
  void FailNextBulkIn(host::UsbdStatus status);
  // True when no bulk-in data waits and the driver has a transfer pending.
  bool WaitBulkInIdle(std::chrono::milliseconds limit = kWaitLimit);
  bool BulkInPending() const;
  int BulkInSubmissions() const;
  // Submissions of a bulk-in request packet that the device still held
  // (pending, or its completion not yet called). Each is refused with
  // STATUS_INVALID_PARAMETER and neither counted as a submission nor completed.
  int BulkInDoubleSubmissions() const;

  // Bulk OUT.
  void SetRecordBulkOut(bool record);
  void SetLoopback(bool loopback);  // each bulk-out frame comes back on bulk-in
  void HoldBulkOut(bool hold);      // leave bulk-out transfers pending
  // Complete bulk-out transfers inside CallDriver on the caller's thread
  // instead of on the stack thread.
  void SetInlineBulkOutCompletion(bool inline_completion);
  // The same for control transfers and pipe resets, so that the driver's
  // synchronous requests go on while a test holds the stack thread.
  void SetInlineControlCompletion(bool inline_completion);
  void FailNextBulkOut(host::UsbdStatus status);
  std::vector<std::vector<uint8_t>> BulkOutTransfers() const;
  uint64_t BulkOutCount() const;
  bool WaitBulkOutCount(uint64_t count, std::chrono::milliseconds limit = kWaitLimit);
  bool WaitBulkOutHeld(std::chrono::milliseconds limit = kWaitLimit);

  // Recovery.
  void FailResetPipe(int count);
  void FailResetPort(int count);
  int ResetPipeCount(host::PipeHandle pipe) const;
  int ResetPortCount() const;

  std::vector<uint32_t> ConfigurationDescriptorReads() const;
  std::vector<ControlRecord> ControlRequests() const;
  int SelectCount() const;

  // DFU: the blocks received (index = block number) and the image they make.
  std::vector<std::vector<uint8_t>> DfuBlocks() const;
  std::vector<uint8_t> DfuImage() const;

  static constexpr host::PipeHandle kBulkInPipe = 1;
  static constexpr host::PipeHandle kBulkOutPipe = 2;
  static constexpr host::PipeHandle kInterruptPipe = 3;

 private:
  struct Completion {
    host::Irp* irp;
    host::NtStatus status;
  };

  void StackThread();
  // Queues the completion; under m_mutex, the caller notifies after unlocking.
  void Finish(host::Irp* irp, host::UsbdStatus urb_status);
  void PumpBulkIn();                               // under m_mutex
  bool Holds(const host::Irp* irp) const;          // under m_mutex
  host::UsbdStatus HandleUrb(host::Irp* irp);      // under m_mutex
  host::UsbdStatus HandleControl(host::Urb* urb);  // under m_mutex
  host::UsbdStatus HandleDfu(host::Urb* urb);      // under m_mutex
  host::UsbdStatus HandleBulkOut(host::Urb* urb);  // under m_mutex
  void ResetPort(host::Irp* irp);                  // under m_mutex
  std::vector<uint8_t> ConfigurationDescriptor() const;

  Config m_config;
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<Completion> m_completions;
  bool m_stop = false;

  std::deque<std::vector<uint8_t>> m_bulk_in;
  host::Irp* m_pending_in = nullptr;
  host::UsbdStatus m_fail_next_in = 0;
  int m_bulk_in_submissions = 0;
  int m_bulk_in_double_submissions = 0;

  bool m_record_out = true;
  bool m_loopback = false;
  bool m_hold_out = false;
  bool m_inline_out = false;
  bool m_inline_control = false;
  host::Irp* m_held_out = nullptr;
  host::UsbdStatus m_fail_next_out = 0;
  std::vector<std::vector<uint8_t>> m_out;
  uint64_t m_out_count = 0;

  int m_fail_reset_pipe = 0;
  int m_fail_reset_port = 0;
  int m_reset_pipe[4] = {};
  int m_reset_port = 0;
  int m_selects = 0;
  std::vector<uint32_t> m_config_reads;
  std::vector<ControlRecord> m_control;

  bool m_detached = false;
  uint8_t m_dfu_state = 2;
  int m_dfu_expected_block = 0;
  std::vector<std::vector<uint8_t>> m_dfu_blocks;
  bool m_dfu_manifested = false;
  bool m_dfu_busy_done = false;

  std::thread m_thread;  // last: starts after every member exists
};

}  // namespace valmor::sim
