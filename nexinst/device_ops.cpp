// Device install and removal through the device tool, and the clean-up of
// INF files, unknown device instances and shared-file counts.

#include <algorithm>
#include <cctype>

#include "installer.h"
#include "messages.h"

namespace nexinst {

namespace {

constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kSharedDllsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr size_t kInfSearchBytes = 2048;
constexpr uint64_t kInfMaxSize = 65536;
constexpr const char* kDriverFiles[] = {"TRQLIBW.DLL", "TRQMP3.VXD", "TRQMP5.SYS"};

unsigned char UpperByte(unsigned char c) { return static_cast<unsigned char>(std::toupper(c)); }

// Case-insensitive search of `id` at every byte offset.
bool ContainsBytes(const std::vector<uint8_t>& data, std::string_view id) {
  if (id.size() > data.size()) return false;
  for (size_t at = 0; at + id.size() <= data.size(); ++at) {
    size_t i = 0;
    while (i < id.size() &&
           UpperByte(data[at + i]) == UpperByte(static_cast<unsigned char>(id[i]))) {
      ++i;
    }
    if (i == id.size()) return true;
  }
  return false;
}

// Case-insensitive search of `id` widened to UTF-16 (little-endian) at every
// 16-bit offset.
bool ContainsUtf16(const std::vector<uint8_t>& data, std::string_view id) {
  size_t units = data.size() / 2;
  if (id.size() > units) return false;
  for (size_t at = 0; at + id.size() <= units; ++at) {
    size_t i = 0;
    for (; i < id.size(); ++i) {
      uint16_t unit = static_cast<uint16_t>(data[2 * (at + i)] | (data[2 * (at + i) + 1] << 8));
      uint16_t want = UpperByte(static_cast<unsigned char>(id[i]));
      if (unit < 0x80) unit = UpperByte(static_cast<unsigned char>(unit));
      if (unit != want) break;
    }
    if (i == id.size()) return true;
  }
  return false;
}

std::string AfterLastSeparator(std::string_view path) {
  size_t pos = path.find_last_of("/\\");
  return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string WithPnfExtension(std::string_view name) {
  size_t dot = name.rfind('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot)) + ".PNF";
}

}  // namespace

void Installer::InstallOrRemove(std::string_view line, bool remove, bool extension) {
  if (extension) {
    std::vector<std::string> lines(std::begin(msg::kUninstallLines),
                                   std::end(msg::kUninstallLines));
    if (!m_host.AskYesNo(msg::kUninstallCaption, lines)) {
      m_host.MessageBox(msg::kInformationCaption, msg::kUninstallCanceled);
      return;
    }
    constexpr std::string_view kWord = "-del_Extension";
    std::string_view product = line.substr(line.find(kWord) + kWord.size());
    while (!product.empty() && std::isspace(static_cast<unsigned char>(product.front()))) {
      product.remove_prefix(1);
    }
    product = WithoutEnclosingQuotes(product);
    if (product.empty()) return;
    PrepareUninstallCommand(product);
  }

  std::vector<std::string> ids = ReadHardwareIds();
  if (ids.empty()) {
    m_host.MessageBox(msg::kWarningCaption, msg::kNoHardwareIds);
    return;
  }
  std::string inf = IniValue("INFO", "INF_File_name");
  bool can_run = !inf.empty();
  if (can_run && !IsNt()) {
    std::optional<std::string> windows = m_host.WindowsDirectory();
    if (windows) {
      m_host.DeleteFile(*windows + "/inf/Drvidx.bin");
    } else {
      can_run = false;
    }
  }
  if (can_run) {
    std::string arguments =
        std::string(remove ? "-del " : "-ins ") + "\"" + m_driver_dir + inf + "\"";
    for (const std::string& id : ids) arguments += " " + id;
    RunDeviceTool(arguments);
  }
  if (extension && !m_uninstall_command.empty()) StartWithoutWaiting(m_uninstall_command);
}

bool Installer::PrepareUninstallCommand(std::string_view product) {
  std::string key = kUninstallKey + std::string(product);
  std::optional<RegValue> saved = m_registry.QueryValue(key, "Save_UninstallString");
  if (!saved) return false;
  std::string command = saved->AsText();
  while (!command.empty() && command.back() == ' ') command.pop_back();
  size_t flag = command.find("-f");
  command.insert(flag == std::string::npos ? 0 : flag, "-y ");
  m_uninstall_command = command;
  if (m_registry.SetValue(key, "UninstallString", *saved)) {
    m_registry.DeleteValue(key, "Save_UninstallString");
  }
  return true;
}

void Installer::InsPnfOnly() {
  if (IsNt()) {
    std::string inf = IniValue("INFO", "INF_File_name");
    if (!inf.empty()) RunDeviceTool("-ins_PNF_only \"" + m_driver_dir + inf + "\"");
    return;
  }
  if (std::optional<std::string> windows = m_host.WindowsDirectory()) {
    m_host.DeleteFile(*windows + "/inf/Drvidx.bin");
  }
}

void Installer::RemoveInfFiles() {
  std::optional<std::string> windows = m_host.WindowsDirectory();
  std::vector<std::string> ids = ReadHardwareIds();
  if (!windows || ids.empty()) return;

  bool unicode = IsNt() && m_unicode_inf;
  Trace(unicode ? msg::kUnicodeCompare : msg::kAnsiCompare);
  std::string kept = IniValue("INFO", "INF_File_name");
  if ((!IsNt() || !m_whql_driver) && !kept.empty()) TraceF(msg::kInfPreserved, kept.c_str());

  TraceF(msg::kNumberOfIds, static_cast<int>(ids.size()));
  for (size_t i = 0; i < ids.size(); ++i) {
    TraceF(msg::kPnpIdOf, static_cast<int>(i), ids[i].c_str());
    std::string inf_dir = *windows + "/INF";
    Remove_INF_by_PNPID(inf_dir, ids[i], unicode, kept);
    if (!IsNt()) Remove_INF_by_PNPID(inf_dir + "/Other", ids[i], unicode, kept);
  }
}

void Installer::Remove_INF_by_PNPID(const std::string& dir, const std::string& id, bool unicode,
                                    const std::string& kept_inf) {
  if (id.empty()) {
    Trace(msg::kInvalidPnpId);
    return;
  }
  bool skip_kept = !(IsNt() && m_whql_driver);
  for (const std::string& name : m_host.ListFiles(dir, "inf")) {
    if (skip_kept && EqualsNoCase(name, kept_inf)) continue;
    std::string path = dir + "/" + name;
    std::optional<uint64_t> size = m_host.FileSize(path);
    if (!size) {
      TraceF(msg::kCannotOpenInf, name.c_str());
      continue;
    }
    if (*size > kInfMaxSize) continue;
    std::optional<std::vector<uint8_t>> head = m_host.ReadFileStart(path, kInfSearchBytes);
    if (!head) {
      TraceF(msg::kCannotReadInf, name.c_str());
      continue;
    }
    if (unicode ? ContainsUtf16(*head, id) : ContainsBytes(*head, id)) {
      TraceF(msg::kDeleteInf, name.c_str());
      m_host.DeleteFile(path);
      m_host.DeleteFile(dir + "/" + WithPnfExtension(name));
    }
  }
}

int32_t Installer::RemoveUnknownDevices() {
  std::vector<std::string> ids = ReadHardwareIds();
  if (ids.empty()) return 0;
  int32_t result = 0;
  for (const char* bus : {"PCI", "PCMCIA", "USB"}) {
    std::string marker = std::string(bus) + "\\";
    bool listed = std::any_of(ids.begin(), ids.end(), [&](const std::string& id) {
      return id.find(marker) != std::string::npos;
    });
    if (listed) result |= Remove_Unknown_Device(bus, ids);
  }
  return result;
}

int Installer::Remove_Unknown_Device(std::string_view bus, const std::vector<std::string>& ids) {
  Trace(msg::kRemoveUnknownDevice);
  std::string bus_key = EnumKey(bus);
  Trace(bus_key + "\n");
  std::optional<std::vector<std::string>> devices = m_registry.SubKeys(bus_key);
  if (!devices) return 0;
  std::string marker = std::string(bus) + "\\";
  int result = 0;
  for (const std::string& device : *devices) {
    std::string qualified = marker + device;
    bool listed = std::any_of(ids.begin(), ids.end(), [&](const std::string& id) {
      return ContainsNoCase(qualified, id) && ContainsNoCase(id, marker);
    });
    if (!listed) continue;
    std::string device_key = bus_key + "\\" + device;
    std::optional<std::vector<std::string>> instances = m_registry.SubKeys(device_key);
    if (!instances) continue;
    for (const std::string& instance : *instances) {
      std::string instance_key = device_key + "\\" + instance;
      std::optional<RegValue> device_class = m_registry.QueryValue(instance_key, "Class");
      if (device_class && StartsWithNoCase(device_class->AsText(), "Net")) continue;
      long status = m_registry.DeleteKey(instance_key);
      TraceF(msg::kRegDeleteKeyStatus, static_cast<unsigned>(status));
      if (status == 0) result = 1;
    }
  }
  return result;
}

void Installer::SetHarbekKey() {
  if (!m_registry.CreateKey(kSharedDllsKey)) return;
  // Collect first: deleting while enumerating by index would skip the value
  // that follows each deleted one.
  std::vector<std::string> doomed;
  for (const auto& [name, value] : m_registry.Values(kSharedDllsKey)
                                       .value_or(std::vector<std::pair<std::string, RegValue>>{})) {
    std::string file = AfterLastSeparator(name);
    for (const char* driver_file : kDriverFiles) {
      if (EqualsNoCase(file, driver_file)) doomed.push_back(name);
    }
  }
  for (const std::string& name : doomed) m_registry.DeleteValue(kSharedDllsKey, name);

  std::optional<std::string> windows = m_host.WindowsDirectory();
  if (!m_registry.KeyExists(kSharedDllsKey) || !windows) return;
  std::string system = *windows + (IsNt() ? "/System32/" : "/System/");
  for (const char* file : {"TRQMP3.VXD", "TRQMP5.SYS", "TRQLIBW.DLL"}) {
    m_registry.SetValue(kSharedDllsKey, system + file, RegValue::Dword(2));
  }
}

void Installer::QueryDeviceState(std::string_view tool_arguments) {
  RunDeviceTool(tool_arguments);
  Trace(m_exit_code != 0 ? msg::kDeviceEnabled : msg::kDeviceDisabled);
}

}  // namespace nexinst
