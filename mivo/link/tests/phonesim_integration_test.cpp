// The command channel and the TFTP server, on their Qt bindings, against phonesim on
// loopback.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>

#include "command_channel.h"
#include "core_application.h"
#include "event_wait.h"
#include "link_fakes.h"
#include "qt_event_loop_dialog.h"
#include "qt_stream_transport.h"
#include "qt_tftp_server.h"
#include "replies.h"
#include "test_process.h"

namespace mivo::link {
namespace {

using namespace testing;  // NOLINT: the fakes and helpers

const std::string kPhonesim = std::getenv("PHONESIM") ? std::getenv("PHONESIM") : PHONESIM_PATH;
const std::string kCli = std::getenv("MIVO_CLI") ? std::getenv("MIVO_CLI") : MIVO_CLI_PATH;
constexpr int kWaitMs = 10000;
// One application object for every test of the program, made before any test's objects.
const std::unique_ptr<QCoreApplication> g_application = EnsureCoreApplication();

// The utility's side in one process: a channel on a real TCP connection and a TFTP server
// on a real UDP port; timers are ticked by the test, dialogs and messages recorded.
class PhonesimSession : public ::testing::Test {
 protected:
  void SetUp() override {
    if (kPhonesim.empty()) GTEST_SKIP() << "phonesim is not part of this build";
  }

  void StartPhone(std::vector<std::string> options = {}) {
    m_tftp = std::make_unique<QtTftpServer>(ui, frame, reporter, files, settings);
    ASSERT_EQ(m_tftp->Create(QHostAddress::LocalHost, 0, "127.0.0.1"), 0);
    std::vector<std::string> argv = {kPhonesim,
                                     "--listen",
                                     "127.0.0.1:0",
                                     "--tftp-port",
                                     std::to_string(m_tftp->LocalPort()),
                                     "--tftp-timeout",
                                     "300"};
    argv.insert(argv.end(), options.begin(), options.end());
    m_phone = std::make_unique<TestProcess>(argv);
    m_port = m_phone->ReadLine();
    ASSERT_FALSE(m_port.empty());
  }

  void ConnectToModeQuery() {
    ASSERT_EQ(channel.Connect("127.0.0.1", static_cast<std::uint16_t>(std::stoi(m_port))), 0);
    ASSERT_EQ(link.GetLinkState(), PhoneLinkState::ModeQuery);
    ASSERT_TRUE(WaitForEvents([&] { return !frame.opened.empty(); }, kWaitMs));
  }

  // Logs in as admin and goes on-line; waits for the identity the settimeout brings.
  void LogIn() {
    ASSERT_NO_FATAL_FAILURE(ConnectToModeQuery());
    ASSERT_EQ(frame.opened.back(), kCommandLogin);
    channel.SendCommand("REQ", "login", "admin qopwix\r\n");
    ASSERT_TRUE(WaitForLine("CNF login"));
    link.status().SetAdminLogin(1);
    link.SetLinkState(PhoneLinkState::Online);
    ASSERT_TRUE(WaitForLine("CNF getfirmwareinfo"));
  }

  // Waits for the count-th line holding text.
  bool WaitForLine(const std::string& text, std::size_t count = 1) {
    return WaitForEvents([&] { return Count(text) >= count; }, kWaitMs);
  }
  std::size_t Count(const std::string& text) const {
    std::size_t n = 0;
    for (const std::string& line : frame.Lines()) n += line.find(text) != std::string::npos;
    return n;
  }
  std::string SettingsText() const {
    return std::string(settings.data(), ::strnlen(settings.data(), settings.size()));
  }

