#include "sim/sim_device.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "framing.h"

namespace valmor::sim {

using namespace host;

namespace {

constexpr uint8_t kDfuIdle = 2, kDfuDnloadSync = 3, kDfuDnbusy = 4, kDfuDnloadIdle = 5,
                  kDfuManifestSync = 6, kDfuError = 10;

NtStatus IrpStatusFor(UsbdStatus status) {
  if (status == USBD_STATUS_SUCCESS) return STATUS_SUCCESS;
  if (status == USBD_STATUS_CANCELED) return STATUS_CANCELLED;
  return STATUS_UNSUCCESSFUL;
}

}  // namespace

SimDevice::SimDevice() : m_thread([this] { StackThread(); }) {}

SimDevice::~SimDevice() {
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  m_changed.notify_all();
  m_thread.join();
}

void SimDevice::StackThread() {
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_changed.wait(lock, [this] { return m_stop || !m_completions.empty(); });
    if (m_stop) return;
    const Completion c = m_completions.front();
    m_completions.pop_front();
    c.irp->status = c.status;
    lock.unlock();
    // The routine may submit again or free the packet: nothing here touches
    // the packet after the call.
    c.irp->completion(c.irp, c.irp->context);
    m_changed.notify_all();
    lock.lock();
  }
}

void SimDevice::Finish(Irp* irp, UsbdStatus urb_status) {
  if (irp->urb != nullptr) irp->urb->status = urb_status;
  m_completions.push_back(Completion{irp, IrpStatusFor(urb_status)});
}

NtStatus SimDevice::CallDriver(Irp* irp) {
  std::unique_lock lock(m_mutex);
  if (irp->code == Irp::Code::kResetPort) {
    ResetPort(irp);
    lock.unlock();
    m_changed.notify_all();
    return STATUS_PENDING;
  }
  Urb* urb = irp->urb;
  const bool bulk_out = urb->function == UrbFunction::kBulkTransfer && !urb->transfer_in;
  if (urb->function == UrbFunction::kBulkTransfer && urb->transfer_in && Holds(irp)) {
    // A real stack would corrupt its request list; the device refuses it
    // and leaves the packet where it is.
    ++m_bulk_in_double_submissions;
    return STATUS_INVALID_PARAMETER;
  }
  if (urb->function == UrbFunction::kBulkTransfer && urb->transfer_in) {
    ++m_bulk_in_submissions;
    m_pending_in = irp;
    PumpBulkIn();
  } else if (bulk_out && m_hold_out) {
    m_held_out = irp;
  } else if ((bulk_out && m_inline_out) || (!bulk_out && m_inline_control)) {
    // Completed before the call returns, on the caller's thread, as a USB
    // stack may do; the completion routine runs without the device's lock.
    const UsbdStatus status = bulk_out ? HandleBulkOut(urb) : HandleUrb(irp);
    urb->status = status;
    irp->status = IrpStatusFor(status);
    PumpBulkIn();
    lock.unlock();
    m_changed.notify_all();
    const NtStatus result = irp->status;
    irp->completion(irp, irp->context);
    return result;
  } else {
    Finish(irp, HandleUrb(irp));
    if (bulk_out) PumpBulkIn();  // a looped-back frame
  }
  // Notified after the unlock, so that the stack thread does not wake into
  // a held lock.
  lock.unlock();
  m_changed.notify_all();
  return STATUS_PENDING;
}

void SimDevice::CancelIrp(Irp* irp) {
  {
    std::lock_guard lock(m_mutex);
    if (irp == m_pending_in) {
      m_pending_in = nullptr;
    } else if (irp == m_held_out) {
      m_held_out = nullptr;
    } else {
      return;
    }
    irp->cancelled = true;
    Finish(irp, USBD_STATUS_CANCELED);
  }
  m_changed.notify_all();
}

bool SimDevice::Holds(const Irp* irp) const {
  return irp == m_pending_in || std::any_of(m_completions.begin(), m_completions.end(),
                                            [irp](const Completion& c) { return c.irp == irp; });
}

