#include "command_channel.h"

#include <gtest/gtest.h>

#include "link_fakes.h"
#include "login_command.h"

namespace mivo::link {
namespace {

using namespace testing;  // NOLINT: the fakes

struct ChannelFixture : ::testing::Test {
  FakeStream stream;
  FakeTimers timers;
  FakePause pause;
  FakeUi ui;
  FakeConnectingDialog dialog;
  FakeFrame frame;
  SocketErrorReporter reporter{ui};
  PhoneLink link{frame, ui};
  CAsyncClientWnd channel{link, {stream, timers, pause, ui, dialog, frame, reporter}};

  // Connects with the connect event delivered while the connecting dialog runs.
  void ConnectToModeQuery() {
    dialog.whileRunning = [&] { channel.OnSocketEvent(kEventConnect, 0); };
    EXPECT_EQ(channel.Connect("127.0.0.1", 5001), 0);
    ASSERT_EQ(link.GetLinkState(), PhoneLinkState::ModeQuery);
    stream.sent.clear();
    frame.hints.clear();
  }
  void GoOnline() {
    ConnectToModeQuery();
    link.SetLinkState(PhoneLinkState::Online);
    stream.sent.clear();
    frame.hints.clear();
  }
  void Receive(std::string bytes) {
    stream.incoming.push_back(std::move(bytes));
    while (!stream.incoming.empty()) channel.OnSocketEvent(kEventRead, 0);
  }
};

TEST_F(ChannelFixture, ConnectRunsTheDialogAndAsksTheMode) {
  dialog.whileRunning = [&] {
    EXPECT_EQ(link.GetLinkState(), PhoneLinkState::Connecting);
    EXPECT_TRUE(timers.IsRunning(12));
    channel.OnTimer(12);
    channel.OnTimer(12);
    channel.OnTimer(12);
    channel.OnSocketEvent(kEventConnect, 0);
  };
  EXPECT_EQ(channel.Connect("127.0.0.1", 5001), 0);
  EXPECT_EQ(stream.connectedTo, "127.0.0.1:5001");
  EXPECT_EQ(dialog.ends, 1);
  EXPECT_FALSE(timers.IsRunning(12));
  const std::vector<std::pair<int, std::string>> progress = {
      {0, "0%"}, {0, "0%"}, {1, "5%"}, {2, "10%"}, {20, "100%"}};
  EXPECT_EQ(dialog.progress, progress);
  EXPECT_EQ(link.GetLinkState(), PhoneLinkState::ModeQuery);
  EXPECT_EQ(stream.sent, std::vector<std::string>{"REQ mode\r\n"});
}

TEST_F(ChannelFixture, ConnectWithAdminFlagLogsInAgainAndStartsTheServer) {
  link.status().SetAdminLogin(1);
  dialog.whileRunning = [&] { channel.OnSocketEvent(kEventConnect, 0); };
  channel.Connect("127.0.0.1", 5001);
  EXPECT_EQ(link.GetLinkState(), PhoneLinkState::Online);
  const std::vector<std::string> sent = {"REQ settimeout 5\r\n", "REQ login admin qopwix\r\n\r\n"};
  EXPECT_EQ(stream.sent, sent);
  EXPECT_EQ(pause.pauses, std::vector<int>{1200});
  EXPECT_EQ(timers.running.at(10), 5000);
  EXPECT_EQ(frame.tftpStarts, 1);
}

TEST_F(ChannelFixture, ConnectFailuresAreReported) {
  EXPECT_EQ(channel.Connect("not-an-address", 5001), 0);
  EXPECT_EQ(stream.opens, 0);
  EXPECT_TRUE(ui.shown.empty());

  stream.openError = 10024;
  EXPECT_EQ(channel.Connect("127.0.0.1", 5001), 0);
  EXPECT_EQ(ui.shown.at(0).text,
            "Windows Socket create failed:\r\n\nNo more sokcet descriptors are available.");

  stream.openError = 0;
  stream.connectResult = 10065;
  EXPECT_EQ(channel.Connect("127.0.0.1", 5001), 0);
  EXPECT_TRUE(ui.shown.at(1).text.starts_with("Asynchronous Windows Socket connection failed:"));
  EXPECT_FALSE(channel.IsOpen());
  EXPECT_EQ(stream.closes, 1);
}

TEST_F(ChannelFixture, ErrorEventsCloseShowTheirMessageAndEndTheDialog) {
  struct Case {
    int error;
    std::string text;
  } const cases[] = {
      {10054, "Connection was aborted."},
      {10061, "Connection was refused."},
      {10050,
       "Asynchronous Windows Socket failure notification:\r\n\nThe network subsystem is down."},
  };
  for (const Case& c : cases) {
    ui.shown.clear();
    dialog.ends = 0;
    dialog.whileRunning = [&] { channel.OnSocketEvent(kEventConnect, c.error); };
    channel.Connect("127.0.0.1", 5001);
    EXPECT_EQ(link.GetLinkState(), PhoneLinkState::Offline);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text, c.text);
    EXPECT_EQ(dialog.ends, 1);
  }
}

TEST_F(ChannelFixture, LoginCommandStaysSilentOnSuccessAndComplainsOtherwise) {
  dialog.whileRunning = [&] { channel.OnSocketEvent(kEventConnect, 0); };
  int setups = 0;
  auto setup = [&] { return ++setups, 1; };
  EXPECT_EQ(RunLoginCommand(channel, link, ui, "127.0.0.1", 5001, setup), 1);
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_EQ(setups, 1);
  stream.sent.clear();
  EXPECT_EQ(RunLoginCommand(channel, link, ui, "127.0.0.1", 5001, setup), 1);
  EXPECT_EQ(stream.sent, std::vector<std::string>{"REQ mode\r\n"});
  EXPECT_EQ(setups, 1);

  channel.Disconnect();
  dialog.whileRunning = [&] { channel.OnSocketEvent(kEventConnect, 10061); };
  EXPECT_EQ(RunLoginCommand(channel, link, ui, "127.0.0.1", 5001, setup), 0);
  EXPECT_EQ(ui.Texts(),
            (std::vector<std::string>{"Connection was refused.", "Phone connection failed!"}));

  ui.shown.clear();
  const int opens = stream.opens;
  EXPECT_EQ(RunLoginCommand(channel, link, ui, "127.0.0.1", 5001, [] { return 0; }), 0);
  EXPECT_EQ(stream.opens, opens);
  EXPECT_TRUE(ui.shown.empty());
}

// Each receive case runs whole, byte by byte and split in two at every point.
struct ReceiveCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;
};

