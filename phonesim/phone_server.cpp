#include "phone_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <optional>

#include "phone_session.h"
#include "tftp_packet.h"

namespace phonesim {
namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Owns one file descriptor.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : m_fd(fd) {}
  ~Fd() { Reset(); }
  Fd(Fd&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      Reset();
      m_fd = other.m_fd;
      other.m_fd = -1;
    }
    return *this;
  }
  int get() const { return m_fd; }
  explicit operator bool() const { return m_fd >= 0; }
  void Reset() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
  }

 private:
  int m_fd = -1;
};

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

std::string AddressText(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

std::optional<sockaddr_in> MakeAddress(const std::string& text, uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (inet_pton(AF_INET, text.c_str(), &address.sin_addr) != 1) return std::nullopt;
  return address;
}

Fd BoundSocket(int type, const sockaddr_in& address, std::string& error) {
  Fd fd(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
  if (!fd) {
    error = Errno("socket");
    return fd;
  }
  int on = 1;
  ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    error = Errno("cannot bind " + AddressText(address));
    fd.Reset();
  }
  return fd;
}

}  // namespace

bool IsLoopbackAddress(const std::string& address) {
  auto parsed = MakeAddress(address, 0);
  return parsed && (ntohl(parsed->sin_addr.s_addr) >> 24) == 127;
}

class PhoneServer::Impl : public PhoneSessionPort, public TftpClientPort {
 public:
  Impl(ServerConfig config, SettingsStore& settings, std::function<void()> settings_changed,
       std::ostream& log)
      : m_config(std::move(config)),
        m_settings(settings),
        m_settings_changed(std::move(settings_changed)),
        m_log(log),
        m_tftp(*this, m_config.tftp) {}

  std::string Open();
  uint16_t ListenPort() const;
  int Run();
  void Stop() {
    const char byte = 1;
    [[maybe_unused]] ssize_t written = ::write(m_stop_pipe[1].get(), &byte, 1);
  }

  // PhoneSessionPort
  void Write(const std::string& bytes, int delay_ms) override {
    // Written at once when nothing waits, so that a reply goes out before a
    // TFTP request that the same request starts.
    if (delay_ms == 0 && m_writes.empty() && m_client) {
      m_writes.push_back({NowMs(), bytes});
      FlushDue(NowMs());
      return;
    }
    const int64_t due = std::max(NowMs(), m_last_write_due) + delay_ms;
    m_last_write_due = due;
    m_writes.push_back({due, bytes});
  }
  void StartTransfer(const TransferRequest& request) override;
  void CloseConnection() override { m_close_pending = true; }
  void SettingsChanged() override {
    if (m_settings_changed) m_settings_changed();
  }
  void Log(const std::string& line) override {
    if (m_config.verbose) m_log << "phonesim: " << line << std::endl;
  }

  // TftpClientPort
  void SendDatagram(const TftpOutgoing& datagram) override;

 private:
  struct PendingWrite {
    int64_t due;
    std::string bytes;
  };
  struct PendingDatagram {
    int64_t due;
    TftpOutgoing datagram;
  };

  void Accept();
  void ReadClient();
  void ReadDatagram(int fd, bool foreign);
  void FlushDue(int64_t now);
  void SendNow(const TftpOutgoing& datagram);
  void CloseClient(const std::string& why);
  void DeliverTransferResult();
  int PollTimeout(int64_t now) const;

  ServerConfig m_config;
  SettingsStore& m_settings;
  std::function<void()> m_settings_changed;
  std::ostream& m_log;
  TftpClient m_tftp;

  Fd m_stop_pipe[2];
  Fd m_listen;
  Fd m_udp;
  Fd m_foreign_udp;
  Fd m_client;
  sockaddr_in m_peer{};
  std::unique_ptr<PhoneSession> m_session;
  std::deque<PendingWrite> m_writes;
  int64_t m_last_write_due = 0;
  std::deque<PendingDatagram> m_datagrams;
  bool m_close_pending = false;
  std::string m_close_reason = "closed by the phone";
};

