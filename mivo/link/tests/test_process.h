#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace mivo::link::testing {

// A program started by a test, with its stdout on a pipe. The destructor ends it with
// SIGTERM (SIGKILL after 5 s) and reaps it.
class TestProcess {
 public:
  explicit TestProcess(const std::vector<std::string>& argv) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    if (posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    m_out = ::fdopen(pipeFds[0], "r");
  }
  ~TestProcess() { Stop(); }
  TestProcess(const TestProcess&) = delete;
  TestProcess& operator=(const TestProcess&) = delete;

  bool running() const { return m_pid > 0; }

  // One line of the program's stdout without its line end; empty at its end.
  std::string ReadLine() {
    std::string line;
    if (m_out == nullptr) return line;
    for (int c = std::fgetc(m_out); c != EOF && c != '\n'; c = std::fgetc(m_out)) line += char(c);
    return line;
  }

  // Ends the program; its exit status, or -1.
  int Stop() {
    if (m_pid <= 0) return -1;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 500; ++i) {
      if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (m_pid > 0) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, &status, 0);
      m_pid = -1;
    }
    if (m_out != nullptr) {
      std::fclose(m_out);
      m_out = nullptr;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t m_pid = -1;
  FILE* m_out = nullptr;
};

// Runs a shell command line; its exit status.
inline int RunShell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

inline void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// A fresh folder under the temp folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mivo-link-XXXXXX").string();
    m_path = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  const std::filesystem::path& path() const { return m_path; }
  std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
};

// Text that looks like configuration lines, n bytes long.
inline std::string TextOfSize(std::size_t n, unsigned seed = 1) {
  std::string text;
  text.reserve(n);
  unsigned value = seed;
  while (text.size() < n) {
    value = value * 1103515245u + 12345u;
    text += static_cast<char>(value % 26 == 0 ? '\n' : 'a' + (value >> 16) % 26);
  }
  return text;
}

}  // namespace mivo::link::testing