class ChannelLines : public ChannelFixture, public ::testing::WithParamInterface<ReceiveCase> {};

TEST_P(ChannelLines, FramesLinesInEveryDeliveryMode) {
  const ReceiveCase& c = GetParam();
  GoOnline();
  std::vector<std::vector<std::string>> deliveries;
  deliveries.push_back({c.bytes});
  std::vector<std::string> bytewise;
  for (char b : c.bytes) bytewise.emplace_back(1, b);
  deliveries.push_back(bytewise);
  for (std::size_t at = 1; at < c.bytes.size(); ++at) {
    deliveries.push_back({c.bytes.substr(0, at), c.bytes.substr(at)});
  }
  for (const auto& chunks : deliveries) {
    channel.Disconnect();
    GoOnline();
    for (const std::string& chunk : chunks) Receive(chunk);
    EXPECT_EQ(frame.Lines(), c.lines) << c.name << " in " << chunks.size() << " chunks";
  }
}

INSTANTIATE_TEST_SUITE_P(Receiving, ChannelLines,
                         ::testing::Values(ReceiveCase{"one", "CNF login 0\r\n", {"CNF login 0"}},
                                           ReceiveCase{"two with empty line",
                                                       "CNF login 0\r\n\r\nCNF upload 1\r\n",
                                                       {"CNF login 0", "CNF upload 1"}},
                                           ReceiveCase{"bare LF and CR",
                                                       "IND upload a b\nIND upload c d\r",
                                                       {"IND upload a b", "IND upload c d"}},
                                           ReceiveCase{"partial tail kept",
                                                       "CNF import 0\r\nCNF log",
                                                       {"CNF import 0"}}),
                         [](const auto& param) {
                           std::string name = param.param.name;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

TEST_F(ChannelFixture, SplitLoginConfirmationIsProcessedOnceWhenComplete) {
  GoOnline();
  Receive("CNF lo");
  EXPECT_TRUE(frame.Lines().empty());
  Receive("gin 0\r\n");
  EXPECT_EQ(frame.Lines(), std::vector<std::string>{"CNF login 0"});
}

TEST_F(ChannelFixture, OverlongLinesAreCutAndAFullBufferWithoutLineEndIsDropped) {
  GoOnline();
  Receive(std::string(300, 'a') + "\r\n");
  ASSERT_EQ(frame.Lines().size(), 1u);
  EXPECT_EQ(frame.Lines()[0], std::string(255, 'a'));
  frame.hints.clear();
  Receive(std::string(600, 'b'));
  Receive("\r\nCNF logout\r\n");
  const std::vector<std::string> lines = frame.Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "CNF logout");
}

TEST_F(ChannelFixture, ModeConfirmationOpensTheMatchingWindow) {
  struct Case {
    const char* line;
    PhoneLinkState state;
    int window;
  } const cases[] = {
      {"CNF mode\r\n", PhoneLinkState::BootCodeMode, kCommandUploadFirmware},
      {"CNF mode 0\r\n", PhoneLinkState::BootCodeMode, kCommandUploadFirmware},
      {"CNF mode 1\r\n", PhoneLinkState::ModeQuery, kCommandLogin},
  };
  for (const Case& c : cases) {
    ConnectToModeQuery();
    frame.opened.clear();
    Receive(c.line);
    EXPECT_EQ(link.GetLinkState(), c.state) << c.line;
    EXPECT_EQ(frame.opened, std::vector<int>{c.window});
    EXPECT_EQ(frame.Lines().size(), 1u);
    channel.Disconnect();
  }
}

TEST_F(ChannelFixture, ProbeAndSettimeoutConfirmationsAskIdentityAndAreNotPassedOn) {
  GoOnline();
  Receive("CNF settimeout\r\nCNF probe\r\n");
  const std::vector<std::string> sent = {"REQ getmac\r\n", "REQ getfirmwareinfo\r\n",
                                         "REQ getmac\r\n", "REQ getfirmwareinfo\r\n"};
  EXPECT_EQ(stream.sent, sent);
  EXPECT_TRUE(frame.Lines().empty());
  Receive("CNF getmac 00:11:22:33:44:55\r\nCNF getfirmwareinfo FW:1.0 BSP:2.0 BOOT:3.0\r\n");
  EXPECT_EQ(link.status().GetMacAddress(), "00:11:22:33:44:55");
  EXPECT_EQ(link.status().GetFirmwareVersion(), "1.0");
  EXPECT_EQ(link.status().GetBspVersion(), "2.0");
  EXPECT_EQ(link.status().GetBootVersion(), "3.0");
  EXPECT_EQ(frame.Lines().size(), 2u);
}

TEST_F(ChannelFixture, AnotherMacClosesOnlyInTheBusyGroup) {
  ConnectToModeQuery();
  Receive("CNF getmac AA\r\n");
  Receive("CNF getmac BB\r\n");
  EXPECT_EQ(link.status().GetMacAddress(), "BB");
  EXPECT_TRUE(ui.shown.empty());

  link.SetLinkState(PhoneLinkState::Online);
  Receive("CNF getmac BB\r\n");
  EXPECT_TRUE(channel.IsOpen());
  Receive("CNF getmac CC\r\n");
  EXPECT_FALSE(channel.IsOpen());
  EXPECT_EQ(link.GetLinkState(), PhoneLinkState::Offline);
  EXPECT_EQ(ui.Texts(),
            std::vector<std::string>{"Phone has changed, please log in to the new phone !"});
  EXPECT_EQ(link.status().GetMacAddress(), "");
}

TEST_F(ChannelFixture, KeepAliveToleratesThreeMissedTicksAndClosesOnTheFourth) {
  GoOnline();
  channel.SetKeepAlive(0);
  stream.sent.clear();
  channel.OnTimer(10);
  EXPECT_EQ(stream.sent, std::vector<std::string>{"REQ probe\r\n"});
  for (int tick = 0; tick < 3; ++tick) channel.OnTimer(10);
  EXPECT_TRUE(channel.IsOpen());
  EXPECT_TRUE(ui.shown.empty());
  channel.OnTimer(10);
  EXPECT_FALSE(channel.IsOpen());
  EXPECT_FALSE(timers.IsRunning(10));
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"ERR 305"});
}

