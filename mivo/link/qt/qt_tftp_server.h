#pragma once

#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>
#include <chrono>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "tftp_server.h"

namespace mivo::link {

// The retransmission timer of the TFTP server, re-armed for every block. Restarting a
// QTimer registers a new timer with the event dispatcher each time; this one keeps its
// QTimer running and only moves the deadline, so re-arming costs a clock read. When the
// QTimer fires before the deadline it waits out the rest; ticks repeat every period
// until stopped, as QtTimerPort's do. One timer id at a time.
class RetransmitTimerPort final : public TimerPort {
 public:
  explicit RetransmitTimerPort(std::function<void(int)> onTick);
  void StartTimer(int id, int periodMs) override;
  void StopTimer(int id) override;

 private:
  void OnTimeout();

  std::function<void(int)> m_onTick;
  QTimer m_timer;  // single shot
  int m_id = 0;
  bool m_armed = false;
  std::chrono::milliseconds m_period{0};
  std::chrono::steady_clock::time_point m_deadline;
};

// The TFTP server on a Qt UDP socket: one port for every transfer, datagrams and the
// retransmission timer delivered to CTftpServerWnd on the thread's event loop.
class QtTftpServer final : public QObject, public DatagramTransport {
 public:
  QtTftpServer(UiPort& ui, FramePort& frame, SocketErrorReporter& reporter, TftpFilePort& files,
               std::span<char> settingsBuffer);
  ~QtTftpServer() override;

  // Binds the port (0: any free one) and starts serving the accepted peer address.
  // Returns 0, or the socket error number; then the server does not run and the caller
  // reports "Create TFTP server error" with it.
  int Create(const QHostAddress& bindAddress, quint16 port, const std::string& acceptedPeer);

  quint16 LocalPort() const { return m_socket.localPort(); }
  // nullptr until Create succeeded.
  const CTftpServerWnd* Server() const { return m_server.get(); }

  int SendTo(std::span<const std::uint8_t> datagram, std::string_view address,
             std::uint16_t port) override;
  void DiscardPending() override;

 private:
  void OnReadyRead();

  UiPort& m_ui;
  FramePort& m_frame;
  SocketErrorReporter& m_reporter;
  TftpFilePort& m_files;
  std::span<char> m_settings;
  QUdpSocket m_socket;
  RetransmitTimerPort m_timers;
  std::unique_ptr<CTftpServerWnd> m_server;
  // Address conversions cached per peer: a transfer talks to one peer packet after packet.
  QHostAddress m_lastSender;
  std::string m_lastSenderText;
  std::string m_lastTargetText;
  QHostAddress m_lastTarget;
};

}  // namespace mivo::link
