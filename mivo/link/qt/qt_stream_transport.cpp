#include "qt_stream_transport.h"

#include <sys/socket.h>

#include <QDeadlineTimer>
#include <QHostAddress>
#include <algorithm>

#include "command_channel.h"
#include "error_texts.h"
#include "qt_socket_errors.h"

namespace mivo::link {
namespace {

constexpr int kCloseWaitMs = 1000;

int RemainingMs(const QDeadlineTimer& deadline) {
  return static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1));
}

}  // namespace

QtStreamTransport::QtStreamTransport(EventHandler handler, int connectTimeoutMs)
    : m_handler(std::move(handler)), m_connectTimeoutMs(connectTimeoutMs) {
  m_connectTimer.setSingleShot(true);
  connect(&m_connectTimer, &QTimer::timeout, this, [this] {
    if (m_socket && m_socket->state() != QAbstractSocket::ConnectedState) {
      m_handler(kEventConnect, wsa::kTimedOut);
    }
  });
}

QtStreamTransport::~QtStreamTransport() {
  Close();
  for (const QPointer<QTcpSocket>& socket : m_retired) delete socket.data();
}

int QtStreamTransport::Open() {
  Close();
  m_socket = std::make_unique<QTcpSocket>();
  QTcpSocket* socket = m_socket.get();
  connect(socket, &QTcpSocket::connected, this, [this] {
    m_connectTimer.stop();
    m_handler(kEventConnect, 0);
  });
  connect(socket, &QTcpSocket::readyRead, this, &QtStreamTransport::DeliverRead);
  connect(socket, &QTcpSocket::disconnected, this, [this] { m_handler(kEventClose, 0); });
  connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
    // A peer's orderly close also arrives as disconnected(), the close event.
    if (error == QAbstractSocket::RemoteHostClosedError) return;
    m_connectTimer.stop();
    m_handler(kEventClose, ToSocketErrorNumber(error));
  });
  return 0;
}

void QtStreamTransport::DeliverRead() {
  m_handler(kEventRead, 0);
  // Unlike a socket notification, readyRead() comes only for new data: ask again while
  // bytes are left in Qt's buffer.
  if (m_socket && m_socket->bytesAvailable() > 0) {
    QMetaObject::invokeMethod(this, &QtStreamTransport::DeliverRead, Qt::QueuedConnection);
  }
}

int QtStreamTransport::Connect(std::string_view address, std::uint16_t port) {
  const QHostAddress host(
      QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size())));
  if (host.isNull()) return wsa::kInvalid;
  m_socket->connectToHost(host, port);
  m_connectTimer.start(m_connectTimeoutMs);
  return wsa::kWouldBlock;
}

int QtStreamTransport::Send(std::span<const char> bytes) {
  if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState) {
    return wsa::kNotConnected;
  }
  const qint64 written = m_socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
  if (written != static_cast<qint64>(bytes.size())) return ToSocketErrorNumber(m_socket->error());
  m_socket->flush();
  return 0;
}

ReceiveResult QtStreamTransport::Receive(std::span<char> out) {
  if (!m_socket) return {0, wsa::kNotConnected};
  if (m_socket->bytesAvailable() == 0) {
    return m_socket->state() == QAbstractSocket::ConnectedState ? ReceiveResult{0, wsa::kWouldBlock}
                                                                : ReceiveResult{0, 0};
  }
  const qint64 n = m_socket->read(out.data(), static_cast<qint64>(out.size()));
  if (n < 0) return {0, ToSocketErrorNumber(m_socket->error())};
  return {static_cast<std::size_t>(n), 0};
}

void QtStreamTransport::Close() {
  m_connectTimer.stop();
  if (!m_socket) return;
  std::unique_ptr<QTcpSocket> socket = std::move(m_socket);
  socket->disconnect(this);
  if (socket->state() == QAbstractSocket::ConnectedState) {
    // Orderly close: pending bytes go out, sending is shut down, and what still arrives is
    // read and discarded until the peer has closed too; only then is the socket closed, so
    // a reply still on its way is not answered with a reset. Bounded, so a silent peer
    // cannot hold the thread.
    const QDeadlineTimer deadline(kCloseWaitMs);
    while (socket->bytesToWrite() > 0 && !deadline.hasExpired() &&
           socket->waitForBytesWritten(RemainingMs(deadline))) {
    }
    ::shutdown(static_cast<int>(socket->socketDescriptor()), SHUT_WR);
    do {
      socket->readAll();
    } while (socket->state() == QAbstractSocket::ConnectedState && !deadline.hasExpired() &&
             socket->waitForReadyRead(RemainingMs(deadline)));
    if (socket->socketDescriptor() != -1) {
      ::shutdown(static_cast<int>(socket->socketDescriptor()), SHUT_RDWR);
    }
  }
  socket->abort();
  std::erase_if(m_retired, [](const QPointer<QTcpSocket>& old) { return old.isNull(); });
  m_retired.emplace_back(socket.get());
  socket.release()->deleteLater();
}

QString QtStreamTransport::LocalAddress() const {
  if (!m_socket) return {};
  return m_socket->localAddress().toString();
}

}  // namespace mivo::link