TEST_F(ChannelFixture, AnsweredProbeRearmsTheKeepAlive) {
  GoOnline();
  channel.SetKeepAlive(1);
  EXPECT_EQ(timers.running.at(10), 10000);
  EXPECT_EQ(stream.sent.at(0), "REQ settimeout 10\r\n");
  for (int round = 0; round < 5; ++round) {
    channel.OnTimer(10);
    channel.OnTimer(10);
    channel.OnTimer(10);
    Receive("CNF probe\r\n");
  }
  EXPECT_TRUE(channel.IsOpen());
}

TEST_F(ChannelFixture, KeepAliveErrorDialogIsNotStacked) {
  GoOnline();
  channel.SetKeepAlive(0);
  channel.OnTimer(10);
  for (int tick = 0; tick < 3; ++tick) channel.OnTimer(10);
  // While the 305 dialog is open the user reconnects and the keep-alive runs out again.
  ui.whileOpen.push_back([&] {
    dialog.whileRunning = [&] { channel.OnSocketEvent(kEventConnect, 0); };
    channel.Connect("127.0.0.1", 5001);
    link.SetLinkState(PhoneLinkState::Online);
    for (int tick = 0; tick < 5; ++tick) channel.OnTimer(10);
  });
  channel.OnTimer(10);
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"ERR 305"});
}