  FakeUi ui;
  FakeFrame frame;
  FakeTimers timers;
  FakePause pause;
  SocketErrorReporter reporter{ui};
  PhoneLink link{frame, ui};
  CAsyncClientWnd* m_channel = nullptr;
  QtStreamTransport transport{[this](int event, int error) {
    if (m_channel) m_channel->OnSocketEvent(event, error);
  }};
  EventLoopConnectingDialog dialog;
  CAsyncClientWnd channel{link, {transport, timers, pause, ui, dialog, frame, reporter}};
  std::array<char, 30720> settings{};
  DiskFilePort files;
  std::unique_ptr<QtTftpServer> m_tftp;
  std::unique_ptr<TestProcess> m_phone;
  std::string m_port;

 private:
  bool m_attached = [this] { return m_channel = &channel, true; }();
};

TEST_F(PhonesimSession, ConnectModeLoginIdentityKeepAliveAndLogout) {
  ASSERT_NO_FATAL_FAILURE(StartPhone());
  ASSERT_NO_FATAL_FAILURE(LogIn());
  EXPECT_EQ(link.status().GetMacAddress(), "02:00:00:00:58:37");
  EXPECT_EQ(link.status().GetFirmwareVersion(), "P006.1.20");
  EXPECT_EQ(link.status().GetBspVersion(), "B1.4");
  EXPECT_EQ(link.status().GetBootVersion(), "R2.1");
  EXPECT_EQ(timers.running.at(10), 5000);

  // A keep-alive tick probes; the confirmation asks the identity again.
  channel.OnTimer(10);
  EXPECT_TRUE(WaitForLine("CNF getfirmwareinfo", 2));
  EXPECT_EQ(Count("CNF probe"), 0u);

  channel.SendCommand("REQ", "logout");
  EXPECT_TRUE(WaitForLine("CNF logout"));
  link.SetLinkState(PhoneLinkState::Closing);
  channel.Disconnect();
  EXPECT_EQ(link.GetLinkState(), PhoneLinkState::Offline);
  EXPECT_TRUE(ui.shown.empty()) << ui.Texts().front();
}

TEST_F(PhonesimSession, ImportWritesThePhoneSettingsIntoTheBuffer) {
  ASSERT_NO_FATAL_FAILURE(StartPhone());
  ASSERT_NO_FATAL_FAILURE(LogIn());
  channel.SetKeepAlive(1);
  channel.SendCommand("REQ", "import");
  ASSERT_TRUE(WaitForLine("CNF import"));
  std::int32_t status = -1;
  std::string text;
  for (const std::string& line : frame.Lines()) {
    if (MatchReply(line, "CNF", "import")) ParseReply(line, "import", status, text);
  }
  EXPECT_EQ(status, 0);
  EXPECT_EQ(frame.Kinds(), (std::vector<int>{1, 0}));
  const std::string received = SettingsText();
  EXPECT_NE(received.find("CurUserProfile"), std::string::npos);
  // The indication's text announces the size of the file to come.
  std::string word, size;
  for (const std::string& line : frame.Lines()) {
    if (ParseIndication(line, "import", word, size)) break;
  }
  EXPECT_EQ(size, std::to_string(received.size()));
  EXPECT_TRUE(ui.shown.empty());
}

TEST_F(PhonesimSession, ExportIsReadFromTheBufferAndRejectedSettingsComeBack) {
  ASSERT_NO_FATAL_FAILURE(StartPhone());
  ASSERT_NO_FATAL_FAILURE(LogIn());
  const std::string text = "Prof1_SSID=Office\r\nNoSuchSetting=1\r\n";
  std::memcpy(settings.data(), text.data(), text.size());
  channel.SetKeepAlive(1);
  channel.SendCommand("REQ", "upload", "C:\\Velto\\PhoneCNF.txt");
  ASSERT_TRUE(WaitForLine("CNF upload"));
  EXPECT_EQ(frame.Kinds(), (std::vector<int>{2, 0}));
  std::string word, rejected;
  for (const std::string& line : frame.Lines()) {
    if (ParseIndication(line, "upload", word, rejected)) break;
  }
  EXPECT_EQ(word, "unknown");
  EXPECT_NE(rejected.find("NoSuchSetting"), std::string::npos) << rejected;
}

// Lost, repeated, late and foreign packets of the phone's TFTP client: every transfer
// still completes, through the server's own rules (a repeated ACK of the block before is
// ignored, a repeated block is acknowledged again, a foreign sender gets no answer).
TEST_F(PhonesimSession, TransfersSurviveLostRepeatedAndForeignPackets) {
  std::string lines;
  while (lines.size() < 1500) lines += "Prof1_SSID=Office\r\n";
  struct Case {
    const char* command;
    std::vector<std::string> faults;
  } const cases[] = {
      {"upload", {"--tftp-duplicate", "3"}},
      {"upload", {"--tftp-foreign", "2"}},
      {"upload", {"--tftp-drop", "3"}},
      {"import", {"--tftp-duplicate", "2"}},
      {"import", {"--tftp-drop", "3", "--tftp-delay", "4:100"}},
      {"import", {"--tftp-foreign", "1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " " + c.faults[0] + " " + c.faults[1]);
    std::vector<std::string> options = c.faults;
    options.insert(options.end(), {"--import-size", "1500"});
    ASSERT_NO_FATAL_FAILURE(StartPhone(options));
    ASSERT_NO_FATAL_FAILURE(LogIn());
    settings.fill(0);
    std::memcpy(settings.data(), lines.data(), lines.size());
    frame.hints.clear();
    channel.SetKeepAlive(1);
    const std::string command = c.command;
    channel.SendCommand("REQ", command, command == "upload" ? "C:\\PhoneCNF.txt" : "");
    EXPECT_TRUE(WaitForLine("CNF " + command));
    const int kind = command == "upload" ? 2 : 1;
    EXPECT_EQ(frame.Kinds(), (std::vector<int>{kind, 0}));
    if (command == "import") {
      EXPECT_EQ(SettingsText().size(), 1500u);
    }
    EXPECT_TRUE(ui.shown.empty()) << ui.Texts().front();
    channel.Disconnect();
    ui.shown.clear();
  }
}

// A window that opens a dialog for a reply runs a nested event loop; the rest of the next
// reply arrives meanwhile. The read is deferred, not spun on, and nothing is lost.
TEST_F(PhonesimSession, RepliesArrivingDuringANestedDialogAreProcessedAfterIt) {
  ASSERT_NO_FATAL_FAILURE(StartPhone({"--split-reply", "getmac:5"}));
  ASSERT_NO_FATAL_FAILURE(ConnectToModeQuery());
  int nested = 0;
  frame.onHint = [&](const FakeFrame::Hint& hint) {
    if (hint.hint != kHintPhoneReply || hint.line != "CNF login 0") return;
    ++nested;
    WaitForEvents([] { return false; }, 300);  // the modal dialog
  };
  channel.SendCommand("REQ", "login", "admin qopwix\r\n");
  channel.SendCommand("REQ", "getmac");
  ASSERT_TRUE(WaitForLine("CNF getmac"));
  EXPECT_EQ(nested, 1);
  const std::vector<std::string> lines = {"CNF mode 1", "CNF login 0",
                                          "CNF getmac 02:00:00:00:58:37"};
  EXPECT_EQ(frame.Lines(), lines);
}

TEST_F(PhonesimSession, LostConnectionInTheBusyGroupShows305) {
  ASSERT_NO_FATAL_FAILURE(StartPhone({"--close-at", "getmac:request"}));
  ASSERT_NO_FATAL_FAILURE(ConnectToModeQuery());
  channel.SendCommand("REQ", "login", "admin qopwix\r\n");
  ASSERT_TRUE(WaitForLine("CNF login"));
  link.SetLinkState(PhoneLinkState::Online);
  ASSERT_TRUE(WaitForEvents([&] { return !channel.IsOpen(); }, kWaitMs));
  EXPECT_EQ(link.GetLinkState(), PhoneLinkState::Offline);
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"ERR 305"});
}

TEST_F(PhonesimSession, UnansweredProbesCloseTheLinkOnTheFourthTick) {
  ASSERT_NO_FATAL_FAILURE(StartPhone({"--probe-limit", "0"}));
  ASSERT_NO_FATAL_FAILURE(LogIn());
  for (int tick = 0; tick < 4; ++tick) {
    channel.OnTimer(10);
    WaitForEvents([] { return false; }, 50);
  }
  EXPECT_TRUE(channel.IsOpen());
  channel.OnTimer(10);
  EXPECT_FALSE(channel.IsOpen());
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"ERR 305"});
}

