#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "phone_behaviour.h"
#include "settings_store.h"
#include "tftp_client.h"

namespace phonesim {

struct ServerConfig {
  std::string listen_address = "127.0.0.1";
  uint16_t listen_port = 5001;  // 0: any free port, see ListenPort()
  uint16_t tftp_port = 69;      // the utility's TFTP port
  std::string foreign_address = "127.0.0.2";
  bool allow_remote = false;  // allow addresses outside 127.0.0.0/8
  bool verbose = false;       // log requests, replies and TFTP packets
  TftpClient::Settings tftp;
  PhoneBehaviour behaviour;
};

// True for an IPv4 address text in 127.0.0.0/8.
bool IsLoopbackAddress(const std::string& address);

// The phone on real sockets: a TCP server for the command channel, one client
// at a time, and a TFTP client that talks to the utility's TFTP port at the
// address the utility connected from. Runs one poll() loop on the calling
// thread; only Stop() may be called from elsewhere (it is also safe in a
// signal handler).
class PhoneServer {
 public:
  PhoneServer(ServerConfig config, SettingsStore& settings, std::function<void()> settings_changed,
              std::ostream& log);
  ~PhoneServer();
  PhoneServer(const PhoneServer&) = delete;
  PhoneServer& operator=(const PhoneServer&) = delete;

  // Binds the listening socket and the TFTP socket. Returns an error text for
  // the user, empty on success. Addresses outside loopback are refused unless
  // allow_remote is set.
  std::string Open();
  uint16_t ListenPort() const;
  // Serves until Stop(). Returns 0, or 1 when a socket fails so that serving
  // cannot go on (the error is logged).
  int Run();
  void Stop();

 private:
  class Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace phonesim