void SimDevice::PumpBulkIn() {
  if (m_pending_in == nullptr) return;
  Irp* irp = m_pending_in;
  if (m_fail_next_in != 0) {
    m_pending_in = nullptr;
    irp->urb->transfer_length = 0;
    Finish(irp, std::exchange(m_fail_next_in, 0));
    return;
  }
  if (m_bulk_in.empty()) return;
  m_pending_in = nullptr;
  const std::vector<uint8_t> data = std::move(m_bulk_in.front());
  m_bulk_in.pop_front();
  if (data.size() > irp->urb->transfer_length) {
    irp->urb->transfer_length = 0;
    Finish(irp, USBD_STATUS_BUFFER_OVERRUN);
    return;
  }
  if (!data.empty()) std::memcpy(irp->urb->buffer, data.data(), data.size());
  irp->urb->transfer_length = static_cast<uint32_t>(data.size());
  Finish(irp, USBD_STATUS_SUCCESS);
}

std::vector<uint8_t> SimDevice::ConfigurationDescriptor() const {
  std::vector<uint8_t> d;
  const auto append = [&d](std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) d.push_back(b);
  };
  append({9, USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 0, 1, 1, 0, 0x80, 50});
  if (!m_config.no_interface) {
    const uint8_t endpoints = m_config.interrupt_endpoint ? 3 : 2;
    append({9, USB_INTERFACE_DESCRIPTOR_TYPE, 0, 0, endpoints, 0xFF, 0, 0, 0});
    append({7, USB_ENDPOINT_DESCRIPTOR_TYPE, 0x81, 2, 64, 0, 0});
    append({7, USB_ENDPOINT_DESCRIPTOR_TYPE, 0x02, 2, 64, 0, 0});
    if (m_config.interrupt_endpoint) append({7, USB_ENDPOINT_DESCRIPTOR_TYPE, 0x83, 3, 8, 0, 10});
  }
  // Vendor descriptors of up to 32 bytes each (type 0x41), as many as asked for.
  for (uint32_t left = m_config.extra_descriptor_bytes; left > 0;) {
    const auto size = static_cast<uint8_t>(std::min<uint32_t>(left, 32));
    for (uint8_t i = 0; i < size; ++i) d.push_back(i == 0 ? size : i == 1 ? 0x41 : 0);
    left -= size;
  }
  d[2] = static_cast<uint8_t>(d.size() & 0xFF);
  d[3] = static_cast<uint8_t>(d.size() >> 8);
  return d;
}

UsbdStatus SimDevice::HandleUrb(Irp* irp) {
  Urb* urb = irp->urb;
  switch (urb->function) {
    case UrbFunction::kGetDescriptor: {
      std::vector<uint8_t> d;
      if (urb->descriptor_type == USB_DEVICE_DESCRIPTOR_TYPE) {
        d = {18,   USB_DEVICE_DESCRIPTOR_TYPE,
             0x10, 0x01,
             0,    0,
             0,    64,
             0x25, 0x04,
             0x37, 0x58,
             0x00, 0x01,
             1,    2,
             3,    1};
      } else {
        m_config_reads.push_back(urb->transfer_length);
        d = ConfigurationDescriptor();
      }
      const auto n = std::min<uint32_t>(urb->transfer_length, static_cast<uint32_t>(d.size()));
      std::memcpy(urb->buffer, d.data(), n);
      urb->transfer_length = n;
      return USBD_STATUS_SUCCESS;
    }
    case UrbFunction::kSelectConfiguration: {
      ++m_selects;
      urb->configuration_handle = 1;
      const UsbPipeInformation all[] = {
          {0x81, UsbPipeType::kBulk, 64, 0, kBulkInPipe},
          {0x02, UsbPipeType::kBulk, 64, 0, kBulkOutPipe},
          {0x83, UsbPipeType::kInterrupt, 8, 0, kInterruptPipe},
      };
      std::vector<UsbPipeInformation>& pipes = urb->interface->pipes;
      for (size_t i = 0; i < pipes.size() && i < 3; ++i) {
        const uint32_t max_transfer = pipes[i].maximum_transfer_size;
        pipes[i] = all[i];
        pipes[i].maximum_transfer_size = max_transfer;
      }
      return USBD_STATUS_SUCCESS;
    }
    case UrbFunction::kBulkTransfer:
      return HandleBulkOut(urb);
    case UrbFunction::kControlTransfer:
      return HandleControl(urb);
    case UrbFunction::kResetPipe:
      if (m_fail_reset_pipe > 0) {
        --m_fail_reset_pipe;
        return USBD_STATUS_STALL_PID;
      }
      if (urb->pipe < 4) ++m_reset_pipe[urb->pipe];
      return USBD_STATUS_SUCCESS;
  }
  return USBD_STATUS_STALL_PID;
}

