#include "sim/sim_stack.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "miniport.h"

namespace valmor::sim {

using namespace host;

OwnedPacket::OwnedPacket(std::vector<uint8_t> bytes, std::vector<uint32_t> split)
    : m_bytes(std::move(bytes)) {
  if (split.empty()) split.push_back(static_cast<uint32_t>(m_bytes.size()));
  uint32_t offset = 0;
  for (uint32_t size : split) {
    m_packet.buffers.push_back(NdisBuffer{m_bytes.data() + offset, size});
    offset += size;
  }
}

std::vector<uint8_t> MakeFrame(size_t length, uint8_t seed) {
  std::vector<uint8_t> frame(length);
  for (size_t i = 0; i < length; ++i) frame[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  if (length >= 14) {
    const uint8_t header[14] = {0x00, 0x04, 0xAC, 0x6C, 0x32, 0x70, 0x02,
                                0x00, 0x00, 0x00, 0x00, 0x01, 0x08, 0x00};
    std::memcpy(frame.data(), header, 14);
  }
  return frame;
}

SimStack::SimStack(UsbDevice* next_lower) : m_next_lower(next_lower) {}

SimStack::~SimStack() { Halt(); }

NtStatus SimStack::Start() {
  const NtStatus entry = valmor::DriverEntry(*this);
  if (entry != NDIS_STATUS_SUCCESS) return entry;
  const NtStatus status =
      m_chars.initialize(&m_selected_medium, m_media.data(), static_cast<uint32_t>(m_media.size()),
                         static_cast<NdisPort*>(this));
  if (status != NDIS_STATUS_SUCCESS) m_context = nullptr;
  return status;
}

void SimStack::Halt() {
  if (m_context == nullptr) return;
  OpenGate();
  // Halt waits without time-out for every reference. A reference that is
  // never released would hang the test run; the watchdog turns that into a
  // clear failure instead.
  std::mutex mutex;
  std::condition_variable halted;
  bool done = false;
  std::thread watchdog([&] {
    std::unique_lock lock(mutex);
    if (!halted.wait_for(lock, kHaltLimit, [&] { return done; })) {
      std::fprintf(stderr, "halt did not end: a reference of the adapter was never released\n");
      std::abort();
    }
  });
  m_chars.halt(std::exchange(m_context, nullptr));
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  halted.notify_all();
  watchdog.join();
}

NtStatus SimStack::Query(NdisOid oid, std::vector<uint8_t>* answer, uint32_t buffer_length,
                         uint32_t* bytes_needed) {
  answer->assign(buffer_length, 0);
  uint32_t written = 0;
  uint32_t needed = 0;
  const NtStatus status =
      m_chars.query_information(m_context, oid, answer->data(), buffer_length, &written, &needed);
  answer->resize(written);
  if (bytes_needed != nullptr) *bytes_needed = needed;
  return status;
}

uint32_t SimStack::QueryU32(NdisOid oid) {
  std::vector<uint8_t> answer;
  Query(oid, &answer, 4);
  uint32_t value = 0;
  std::memcpy(&value, answer.data(), std::min<size_t>(answer.size(), 4));
  return value;
}

NtStatus SimStack::Set(NdisOid oid, std::span<const uint8_t> data, uint32_t* bytes_read) {
  std::vector<uint8_t> buffer(data.begin(), data.end());
  uint32_t needed = 0;
  return m_chars.set_information(m_context, oid, buffer.data(),
                                 static_cast<uint32_t>(buffer.size()), bytes_read, &needed);
}

NtStatus SimStack::SetU32(NdisOid oid, uint32_t value) {
  uint8_t bytes[4];
  std::memcpy(bytes, &value, 4);
  uint32_t read = 0;
  return Set(oid, bytes, &read);
}

NtStatus SimStack::Reset() {
  bool addressing = false;
  return m_chars.reset(&addressing, m_context);
}

void SimStack::Send(std::vector<NdisPacket*> packets) {
  m_chars.send_packets(m_context, packets.data(), static_cast<uint32_t>(packets.size()));
}

NtStatus SimStack::TransferData(NdisPacket* packet, uint32_t* transferred,
                                NdisHandle receive_context, uint32_t offset, uint32_t count) {
  return m_chars.transfer_data(packet, transferred, m_context, receive_context, offset, count);
}

std::vector<NtStatus> SimStack::StatusIndications() const {
  std::lock_guard lock(m_mutex);
  return m_status;
}

std::vector<std::vector<uint8_t>> SimStack::ReceivedFrames() const {
  std::lock_guard lock(m_mutex);
  return m_received;
}

size_t SimStack::ReceivedCount() const {
  std::lock_guard lock(m_mutex);
  return m_received_count;
}

std::optional<NtStatus> SimStack::CompletionOf(const NdisPacket* packet) const {
  std::lock_guard lock(m_mutex);
  const auto it = m_completions.find(packet);
  if (it == m_completions.end()) return std::nullopt;
  return it->second;
}

size_t SimStack::CompletionCount() const {
  std::lock_guard lock(m_mutex);
  return m_completion_count;
}

bool SimStack::WaitCompletions(size_t count, std::chrono::milliseconds limit) {
  std::unique_lock lock(m_mutex);
  // Completions before the awaited one do not wake this thread.
  m_completions_wanted = count;
  const bool done = m_changed.wait_for(lock, limit, [&] { return m_completion_count >= count; });
  m_completions_wanted = 0;
  return done;
}

bool SimStack::WaitReceived(size_t count, std::chrono::milliseconds limit) {
  std::unique_lock lock(m_mutex);
  m_received_wanted = count;
  const bool done = m_changed.wait_for(lock, limit, [&] { return m_received_count >= count; });
  m_received_wanted = 0;
  return done;
}

bool SimStack::WaitStatusCount(size_t count, std::chrono::milliseconds limit) {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, limit, [&] { return m_status.size() >= count; });
}

bool SimStack::WaitFor(const std::function<bool()>& predicate, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  {
    std::lock_guard lock(m_mutex);
    ++m_pollers;
  }
  bool met = false;
  for (;;) {
    met = predicate();
    if (met || std::chrono::steady_clock::now() >= deadline) break;
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::milliseconds(10));
  }
  std::lock_guard lock(m_mutex);
  --m_pollers;
  return met;
}