TEST_F(PhonesimSession, SwappedPhoneIsNoticedAtTheNextIdentity) {
  ASSERT_NO_FATAL_FAILURE(StartPhone({"--change-mac", "2:02:00:00:00:99:99"}));
  ASSERT_NO_FATAL_FAILURE(LogIn());
  EXPECT_EQ(link.status().GetMacAddress(), "02:00:00:00:58:37");
  channel.OnTimer(10);
  ASSERT_TRUE(WaitForEvents([&] { return !channel.IsOpen(); }, kWaitMs));
  EXPECT_EQ(ui.Texts(),
            std::vector<std::string>{"Phone has changed, please log in to the new phone !"});
  EXPECT_EQ(link.GetLinkState(), PhoneLinkState::Offline);
  EXPECT_EQ(link.status().GetMacAddress(), "");
}

TEST_F(PhonesimSession, ModeWithoutStatusMeansBootCodeAndSplitRepliesJoin) {
  ASSERT_NO_FATAL_FAILURE(StartPhone({"--mode-without-status", "--split-reply", "mode:6"}));
  ASSERT_NO_FATAL_FAILURE(ConnectToModeQuery());
  EXPECT_EQ(link.GetLinkState(), PhoneLinkState::BootCodeMode);
  EXPECT_EQ(frame.opened, std::vector<int>{kCommandUploadFirmware});
  EXPECT_EQ(frame.Lines(), std::vector<std::string>{"CNF mode"});
}

