#pragma once

#include <map>
#include <memory>
#include <string>

#include "host_port.h"
#include "profile_file.h"
#include "registry_tree.h"

namespace nexinst {

// The machine of one run, kept in a root folder:
//   registry.reg   the registry (REGEDIT4 text), rewritten atomically after each change
//   system.ini     [System] Family=9x|NT, Version=5.1, DefaultLangID=0x0409,
//                  WindowsDirectory=<path, relative to the root when not absolute>
//   services.ini   the service table (see service_table.h)
// Programs are real processes; traces and message boxes go to stderr; the
// text windows and the Yes/No question use stdout and stdin.
class RootHost : public Host {
 public:
  struct Options {
    std::string root;
    std::string program_path;
    // Every pause lasts `wait_scale` times its length; the clock still
    // advances by the full length.
    double wait_scale = 1.0;
  };

  // Loads the root. Returns nullptr with `error` set when registry.reg or
  // system.ini cannot be read or is malformed; nothing is changed then.
  static std::unique_ptr<RootHost> Open(const Options& options, std::string* error);

  Registry& registry() override { return m_registry; }
  SystemFacts System() const override { return m_system; }
  std::string ProgramPath() const override { return m_options.program_path; }
  std::optional<std::string> WindowsDirectory() const override { return m_windows_dir; }
  std::string ReadProfileString(std::string_view file, std::string_view section,
                                std::string_view key) override;
  void Trace(std::string_view text) override;
  void Pause(int ms) override;
  int64_t TickMs() override;
  std::optional<ProcessId> Start(std::string_view command_line, bool hidden) override;
  bool WaitForExit(ProcessId process, int ms) override;
  std::optional<uint32_t> ExitCode(ProcessId process) override;
  void MessageBox(std::string_view caption, std::string_view text) override;
  void ShowTextWindow(std::string_view caption, const std::vector<std::string>& lines) override;
  bool AskYesNo(std::string_view caption, const std::vector<std::string>& lines) override;
  bool BroadcastMessage(std::string_view message_name) override;
  bool FileExists(std::string_view path) override;
  std::vector<std::string> ListFiles(std::string_view dir, std::string_view extension) override;
  std::optional<uint64_t> FileSize(std::string_view path) override;
  std::optional<std::vector<uint8_t>> ReadFileStart(std::string_view path,
                                                    size_t max_bytes) override;
  bool DeleteFile(std::string_view path) override;
  bool ServiceManagerAvailable() override;
  bool LockServiceDatabase() override;
  void UnlockServiceDatabase() override;
  std::optional<uint32_t> ServiceState(std::string_view service) override;
  bool SetServiceStartType(std::string_view service, uint32_t start_type) override;

 private:
  explicit RootHost(const Options& options);
  bool StoreRegistry(const RegKey& top);
  std::string ServicesPath() const { return m_options.root + "/services.ini"; }

  Options m_options;
  RegistryTree m_registry;
  SystemFacts m_system;
  std::optional<std::string> m_windows_dir;
  std::map<std::string, ProfileFile> m_profiles;
  std::map<ProcessId, int> m_exit_status;  // ended programs: their wait status
  int64_t m_skipped_ms = 0;
};

// Resolves a path whose components may differ in case from the files on
// disk (names made on a case-insensitive system); '\\' counts as a separator.
// Components that match exactly win; a missing one is kept as written.
std::string ResolvePathNoCase(std::string_view path);

}  // namespace nexinst
