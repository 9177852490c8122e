// Waiting until Windows has installed the card's device node, and the
// regulatory domain of the Corvane card.

#include <algorithm>

#include "installer.h"
#include "messages.h"

namespace nexinst {

namespace {

constexpr char kNetClassKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
constexpr char kCorvaneId[] = "pci\\ven_1114&dev_0506&subsys_00d30e11";
constexpr size_t kMatchingIdBytes = 40;
constexpr int kClassPauses = 10;
constexpr int kConfigFlagsPauses = 20;

constexpr uint16_t kDomain1[] = {0x0C0C, 0x1009};
constexpr uint16_t kDomain3[] = {0x040C};
constexpr uint16_t kDomain4[] = {0x0411};
constexpr uint16_t kDomain2[] = {
    0x0402, 0x0405, 0x0406, 0x0407, 0x0408, 0x040A, 0x040B, 0x040E, 0x040F, 0x0410,
    0x0413, 0x0414, 0x0415, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041F,
    0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x042F, 0x0437, 0x0439, 0x043F,
    0x0443, 0x0807, 0x0809, 0x080C, 0x0810, 0x0813, 0x0814, 0x0816, 0x081A, 0x081D,
    0x0843, 0x0C07, 0x0C0A, 0x0C1A, 0x1007, 0x100C, 0x1407, 0x140C, 0x1809};

template <size_t N>
bool Listed(const uint16_t (&table)[N], uint16_t lang_id) {
  return std::find(std::begin(table), std::end(table), lang_id) != std::end(table);
}

// A string value read into a buffer of `max_bytes`: a larger value does not
// read at all.
std::optional<std::string> ReadString(const Registry& registry, const std::string& key,
                                      std::string_view name, size_t max_bytes = SIZE_MAX) {
  std::optional<RegValue> value = registry.QueryValue(key, name);
  if (!value || value->data.size() > max_bytes) return std::nullopt;
  return value->AsText();
}

// A 32-bit value: exactly four bytes.
std::optional<uint32_t> ReadDword(const Registry& registry, const std::string& key,
                                  std::string_view name) {
  std::optional<RegValue> value = registry.QueryValue(key, name);
  if (!value || value->data.size() != 4) return std::nullopt;
  return value->AsDword();
}

}  // namespace

int Installer::RegDomainForLanguage(uint16_t lang_id) {
  if (Listed(kDomain1, lang_id)) return 1;
  if (Listed(kDomain3, lang_id)) return 3;
  if (Listed(kDomain4, lang_id)) return 4;
  if (Listed(kDomain2, lang_id)) return 2;
  return 0;
}

int Installer::DetermineWLANRegDomain() {
  int domain = RegDomainForLanguage(m_system.default_lang_id);
  TraceF(msg::kDomain, domain);
  return domain;
}

bool Installer::Set_Corvane_Default_Domain() {
  m_exit_code = 0;
  std::optional<std::vector<std::string>> adapters = m_registry.SubKeys(kNetClassKey);
  if (!adapters) return false;
  for (const std::string& adapter : *adapters) {
    std::string key = std::string(kNetClassKey) + "\\" + adapter;
    std::optional<std::string> matching =
        ReadString(m_registry, key, "MatchingDeviceID", kMatchingIdBytes);
    if (!matching || !EqualsNoCase(*matching, kCorvaneId)) continue;
    std::string digit = std::to_string(DetermineWLANRegDomain());
    TraceF(msg::kSetDomainValue, "RegDomain", digit.c_str());
    if (m_registry.SetValue(key, "RegDomain", RegValue::String(digit))) m_exit_code = 1;
  }
  return m_exit_code == 1;
}

bool Installer::FindInstanceKey(const std::string& bus_key, const std::string& bus,
                                const std::string& id0, std::string& instance_key) {
  std::optional<std::vector<std::string>> devices = m_registry.SubKeys(bus_key);
  if (!devices) return false;
  for (const std::string& device : *devices) {
    if (!ContainsNoCase(bus + "\\" + device, id0)) continue;
    std::string device_key = bus_key + "\\" + device;
    std::optional<std::vector<std::string>> instances = m_registry.SubKeys(device_key);
    if (!instances || instances->empty()) return false;
    instance_key = device_key + "\\" + instances->front();
    return true;
  }
  return false;
}

bool Installer::WaitForNetClass(const std::string& instance_key) {
  for (int pauses = 0;;) {
    std::optional<std::string> device_class = ReadString(m_registry, instance_key, "Class");
    if (device_class && StartsWithNoCase(*device_class, "Net")) return true;
    m_host.Pause(1000);
    if (++pauses == kClassPauses) {
      Trace(msg::kWaitClassTimeout);
      return false;
    }
    Trace(msg::kWaitClassNet);
  }
}

bool Installer::WaitForDriver(const std::string& instance_key, std::string& driver_index) {
  for (int pauses = 0;;) {
    std::optional<uint32_t> flags = ReadDword(m_registry, instance_key, "ConfigFlags");
    if (flags) TraceF(msg::kWaitConfigFlags, static_cast<unsigned>(*flags));
    std::optional<std::string> driver;
    if (flags && *flags == 0) driver = ReadString(m_registry, instance_key, "Driver");
    if (driver) {
      Trace(msg::kWaitInstalledOk);
      size_t slash = driver->rfind('\\');
      driver_index = slash == std::string::npos ? *driver : driver->substr(slash + 1);
      return true;
    }
    m_host.Pause(1000);
    if (++pauses == kConfigFlagsPauses) return false;
    Trace(msg::kWaitForConfigFlags);
  }
}

bool Installer::Wait_Device_install(bool set_domain) {
  m_exit_code = 0;
  std::vector<std::string> ids = ReadHardwareIds();
  std::string id0 = ids.empty() ? std::string() : ids.front();
  size_t slash = id0.find('\\');
  if (slash == std::string::npos || slash == 0) {
    Trace(msg::kWaitBadId);
    return false;
  }
  std::string bus = id0.substr(0, slash);
  if (!EqualsNoCase(bus, "PCI") && !EqualsNoCase(bus, "PCMCIA") && !EqualsNoCase(bus, "USB")) {
    Trace(msg::kWaitUnknownBus);
    return false;
  }

  std::string bus_key = EnumKey(bus);
  Trace(bus_key + "\n");
  std::string instance_key;
  if (!FindInstanceKey(bus_key, bus, id0, instance_key)) {
    Trace(msg::kWaitNoDevice);
    return false;
  }
  std::string driver_index;
  if (!WaitForNetClass(instance_key) || !WaitForDriver(instance_key, driver_index)) {
    Trace(msg::kWaitNoDevice);
    return false;
  }
  m_exit_code = 1;

  Trace(msg::kWaitDelay20);
  m_host.Pause(20000);
  Trace(msg::kWaitCheckState);
  std::string device = id0 + " " + driver_index;
  QueryDeviceState("-query_state " + device);
  bool enabled = m_exit_code != 0;

  if (set_domain) {
    Trace(msg::kWaitSetDomain);
    Set_Corvane_Default_Domain();
    if (enabled) {
      Trace(msg::kWaitDisable);
      RunDeviceTool("-disable " + device);
      Trace(msg::kWaitDelay5);
      m_host.Pause(5000);
      Trace(msg::kWaitEnable);
      RunDeviceTool("-enable " + device);
    }
  }
  Trace(msg::kWaitSuccess);
  return true;
}

}  // namespace nexinst
