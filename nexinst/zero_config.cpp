// The wireless zero-configuration service, its per-card check box, the
// connection icon check box and the band settings of the two band cards.

#include <cstdlib>

#include "installer.h"
#include "messages.h"

namespace nexinst {

namespace {

constexpr char kService[] = "WZCSVC";
constexpr char kNetClassKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
constexpr char kInterfacesKey[] = "SOFTWARE\\Microsoft\\WZCSVC\\Parameters\\Interfaces\\";
constexpr char kNetworkKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\";
constexpr char kDualBandCard[] = "PCI\\VEN_168C&DEV_0013&SUBSYS_00E50E11";
constexpr char kSingleBandCard[] = "PCI\\VEN_168C&DEV_0013&SUBSYS_00E60E11";
constexpr size_t kMatchingIdBytes = 40;
constexpr size_t kInstanceIdBytes = 64;
constexpr uint32_t kStartAutomatic = 2;
constexpr uint32_t kStartOnDemand = 3;
constexpr uint32_t kZcsvcCheckBox = 0x8000;
constexpr int kServicePauseMs = 2000;

struct Adapter {
  std::string key;
  std::string matching_id;
  std::string instance_id;
};

std::optional<std::string> ReadString(const Registry& registry, const std::string& key,
                                      std::string_view name, size_t max_bytes) {
  std::optional<RegValue> value = registry.QueryValue(key, name);
  if (!value || value->data.size() > max_bytes) return std::nullopt;
  return value->AsText();
}

// Adapter subkeys whose "MatchingDeviceID" and "NetCfgInstanceId" both read.
std::vector<Adapter> ListAdapters(const Registry& registry) {
  std::vector<Adapter> adapters;
  for (const std::string& name :
       registry.SubKeys(kNetClassKey).value_or(std::vector<std::string>{})) {
    std::string key = std::string(kNetClassKey) + "\\" + name;
    std::optional<std::string> matching =
        ReadString(registry, key, "MatchingDeviceID", kMatchingIdBytes);
    std::optional<std::string> instance =
        ReadString(registry, key, "NetCfgInstanceId", kInstanceIdBytes);
    if (matching && instance) adapters.push_back({key, *matching, *instance});
  }
  return adapters;
}

bool Listed(const std::vector<std::string>& ids, const Adapter& adapter) {
  for (const std::string& id : ids) {
    if (EqualsNoCase(id, adapter.matching_id)) return true;
  }
  return false;
}

// A 32-bit value: four bytes of any type.
std::optional<RegValue> ReadFourBytes(const Registry& registry, const std::string& key,
                                      std::string_view name) {
  std::optional<RegValue> value = registry.QueryValue(key, name);
  if (!value || value->data.size() != 4) return std::nullopt;
  return value;
}

RegValue WithNumber(const RegValue& former, uint32_t number) {
  RegValue value = RegValue::Dword(number);
  value.type = former.type;
  return value;
}

}  // namespace

void Installer::RunNet(const char* command) {
  RunAndWait(command);
  m_host.Pause(kServicePauseMs);
}

void Installer::Enable_XP_Zero_Config_Service(bool start) {
  if (!m_host.ServiceManagerAvailable()) {
    Trace(msg::kEnableOpenManager);
  } else if (!m_host.LockServiceDatabase()) {
    Trace(msg::kEnableLock);
  } else {
    if (!m_host.ServiceState(kService)) {
      Trace(msg::kEnableOpenService);
    } else if (m_host.SetServiceStartType(kService, start ? kStartAutomatic : kStartOnDemand)) {
      Trace(msg::kChangeConfigOk);
    } else {
      Trace(msg::kChangeConfigError);
    }
    m_host.UnlockServiceDatabase();
  }
  if (RunAndWait(start ? "net start wzcsvc" : "net stop wzcsvc")) m_host.Pause(kServicePauseMs);
}

uint32_t Installer::Get_WZCSVC_status(const char* trace_prefix) {
  if (!m_host.ServiceManagerAvailable()) {
    TraceF(msg::kErrorOpenManager, trace_prefix);
    return 0;
  }
  std::optional<uint32_t> state = m_host.ServiceState(kService);
  if (!state) {
    TraceF(msg::kErrorOpenService, trace_prefix);
    return 0;
  }
  return *state;
}

void Installer::Create_XP_Zero_Config_Service_Registry() {
  if (Get_WZCSVC_status(msg::kRegistryPrefix) == kServiceRunning) {
    RunNet("net stop wzcsvc");
    RunNet("net start wzcsvc");
  } else {
    RunNet("net start wzcsvc");
    RunNet("net stop wzcsvc");
  }
}

bool Installer::LookForCard(const std::vector<std::string>& ids) {
  if (!IsNt()) return true;
  m_exit_code = 0;
  bool found = false;
  for (const Adapter& adapter : ListAdapters(m_registry)) {
    if (!Listed(ids, adapter)) continue;
    found = true;
    if (EqualsNoCase(adapter.matching_id, kDualBandCard)) {
      FixNetBand(adapter.key, /*dual_band=*/true);
    } else if (EqualsNoCase(adapter.matching_id, kSingleBandCard)) {
      FixNetBand(adapter.key, /*dual_band=*/false);
    }
  }
  return found;
}

int32_t Installer::AsyncRegZcsvc() {
  std::vector<std::string> ids = ReadHardwareIds();
  if (ids.empty()) return -1;
  m_host.Pause(10000);
  int64_t first_look = m_host.TickMs();
  while (!LookForCard(ids)) {
    if (m_host.TickMs() - first_look > 49999) {
      Trace(msg::kNoCardFound);
      return m_exit_code;
    }
    m_host.Pause(5000);
  }
  m_host.Pause(3000);
  if (IsXpOrLater()) Create_XP_Zero_Config_Service_Registry();
  return m_exit_code;
}

void Installer::FixNetBand(const std::string& adapter_key, bool dual_band) {
  // #1: the band at the adapter, a string of exactly four bytes.
  uint32_t band = dual_band ? 15 : 12;
  if (std::optional<std::string> text = ReadString(m_registry, adapter_key, "NetBand", SIZE_MAX)) {
    band = static_cast<uint32_t>(std::strtoul(text->c_str(), nullptr, 10));
    if (band & 4) band |= 8;
  }
  bool ok =
      m_registry.SetValue(adapter_key, "NetBand", RegValue::FixedString(std::to_string(band), 4));
  Trace(ok ? msg::kFix1Success : msg::kFix1Failed);

  // #2: every stored profile with 5 GHz also gets bit 8.
  std::string profiles_key = adapter_key + "\\CustomParams\\Configurations";
  std::optional<std::vector<std::string>> profiles = m_registry.SubKeys(profiles_key);
  ok = profiles.has_value();
  for (const std::string& profile : profiles.value_or(std::vector<std::string>{})) {
    std::string key = profiles_key + "\\" + profile;
    std::optional<RegValue> value = ReadFourBytes(m_registry, key, "NetBand");
    if (!value || !(*value->AsDword() & 4)) continue;
    ok = m_registry.SetValue(key, "NetBand", WithNumber(*value, *value->AsDword() | 8)) && ok;
  }
  Trace(ok ? msg::kFix2Success : msg::kFix2Failed);
  if (!dual_band) return;

  // #3 and #4: the driver's band choices.
  std::string ndi_key = adapter_key + "\\Ndi\\params\\NetBand";
  ok = m_registry.SetValue(ndi_key, "default", RegValue::FixedString("15", 4));
  Trace(ok ? msg::kFix3Success : msg::kFix3Failed);
  std::string enum_key = ndi_key + "\\enum";
  m_registry.DeleteValue(enum_key, "4");
  m_registry.DeleteValue(enum_key, "7");
  ok = m_registry.SetValue(enum_key, "12", RegValue::FixedString("2.4Ghz Only", 32));
  ok = m_registry.SetValue(enum_key, "15", RegValue::FixedString("5Ghz + 2.4Ghz", 32)) && ok;
  Trace(ok ? msg::kFix4Success : msg::kFix4Failed);
}

int32_t Installer::SetZcsvcCheckBox(bool set) {
  std::vector<std::string> ids = ReadHardwareIds();
  if (ids.empty()) return -1;
  if (!IsXpOrLater()) return m_exit_code;
  m_exit_code = 0;
  for (const Adapter& adapter : ListAdapters(m_registry)) {
    for (const std::string& id : ids) {
      if (!EqualsNoCase(id, adapter.matching_id)) continue;
      std::string key = kInterfacesKey + adapter.instance_id;
      if (!m_registry.KeyExists(key)) {
        Trace(msg::kErrorWzcsvcKey + key + msg::kErrorKeyEnd);
        continue;
      }
      std::optional<RegValue> flags = ReadFourBytes(m_registry, key, "ControlFlags");
      if (!flags) {
        Trace(msg::kErrorReadControlFlags);
        continue;
      }
      uint32_t number = *flags->AsDword();
      number = set ? number | kZcsvcCheckBox : number & ~kZcsvcCheckBox;
      bool running = Get_WZCSVC_status(msg::kStatusPrefix) == kServiceRunning;
      if (running) RunNet("net stop wzcsvc");
      if (m_registry.SetValue(key, "ControlFlags", WithNumber(*flags, number))) {
        m_exit_code = 1;
      } else {
        Trace(msg::kErrorSetControlFlags);
      }
      if (running) RunNet("net start wzcsvc");
    }
  }
  return m_exit_code;
}

int32_t Installer::SetShowIconCheckBox(bool set) {
  std::vector<std::string> ids = ReadHardwareIds();
  if (ids.empty()) return -1;
  if (!IsNt()) return m_exit_code;
  m_exit_code = 0;
  for (const Adapter& adapter : ListAdapters(m_registry)) {
    if (!Listed(ids, adapter)) continue;
    std::string key = kNetworkKey + adapter.instance_id + "\\Connection";
    if (!m_registry.KeyExists(key)) {
      Trace(msg::kErrorShowIconKey + key + msg::kErrorKeyEnd);
      continue;
    }
    std::optional<RegValue> show = ReadFourBytes(m_registry, key, "ShowIcon");
    if (!show) {
      Trace(msg::kErrorReadShowIcon);
      continue;
    }
    uint32_t number = set ? *show->AsDword() | 1u : *show->AsDword() & ~1u;
    if (!m_registry.SetValue(key, "ShowIcon", WithNumber(*show, number))) {
      Trace(msg::kErrorSetShowIcon);
      continue;
    }
    Trace(msg::kShowIconSet);
    m_exit_code = 1;
  }
  return m_exit_code;
}

}  // namespace nexinst