UsbdStatus SimDevice::HandleBulkOut(Urb* urb) {
  ++m_out_count;
  if (m_loopback) {
    // The device undoes the packet-change map and sends the frame back, no
    // pad. The transfer is decoded in the bulk-in buffer itself: one
    // allocation per frame. The caller pumps bulk-in once this transfer's own
    // completion is queued, since the device answers the transfer first.
    std::vector<uint8_t> in(kBulkInHeaderSize + urb->transfer_length);
    std::memcpy(in.data() + kBulkInHeaderSize, urb->buffer, urb->transfer_length);
    const std::span<uint8_t> transfer(in.data() + kBulkInHeaderSize, urb->transfer_length);
    const std::span<const uint8_t> frame = DecodeBulkOut(transfer);
    if (!frame.empty()) std::memmove(in.data() + kBulkInHeaderSize, frame.data(), frame.size());
    in[0] = static_cast<uint8_t>(frame.size() & 0xFF);
    in[1] = static_cast<uint8_t>(frame.size() >> 8);
    in[2] = 0;
    in.resize(kBulkInHeaderSize + frame.size());
    m_bulk_in.push_back(std::move(in));
  }
  if (m_record_out) m_out.emplace_back(urb->buffer, urb->buffer + urb->transfer_length);
  return std::exchange(m_fail_next_out, 0);
}

UsbdStatus SimDevice::HandleControl(Urb* urb) {
  m_control.push_back(
      ControlRecord{urb->request_type, urb->request, urb->value, urb->transfer_length});
  if (urb->request_type == 0xC1 && urb->request == 0x33) {
    if (urb->value == 1) {
      if (m_config.stall_mode_request || urb->transfer_length < 1) return USBD_STATUS_STALL_PID;
      urb->buffer[0] = m_config.mode;
      urb->transfer_length = 1;
      return USBD_STATUS_SUCCESS;
    }
    if (urb->value == 2) {
      if (m_config.fail_mac_request || urb->transfer_length < 6) return USBD_STATUS_STALL_PID;
      std::memcpy(urb->buffer, m_config.mac.data(), 6);
      urb->transfer_length = 6;
      return USBD_STATUS_SUCCESS;
    }
    return USBD_STATUS_STALL_PID;
  }
  if (urb->request_type == 0x41 && urb->request == 0x00) {
    if (m_config.dfu.fail_detach || m_config.mode != 1) return USBD_STATUS_STALL_PID;
    m_detached = true;
    return USBD_STATUS_SUCCESS;
  }
  return HandleDfu(urb);
}

