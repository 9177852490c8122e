#include "root_host.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "text.h"
#include "reg_text.h"
#include "service_table.h"
#include "win_command_line.h"

extern char** environ;

namespace nexinst {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Writes beside the target and renames, so readers never see half a file.
bool WriteFileAtomically(const std::string& path, const std::string& text) {
  std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << text;
    out.flush();
    if (!out) return false;
  }
  std::error_code error;
  fs::rename(temp, path, error);
  return !error;
}

bool ParseSystem(const std::string& text, SystemFacts& facts, std::string& windows_dir,
                 std::string* error) {
  ProfileFile system = ProfileFile::Parse(text);
  std::string family = system.Get("System", "Family");
  if (EqualsNoCase(family, "9x")) {
    facts.family = WindowsFamily::k9x;
  } else if (family.empty() || EqualsNoCase(family, "NT")) {
    facts.family = WindowsFamily::kNT;
  } else {
    *error = "system.ini: Family must be 9x or NT, not \"" + family + "\"";
    return false;
  }
  std::string version = system.Get("System", "Version");
  if (!version.empty()) {
    int major = 0, minor = 0;
    if (std::sscanf(version.c_str(), "%d.%d", &major, &minor) < 1) {
      *error = "system.ini: Version must read like 5.1, not \"" + version + "\"";
      return false;
    }
    facts.major = major;
    facts.minor = minor;
  }
  std::string lang = system.Get("System", "DefaultLangID");
  if (!lang.empty()) {
    char* end = nullptr;
    unsigned long id = std::strtoul(lang.c_str(), &end, 0);
    if (*end != '\0' || id > 0xFFFF) {
      *error =
          "system.ini: DefaultLangID must be a 16-bit number like 0x0409, not \"" + lang + "\"";
      return false;
    }
    facts.default_lang_id = static_cast<uint16_t>(id);
  }
  windows_dir = system.Get("System", "WindowsDirectory");
  return true;
}

std::string NativePath(std::string_view path) {
  std::string out(path);
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

}  // namespace

std::string ResolvePathNoCase(std::string_view path) {
  std::string native = NativePath(path);
  fs::path resolved = native.starts_with('/') ? fs::path("/") : fs::path();
  for (const fs::path& part : fs::path(native).relative_path()) {
    if (part.empty()) continue;
    fs::path exact = resolved / part;
    std::error_code error;
    if (fs::exists(exact, error) || part == "." || part == "..") {
      resolved = exact;
      continue;
    }
    fs::path match = exact;
    for (const auto& entry : fs::directory_iterator(resolved.empty() ? "." : resolved, error)) {
      if (EqualsNoCase(entry.path().filename().string(), part.string())) {
        match = resolved / entry.path().filename();
        break;
      }
    }
    resolved = match;
  }
  return resolved.string();
}

RootHost::RootHost(const Options& options) : m_options(options) {}

std::unique_ptr<RootHost> RootHost::Open(const Options& options, std::string* error) {
  std::unique_ptr<RootHost> host(new RootHost(options));
  const std::string& root = options.root;

  std::string windows_dir;
  if (std::optional<std::string> system = ReadWholeFile(root + "/system.ini")) {
    if (!ParseSystem(*system, host->m_system, windows_dir, error)) return nullptr;
  }
  if (windows_dir.empty()) windows_dir = "Windows";
  if (!NativePath(windows_dir).starts_with('/')) windows_dir = root + "/" + windows_dir;
  while (windows_dir.size() > 1 && (windows_dir.back() == '/' || windows_dir.back() == '\\')) {
    windows_dir.pop_back();
  }
  host->m_windows_dir = windows_dir;

  std::string registry_path = root + "/registry.reg";
  if (std::optional<std::string> text = ReadWholeFile(registry_path)) {
    RegTextError parse_error;
    std::unique_ptr<RegKey> top = ParseRegText(*text, &parse_error);
    if (!top) {
      *error = registry_path + ":" + std::to_string(parse_error.line) + ": " + parse_error.reason;
      return nullptr;
    }
    host->m_registry = RegistryTree(std::move(top));
  } else if (fs::exists(registry_path)) {
    *error = registry_path + ": cannot be read";
    return nullptr;
  }
  RootHost* self = host.get();
  host->m_registry.SetStore([self](const RegKey& top) { return self->StoreRegistry(top); });
  return host;
}

bool RootHost::StoreRegistry(const RegKey& top) {
  return WriteFileAtomically(m_options.root + "/registry.reg", WriteRegText(top));
}

std::string RootHost::ReadProfileString(std::string_view file, std::string_view section,
                                        std::string_view key) {
  std::string path = ResolvePathNoCase(file);
  auto it = m_profiles.find(path);
  if (it == m_profiles.end()) it = m_profiles.emplace(path, ProfileFile::Load(path)).first;
  return it->second.Get(section, key);
}

void RootHost::Trace(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void RootHost::Pause(int ms) {
  if (ms <= 0) return;
  auto real = std::chrono::microseconds(static_cast<int64_t>(ms * 1000.0 * m_options.wait_scale));
  std::this_thread::sleep_for(real);
  m_skipped_ms += ms - std::chrono::duration_cast<std::chrono::milliseconds>(real).count();
}

int64_t RootHost::TickMs() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::milliseconds>(now).count() + m_skipped_ms;
}

