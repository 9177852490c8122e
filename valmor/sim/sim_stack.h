#pragma once

// A simulated network stack above the miniport: it loads the driver, answers
// its configuration reads, calls its handlers as NDIS would and records what
// the driver indicates and completes.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "host/ndis.h"
#include "sim/sim_device.h"

namespace valmor::sim {

// A packet with its own bytes, split into buffers of the given sizes.
class OwnedPacket {
 public:
  explicit OwnedPacket(std::vector<uint8_t> bytes, std::vector<uint32_t> split = {});
  host::NdisPacket* get() { return &m_packet; }
  const std::vector<uint8_t>& bytes() const { return m_bytes; }

 private:
  std::vector<uint8_t> m_bytes;
  host::NdisPacket m_packet;
};

// A frame of `length` bytes: destination, source, type, then a counting payload.
std::vector<uint8_t> MakeFrame(size_t length, uint8_t seed = 0);

struct Registry {
  bool open_fails = false;
  std::optional<uint32_t> dbg_level;
  std::optional<std::vector<uint8_t>> network_address;
  std::optional<std::u16string> driver_desc;
};

class SimStack : public host::NdisWrapper, public host::NdisPort {
 public:
  static constexpr std::chrono::seconds kHaltLimit{60};

  explicit SimStack(host::UsbDevice* next_lower);
  ~SimStack() override;  // halts a started adapter
  SimStack(const SimStack&) = delete;
  SimStack& operator=(const SimStack&) = delete;

  Registry& registry() { return m_registry; }
  std::vector<host::NdisMedium>& media() { return m_media; }
  std::set<std::pair<uint8_t, uint8_t>>& wdm_versions() { return m_wdm; }
  void SetNextLower(host::UsbDevice* device) { m_next_lower = device; }

  // DriverEntry, then the Initialize handler. Returns its status.
  host::NtStatus Start();
  bool started() const { return m_context != nullptr; }
  uint32_t selected_medium() const { return m_selected_medium; }
  void Halt();

  host::NtStatus Query(host::NdisOid oid, std::vector<uint8_t>* answer, uint32_t buffer_length,
                       uint32_t* bytes_needed = nullptr);
  uint32_t QueryU32(host::NdisOid oid);
  host::NtStatus Set(host::NdisOid oid, std::span<const uint8_t> data, uint32_t* bytes_read);
  host::NtStatus SetU32(host::NdisOid oid, uint32_t value);
  host::NtStatus Reset();
  void Send(std::vector<host::NdisPacket*> packets);
  host::NtStatus TransferData(host::NdisPacket* packet, uint32_t* transferred,
                              host::NdisHandle receive_context, uint32_t offset, uint32_t count);

  // Records.
  std::vector<host::NtStatus> StatusIndications() const;
  std::vector<std::vector<uint8_t>> ReceivedFrames() const;  // header + lookahead
  size_t ReceivedCount() const;
  std::optional<host::NtStatus> CompletionOf(const host::NdisPacket* packet) const;
  size_t CompletionCount() const;
  bool WaitCompletions(size_t count, std::chrono::milliseconds limit = kWaitLimit);
  bool WaitReceived(size_t count, std::chrono::milliseconds limit = kWaitLimit);
  bool WaitStatusCount(size_t count, std::chrono::milliseconds limit = kWaitLimit);
  // Waits until `predicate` holds, re-checking whenever the stack records
  // something and at least every 10 ms.
  bool WaitFor(const std::function<bool()>& predicate,
               std::chrono::milliseconds limit = kWaitLimit);

  // Indications block while the gate is closed; the first one blocked is seen
  // by WaitIndicationBlocked.
  void CloseGate();
  void OpenGate();
  bool WaitIndicationBlocked(std::chrono::milliseconds limit = kWaitLimit);
  // Called inside each receive indication (for transfer-data tests).
  void OnReceive(std::function<void(host::NdisHandle)> hook);
  void SetRecordReceived(bool record);

  // NdisWrapper.
  host::NtStatus RegisterMiniport(const host::MiniportCharacteristics& chars) override;

  // NdisPort.
  void SetAttributes(host::NdisHandle context, uint32_t flags,
                     host::NdisInterfaceType type) override;
  void SendComplete(host::NdisPacket* packet, host::NtStatus status) override;
  void EthIndicateReceive(host::NdisHandle receive_context, const uint8_t* header,
                          uint32_t header_size, const uint8_t* lookahead, uint32_t lookahead_size,
                          uint32_t packet_size) override;
  void EthIndicateReceiveComplete() override {}
  void IndicateStatus(host::NtStatus status, const void* buffer, uint32_t size) override;
  void IndicateStatusComplete() override {}
  host::NtStatus OpenConfiguration() override;
  host::NtStatus ReadConfigurationInteger(std::string_view keyword, uint32_t* value) override;
  host::NtStatus ReadNetworkAddress(std::vector<uint8_t>* address) override;
  host::NtStatus ReadConfigurationString(std::string_view keyword, std::u16string* value) override;
  void CloseConfiguration() override {}
  host::DeviceProperties QueryDeviceProperties() override;
  bool IsWdmVersionAvailable(uint8_t major, uint8_t minor) override;

  uint32_t attribute_flags() const { return m_attribute_flags; }
  host::NdisHandle context() const { return m_context; }

 private:
  host::UsbDevice* m_next_lower;
  Registry m_registry;
  std::vector<host::NdisMedium> m_media{host::NdisMedium::k802_5, host::NdisMedium::k802_3};
  std::set<std::pair<uint8_t, uint8_t>> m_wdm{{1, 0x10}, {1, 0x05}, {1, 0x00}};
  host::MiniportCharacteristics m_chars;
  host::NdisHandle m_context = nullptr;
  uint32_t m_attribute_flags = 0;
  uint32_t m_selected_medium = ~0u;

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<host::NtStatus> m_status;
  std::vector<std::vector<uint8_t>> m_received;
  size_t m_received_count = 0;
  bool m_record_received = true;
  std::map<const host::NdisPacket*, host::NtStatus> m_completions;
  size_t m_completion_count = 0;
  size_t m_completions_wanted = 0;  // while a thread waits for that many
  size_t m_received_wanted = 0;
  int m_pollers = 0;  // threads in WaitFor
  bool m_gate_closed = false;
  bool m_blocked = false;
  std::function<void(host::NdisHandle)> m_on_receive;
};

}  // namespace valmor::sim