UsbdStatus SimDevice::HandleDfu(Urb* urb) {
  if (m_config.mode != 3) return USBD_STATUS_STALL_PID;
  const DfuBehaviour& dfu = m_config.dfu;
  if (urb->request_type == 0xA1 && urb->request == 5) {  // GETSTATE
    if (m_dfu_state == kDfuDnbusy && !dfu.busy_forever) m_dfu_state = kDfuDnloadSync;
    urb->buffer[0] = m_dfu_state;
    urb->transfer_length = 1;
    return USBD_STATUS_SUCCESS;
  }
  if (urb->request_type == 0xA1 && urb->request == 3) {  // GETSTATUS
    if (m_dfu_state == kDfuDnloadSync) {
      if (dfu.busy_after_block && !m_dfu_busy_done) {
        m_dfu_state = kDfuDnbusy;
        m_dfu_busy_done = true;
      } else {
        m_dfu_state = kDfuDnloadIdle;
      }
    } else if (m_dfu_state == kDfuManifestSync) {
      m_dfu_state = dfu.final_state;
      m_dfu_manifested = true;
    }
    const uint32_t t = dfu.poll_timeout_ms;
    const uint8_t reply[6] = {static_cast<uint8_t>(m_dfu_state == kDfuError ? 0x0E : 0),
                              static_cast<uint8_t>(t),
                              static_cast<uint8_t>(t >> 8),
                              static_cast<uint8_t>(t >> 16),
                              m_dfu_state,
                              0};
    const auto n = std::min<uint32_t>(urb->transfer_length, 6);
    std::memcpy(urb->buffer, reply, n);
    urb->transfer_length = n;
    return USBD_STATUS_SUCCESS;
  }
  if (urb->request_type == 0x21 && urb->request == 1) {  // DNLOAD
    const bool idle = m_dfu_state == kDfuIdle || m_dfu_state == kDfuDnloadIdle;
    if (!idle || urb->value != m_dfu_expected_block) {
      m_dfu_state = kDfuError;
      return USBD_STATUS_STALL_PID;
    }
    ++m_dfu_expected_block;
    m_dfu_busy_done = false;
    if (urb->transfer_length == 0) {
      m_dfu_state = kDfuManifestSync;
      return USBD_STATUS_SUCCESS;
    }
    m_dfu_blocks.emplace_back(urb->buffer, urb->buffer + urb->transfer_length);
    if (dfu.error_at_block == urb->value) {
      m_dfu_state = kDfuError;
    } else if (dfu.sync_after_block || dfu.busy_after_block) {
      m_dfu_state = kDfuDnloadSync;
    } else {
      m_dfu_state = kDfuDnloadIdle;
    }
    return USBD_STATUS_SUCCESS;
  }
  return USBD_STATUS_STALL_PID;
}

void SimDevice::ResetPort(Irp* irp) {
  ++m_reset_port;
  if (m_fail_reset_port > 0) {
    --m_fail_reset_port;
    Finish(irp, USBD_STATUS_DEV_NOT_RESPONDING);
    return;
  }
  if (m_pending_in != nullptr) {
    Irp* pending = std::exchange(m_pending_in, nullptr);
    if (m_config.pending_on_reset == PendingOnReset::kCompleteCancelled) {
      pending->urb->transfer_length = 0;
      Finish(pending, USBD_STATUS_CANCELED);
    }
  }
  if (m_held_out != nullptr) Finish(std::exchange(m_held_out, nullptr), USBD_STATUS_CANCELED);
  if (m_detached && m_config.mode == 1) {
    // The application firmware hands over to its DFU mode.
    m_config.mode = 3;
    m_detached = false;
    m_dfu_blocks.clear();
  } else if (m_config.mode == 3 && m_dfu_manifested) {
    m_config.mode = 1;  // runs the new image
  }
  m_dfu_state = kDfuIdle;
  m_dfu_expected_block = 0;
  m_dfu_manifested = false;
  Finish(irp, USBD_STATUS_SUCCESS);
}

void SimDevice::QueueBulkIn(std::vector<uint8_t> transfer) {
  {
    std::lock_guard lock(m_mutex);
    m_bulk_in.push_back(std::move(transfer));
    PumpBulkIn();
  }
  m_changed.notify_all();
}

void SimDevice::QueueFrame(std::span<const uint8_t> frame, uint8_t pad) {
  std::vector<uint8_t> transfer{static_cast<uint8_t>(frame.size() & 0xFF),
                                static_cast<uint8_t>(frame.size() >> 8), pad};
  transfer.insert(transfer.end(), frame.begin(), frame.end());
  transfer.resize(transfer.size() + pad, 0);
  QueueBulkIn(std::move(transfer));
}

