#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tftp_packet.h"

namespace phonesim {

// A fault the client applies to the n-th datagram it sends during one transfer
// (n from 1: the request is 1; retransmissions count like any other datagram).
struct TftpFault {
  enum class Kind { kDrop, kDuplicate, kDelay, kForeign };
  Kind kind = Kind::kDrop;
  int packet = 1;
  int delay_ms = 0;  // kDelay only
};

// One datagram for the binding to send to the server's address.
struct TftpOutgoing {
  std::vector<uint8_t> bytes;
  uint16_t port = 0;     // the server's port
  int copies = 1;        // 0 when dropped, 2 when duplicated
  int delay_ms = 0;      // send this much later
  bool foreign = false;  // send from the other loopback address instead
};

struct TftpResult {
  bool ok = false;
  uint16_t error_code = 0;    // from an ERROR packet, or the code we sent
  std::string message;        // why it failed, for the log
  std::vector<uint8_t> data;  // what a read received
};

enum class TftpDirection { kRead, kWrite };

// Where the client's output goes. Runs on the caller's thread, inside the
// client's calls.
class TftpClientPort {
 public:
  virtual ~TftpClientPort() = default;
  virtual void SendDatagram(const TftpOutgoing& datagram) = 0;
  virtual void Log(const std::string& line) = 0;
};

// The TFTP client of RFC 1350 without sockets or clocks: the caller feeds the
// datagrams that came from the server's address and the time in milliseconds,
// and calls OnTimer at Deadline(). One transfer at a time. The first answer
// fixes the server's port for the rest of the transfer (a server may answer
// from its request port or from a new one).
class TftpClient {
 public:
  struct Settings {
    int timeout_ms = 1000;  // before a packet is sent again
    int retries = 5;        // resends of one packet before the transfer fails
    size_t max_read = 16 * 1024 * 1024;
    std::vector<TftpFault> faults;
  };

  TftpClient(TftpClientPort& port, Settings settings);

  // Both start a transfer; a running one is abandoned without a word to the server.
  void StartRead(const std::string& file_name, uint16_t server_port, int64_t now_ms,
                 size_t max_read = 0);  // 0: the settings' limit
  void StartWrite(const std::string& file_name, std::vector<uint8_t> data, uint16_t server_port,
                  int64_t now_ms);

  void OnDatagram(std::span<const uint8_t> datagram, uint16_t from_port, int64_t now_ms);
  void OnTimer(int64_t now_ms);
  void Abort();

  bool Busy() const { return m_state != State::kIdle; }
  // The time of the next resend or give-up; nothing while idle.
  std::optional<int64_t> Deadline() const;
  // The result of the transfer that ended last; each result is handed out once.
  std::optional<TftpResult> TakeResult();

 private:
  enum class State { kIdle, kReading, kWriting };

  void Begin(State state, uint16_t server_port, int64_t now_ms);
  void SendNew(std::vector<uint8_t> bytes, int64_t now_ms);
  void Emit(const std::vector<uint8_t>& bytes, uint16_t port);
  void Finish(bool ok, uint16_t code, std::string message);
  void Fail(uint16_t code, const std::string& message);  // tells the server, then ends
  void OnReadPacket(const TftpPacket& packet, int64_t now_ms);
  void OnWritePacket(const TftpPacket& packet, int64_t now_ms);
  void SendBlock(int64_t now_ms);

  TftpClientPort& m_port;
  Settings m_settings;
  State m_state = State::kIdle;
  uint16_t m_server_port = 0;
  bool m_port_fixed = false;
  std::vector<uint8_t> m_last_sent;
  int m_retries_left = 0;
  int64_t m_deadline = 0;
  int m_sent_count = 0;
  size_t m_max_read = 0;
  uint32_t m_block = 0;  // read: last block received; write: block in flight
  std::vector<uint8_t> m_data;
  std::optional<TftpResult> m_result;
};

}  // namespace phonesim
