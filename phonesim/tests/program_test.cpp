// The phonesim program on real sockets, driven by a scripted utility: a TCP
// client for the command channel and a small TFTP server that answers from its
// own port, as the utility's does. Everything stays on loopback.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <thread>

#include "socket_helpers.h"
#include "tftp_packet.h"

namespace phonesim {
namespace {

namespace fs = std::filesystem;
using test::Child;
using test::Readable;
using test::Socket;

// The utility's TFTP server, reduced to what the phone needs: files served by
// name, writes kept by name, requests only from 127.0.0.1 (others are noted and
// dropped).
class UtilityTftpServer {
 public:
  UtilityTftpServer() : m_thread([this] { Loop(); }) {}
  ~UtilityTftpServer() {
    m_stop = true;
    m_thread.join();
  }
  uint16_t Port() const { return m_socket.Port(); }
  void Serve(const std::string& name, const std::string& text) {
    std::lock_guard lock(m_mutex);
    m_files[name] = text;
  }
  std::string Received(const std::string& name) {
    std::lock_guard lock(m_mutex);
    return m_received[name];
  }
  std::vector<std::string> Requests() {
    std::lock_guard lock(m_mutex);
    return m_requests;
  }

 private:
  void Send(const std::vector<uint8_t>& bytes) {
    ::sendto(m_socket.fd(), bytes.data(), bytes.size(), 0,
             reinterpret_cast<const sockaddr*>(&m_peer), sizeof m_peer);
  }
  void SendBlock() {
    const size_t from = (m_block - 1) * 512;
    const size_t length =
        std::min<size_t>(512, m_sending.size() - std::min(from, m_sending.size()));
    std::vector<uint8_t> data(
        m_sending.begin() + static_cast<std::ptrdiff_t>(std::min(from, m_sending.size())),
        m_sending.begin() + static_cast<std::ptrdiff_t>(std::min(from, m_sending.size()) + length));
    Send(EncodeData(static_cast<uint16_t>(m_block), data));
  }
  void Loop() {
    while (!m_stop) {
      if (!Readable(m_socket.fd(), 50)) continue;
      uint8_t buffer[2048];
      sockaddr_in from{};
      socklen_t length = sizeof from;
      ssize_t got = ::recvfrom(m_socket.fd(), buffer, sizeof buffer, 0,
                               reinterpret_cast<sockaddr*>(&from), &length);
      if (got < 0) continue;
      auto packet = DecodeTftpPacket(std::span<const uint8_t>(buffer, static_cast<size_t>(got)));
      char address[INET_ADDRSTRLEN] = {};
      inet_ntop(AF_INET, &from.sin_addr, address, sizeof address);
      std::lock_guard lock(m_mutex);
      if (packet && (packet->opcode == TftpOpcode::kRrq || packet->opcode == TftpOpcode::kWrq)) {
        m_requests.push_back(std::string(address) + " " + packet->file_name);
      }
      if (std::string(address) != "127.0.0.1" || !packet) continue;
      m_peer = from;
      switch (packet->opcode) {
        case TftpOpcode::kRrq:
          if (!m_files.count(packet->file_name)) {
            Send(EncodeError(1, "File Not Found !"));
            break;
          }
          m_sending = m_files[packet->file_name];
          m_block = 1;
          SendBlock();
          break;
        case TftpOpcode::kAck:
          if (packet->block == m_block && m_block * 512 <= m_sending.size()) {
            ++m_block;
            SendBlock();
          }
          break;
        case TftpOpcode::kWrq:
          m_writing = packet->file_name;
          m_received[m_writing].clear();
          m_block = 0;
          Send(EncodeAck(0));
          break;
        case TftpOpcode::kData:
          if (packet->block == m_block + 1) {
            m_received[m_writing].append(packet->data.begin(), packet->data.end());
            ++m_block;
          }
          Send(EncodeAck(static_cast<uint16_t>(m_block)));
          break;
        default:
          break;
      }
    }
  }