void SimDevice::FailNextBulkIn(UsbdStatus status) {
  {
    std::lock_guard lock(m_mutex);
    m_fail_next_in = status;
    PumpBulkIn();
  }
  m_changed.notify_all();
}

bool SimDevice::WaitBulkInIdle(std::chrono::milliseconds limit) {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, limit, [this] {
    return m_bulk_in.empty() && m_pending_in != nullptr && m_completions.empty();
  });
}

bool SimDevice::BulkInPending() const {
  std::lock_guard lock(m_mutex);
  return m_pending_in != nullptr;
}

int SimDevice::BulkInSubmissions() const {
  std::lock_guard lock(m_mutex);
  return m_bulk_in_submissions;
}

int SimDevice::BulkInDoubleSubmissions() const {
  std::lock_guard lock(m_mutex);
  return m_bulk_in_double_submissions;
}

void SimDevice::SetRecordBulkOut(bool record) {
  std::lock_guard lock(m_mutex);
  m_record_out = record;
}

void SimDevice::SetInlineBulkOutCompletion(bool inline_completion) {
  std::lock_guard lock(m_mutex);
  m_inline_out = inline_completion;
}

void SimDevice::SetInlineControlCompletion(bool inline_completion) {
  std::lock_guard lock(m_mutex);
  m_inline_control = inline_completion;
}

void SimDevice::SetLoopback(bool loopback) {
  std::lock_guard lock(m_mutex);
  m_loopback = loopback;
}

void SimDevice::HoldBulkOut(bool hold) {
  {
    std::lock_guard lock(m_mutex);
    m_hold_out = hold;
    if (!hold && m_held_out != nullptr) {
      Irp* irp = std::exchange(m_held_out, nullptr);
      Finish(irp, HandleBulkOut(irp->urb));
      PumpBulkIn();
    }
  }
  m_changed.notify_all();
}

void SimDevice::FailNextBulkOut(UsbdStatus status) {
  std::lock_guard lock(m_mutex);
  m_fail_next_out = status;
}

std::vector<std::vector<uint8_t>> SimDevice::BulkOutTransfers() const {
  std::lock_guard lock(m_mutex);
  return m_out;
}

uint64_t SimDevice::BulkOutCount() const {
  std::lock_guard lock(m_mutex);
  return m_out_count;
}

bool SimDevice::WaitBulkOutCount(uint64_t count, std::chrono::milliseconds limit) {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, limit, [&] { return m_out_count >= count; });
}

bool SimDevice::WaitBulkOutHeld(std::chrono::milliseconds limit) {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, limit, [&] { return m_held_out != nullptr; });
}

void SimDevice::FailResetPipe(int count) {
  std::lock_guard lock(m_mutex);
  m_fail_reset_pipe = count;
}

void SimDevice::FailResetPort(int count) {
  std::lock_guard lock(m_mutex);
  m_fail_reset_port = count;
}

int SimDevice::ResetPipeCount(PipeHandle pipe) const {
  std::lock_guard lock(m_mutex);
  return pipe < 4 ? m_reset_pipe[pipe] : 0;
}

int SimDevice::ResetPortCount() const {
  std::lock_guard lock(m_mutex);
  return m_reset_port;
}

std::vector<uint32_t> SimDevice::ConfigurationDescriptorReads() const {
  std::lock_guard lock(m_mutex);
  return m_config_reads;
}

std::vector<ControlRecord> SimDevice::ControlRequests() const {
  std::lock_guard lock(m_mutex);
  return m_control;
}

int SimDevice::SelectCount() const {
  std::lock_guard lock(m_mutex);
  return m_selects;
}

std::vector<std::vector<uint8_t>> SimDevice::DfuBlocks() const {
  std::lock_guard lock(m_mutex);
  return m_dfu_blocks;
}

std::vector<uint8_t> SimDevice::DfuImage() const {
  std::lock_guard lock(m_mutex);
  std::vector<uint8_t> image;
  for (const auto& block : m_dfu_blocks) image.insert(image.end(), block.begin(), block.end());
  return image;
}

}  // namespace valmor::sim
