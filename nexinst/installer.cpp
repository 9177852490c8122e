#include "installer.h"

#include <algorithm>
#include <cctype>

namespace nexinst {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Cuts `path` after its last separator, keeping that separator.
std::string UpToLastSeparator(std::string_view path) {
  size_t i = path.size();
  while (i > 0 && !IsSeparator(path[i - 1])) --i;
  return std::string(path.substr(0, i));
}

std::string WithoutTrailingSeparators(std::string_view path) {
  while (!path.empty() && IsSeparator(path.back())) path.remove_suffix(1);
  return std::string(path);
}

}  // namespace

Installer::Installer(Host& host) : m_host(host), m_registry(host.registry()) {}

bool Installer::IsXpOrLater() const {
  return IsNt() && (m_system.major > 5 || (m_system.major == 5 && m_system.minor >= 1));
}

void Installer::ComputePaths() {
  m_program_dir = UpToLastSeparator(m_host.ProgramPath());
  m_parent_dir = UpToLastSeparator(WithoutTrailingSeparators(m_program_dir));
  m_driver_dir = m_parent_dir + "Driver/";
  m_ini_path = m_program_dir + "install.ini";
}

std::string Installer::IniValue(std::string_view section, std::string_view key) {
  return m_host.ReadProfileString(m_ini_path, section, key);
}

bool Installer::IniFlagTrue(std::string_view key) {
  std::string value = IniValue("INFO", key);
  while (!value.empty() && value.back() == ' ') value.pop_back();
  return EqualsNoCase(value, "TRUE");
}

std::vector<std::string> Installer::ReadHardwareIds() {
  std::vector<std::string> ids;
  for (int i = 1; i <= 32; ++i) {
    std::string id = IniValue("HARDWARE_ID_LIST", std::to_string(i));
    if (id.empty()) break;
    ids.push_back(ToUpper(id));
  }
  return ids;
}

std::string Installer::EnumKey(std::string_view bus) const {
  return (IsNt() ? "SYSTEM\\CurrentControlSet\\Enum\\" : "Enum\\") + std::string(bus);
}

int32_t Installer::Run(std::string_view command_line) {
  m_system = m_host.System();
  ComputePaths();
  m_unicode_inf = IniFlagTrue("UNICODE_INF");
  m_whql_driver = IniFlagTrue("WHQL_DRIVER");
  return Dispatch(command_line);
}

}  // namespace nexinst