TEST_F(ChannelFixture, CloseEventShows305OnlyInTheBusyGroup) {
  ConnectToModeQuery();
  channel.OnSocketEvent(kEventClose, 0);
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_EQ(link.GetLinkState(), PhoneLinkState::Offline);
  GoOnline();
  channel.OnSocketEvent(kEventClose, 0);
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"ERR 305"});
  channel.OnSocketEvent(0x40, 0);
  EXPECT_EQ(ui.shown.back().text, "Unknown event recieved: 64.");
}

TEST_F(ChannelFixture, DisconnectResetsEverythingAndIsHarmlessWhenClosed) {
  GoOnline();
  channel.SetKeepAlive(0);
  link.status().SetAdminLogin(1);
  link.status().SetChangePhone(1);
  Receive("CNF getmac AA\r\nCNF getfirmwareinfo FW:1 BSP:2 BOOT:3\r\nCNF log");
  channel.Disconnect();
  EXPECT_EQ(link.GetLinkState(), PhoneLinkState::Offline);
  EXPECT_EQ(link.status().GetAdminLogin(), 0);
  EXPECT_EQ(link.status().GetChangePhone(), 0);
  EXPECT_EQ(link.status().GetMacAddress(), "");
  EXPECT_EQ(link.status().GetFirmwareVersion(), "");
  EXPECT_FALSE(timers.IsRunning(10));
  EXPECT_EQ(frame.tftpStops, 1);
  EXPECT_EQ(stream.closes, 1);

  channel.Disconnect();
  EXPECT_EQ(stream.closes, 1);
  EXPECT_EQ(frame.tftpStops, 1);
  // The partial line of the old connection is gone.
  GoOnline();
  Receive("in 0\r\n");
  EXPECT_EQ(frame.Lines(), std::vector<std::string>{"in 0"});
}

