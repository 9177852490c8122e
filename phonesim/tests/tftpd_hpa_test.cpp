// The TFTP client against a real server: tftpd-hpa on a loopback port in a
// temporary folder, in both directions.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "socket_helpers.h"
#include "tftp_client.h"

namespace phonesim {
namespace {

namespace fs = std::filesystem;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Runs one TftpClient over a real UDP socket until its transfer ends.
class UdpDriver : public TftpClientPort {
 public:
  explicit UdpDriver(TftpClient::Settings settings) : m_client(*this, std::move(settings)) {}

  TftpResult Read(const std::string& name, uint16_t port) {
    m_client.StartRead(name, port, NowMs());
    return Run();
  }
  TftpResult Write(const std::string& name, const std::string& data, uint16_t port) {
    m_client.StartWrite(name, std::vector<uint8_t>(data.begin(), data.end()), port, NowMs());
    return Run();
  }

  void SendDatagram(const TftpOutgoing& datagram) override {
    sockaddr_in to = test::Loopback(datagram.port);
    for (int copy = 0; copy < datagram.copies; ++copy) {
      ::sendto(m_socket.fd(), datagram.bytes.data(), datagram.bytes.size(), 0,
               reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
  }
  void Log(const std::string&) override {}

 private:
  TftpResult Run() {
    while (m_client.Busy()) {
      const int wait = static_cast<int>(std::max<int64_t>(0, *m_client.Deadline() - NowMs()));
      if (test::Readable(m_socket.fd(), wait)) {
        uint8_t buffer[2048];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        ssize_t got = ::recvfrom(m_socket.fd(), buffer, sizeof buffer, 0,
                                 reinterpret_cast<sockaddr*>(&from), &length);
        if (got >= 0) {
          m_client.OnDatagram(std::span<const uint8_t>(buffer, static_cast<size_t>(got)),
                              ntohs(from.sin_port), NowMs());
        }
      } else {
        m_client.OnTimer(NowMs());
      }
    }
    return *m_client.TakeResult();
  }

  test::Socket m_socket{SOCK_DGRAM};
  TftpClient m_client;
};

class TftpdHpaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists("/usr/sbin/in.tftpd")) GTEST_SKIP() << "tftpd-hpa is not installed";
    if (::geteuid() != 0) GTEST_SKIP() << "tftpd-hpa needs root for its chroot folder";
    m_folder = fs::temp_directory_path() /
               ("phonesim-tftpd-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(m_folder);
    // Another test may take the free port before the server binds it; the
    // server then exits at once and we try another port.
    for (int attempt = 0; attempt < 5; ++attempt) {
      m_port = test::FreeUdpPort();
      m_server = std::make_unique<test::Child>(
          std::vector<std::string>{"/usr/sbin/in.tftpd", "-L", "-u", "root", "-c", "-s",
                                   m_folder.string(), "-a", "127.0.0.1:" + std::to_string(m_port)});
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (m_server->Running()) return;
    }
    FAIL() << "tftpd-hpa did not start";
  }
  void TearDown() override {
    m_server.reset();
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
  }

  static TftpClient::Settings Fast() {
    TftpClient::Settings settings;
    settings.timeout_ms = 200;
    settings.retries = 10;  // also covers the server's start-up
    return settings;
  }
  static std::string Text(size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) text += static_cast<char>('A' + i % 26);
    return text;
  }
  std::string FileText(const std::string& name) {
    std::ifstream in(m_folder / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path m_folder;
  uint16_t m_port = 0;
  std::unique_ptr<test::Child> m_server;
};

TEST_F(TftpdHpaTest, ReadsFilesOfSeveralSizes) {
  for (size_t size : {0u, 700u, 1024u, 30720u}) {
    SCOPED_TRACE(size);
    const std::string name = "file" + std::to_string(size) + ".bin";
    std::ofstream(m_folder / name, std::ios::binary) << Text(size);
    UdpDriver driver(Fast());
    TftpResult result = driver.Read(name, m_port);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(std::string(result.data.begin(), result.data.end()), Text(size));
  }
}

TEST_F(TftpdHpaTest, WritesFilesOfSeveralSizes) {
  for (size_t size : {0u, 512u, 1500u, 30721u}) {
    SCOPED_TRACE(size);
    const std::string name = "PhoneCNF" + std::to_string(size) + ".txt";
    UdpDriver driver(Fast());
    TftpResult result = driver.Write(name, Text(size), m_port);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(FileText(name), Text(size));
  }
}

TEST_F(TftpdHpaTest, ReportsTheServersErrorForAMissingFile) {
  UdpDriver driver(Fast());
  TftpResult result = driver.Read("missing.txt", m_port);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error_code, 1);
}

// Lost and doubled packets of ours are made good by the resends of either side.
TEST_F(TftpdHpaTest, CompletesDespiteDroppedAndDuplicatedPackets) {
  std::ofstream(m_folder / "tone.wav", std::ios::binary) << Text(2000);
  TftpClient::Settings settings = Fast();
  settings.faults = {{TftpFault::Kind::kDrop, 2, 0}, {TftpFault::Kind::kDuplicate, 4, 0}};
  UdpDriver reader(settings);
  TftpResult read = reader.Read("tone.wav", m_port);
  ASSERT_TRUE(read.ok) << read.message;
  EXPECT_EQ(std::string(read.data.begin(), read.data.end()), Text(2000));

  UdpDriver writer(settings);
  TftpResult written = writer.Write("up.txt", Text(2000), m_port);
  ASSERT_TRUE(written.ok) << written.message;
  EXPECT_EQ(FileText("up.txt"), Text(2000));
}

}  // namespace
}  // namespace phonesim
