#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "host_port.h"
#include "registry_tree.h"

namespace nexinst::testing {

// A scripted machine: an in-memory registry, a clock that only pauses move,
// programs that "run" for a scripted time and exit with a scripted code, and
// records of everything shown, traced and started.
class FakeHost : public Host {
 public:
  struct Program {
    int runs_ms = 0;  // how long it runs before ending
    uint32_t exit_code = 0;
    bool starts = true;
  };
  struct Started {
    std::string command_line;
    bool hidden;
  };

  RegistryTree tree;
  SystemFacts system;
  std::string program_path = "/opt/card/Setup/nexinst";
  std::string windows_dir = "/win";
  std::map<std::string, std::string> ini;  // "SECTION/KEY" as written
  std::deque<Program> programs;            // taken in start order; default: ends at once, 0
  bool answer_yes = true;
  std::optional<uint32_t> service_state;  // nullopt: no service manager

  std::vector<Started> started;
  std::vector<int> pauses;
  std::string traces;
  std::vector<std::string> boxes;
  int64_t now_ms = 0;

  Registry& registry() override { return tree; }
  SystemFacts System() const override { return system; }
  std::string ProgramPath() const override { return program_path; }
  std::optional<std::string> WindowsDirectory() const override { return windows_dir; }
  std::string ReadProfileString(std::string_view, std::string_view section,
                                std::string_view key) override {
    auto it = ini.find(std::string(section) + "/" + std::string(key));
    return it == ini.end() ? std::string() : it->second;
  }
  void Trace(std::string_view text) override { traces += text; }
  void Pause(int ms) override {
    pauses.push_back(ms);
    now_ms += ms;
  }
  int64_t TickMs() override { return now_ms; }
  std::optional<ProcessId> Start(std::string_view command_line, bool hidden) override {
    started.push_back({std::string(command_line), hidden});
    Program program = programs.empty() ? Program{} : programs.front();
    if (!programs.empty()) programs.pop_front();
    if (!program.starts) return std::nullopt;
    m_running.push_back({program, 0});
    return static_cast<ProcessId>(m_running.size() - 1);
  }
  bool WaitForExit(ProcessId process, int ms) override {
    Running& running = m_running[static_cast<size_t>(process)];
    if (running.waited_ms >= running.program.runs_ms) return true;
    running.waited_ms += ms;
    now_ms += ms;
    return running.waited_ms >= running.program.runs_ms;
  }
  std::optional<uint32_t> ExitCode(ProcessId process) override {
    const Running& running = m_running[static_cast<size_t>(process)];
    return running.waited_ms >= running.program.runs_ms ? running.program.exit_code : kStillActive;
  }
  void MessageBox(std::string_view caption, std::string_view text) override {
    boxes.push_back(std::string(caption) + ": " + std::string(text));
  }
  void ShowTextWindow(std::string_view caption, const std::vector<std::string>&) override {
    boxes.push_back(std::string(caption));
  }
  bool AskYesNo(std::string_view caption, const std::vector<std::string>&) override {
    boxes.push_back(std::string(caption) + "?");
    return answer_yes;
  }
  bool BroadcastMessage(std::string_view) override { return true; }
  bool FileExists(std::string_view) override { return false; }
  std::vector<std::string> ListFiles(std::string_view, std::string_view) override { return {}; }
  std::optional<uint64_t> FileSize(std::string_view) override { return std::nullopt; }
  std::optional<std::vector<uint8_t>> ReadFileStart(std::string_view, size_t) override {
    return std::nullopt;
  }
  bool DeleteFile(std::string_view) override { return false; }
  bool ServiceManagerAvailable() override { return service_state.has_value(); }
  bool LockServiceDatabase() override { return service_state.has_value(); }
  void UnlockServiceDatabase() override {}
  std::optional<uint32_t> ServiceState(std::string_view) override { return service_state; }
  bool SetServiceStartType(std::string_view, uint32_t) override { return false; }

 private:
  struct Running {
    Program program;
    int waited_ms;
  };
  std::vector<Running> m_running;
};

}  // namespace nexinst::testing