void SimStack::CloseGate() {
  std::lock_guard lock(m_mutex);
  m_gate_closed = true;
}

void SimStack::OpenGate() {
  std::lock_guard lock(m_mutex);
  m_gate_closed = false;
  m_changed.notify_all();
}

bool SimStack::WaitIndicationBlocked(std::chrono::milliseconds limit) {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, limit, [&] { return m_blocked; });
}

void SimStack::OnReceive(std::function<void(NdisHandle)> hook) {
  std::lock_guard lock(m_mutex);
  m_on_receive = std::move(hook);
}

void SimStack::SetRecordReceived(bool record) {
  std::lock_guard lock(m_mutex);
  m_record_received = record;
}

NtStatus SimStack::RegisterMiniport(const MiniportCharacteristics& chars) {
  if (chars.major_version != 5 || chars.minor_version != 0) return NDIS_STATUS_FAILURE;
  m_chars = chars;
  return NDIS_STATUS_SUCCESS;
}

void SimStack::SetAttributes(NdisHandle context, uint32_t flags, NdisInterfaceType /*type*/) {
  m_context = context;
  m_attribute_flags = flags;
}

void SimStack::SendComplete(NdisPacket* packet, NtStatus status) {
  bool wake = false;
  {
    std::lock_guard lock(m_mutex);
    m_completions[packet] = status;
    ++m_completion_count;
    // Only a thread waiting for this count, or polling, is woken: a wake-up
    // per frame would cost the sender a thread switch each time.
    wake =
        m_pollers > 0 || (m_completions_wanted != 0 && m_completion_count >= m_completions_wanted);
  }
  if (wake) m_changed.notify_all();
}

void SimStack::EthIndicateReceive(NdisHandle receive_context, const uint8_t* header,
                                  uint32_t header_size, const uint8_t* lookahead,
                                  uint32_t lookahead_size, uint32_t /*packet_size*/) {
  std::function<void(NdisHandle)> hook;
  {
    std::unique_lock lock(m_mutex);
    if (m_gate_closed) {
      m_blocked = true;
      m_changed.notify_all();
      m_changed.wait(lock, [&] { return !m_gate_closed; });
      m_blocked = false;
    }
    if (m_record_received) {
      std::vector<uint8_t> frame(header, header + header_size);
      frame.insert(frame.end(), lookahead, lookahead + lookahead_size);
      m_received.push_back(std::move(frame));
    }
    hook = m_on_receive;
  }
  if (hook) hook(receive_context);
  bool wake = false;
  {
    std::lock_guard lock(m_mutex);
    ++m_received_count;
    wake = m_pollers > 0 || (m_received_wanted != 0 && m_received_count >= m_received_wanted);
  }
  if (wake) m_changed.notify_all();
}

void SimStack::IndicateStatus(NtStatus status, const void* /*buffer*/, uint32_t /*size*/) {
  std::lock_guard lock(m_mutex);
  m_status.push_back(status);
  m_changed.notify_all();
}

NtStatus SimStack::OpenConfiguration() {
  return m_registry.open_fails ? NDIS_STATUS_FAILURE : NDIS_STATUS_SUCCESS;
}

NtStatus SimStack::ReadConfigurationInteger(std::string_view keyword, uint32_t* value) {
  if (keyword == "DbgLevel" && m_registry.dbg_level) {
    *value = *m_registry.dbg_level;
    return NDIS_STATUS_SUCCESS;
  }
  return NDIS_STATUS_FAILURE;
}

NtStatus SimStack::ReadNetworkAddress(std::vector<uint8_t>* address) {
  if (!m_registry.network_address) return NDIS_STATUS_FAILURE;
  *address = *m_registry.network_address;
  return NDIS_STATUS_SUCCESS;
}

NtStatus SimStack::ReadConfigurationString(std::string_view keyword, std::u16string* value) {
  if (keyword == "DriverDesc" && m_registry.driver_desc) {
    *value = *m_registry.driver_desc;
    return NDIS_STATUS_SUCCESS;
  }
  return NDIS_STATUS_FAILURE;
}

DeviceProperties SimStack::QueryDeviceProperties() {
  return DeviceProperties{m_next_lower, m_next_lower, m_next_lower};
}

bool SimStack::IsWdmVersionAvailable(uint8_t major, uint8_t minor) {
  return m_wdm.count({major, minor}) != 0;
}

}  // namespace valmor::sim
