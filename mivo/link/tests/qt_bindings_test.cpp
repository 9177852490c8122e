// The Qt bindings on their own: error numbers and the TFTP server's peer filter on real
// loopback sockets.

#include <gtest/gtest.h>

#include <QUdpSocket>
#include <array>
#include <memory>

#include "core_application.h"
#include "event_wait.h"
#include "link_fakes.h"
#include "qt_socket_errors.h"
#include "qt_tftp_server.h"
#include "tftp_packet.h"

namespace mivo::link {
namespace {

using namespace testing;  // NOLINT: the fakes

const std::unique_ptr<QCoreApplication> g_application = EnsureCoreApplication();

TEST(QtSocketErrors, TranslateToTheSocketNumbersOfTheTexts) {
  struct Case {
    QAbstractSocket::SocketError error;
    int number;
  } const cases[] = {
      {QAbstractSocket::ConnectionRefusedError, 10061},
      {QAbstractSocket::RemoteHostClosedError, 10054},
      {QAbstractSocket::SocketTimeoutError, 10060},
      {QAbstractSocket::AddressInUseError, 10048},
      {QAbstractSocket::NetworkError, 10065},
      {QAbstractSocket::SocketAddressNotAvailableError, 10049},
      {QAbstractSocket::TemporaryError, 10035},
  };
  for (const Case& c : cases) EXPECT_EQ(ToSocketErrorNumber(c.error), c.number) << c.error;
}

TEST(QtTftpServer, AnswersOnlyTheAcceptedAddressFromItsOwnPort) {
  FakeUi ui;
  FakeFrame frame;
  FakeFiles files;
  SocketErrorReporter reporter(ui);
  std::array<char, 30720> settings{};
  settings[0] = 'A';
  QtTftpServer server(ui, frame, reporter, files, settings);
  ASSERT_EQ(server.Create(QHostAddress::AnyIPv4, 0, "127.0.0.1"), 0);

  // A second server on the same port cannot be created: 10048.
  QtTftpServer second(ui, frame, reporter, files, settings);
  EXPECT_EQ(second.Create(QHostAddress::AnyIPv4, server.LocalPort(), "127.0.0.1"), 10048);

  const std::vector<std::uint8_t> request = tftp::MakeRequest(tftp::kRrq, "PhoneCNF.txt");
  struct Case {
    const char* from;
    bool answered;
  } const cases[] = {{"127.0.0.2", false}, {"127.0.0.1", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    QUdpSocket phone;
    ASSERT_TRUE(phone.bind(QHostAddress(c.from), 0));
    phone.writeDatagram(reinterpret_cast<const char*>(request.data()),
                        static_cast<qint64>(request.size()), QHostAddress::LocalHost,
                        server.LocalPort());
    const bool answered = WaitForEvents([&] { return phone.hasPendingDatagrams(); }, 500);
    EXPECT_EQ(answered, c.answered);
    if (!answered) continue;
    std::array<char, 600> reply{};
    QHostAddress from;
    quint16 port = 0;
    const qint64 n = phone.readDatagram(reply.data(), reply.size(), &from, &port);
    ASSERT_EQ(n, 5);
    EXPECT_EQ(port, server.LocalPort());
    EXPECT_EQ(reply[1], tftp::kData);
    EXPECT_EQ(reply[4], 'A');
    const std::vector<std::uint8_t> ack = tftp::MakeAck(1);
    phone.writeDatagram(reinterpret_cast<const char*>(ack.data()), 4, QHostAddress::LocalHost,
                        server.LocalPort());
    EXPECT_TRUE(WaitForEvents([&] { return frame.Kinds() == std::vector<int>{2, 0}; }, 2000));
  }
  EXPECT_TRUE(ui.shown.empty());
}

}  // namespace
}  // namespace mivo::link