std::optional<ProcessId> RootHost::Start(std::string_view command_line, bool hidden) {
  std::vector<std::string> arguments = SplitCommandLine(command_line);
  if (arguments.empty() || arguments[0].empty()) return std::nullopt;
  std::string program = arguments[0];
  bool has_separator = program.find_first_of("/\\") != std::string::npos;
  if (has_separator) program = ResolvePathNoCase(program);

  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (hidden) {
    // No console: the program neither reads from nor writes to ours.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = 0;
  int status = has_separator
                   ? posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ)
                   : posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (status != 0) return std::nullopt;
  return pid;
}

bool RootHost::WaitForExit(ProcessId process, int ms) {
  if (m_exit_status.contains(process)) return true;
  int fd = static_cast<int>(syscall(SYS_pidfd_open, process, 0));
  if (fd >= 0) {
    pollfd ready{fd, POLLIN, 0};
    poll(&ready, 1, ms);
    close(fd);
  }
  int status = 0;
  if (waitpid(process, &status, WNOHANG) == process) {
    m_exit_status[process] = status;
    return true;
  }
  if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return false;
}

std::optional<uint32_t> RootHost::ExitCode(ProcessId process) {
  if (!WaitForExit(process, 0)) return kStillActive;
  int status = m_exit_status[process];
  if (WIFEXITED(status)) return static_cast<uint32_t>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return static_cast<uint32_t>(128 + WTERMSIG(status));
  return std::nullopt;
}

void RootHost::MessageBox(std::string_view caption, std::string_view text) {
  Trace(std::string(caption) + ": " + std::string(text) + "\n");
}

void RootHost::ShowTextWindow(std::string_view caption, const std::vector<std::string>& lines) {
  std::cout << caption << "\n\n";
  for (const std::string& line : lines) std::cout << line << "\n";
  std::cout << "\n[OK]\n" << std::flush;
}

bool RootHost::AskYesNo(std::string_view caption, const std::vector<std::string>& lines) {
  std::cout << caption << "\n\n";
  for (const std::string& line : lines) std::cout << line << "\n";
  std::cout << "\n[Yes] [No] (default Yes; no answer means No): " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) {
    std::cout << "\n" << std::flush;
    return false;
  }
  while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' ')) answer.pop_back();
  return answer.empty() || EqualsNoCase(answer, "y") || EqualsNoCase(answer, "yes");
}

bool RootHost::BroadcastMessage(std::string_view message_name) {
  // No top-level windows here: nothing receives the message.
  Trace("(broadcast of the window message \"" + std::string(message_name) + "\")\n");
  return true;
}

bool RootHost::FileExists(std::string_view path) {
  std::error_code error;
  return fs::exists(ResolvePathNoCase(path), error);
}

std::vector<std::string> RootHost::ListFiles(std::string_view dir, std::string_view extension) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(ResolvePathNoCase(dir), error)) {
    std::string name = entry.path().filename().string();
    std::string ext = entry.path().extension().string();
    if (entry.is_regular_file(error) && ext.size() > 1 && EqualsNoCase(ext.substr(1), extension)) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<uint64_t> RootHost::FileSize(std::string_view path) {
  std::string resolved = ResolvePathNoCase(path);
  std::ifstream in(resolved, std::ios::binary);
  std::error_code error;
  uint64_t size = fs::file_size(resolved, error);
  if (!in || error) return std::nullopt;
  return size;
}

std::optional<std::vector<uint8_t>> RootHost::ReadFileStart(std::string_view path,
                                                            size_t max_bytes) {
  std::ifstream in(ResolvePathNoCase(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> data(max_bytes);
  in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(max_bytes));
  if (in.bad()) return std::nullopt;
  data.resize(static_cast<size_t>(in.gcount()));
  return data;
}

bool RootHost::DeleteFile(std::string_view path) {
  std::error_code error;
  return fs::remove(ResolvePathNoCase(path), error);
}

bool RootHost::ServiceManagerAvailable() { return ServiceTable::Load(ServicesPath()).has_value(); }

bool RootHost::LockServiceDatabase() {
  std::optional<ServiceTable> table = ServiceTable::Load(ServicesPath());
  return table && !table->locked();
}

void RootHost::UnlockServiceDatabase() {}

std::optional<uint32_t> RootHost::ServiceState(std::string_view service) {
  std::optional<ServiceTable> table = ServiceTable::Load(ServicesPath());
  if (!table) return std::nullopt;
  ServiceTable::Service* entry = table->Find(service);
  if (!entry) return std::nullopt;
  return entry->state;
}

bool RootHost::SetServiceStartType(std::string_view service, uint32_t start_type) {
  std::optional<ServiceTable> table = ServiceTable::Load(ServicesPath());
  if (!table) return false;
  ServiceTable::Service* entry = table->Find(service);
  if (!entry) return false;
  entry->start_type = start_type;
  return WriteFileAtomically(ServicesPath(), table->Write());
}

}  // namespace nexinst