  Socket m_socket{SOCK_DGRAM};
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::map<std::string, std::string> m_files;
  std::map<std::string, std::string> m_received;
  std::vector<std::string> m_requests;
  sockaddr_in m_peer{};
  std::string m_sending;
  std::string m_writing;
  size_t m_block = 0;
  std::thread m_thread;
};

// The utility's end of the command channel.
class CommandClient {
 public:
  explicit CommandClient(uint16_t port) {
    sockaddr_in to = test::Loopback(port);
    m_connected = ::connect(m_socket.fd(), reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  }
  bool Connected() const { return m_connected; }
  void Send(const std::string& bytes) {
    ::send(m_socket.fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
  }
  // Reads until `lines` line ends have arrived in all, the peer closed, or the time is up.
  std::string Read(size_t lines, int timeout_ms = 5000) {
    auto ends = [this] {
      size_t n = 0;
      for (char c : m_received) n += c == '\n';
      return n;
    };
    while (ends() < lines && Readable(m_socket.fd(), timeout_ms)) {
      char buffer[512];
      ssize_t got = ::recv(m_socket.fd(), buffer, sizeof buffer, 0);
      if (got <= 0) {
        m_closed = true;
        break;
      }
      m_received.append(buffer, static_cast<size_t>(got));
    }
    std::string text = std::move(m_received);
    m_received.clear();
    return text;
  }
  // What one receive call returns (empty after the time-out or a close).
  std::string ReadOnce(int timeout_ms = 5000) {
    if (!Readable(m_socket.fd(), timeout_ms)) return {};
    char buffer[512];
    ssize_t got = ::recv(m_socket.fd(), buffer, sizeof buffer, 0);
    if (got <= 0) m_closed = true;
    return got <= 0 ? std::string() : std::string(buffer, static_cast<size_t>(got));
  }
  bool Closed() {
    Read(1, 2000);
    return m_closed;
  }

 private:
  Socket m_socket{SOCK_STREAM};
  bool m_connected = false;
  bool m_closed = false;
  std::string m_received;
};

class ProgramTest : public ::testing::Test {
 protected:
  // Starts phonesim on a free port, talking to our TFTP server.
  void Start(std::vector<std::string> extra = {}) {
    std::vector<std::string> arguments = {
        PHONESIM_PROGRAM, "--listen", "127.0.0.1:0", "--tftp-port", std::to_string(m_tftp.Port()),
        "--tftp-timeout", "200",      "-v"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    m_phone = std::make_unique<Child>(arguments, true);
    const std::string port = m_phone->ReadLine();
    ASSERT_FALSE(port.empty());
    ASSERT_EQ(port.find_first_not_of("0123456789"), std::string::npos) << port;
    m_port = static_cast<uint16_t>(std::stoi(port));
  }
  // Stops phonesim; returns its log and checks that stdout held only the port.
  std::string Stop() {
    ::kill(m_phone->pid(), SIGTERM);
    EXPECT_EQ(m_phone->Wait(), 0);
    EXPECT_EQ(m_phone->ReadAll(false), "");
    std::string log = m_phone->ReadAll(true);
    if (std::getenv("PHONESIM_TRANSCRIPT")) std::cout << log;
    return log;
  }

  UtilityTftpServer m_tftp;
  std::unique_ptr<Child> m_phone;
  uint16_t m_port = 0;
};

TEST_F(ProgramTest, LogsInImportsAndExports) {
  Start();
  CommandClient utility(m_port);
  ASSERT_TRUE(utility.Connected());
  utility.Send("REQ mode\r\n");
  EXPECT_EQ(utility.Read(1), "CNF mode 1\r\n");
  utility.Send("REQ login admin qopwix\r\n\r\n");
  EXPECT_EQ(utility.Read(1), "CNF login 0\r\n");
  utility.Send("REQ settimeout 5\r\n");
  EXPECT_EQ(utility.Read(1), "CNF settimeout\r\n");
  utility.Send("REQ getmac\r\nREQ getfirmwareinfo\r\n");
  EXPECT_EQ(
      utility.Read(2),
      "CNF getmac 02:00:00:00:58:37\r\nCNF getfirmwareinfo FW:P006.1.20 BSP:B1.4 BOOT:R2.1\r\n");

  utility.Send("REQ import\r\n");
  const std::string import = utility.Read(2);
  const std::string imported = m_tftp.Received("PhoneCNF.txt");
  EXPECT_EQ(import, "IND import size " + std::to_string(imported.size()) + "\r\nCNF import 0\r\n");
  EXPECT_EQ(imported.rfind("Prof1_Name=Profile1\r\n", 0), 0u);
  EXPECT_NE(imported.find("\r\nCurUserProfile=Normal\r\nCurNetworkProfile=Profile1 (velto)\r\n"),
            std::string::npos);

  m_tftp.Serve("Desk.txt", "Prof1_Name=Desk\r\nBogus=1\r\nVDPTTL=7\r\n");
  utility.Send("REQ upload C:\\Velto\\Desk.txt\r\n");
  EXPECT_EQ(utility.Read(2), "IND upload unknown Bogus=1\r\nCNF upload 1\r\n");

  utility.Send("REQ import\r\n");
  utility.Read(2);
  const std::string again = m_tftp.Received("PhoneCNF.txt");
  EXPECT_EQ(again.rfind("Prof1_Name=Desk\r\n", 0), 0u);
  EXPECT_NE(again.find("\r\nVDPTTL=7\r\n"), std::string::npos);

  utility.Send("REQ logout\r\n");
  EXPECT_EQ(utility.Read(1), "CNF logout\r\n");
  const std::string log = Stop();
  EXPECT_NE(log.find("<- REQ import"), std::string::npos);
  EXPECT_NE(log.find("tftp -> 127.0.0.1:" + std::to_string(m_tftp.Port()) + " WRQ"),
            std::string::npos);
}

TEST_F(ProgramTest, ServesOneClientAtATime) {
  Start();
  CommandClient first(m_port);
  CommandClient second(m_port);
  second.Send("REQ mode\r\n");
  EXPECT_EQ(second.Read(1, 300), "") << "waits while the first is connected";
  first.Send("REQ probe\r\n");
  EXPECT_EQ(first.Read(1), "CNF probe\r\n");
  first.Send("REQ FactoryDefault\r\n");
  EXPECT_TRUE(first.Closed());
  EXPECT_EQ(second.Read(1), "CNF mode 1\r\n");
  Stop();
}

TEST_F(ProgramTest, KeepsItsSettingsInTheStateFileAndFactoryDefaultResetsThem) {
  const fs::path state =
      fs::temp_directory_path() / ("phonesim-state-" + std::to_string(::getpid()) + ".txt");
  fs::remove(state);
  m_tftp.Serve("a.txt", "Prof1_Name=Kept\r\n");
  Start({"--state", state.string()});
  {
    CommandClient utility(m_port);
    utility.Send("REQ upload a.txt\r\n");
    EXPECT_EQ(utility.Read(1), "CNF upload 0\r\n");
  }
  Stop();
  Start({"--state", state.string()});
  {
    CommandClient utility(m_port);
    utility.Send("REQ import\r\n");
    utility.Read(2);
    EXPECT_EQ(m_tftp.Received("PhoneCNF.txt").rfind("Prof1_Name=Kept\r\n", 0), 0u);
    utility.Send("REQ FactoryDefault\r\n");
    EXPECT_TRUE(utility.Closed());
  }
  CommandClient utility(m_port);
  utility.Send("REQ import\r\n");
  utility.Read(2);
  EXPECT_EQ(m_tftp.Received("PhoneCNF.txt").rfind("Prof1_Name=Profile1\r\n", 0), 0u);
  Stop();
  fs::remove(state);
}

// A datagram from another loopback address is dropped by the utility; the
// phone's resend from its own address then carries the transfer.
TEST_F(ProgramTest, SendsAScriptedDatagramFromTheOtherAddress) {
  Start({"--tftp-foreign", "1", "--import-size", "30721"});
  CommandClient utility(m_port);
  utility.Send("REQ import\r\n");
  EXPECT_EQ(utility.Read(2), "IND import size 30721\r\nCNF import 0\r\n");
  EXPECT_EQ(m_tftp.Requests(),
            (std::vector<std::string>{"127.0.0.2 PhoneCNF.txt", "127.0.0.1 PhoneCNF.txt"}));
  EXPECT_EQ(m_tftp.Received("PhoneCNF.txt").size(), 30721u);
  Stop();
}

TEST_F(ProgramTest, ReportsAFailedTransferInTheConfirmation) {
  Start({"--tftp-retries", "1"});
  CommandClient utility(m_port);
  utility.Send("REQ fwupgrade /nowhere/p006.bin\r\n");
  EXPECT_EQ(utility.Read(1), "CNF fwupgrade 1\r\n") << "the server's File Not Found ends it";
  m_tftp.Serve("/images/p006.bin", std::string(1300, 'x'));
  utility.Send("REQ fwupgrade /images/p006.bin\r\n");
  EXPECT_EQ(utility.Read(1), "CNF fwupgrade 0\r\n");
  Stop();
}

// Each scripted fault as the utility sees it on the wire. A step sends its
// request, then either reads one receive call (`once`), or reads up to the
// expected number of lines, or checks that the phone closed the connection.
struct Step {
  std::string send;
  std::string expect;
  enum Read { kLines, kOnce, kNothing, kClosed } read = kLines;
};

struct FaultCase {
  const char* name;
  std::vector<std::string> options;
  std::vector<Step> steps;
  const char* log_line = "";
};

size_t LineCount(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

class ProgramFaultTest : public ProgramTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ProgramFaultTest, ShowsTheScriptedFaultOnTheWire) {
  const FaultCase& c = GetParam();
  m_tftp.Serve("p006.bin", std::string(2000, 'i'));
  Start(c.options);
  CommandClient utility(m_port);
  for (const Step& step : c.steps) {
    SCOPED_TRACE(step.send);
    if (!step.send.empty()) utility.Send(step.send);
    switch (step.read) {
      case Step::kLines:
        EXPECT_EQ(utility.Read(LineCount(step.expect)), step.expect);
        break;
      case Step::kOnce:
        EXPECT_EQ(utility.ReadOnce(), step.expect);
        break;
      case Step::kNothing:
        EXPECT_EQ(utility.Read(1, 300), "");
        break;
      case Step::kClosed:
        EXPECT_EQ(utility.Read(LineCount(step.expect), 2000), step.expect);
        EXPECT_TRUE(utility.Closed());
        break;
    }
  }
  const std::string log = Stop();
  EXPECT_NE(log.find(c.log_line), std::string::npos) << log;
}

const FaultCase kFaults[] = {
    {"SplitReply",
     {"--split-reply", "login:7:500"},
     {{"REQ login admin qopwix\r\n\r\n", "CNF log", Step::kOnce}, {"", "in 0\r\n", Step::kOnce}}},
    {"JoinedReplies",
     {"--join-reply", "login"},
     {{"REQ login admin qopwix\r\n\r\n", "", Step::kNothing},
      {"REQ mode\r\n", "CNF login 0\r\n\r\nCNF mode 1\r\n", Step::kOnce}}},
    {"ModeWithoutStatus", {"--mode-without-status"}, {{"REQ mode\r\n", "CNF mode\r\n"}}},
    {"BootCode",
     {"--boot-code"},
     {{"REQ mode\r\n", "CNF mode 0\r\n"},
      {"REQ login admin qopwix\r\n\r\n", "", Step::kNothing},
      {"REQ fwupgrade p006.bin\r\n", "CNF fwupgrade 0\r\n"}}},
    {"ProbeLimit",
     {"--probe-limit", "1"},
     {{"REQ probe\r\n", "CNF probe\r\n"},
      {"REQ probe\r\n", "", Step::kNothing},
      {"REQ getmac\r\n", "CNF getmac 02:00:00:00:58:37\r\n"}}},
    {"MacChange",
     {"--change-mac", "2:02:00:00:00:11:22"},
     {{"REQ getmac\r\n", "CNF getmac 02:00:00:00:58:37\r\n"},
      {"REQ getmac\r\n", "CNF getmac 02:00:00:00:11:22\r\n"}}},
    {"ForcedStatuses",
     {"--login-status", "1", "--fwupgrade-status", "11"},
     {{"REQ login admin qopwix\r\n\r\n", "CNF login 1\r\n"},
      {"REQ fwupgrade p006.bin\r\n", "CNF fwupgrade 11\r\n"}}},
    {"CloseOnRequest",
     {"--close-at", "login:request"},
     {{"REQ login admin qopwix\r\n\r\n", "", Step::kClosed}}},
    {"CloseAfterIndication",
     {"--close-at", "import:indication", "--import-size", "100"},
     {{"REQ import\r\n", "IND import size 100\r\n", Step::kClosed}}},
    {"CloseAfterReply",
     {"--close-at", "fwupgrade:reply"},
     {{"REQ fwupgrade p006.bin\r\n", "CNF fwupgrade 0\r\n", Step::kClosed}}},
    {"DroppedDelayedAndDoubledPackets",
     {"--tftp-drop", "2", "--tftp-delay", "4:300", "--tftp-duplicate", "5"},
     {{"REQ fwupgrade p006.bin\r\n", "CNF fwupgrade 0\r\n"}},
     "delayed 300 ms"},
};

INSTANTIATE_TEST_SUITE_P(Faults, ProgramFaultTest, ::testing::ValuesIn(kFaults),
                         [](const auto& test_info) { return std::string(test_info.param.name); });

TEST(ProgramCommandLine, HelpGoesToStdoutAndBadOptionsFail) {
  Child help({PHONESIM_PROGRAM, "--help"}, true);
  EXPECT_EQ(help.Wait(), 0);
  const std::string text = help.ReadAll(false);
  EXPECT_NE(text.find("--listen ADDR:PORT"), std::string::npos);
  EXPECT_NE(text.find("--tftp-port"), std::string::npos);

  Child bad({PHONESIM_PROGRAM, "--listen", "nowhere"}, true);
  EXPECT_EQ(bad.Wait(), 2);
  EXPECT_EQ(bad.ReadAll(false), "");
  EXPECT_NE(bad.ReadAll(true).find("--listen wants ADDR:PORT"), std::string::npos);
}

TEST(ProgramSafety, RefusesAddressesOutsideLoopbackUnlessAllowed) {
  for (const char* listen : {"10.0.0.1:0", "0.0.0.0:0"}) {
    Child phone({PHONESIM_PROGRAM, "--listen", listen}, true);
    EXPECT_EQ(phone.Wait(), 1) << listen;
    EXPECT_EQ(phone.ReadAll(false), "");
    EXPECT_NE(phone.ReadAll(true).find("not a loopback address"), std::string::npos);
  }
  Child phone({PHONESIM_PROGRAM, "--listen", "127.0.0.1:0", "--foreign-address", "192.168.1.1"},
              true);
  EXPECT_EQ(phone.Wait(), 1);
}

}  // namespace
}  // namespace phonesim
