#pragma once

#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "link_ports.h"

namespace mivo::link {

// The command channel's TCP connection on Qt's event loop. Socket events reach the
// handler as (event, socket error number), the way CAsyncClientWnd::OnSocketEvent takes
// them. A connect still pending after connectTimeoutMs ends with error 10060.
class QtStreamTransport final : public QObject, public StreamTransport {
 public:
  using EventHandler = std::function<void(int event, int error)>;

  explicit QtStreamTransport(EventHandler handler, int connectTimeoutMs = 20000);
  ~QtStreamTransport() override;

  int Open() override;
  int Connect(std::string_view address, std::uint16_t port) override;
  int Send(std::span<const char> bytes) override;
  ReceiveResult Receive(std::span<char> out) override;
  void Close() override;

  // Local address of the connection (the PC's side); empty while closed.
  QString LocalAddress() const;

 private:
  void DeliverRead();

  EventHandler m_handler;
  int m_connectTimeoutMs;
  std::unique_ptr<QTcpSocket> m_socket;
  QTimer m_connectTimer;
  // Closed sockets wait for the event loop to delete them (a close may run inside one of
  // their own signals); whatever is left goes with this object.
  std::vector<QPointer<QTcpSocket>> m_retired;
};

}  // namespace mivo::link