// mivo-cli connect against phonesim, as a user runs it.
TEST(ConnectCommand, PrintsIdentityOrExplainsTheRefusal) {
  if (kPhonesim.empty() || kCli.empty()) GTEST_SKIP() << "phonesim or mivo-cli not built";
  TempFolder folder;
  TestProcess phone({kPhonesim, "--listen", "127.0.0.1:0", "--user-password", "secret"});
  const std::string port = phone.ReadLine();
  ASSERT_FALSE(port.empty());
  const std::string base = kCli + " connect --phone 127.0.0.1 --phone-port " + port;
  struct Case {
    std::string options;
    int exit;
    const char* out;
    const char* err;
  } const cases[] = {
      {"", 0,
       "MAC address: 02:00:00:00:58:37\nFirmware version: P006.1.20\nBSP version: "
       "B1.4\nBoot version: R2.1\n",
       ""},
      {"--user user --password secret", 0, "MAC address: 02:00:00:00:58:37", ""},
      {"--user user --password wrong", 5, "",
       "Warning Message - Login: ERR 901 Invalid password.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const std::string out = (folder / "out").string();
    const std::string err = (folder / "err").string();
    EXPECT_EQ(RunShell(base + " " + c.options + " >" + out + " 2>" + err), c.exit);
    EXPECT_NE(ReadFile(out).find(c.out), std::string::npos) << ReadFile(out);
    EXPECT_NE(ReadFile(err).find(c.err), std::string::npos) << ReadFile(err);
  }
  // Nothing listens on a port just freed: refused.
  EXPECT_EQ(RunShell(kCli + " connect --phone 127.0.0.1 --phone-port 1 >/dev/null 2>" +
                     (folder / "err").string()),
            4);
  EXPECT_NE(ReadFile(folder / "err").find("Connection was refused."), std::string::npos);
}

}  // namespace
}  // namespace mivo::link
