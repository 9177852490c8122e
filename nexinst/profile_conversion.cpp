// Converting the stored wireless profiles of the older product into the
// registry profiles of the card's configuration.

#include <algorithm>

#include "installer.h"
#include "key_cipher.h"
#include "messages.h"
#include "profile_pro.h"

namespace nexinst {

namespace {

constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kProductKey[] = "SOFTWARE\\TREVO\\Nuvex_11ab";
constexpr std::string_view kUnwise = "UNWISE.EXE";
constexpr size_t kUninstallStringBytes = 1000;
// profile.pro is a few kilobytes; a larger file is read only this far.
constexpr size_t kMaxProfileBytes = 16 << 20;

}  // namespace

bool Installer::FindNuvexFolder(std::string_view uninstall_key_name, std::string& folder) {
  std::string key = kUninstallKey + std::string(uninstall_key_name);
  if (!m_registry.KeyExists(key)) {
    Trace(msg::kOpenKeyFailed);
    Trace(key + "\n");
    return false;
  }
  std::optional<RegValue> value = m_registry.QueryValue(key, "UninstallString");
  if (!value || value->data.size() > kUninstallStringBytes) {
    Trace(msg::kQueryUninstallFailed);
    return false;
  }
  // Found ignoring case, but the paths keep the case they were written in:
  // on Linux a path's case matters.
  std::string command = value->AsText();
  size_t at = ToUpper(command).find(kUnwise);
  if (at == std::string::npos) {
    Trace(msg::kNoUnwise);
    return false;
  }
  std::string uninstaller = command.substr(0, at + kUnwise.size());
  size_t log_start = command.find_first_not_of(' ', at + kUnwise.size());
  std::string log = log_start == std::string::npos ? std::string() : command.substr(log_start);
  Trace(msg::kDashLine);
  Trace(uninstaller + "\n");
  Trace(log + "\n");
  Trace(msg::kDashLine);
  if (!m_host.FileExists(uninstaller)) {
    Trace(msg::kNoUnwiseFile);
    return false;
  }
  if (log.empty() || !m_host.FileExists(log)) {
    Trace(msg::kNoInstallLog);
    Trace(log + "\n");
    return false;
  }
  folder = uninstaller.substr(0, at);
  return true;
}

void Installer::ConvertNuvexProfile(std::string_view uninstall_key_name) {
  std::string folder;
  if (!FindNuvexFolder(uninstall_key_name, folder)) return;

  std::string path = folder + "profile.pro";
  Trace(path + "\n");
  if (!m_host.FileExists(path)) {
    Trace(msg::kNoProfilePro);
    return;
  }
  std::optional<uint64_t> size = m_host.FileSize(path);
  std::optional<std::vector<uint8_t>> file;
  if (size) file = m_host.ReadFileStart(path, std::min<uint64_t>(*size, kMaxProfileBytes));
  if (!file) {
    Trace(msg::kOpenProfileProFailed);
    return;
  }
  ProfileProRead read = ReadProfilePro(*file);
  for (const std::string& trace : read.traces) Trace(trace);
  if (read.records.empty()) return;

  m_registry.CreateKey(kProductKey);
  m_registry.SetValue(kProductKey, "CardCfgId", RegValue::String(kCardCfgId));
  for (size_t n = 0; n < read.records.size(); ++n) {
    std::string key = std::string(kProductKey) + "\\Cfg" + std::to_string(n);
    m_registry.CreateKey(key);
    for (const auto& [name, value] : ConvertedProfileValues(DecodeProfile(read.records[n]))) {
      m_registry.SetValue(key, name, value);
    }
  }
}

}  // namespace nexinst
