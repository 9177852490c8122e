// The Qt bindings on their own: error numbers and the TFTP server's peer filter on real
// loopback sockets.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QUdpSocket>
#include <array>
#include <chrono>
#include <memory>
#include <thread>

#include "core_application.h"
#include "event_wait.h"
#include "link_fakes.h"
#include "qt_socket_errors.h"
#include "qt_stream_transport.h"
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

// Closing the command channel lets the phone finish: sending is shut down first and what
// the phone still sends is read and discarded until it closes too, so the phone sees an
// orderly close and no reset. A phone that never closes holds the close only briefly.
TEST(QtStreamTransport, CloseShutsSendingDownAndWaitsForThePhone) {
  for (const bool phoneCloses : {true, false}) {
    SCOPED_TRACE(phoneCloses ? "phone closes" : "phone stays silent");
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);

    std::vector<int> events;
    QtStreamTransport transport(
        [&events](int event, int error) { events.push_back(event + error); });
    ASSERT_EQ(transport.Open(), 0);
    ASSERT_EQ(transport.Connect("127.0.0.1", ntohs(address.sin_port)), 10035);
    const int phone = ::accept(listener, nullptr, nullptr);
    ASSERT_GE(phone, 0);
    ASSERT_TRUE(WaitForEvents([&] { return !events.empty(); }, 2000));
    ASSERT_EQ(events, std::vector<int>{0x10});

    int phoneShutdown = -2;
    ssize_t lastRead = -2;
    std::thread peer([&] {
      char buffer[64];
      while (::recv(phone, buffer, sizeof buffer, 0) > 0) {
      }
      // The PC has shut its sending down: a reply still goes through, then the phone closes.
      const char reply[] = "CNF logout\r\n";
      ::send(phone, reply, sizeof reply - 1, MSG_NOSIGNAL);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (!phoneCloses) return;
      // After a reset the connection is gone and the phone cannot shut down its side.
      phoneShutdown = ::shutdown(phone, SHUT_WR);
      lastRead = ::recv(phone, buffer, sizeof buffer, 0);
    });
    const auto start = std::chrono::steady_clock::now();
    transport.Close();
    const auto took = std::chrono::steady_clock::now() - start;
    peer.join();
    if (phoneCloses) {
      EXPECT_EQ(phoneShutdown, 0) << "the phone got a reset instead of the PC's close";
      EXPECT_EQ(lastRead, 0);
      EXPECT_LT(took, std::chrono::milliseconds(900));
    } else {
      EXPECT_LT(took, std::chrono::milliseconds(1500));
    }
    EXPECT_EQ(events, std::vector<int>{0x10});
    ::close(phone);
    ::close(listener);
  }
}

}  // namespace
}  // namespace mivo::link