// Disconnect's order: the socket closes before the state turns Offline (so the views'
// hooks find the channel closed), the views still see the phone's identity with hint 5,
// then the status bar, the TFTP server and the current settings window follow.
TEST(ChannelDisconnect, RunsItsStepsInOrder) {
  class OrderFrame : public FakeFrame {
   public:
    std::vector<std::string>* steps = nullptr;
    PhoneLink* link = nullptr;
    FakeStream* stream = nullptr;
    void NotifyAllViews(UpdateHint hint, const HintArgument&) override {
      if (hint != kHintLinkStateChanged) return;
      steps->push_back("hint5 closes=" + std::to_string(stream->closes) +
                       " mac=" + link->status().GetMacAddress());
    }
    void RedrawStatusBar() override { steps->push_back("redraw"); }
    void StopTftpServer() override { steps->push_back("stop tftp"); }
    void RefreshCurrentSettingsWindow() override { steps->push_back("refresh"); }
  };
  std::vector<std::string> steps;
  FakeStream stream;
  FakeTimers timers;
  FakePause pause;
  FakeUi ui;
  FakeConnectingDialog dialog;
  OrderFrame frame;
  SocketErrorReporter reporter(ui);
  PhoneLink link(frame, ui);
  frame.steps = &steps;
  frame.link = &link;
  frame.stream = &stream;
  CAsyncClientWnd channel(link, {stream, timers, pause, ui, dialog, frame, reporter});
  dialog.whileRunning = [&] { channel.OnSocketEvent(kEventConnect, 0); };
  channel.Connect("127.0.0.1", 5001);
  link.status().SetMacAddress("AA");
  steps.clear();
  channel.Disconnect();
  const std::vector<std::string> expected = {"redraw", "hint5 closes=1 mac=AA", "redraw",
                                             "stop tftp", "refresh"};
  EXPECT_EQ(steps, expected);
}

TEST_F(ChannelFixture, SendCommandFailures) {
  EXPECT_EQ(channel.SendCommand("REQ", "mode"), 0);
  EXPECT_TRUE(ui.shown.empty());
  GoOnline();
  stream.sendErrors = {10035, 10054};
  EXPECT_EQ(channel.SendCommand("REQ", "mode"), 0);
  EXPECT_EQ(channel.SendCommand("REQ", "mode"), 0);
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{
                            "Send data to Phone via Windows Socket would block, try again later.",
                            "\r\n\nConnection reset by phone."}));
  EXPECT_EQ(channel.SendCommand("REQ", "upload", std::string(260, 'x')), 0);
  EXPECT_EQ(channel.SendCommand("REQ", "upload", "C:\\PhoneCNF.txt"), 1);
  EXPECT_EQ(stream.sent.back(), "REQ upload C:\\PhoneCNF.txt\r\n");
}

// A failed read or a closed peer is only shown: the connection stays as it is and later
// lines are still read.
TEST_F(ChannelFixture, ReceiveFailuresShowTheirMessage) {
  GoOnline();
  stream.receiveOutcomes = {{0, 10050}, {0, 0}};
  channel.OnSocketEvent(kEventRead, 0);
  channel.OnSocketEvent(kEventRead, 0);
  EXPECT_EQ(ui.Texts(),
            (std::vector<std::string>{
                "Windows Socket receives data error:\r\n\nThe network subsystem is down.",
                "Connection closed unexpectedly during receiving data."}));
  EXPECT_EQ(ui.shown.at(1).caption, "Warning");
  EXPECT_TRUE(channel.IsOpen());
  Receive("CNF login 0\r\n");
  EXPECT_EQ(frame.Lines(), std::vector<std::string>{"CNF login 0"});
}

// A dialog opened for one line runs a nested event loop that delivers the next read; the
// lines must still be processed once each and in order.
TEST_F(ChannelFixture, ReadDuringADialogIsDeferredNotLost) {
  GoOnline();
  frame.onHint = [&](const FakeFrame::Hint& hint) {
    if (hint.hint == kHintPhoneReply && hint.line == "CNF login 0") {
      stream.incoming.push_back("CNF import 0\r\n");
      channel.OnSocketEvent(kEventRead, 0);
      EXPECT_EQ(frame.Lines().size(), 1u);
    }
  };
  Receive("CNF login 0\r\nCNF upload 0\r\n");
  const std::vector<std::string> lines = {"CNF login 0", "CNF upload 0", "CNF import 0"};
  EXPECT_EQ(frame.Lines(), lines);
}

}  // namespace
}  // namespace mivo::link