std::string PhoneServer::Impl::Open() {
  if (!m_config.allow_remote && !IsLoopbackAddress(m_config.listen_address)) {
    return "refusing to listen on " + m_config.listen_address +
           ", which is not a loopback address (give --allow-remote to allow it)";
  }
  if (!m_config.allow_remote && !IsLoopbackAddress(m_config.foreign_address)) {
    return "refusing to send from " + m_config.foreign_address +
           ", which is not a loopback address (give --allow-remote to allow it)";
  }
  auto address = MakeAddress(m_config.listen_address, m_config.listen_port);
  if (!address) return "not an IPv4 address: " + m_config.listen_address;
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC | O_NONBLOCK) != 0) return Errno("pipe");
  m_stop_pipe[0] = Fd(pipe_fds[0]);
  m_stop_pipe[1] = Fd(pipe_fds[1]);

  std::string error;
  m_listen = BoundSocket(SOCK_STREAM, *address, error);
  if (!m_listen) return error;
  if (::listen(m_listen.get(), 4) != 0) return Errno("listen");
  address->sin_port = 0;
  m_udp = BoundSocket(SOCK_DGRAM, *address, error);
  if (!m_udp) return error;
  return {};
}

uint16_t PhoneServer::Impl::ListenPort() const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(m_listen.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

int PhoneServer::Impl::PollTimeout(int64_t now) const {
  std::optional<int64_t> next = m_tftp.Deadline();
  auto earlier = [&next](int64_t due) { next = next ? std::min(*next, due) : due; };
  if (!m_writes.empty()) earlier(m_writes.front().due);
  for (const auto& pending : m_datagrams) earlier(pending.due);
  if (!next) return -1;
  return static_cast<int>(std::clamp<int64_t>(*next - now, 0, 60000));
}

int PhoneServer::Impl::Run() {
  while (true) {
    int64_t now = NowMs();
    FlushDue(now);
    if (m_client && m_close_pending && m_writes.empty()) CloseClient(m_close_reason);
    if (auto deadline = m_tftp.Deadline(); deadline && *deadline <= now) {
      m_tftp.OnTimer(now);
      DeliverTransferResult();
      continue;
    }

    pollfd fds[5] = {};
    nfds_t count = 0;
    fds[count++] = {m_stop_pipe[0].get(), POLLIN, 0};
    fds[count++] = {m_udp.get(), POLLIN, 0};
    fds[count++] = {m_client ? m_client.get() : m_listen.get(), POLLIN, 0};
    if (m_foreign_udp) fds[count++] = {m_foreign_udp.get(), POLLIN, 0};
    if (::poll(fds, count, PollTimeout(now)) < 0) {
      if (errno == EINTR) continue;
      m_log << "phonesim: " << Errno("poll") << std::endl;
      return 1;
    }
    if (fds[0].revents != 0) return 0;
    if (fds[1].revents != 0) ReadDatagram(m_udp.get(), false);
    if (fds[2].revents != 0) {
      if (m_client) {
        ReadClient();
      } else {
        Accept();
      }
    }
    if (count > 3 && fds[3].revents != 0) ReadDatagram(m_foreign_udp.get(), true);
  }
}

void PhoneServer::Impl::Accept() {
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  Fd client(::accept4(m_listen.get(), reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC));
  if (!client) return;
  if (!m_config.allow_remote && (ntohl(peer.sin_addr.s_addr) >> 24) != 127) {
    Log("connection from " + AddressText(peer) + " refused: not loopback");
    return;
  }
  int on = 1;
  ::setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  m_client = std::move(client);
  m_peer = peer;
  m_close_pending = false;
  m_last_write_due = 0;
  m_session = std::make_unique<PhoneSession>(*this, m_settings, m_config.behaviour);
  Log("connection from " + AddressText(peer));
}

void PhoneServer::Impl::CloseClient(const std::string& why) {
  Log("connection " + why);
  m_tftp.Abort();
  (void)m_tftp.TakeResult();
  m_client.Reset();
  m_session.reset();
  m_writes.clear();
  m_datagrams.clear();
  m_close_pending = false;
  m_close_reason = "closed by the phone";
}

void PhoneServer::Impl::ReadClient() {
  char buffer[512];
  const ssize_t got = ::recv(m_client.get(), buffer, sizeof buffer, 0);
  if (got <= 0) {
    CloseClient(got == 0 ? "closed by the utility" : "failed: " + Errno("recv"));
    return;
  }
  if (m_close_pending) return;
  m_session->OnBytes(std::string_view(buffer, static_cast<size_t>(got)));
}

void PhoneServer::Impl::FlushDue(int64_t now) {
  while (m_client && !m_writes.empty() && m_writes.front().due <= now) {
    const std::string& bytes = m_writes.front().bytes;
    if (::send(m_client.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(bytes.size())) {
      // Closed by the loop, never from inside a session call.
      m_close_reason = "failed: " + Errno("send");
      m_writes.clear();
      m_close_pending = true;
      return;
    }
    m_writes.pop_front();
  }
  while (!m_datagrams.empty()) {
    auto due = std::find_if(m_datagrams.begin(), m_datagrams.end(),
                            [now](const PendingDatagram& d) { return d.due <= now; });
    if (due == m_datagrams.end()) break;
    TftpOutgoing datagram = std::move(due->datagram);
    m_datagrams.erase(due);
    SendNow(datagram);
  }
}

void PhoneServer::Impl::StartTransfer(const TransferRequest& request) {
  char address[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &m_peer.sin_addr, address, sizeof address);
  Log(std::string("TFTP ") + (request.direction == TftpDirection::kRead ? "read" : "write") +
      " of \"" + request.file_name + "\" with " + address + ":" +
      std::to_string(m_config.tftp_port));
  if (request.direction == TftpDirection::kRead) {
    m_tftp.StartRead(request.file_name, m_config.tftp_port, NowMs(), request.max_read);
  } else {
    m_tftp.StartWrite(request.file_name, request.data, m_config.tftp_port, NowMs());
  }
}

void PhoneServer::Impl::SendDatagram(const TftpOutgoing& datagram) {
  if (datagram.copies == 0) {
    Log("tftp dropped as scripted: " + DescribeTftpPacket(datagram.bytes));
    return;
  }
  if (datagram.delay_ms > 0) {
    Log("tftp delayed " + std::to_string(datagram.delay_ms) +
        " ms as scripted: " + DescribeTftpPacket(datagram.bytes));
    TftpOutgoing later = datagram;
    later.delay_ms = 0;
    m_datagrams.push_back({NowMs() + datagram.delay_ms, std::move(later)});
    return;
  }
  SendNow(datagram);
}

void PhoneServer::Impl::SendNow(const TftpOutgoing& datagram) {
  sockaddr_in to = m_peer;
  to.sin_port = htons(datagram.port);
  int fd = m_udp.get();
  if (datagram.foreign) {
    if (!m_foreign_udp) {
      std::string error;
      m_foreign_udp = BoundSocket(SOCK_DGRAM, *MakeAddress(m_config.foreign_address, 0), error);
      if (!m_foreign_udp) {
        Log("tftp cannot send from " + m_config.foreign_address + ": " + error);
        return;
      }
    }
    fd = m_foreign_udp.get();
  }
  for (int copy = 0; copy < datagram.copies; ++copy) {
    if (m_config.verbose) {  // describing a packet costs a copy of it
      Log(std::string("tftp -> ") + AddressText(to) +
          (datagram.foreign ? " (from the other address)" : "") + " " +
          DescribeTftpPacket(datagram.bytes));
    }
    ::sendto(fd, datagram.bytes.data(), datagram.bytes.size(), 0,
             reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }
}

void PhoneServer::Impl::ReadDatagram(int fd, bool foreign) {
  uint8_t buffer[2048];
  sockaddr_in from{};
  socklen_t length = sizeof from;
  const ssize_t got =
      ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
  if (got < 0) return;
  std::span<const uint8_t> bytes(buffer, static_cast<size_t>(got));
  if (m_config.verbose) Log("tftp <- " + AddressText(from) + " " + DescribeTftpPacket(bytes));
  if (foreign || !m_client || from.sin_addr.s_addr != m_peer.sin_addr.s_addr) {
    Log("tftp datagram not from the utility's address, dropped");
    return;
  }
  m_tftp.OnDatagram(bytes, ntohs(from.sin_port), NowMs());
  DeliverTransferResult();
}

void PhoneServer::Impl::DeliverTransferResult() {
  auto result = m_tftp.TakeResult();
  if (result && m_session) m_session->OnTransferDone(*result);
}

PhoneServer::PhoneServer(ServerConfig config, SettingsStore& settings,
                         std::function<void()> settings_changed, std::ostream& log)
    : m_impl(
          std::make_unique<Impl>(std::move(config), settings, std::move(settings_changed), log)) {}
PhoneServer::~PhoneServer() = default;
std::string PhoneServer::Open() { return m_impl->Open(); }
uint16_t PhoneServer::ListenPort() const { return m_impl->ListenPort(); }
int PhoneServer::Run() { return m_impl->Run(); }
void PhoneServer::Stop() { m_impl->Stop(); }

}  // namespace phonesim
