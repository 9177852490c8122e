#pragma once

// Small socket and process helpers for the tests that use real sockets. All
// addresses are on loopback.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

extern char** environ;

namespace phonesim::test {

inline sockaddr_in Loopback(uint16_t port, const char* address = "127.0.0.1") {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  inet_pton(AF_INET, address, &a.sin_addr);
  return a;
}

// A bound socket that closes itself.
class Socket {
 public:
  Socket(int type, uint16_t port = 0, const char* address = "127.0.0.1")
      : m_fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0)) {
    sockaddr_in a = Loopback(port, address);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  struct Adopt {};
  Socket(Adopt, int fd) : m_fd(fd) {}
  ~Socket() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return m_fd; }
  uint16_t Port() const {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &length);
    return ntohs(a.sin_port);
  }

 private:
  int m_fd;
};

inline bool Readable(int fd, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, timeout_ms) > 0;
}

inline uint16_t FreeUdpPort() {
  Socket probe(SOCK_DGRAM);
  return probe.Port();
}

// A child process with its stdout (and optionally stderr) on pipes.
class Child {
 public:
  explicit Child(const std::vector<std::string>& arguments, bool capture_stderr = false) {
    // stderr goes to a memory file, never a pipe, so that a long log cannot
    // block the child while the test waits for it.
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    m_stderr = ::memfd_create("child-stderr", MFD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    if (capture_stderr) posix_spawn_file_actions_adddup2(&actions, m_stderr, 2);
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    m_stdout = out[0];
  }
  ~Child() {
    Stop();
    ::close(m_stdout);
    ::close(m_stderr);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return m_pid; }

  // Reads stdout up to the first line end (or end of file / time-out).
  std::string ReadLine(int timeout_ms = 5000) {
    std::string line;
    char c;
    while (Readable(m_stdout, timeout_ms) && ::read(m_stdout, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }
  // Everything the child wrote to a stream so far (stdout: until it exited).
  std::string ReadAll(bool from_stderr) {
    std::string all;
    char buffer[4096];
    ssize_t got;
    off_t offset = 0;
    while ((got = from_stderr ? ::pread(m_stderr, buffer, sizeof buffer, offset)
                              : ::read(m_stdout, buffer, sizeof buffer)) > 0) {
      all.append(buffer, static_cast<size_t>(got));
      offset += got;
    }
    return all;
  }
  // Waits for the exit and returns the exit code (or -1).
  int Wait() {
    if (m_pid <= 0) return -1;
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // True while the child has not exited.
  bool Running() {
    if (m_pid <= 0) return false;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == 0) return true;
    m_pid = -1;
    return false;
  }
  void Stop() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGTERM);
      Wait();
    }
  }

 private:
  pid_t m_pid = -1;
  int m_stdout = -1;
  int m_stderr = -1;
};

}  // namespace phonesim::test
