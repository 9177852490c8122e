#pragma once

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>
#include <memory>
#include <span>
#include <string>

#include "qt_timers.h"
#include "tftp_server.h"

namespace mivo::link {

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
  QtTimerPort m_timers;
  std::unique_ptr<CTftpServerWnd> m_server;
  // Address conversions cached per peer: a transfer talks to one peer packet after packet.
  QHostAddress m_lastSender;
  std::string m_lastSenderText;
  std::string m_lastTargetText;
  QHostAddress m_lastTarget;
};

}  // namespace mivo::link
