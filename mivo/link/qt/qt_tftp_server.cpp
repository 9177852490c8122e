#include "qt_tftp_server.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <array>

#include "qt_socket_errors.h"

namespace mivo::link {
namespace {

std::string SenderText(const QHostAddress& address) {
  bool isIPv4 = false;
  const quint32 v4 = address.toIPv4Address(&isIPv4);
  return (isIPv4 ? QHostAddress(v4) : address).toString().toStdString();
}

// Qt asks the kernel for the destination address and hop limit of every datagram; the
// server reads neither, and with them on each receive builds control messages that are
// then cut off.
void DropPacketInformation(qintptr descriptor) {
  const int off = 0;
  const int fd = static_cast<int>(descriptor);
  ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &off, sizeof off);
  ::setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &off, sizeof off);
  ::setsockopt(fd, IPPROTO_IPV6, IPV6_RECVPKTINFO, &off, sizeof off);
  ::setsockopt(fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, &off, sizeof off);
}

}  // namespace

RetransmitTimerPort::RetransmitTimerPort(std::function<void(int)> onTick)
    : m_onTick(std::move(onTick)) {
  m_timer.setSingleShot(true);
  QObject::connect(&m_timer, &QTimer::timeout, [this] { OnTimeout(); });
}

void RetransmitTimerPort::StartTimer(int id, int periodMs) {
  const std::chrono::milliseconds period(periodMs);
  m_deadline = std::chrono::steady_clock::now() + period;
  m_armed = true;
  m_id = id;
  // A running QTimer fires at the latest one old period from now, before the new deadline.
  if (!m_timer.isActive() || period != m_period) m_timer.start(period);
  m_period = period;
}

void RetransmitTimerPort::StopTimer(int id) {
  if (id == m_id) m_armed = false;
}

void RetransmitTimerPort::OnTimeout() {
  if (!m_armed) return;
  const auto now = std::chrono::steady_clock::now();
  if (now < m_deadline) {
    m_timer.start(std::chrono::ceil<std::chrono::milliseconds>(m_deadline - now));
    return;
  }
  m_deadline = now + m_period;
  m_timer.start(m_period);
  m_onTick(m_id);
}

QtTftpServer::QtTftpServer(UiPort& ui, FramePort& frame, SocketErrorReporter& reporter,
                           TftpFilePort& files, std::span<char> settingsBuffer)
    : m_ui(ui),
      m_frame(frame),
      m_reporter(reporter),
      m_files(files),
      m_settings(settingsBuffer),
      m_timers([this](int id) {
        if (m_server) m_server->OnTimer(id);
      }) {}

QtTftpServer::~QtTftpServer() {
  m_socket.disconnect(this);
  m_server.reset();
  DiscardPending();
  m_socket.close();
}

int QtTftpServer::Create(const QHostAddress& bindAddress, quint16 port,
                         const std::string& acceptedPeer) {
  if (!m_socket.bind(bindAddress, port)) return ToSocketErrorNumber(m_socket.error());
  DropPacketInformation(m_socket.socketDescriptor());
  m_server = std::make_unique<CTftpServerWnd>(
      TftpPorts{*this, m_timers, m_ui, m_frame, m_reporter, m_files}, m_settings, acceptedPeer,
      m_socket.localPort());
  connect(&m_socket, &QUdpSocket::readyRead, this, &QtTftpServer::OnReadyRead);
  return 0;
}

// One datagram per notification: the socket notifies again while more are waiting, and
// not asking first saves a system call per packet.
void QtTftpServer::OnReadyRead() {
  if (!m_server) return;
  std::array<std::uint8_t, CTftpServerWnd::kDatagramBuffer> buffer;
  QHostAddress sender;
  quint16 senderPort = 0;
  const qint64 n = m_socket.readDatagram(reinterpret_cast<char*>(buffer.data()),
                                         static_cast<qint64>(buffer.size()), &sender, &senderPort);
  if (n < 0) {
    if (m_socket.error() != QAbstractSocket::TemporaryError) {
      m_server->OnReceiveError(ToSocketErrorNumber(m_socket.error()));
    }
    return;
  }
  if (sender != m_lastSender) {
    m_lastSender = sender;
    m_lastSenderText = SenderText(sender);
  }
  m_server->OnDatagram(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(n)),
                       m_lastSenderText, senderPort);
}

int QtTftpServer::SendTo(std::span<const std::uint8_t> datagram, std::string_view address,
                         std::uint16_t port) {
  if (address != m_lastTargetText) {
    m_lastTargetText = std::string(address);
    m_lastTarget =
        QHostAddress(QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size())));
  }
  const qint64 sent =
      m_socket.writeDatagram(reinterpret_cast<const char*>(datagram.data()),
                             static_cast<qint64>(datagram.size()), m_lastTarget, port);
  return sent < 0 ? ToSocketErrorNumber(m_socket.error()) : 0;
}

void QtTftpServer::DiscardPending() {
  if (m_socket.state() != QAbstractSocket::BoundState) return;
  std::array<char, 256> buffer;
  while (m_socket.hasPendingDatagrams()) {
    if (m_socket.readDatagram(buffer.data(), static_cast<qint64>(buffer.size())) < 0) break;
  }
}

}  // namespace mivo::link
