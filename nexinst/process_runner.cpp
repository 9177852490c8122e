// Running other programs, and the options that only start or stop programs.

#include <cstdio>

#include "installer.h"
#include "messages.h"

namespace nexinst {

namespace {

constexpr int kPollMs = 100;
constexpr int kWaitLimitMs = 15000;
constexpr int kPauseAfterRunMs = 500;

struct UsageLine {
  const char* option;
  const char* description;
};

constexpr UsageLine kUsageLines[] = {
    {"-ins", "Auto Install Devices."},
    {"-ins_PNF_only", "Auto Build PNF of the INF."},
    {"-del", "Auto Remove Devices (IS6.x)."},
    {"-del_Extension", "Auto Remove Devices (IS5.x)."},
    {"-enable  <PnPID> <DriverIdx>", "Enable the specified device node."},
    {"-disable <PnPID> <DriverIdx>", "Disable the specified device node."},
    {"-query_state <PnPID> <DriverIdx>", "Query the device state."},
    {"-LaunchApp", "Execute Win32 Applications"},
    {"-ExitAirtrak", "Shutdown Airtrak.exe/Radio.exe"},
    {"-RemoveINF", "Clean unwanted INF files."},
    {"-instanceID", "Get Device Instance ID."},
    {"-chk_devnode", "Check the Device Node."},
    {"-SetHarbekKey", "Set TREVO HARBEK Registry Key"},
    {"-WaitDeviceInstall", "Wait device install until complete"},
    {"-stopZCSVC", "Stop  XP Zero Config. service"},
    {"-startZCSVC", "Start XP Zero Config. service"},
    {"-registryZCSVC", "Create WZCSVC registry entries."},
    {"-clearChkBoxZCSVC", "Clear WZCSVC check box."},
    {"-setChkBoxZCSVC", "Set WZCSVC check box."},
    {"-clearChkBoxShowIcon", "Clear ShowIcon check box."},
    {"-SetChkBoxShowIcon", "Set ShowIcon check box."},
};

}  // namespace

bool Installer::RunAndWait(std::string_view command_line) {
  std::optional<ProcessId> process = m_host.Start(command_line, /*hidden=*/true);
  if (process) {
    for (int waited = 0; waited < kWaitLimitMs; waited += kPollMs) {
      if (m_host.WaitForExit(*process, kPollMs)) break;
    }
    m_host.Pause(kPauseAfterRunMs);
  }
  m_exit_code = -1;
  if (!process) return false;
  std::optional<uint32_t> code = m_host.ExitCode(*process);
  if (!code) return false;
  m_exit_code = static_cast<int32_t>(*code);
  return true;
}

void Installer::RunDeviceTool(std::string_view arguments) {
  std::string tool = m_program_dir + (IsNt() ? "drvhelpnt.exe" : "drvhelpcl.exe");
  RunAndWait("\"" + tool + "\" " + std::string(arguments));
}

void Installer::StartWithoutWaiting(std::string_view command_line) {
  m_host.Start(command_line, /*hidden=*/false);
}

void Installer::ExitAirtrak() { m_host.BroadcastMessage(msg::kAirtrakShutdownMessage); }

void Installer::ExecDelayed(std::string_view relative_path) {
  m_host.Pause(IsNt() ? 40000 : 60000);
  StartWithoutWaiting("\"" + m_parent_dir + std::string(relative_path) + "\"");
}

void Installer::LaunchApp(std::string_view rest) {
  if (rest.empty()) return;
  Trace(std::string(rest) + "\n");
  RunAndWait(rest);
}

void Installer::ShowUsage() {
  std::vector<std::string> lines;
  for (const UsageLine& line : kUsageLines) {
    lines.push_back(Format("* Nexinst.exe %-34s--> %s", line.option, line.description));
  }
  m_host.ShowTextWindow(msg::kUsageCaption, lines);
}

}  // namespace nexinst
