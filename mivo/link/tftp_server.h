#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "link_ports.h"
#include "socket_error_reporter.h"
#include "tftp_files.h"

namespace mivo::link {

enum class TransferKind : std::int32_t {
  Idle = 0,
  ReceiveSettings = 1,
  SendSettings = 2,
  SendFirmware = 3,
  SendFile = 4,
};

struct TftpPorts {
  DatagramTransport& transport;
  TimerPort& timers;
  UiPort& ui;
  FramePort& frame;
  SocketErrorReporter& reporter;
  TftpFilePort& files;
};

// The TFTP server (sans-I/O): one transfer at a time through one UDP port, answering only
// the accepted peer address. Runs on the GUI thread; a report opens a modal message box,
// so datagrams and ticks can re-enter while it is open.
//
// Block numbers and the total are counted wide inside; only the block number on the wire
// wraps (65535 → 0), so files of 65535 blocks and more are sent whole.
class CTftpServerWnd {
 public:
  static constexpr int kRetransmitTimer = 11;
  static constexpr int kRetransmissions = 3;
  static constexpr int kTimeoutSeconds = 3;
  static constexpr std::size_t kDatagramBuffer = 2048;

  // settingsBuffer is the application's 30720-byte settings buffer, read up to its first
  // zero byte when sending and cleared and filled when receiving. serverPort is only
  // shown in socket error reports.
  CTftpServerWnd(TftpPorts ports, std::span<char> settingsBuffer, std::string acceptedPeer,
                 std::uint16_t serverPort);
  ~CTftpServerWnd();

  // Entry points for the binding.
  void OnDatagram(std::span<const std::uint8_t> datagram, std::string_view sender,
                  std::uint16_t senderPort);
  void OnReceiveError(int error);
  void OnTimer(int id);

  // Progress, readable at any time.
  TransferKind Kind() const { return m_kind; }
  std::uint64_t CurrentBlock() const { return m_block; }
  std::uint64_t TotalBlocks() const { return m_total; }
  int RetransmissionsLeft() const { return m_retransmissionsLeft; }
  // Whether the transfer that ended last ended complete (the last ACK of a sent file, the
  // short block of a received one) rather than by a failure. Valid from the kind 0 hint on.
  bool LastTransferComplete() const { return m_lastComplete; }

 private:
  void OnReadRequest(const std::string& name);
  void OnWriteRequest();
  void OnAck(std::uint16_t number);
  void OnData(std::uint16_t number, std::span<const std::uint8_t> data);
  void StartSending(const std::string& name);
  void StartReceiving();
  bool SendBlock(bool asNewPacket);
  void SendAck(bool withTimer);
  void SendError(std::uint16_t code, const std::string& address, std::uint16_t port);
  void FailWithError(std::string_view text, std::uint16_t code);
  bool Report(std::string_view text, int socketError = 0);
  void Reset();
  void SetKind(TransferKind kind);
  void StartTimer();
  void StopTimer();
  int Send(std::span<const std::uint8_t> packet);

  TftpPorts m_ports;
  std::span<char> m_settings;
  std::string m_acceptedPeer;
  std::uint16_t m_serverPort;

  std::unique_ptr<TftpReadFile> m_file;
  std::string m_peer;
  std::uint16_t m_peerPort = 0;
  int m_sending = 1;
  std::uint64_t m_block = 0;
  std::uint64_t m_total = 0;
  TransferKind m_kind = TransferKind::Idle;
  int m_retransmissionsLeft = kRetransmissions;
  int m_timeout = kTimeoutSeconds;
  bool m_timerRunning = false;
  bool m_reporting = false;
  bool m_completing = false;
  bool m_lastComplete = false;
};

}  // namespace mivo::link
