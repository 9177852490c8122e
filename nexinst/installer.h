#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host_port.h"
#include "text.h"

namespace nexinst {

// One run of the install control program: reads the command line, performs
// the one operation it selects and leaves the result in the exit code. All
// effects go through the Host; one thread.
class Installer {
 public:
  explicit Installer(Host& host);

  // Start-up and dispatch; returns the process exit code (a 32-bit Windows
  // exit code; -1 for programs that could not be started, 259 for ones still
  // running). `command_line` is the program's command line without its name.
  int32_t Run(std::string_view command_line);

  // Domain code for a language identifier (`DetermineWLANRegDomain` without
  // its trace).
  static int RegDomainForLanguage(uint16_t lang_id);

 private:
  // Start-up (command_line.cpp).
  void ComputePaths();
  std::string IniValue(std::string_view section, std::string_view key);
  bool IniFlagTrue(std::string_view key);
  std::vector<std::string> ReadHardwareIds();
  bool IsNt() const { return m_system.family == WindowsFamily::kNT; }
  bool IsXpOrLater() const;
  int32_t Dispatch(std::string_view command_line);

  // Programs (process_runner.cpp).
  // Returns true when the program's exit code could be read.
  bool RunAndWait(std::string_view command_line);
  void RunDeviceTool(std::string_view arguments);
  void StartWithoutWaiting(std::string_view command_line);
  void ExitAirtrak();
  void ExecDelayed(std::string_view relative_path);
  void LaunchApp(std::string_view rest);
  void ShowUsage();

  // Device install, removal and clean-up (device_ops.cpp).
  void InstallOrRemove(std::string_view command_line, bool remove, bool extension);
  bool PrepareUninstallCommand(std::string_view product);
  void InsPnfOnly();
  void RemoveInfFiles();
  void Remove_INF_by_PNPID(const std::string& dir, const std::string& id, bool unicode,
                           const std::string& kept_inf);
  int32_t RemoveUnknownDevices();
  int Remove_Unknown_Device(std::string_view bus, const std::vector<std::string>& ids);
  void SetHarbekKey();
  void QueryDeviceState(std::string_view tool_arguments);

  // Waiting for installation and the regulatory domain (device_wait.cpp).
  bool Set_Corvane_Default_Domain();
  int DetermineWLANRegDomain();
  bool Wait_Device_install(bool set_domain);
  bool FindInstanceKey(const std::string& bus_key, const std::string& bus, const std::string& id0,
                       std::string& instance_key);
  bool WaitForNetClass(const std::string& instance_key);
  bool WaitForDriver(const std::string& instance_key, std::string& driver_index);

  // Zero-configuration service, check boxes and band settings (zero_config.cpp).
  void Enable_XP_Zero_Config_Service(bool start);
  uint32_t Get_WZCSVC_status(const char* trace_prefix);
  void Create_XP_Zero_Config_Service_Registry();
  int32_t AsyncRegZcsvc();
  bool LookForCard(const std::vector<std::string>& ids);
  void FixNetBand(const std::string& adapter_key, bool dual_band);
  int32_t SetZcsvcCheckBox(bool set);
  int32_t SetShowIconCheckBox(bool set);
  void RunNet(const char* command);

  // Profile conversion (profile_conversion.cpp).
  void ConvertNuvexProfile(std::string_view uninstall_key_name);
  bool FindNuvexFolder(std::string_view uninstall_key_name, std::string& folder);

  // Helpers.
  void Trace(std::string_view text) { m_host.Trace(text); }
  template <typename... Args>
  void TraceF(const char* format, Args... args);
  std::string EnumKey(std::string_view bus) const;
  std::string DeleteDrvIdxPath() const;

  Host& m_host;
  Registry& m_registry;
  SystemFacts m_system;
  std::string m_program_dir;
  std::string m_parent_dir;
  std::string m_driver_dir;
  std::string m_ini_path;
  bool m_unicode_inf = false;
  bool m_whql_driver = false;
  int32_t m_exit_code = 0;
  std::string m_uninstall_command;
};

template <typename... Args>
void Installer::TraceF(const char* format, Args... args) {
  m_host.Trace(Format(format, args...));
}

}  // namespace nexinst
