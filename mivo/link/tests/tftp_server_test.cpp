#include "tftp_server.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>

#include "link_fakes.h"
#include "tftp_packet.h"

namespace mivo::link {
namespace {

using namespace testing;  // NOLINT: the fakes

constexpr char kPhone[] = "192.168.1.1";
constexpr std::uint16_t kPhonePort = 3000;

struct TftpFixture : ::testing::Test {
  FakeDatagrams net;
  FakeTimers timers;
  FakeUi ui;
  FakeFrame frame;
  FakeFiles files;
  SocketErrorReporter reporter{ui};
  std::array<char, 30720> settings{};
  CTftpServerWnd server{{net, timers, ui, frame, reporter, files}, settings, kPhone, 69};

  void Deliver(const std::vector<std::uint8_t>& datagram, const char* from = kPhone,
               std::uint16_t port = kPhonePort) {
    server.OnDatagram(datagram, from, port);
  }
  void Rrq(const std::string& name) { Deliver(tftp::MakeRequest(tftp::kRrq, name)); }
  void Wrq() { Deliver(tftp::MakeRequest(tftp::kWrq, "PhoneCNF.txt")); }
  void Ack(std::uint16_t n) { Deliver(tftp::MakeAck(n)); }
  void Data(std::uint16_t n, const std::string& bytes) {
    Deliver(tftp::MakeData(n, std::span<const char>(bytes.data(), bytes.size())));
  }
  void SetSettings(const std::string& text) {
    settings.fill(0);
    std::memcpy(settings.data(), text.data(), std::min(text.size(), settings.size()));
  }
  tftp::Packet Last() const { return tftp::ParsePacket(net.sent.back().bytes); }
  // Reads a whole file from the server, acknowledging every block; returns the data.
  std::string ReadAll(const std::string& name, std::vector<std::size_t>* sizes = nullptr) {
    Rrq(name);
    std::string data;
    for (;;) {
      const tftp::Packet block = Last();
      if (block.opcode != tftp::kData) break;
      data.append(block.data.begin(), block.data.end());
      if (sizes) sizes->push_back(block.data.size());
      Ack(block.number);
      if (block.data.size() < tftp::kBlockSize) break;
    }
    return data;
  }
};

TEST_F(TftpFixture, SettingsTextOf1024BytesGoesAsTwoFullBlocksAndAnEmptyOne) {
  const std::string text(1024, 'x');
  SetSettings(text);
  std::vector<std::size_t> sizes;
  EXPECT_EQ(ReadAll("PhoneCNF.txt", &sizes), text);
  EXPECT_EQ(sizes, (std::vector<std::size_t>{512, 512, 0}));
  EXPECT_TRUE(server.LastTransferComplete());
  EXPECT_EQ(server.Kind(), TransferKind::Idle);
  EXPECT_EQ(frame.Kinds(), (std::vector<int>{2, 0}));
  EXPECT_EQ(net.sent.front().address, kPhone);
  EXPECT_EQ(net.sent.front().port, kPhonePort);
  EXPECT_FALSE(timers.IsRunning(11));
}

TEST_F(TftpFixture, ReadRequestsChooseTheSourceByName) {
  SetSettings("A=1\r\n");
  files.files["other.txt"] = "from disk";
  files.files["fw/image.bin"] = std::string(700, 'f');
  files.files["ring.wav"] = "ring";
  struct Case {
    const char* name;
    std::string data;
    int kind;
  } const cases[] = {
      {"PhoneCNF.txt", "A=1\r\n", 2},
      {"other.txt", "A=1\r\n", 2},
      {"fw/image.bin", std::string(700, 'f'), 3},
      {"ring.wav", "ring", 4},
  };
  for (const Case& c : cases) {
    frame.hints.clear();
    ui.shown.clear();
    EXPECT_EQ(ReadAll(c.name), c.data) << c.name;
    EXPECT_EQ(frame.Kinds(), (std::vector<int>{c.kind, 0}));
  }
}

TEST_F(TftpFixture, FirmwareCompletionAnnouncesTheUpdate) {
  files.files["a.pkc"] = "img";
  ReadAll("a.pkc");
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{
                            "Firmware image is updating, please wait about one minute...."});
}

TEST_F(TftpFixture, MissingFileIsReportedWithoutAnyAnswer) {
  Rrq("missing.cfg");
  EXPECT_TRUE(net.sent.empty());
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{
                            "TFTP Server : Open read file \"missing.cfg\" for uploading to phone "
                            "fail !\n"});
  EXPECT_EQ(server.Kind(), TransferKind::Idle);
}

TEST_F(TftpFixture, ForeignSenderGetsNoAnswer) {
  SetSettings("A=1");
  Deliver(tftp::MakeRequest(tftp::kRrq, "PhoneCNF.txt"), "192.168.1.10");
  Deliver(tftp::MakeRequest(tftp::kRrq, "PhoneCNF.txt"), "127.0.0.1");
  Deliver({}, "10.0.0.1");
  EXPECT_TRUE(net.sent.empty());
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_EQ(server.Kind(), TransferKind::Idle);
}

TEST_F(TftpFixture, LateDuplicateAckIsIgnoredAndWrongAckEndsWithError4) {
  SetSettings(std::string(2000, 'y'));
  Rrq("PhoneCNF.txt");
  Ack(1);
  Ack(2);
  ASSERT_EQ(server.CurrentBlock(), 3u);
  const std::size_t sent = net.sent.size();
  Ack(2);
  EXPECT_EQ(net.sent.size(), sent);
  EXPECT_EQ(server.CurrentBlock(), 3u);
  EXPECT_TRUE(timers.IsRunning(11)) << "a duplicate must not leave the transfer without timer";
  EXPECT_TRUE(ui.shown.empty());

  // The ERROR goes out only once the report is closed, to the failed transfer's peer.
  ui.whileOpen.push_back([&] { EXPECT_EQ(net.sent.size(), sent); });
  Ack(1);
  EXPECT_EQ(ui.Texts(),
            std::vector<std::string>{"TFTP Server : Wrong acknowledgement number from phone !\n"});
  const tftp::Packet error = Last();
  EXPECT_EQ(error.opcode, tftp::kError);
  EXPECT_EQ(error.number, 4);
  EXPECT_EQ(error.message, "Illegal TFTP operation !");
  EXPECT_EQ(net.sent.back().bytes.size(), 256u);
  EXPECT_EQ(server.Kind(), TransferKind::Idle);
}

TEST_F(TftpFixture, UnansweredBlockGoesOutFourTimesThenFails) {
  SetSettings("abc");
  Rrq("PhoneCNF.txt");
  EXPECT_EQ(timers.running.at(11), 3000);
  for (int tick = 0; tick < 3; ++tick) server.OnTimer(11);
  EXPECT_EQ(net.sent.size(), 4u);
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"TFTP Server : Send data to phone fail !\n"});
  EXPECT_FALSE(server.LastTransferComplete());
  EXPECT_EQ(server.Kind(), TransferKind::Idle);
  EXPECT_FALSE(timers.IsRunning(11));
  for (const auto& sent : net.sent) EXPECT_EQ(tftp::ParsePacket(sent.bytes).number, 1);
}

TEST_F(TftpFixture, RepeatedRequestsResendTheCurrentPacket) {
  SetSettings(std::string(600, 'z'));
  Rrq("PhoneCNF.txt");
  Ack(1);
  Rrq("PhoneCNF.txt");
  EXPECT_EQ(Last().number, 2);
  EXPECT_EQ(server.Kind(), TransferKind::SendSettings);
  Wrq();
  EXPECT_EQ(Last().opcode, tftp::kData);
}

// DATA and ACK while idle, and packets of the other direction during a transfer, get no
// answer and change nothing.
TEST_F(TftpFixture, PacketsThatFitNoTransferAreIgnored) {
  SetSettings(std::string(600, 'z'));
  struct Case {
    const char* name;
    std::function<void()> start;
    std::function<void()> stray;
    TransferKind kind;
  } const cases[] = {
      {"idle", [] {}, [&] { Data(1, "x"), Ack(1); }, TransferKind::Idle},
      {"sending", [&] { Rrq("PhoneCNF.txt"); }, [&] { Data(1, "x"), Wrq(); },
       TransferKind::SendSettings},
      {"receiving", [&] { Wrq(); }, [&] { Ack(0), Ack(1), Rrq("PhoneCNF.txt"); },
       TransferKind::ReceiveSettings},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.start();
    const std::size_t sent = net.sent.size();
    const std::uint64_t block = server.CurrentBlock();
    c.stray();
    EXPECT_EQ(net.sent.size(), sent);
    EXPECT_EQ(server.Kind(), c.kind);
    EXPECT_EQ(server.CurrentBlock(), block);
    EXPECT_TRUE(ui.shown.empty());
    Deliver(tftp::MakeError(1));  // ends the transfer for the next case
    ui.shown.clear();
  }
}

TEST_F(TftpFixture, WriteFillsTheSettingsBufferUpToItsSize) {
  struct Case {
    std::size_t size;
    bool accepted;
  } const cases[] = {{0, true}, {700, true}, {30720, true}, {30721, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    SetSettings(std::string(100, 'o'));
    net.sent.clear();
    ui.shown.clear();
    frame.hints.clear();
    const std::string file(c.size, 'w');
    Wrq();
    EXPECT_EQ(Last().opcode, tftp::kAck);
    EXPECT_EQ(Last().number, 0);
    for (std::size_t offset = 0, block = 1;; offset += 512, ++block) {
      const std::size_t n = std::min<std::size_t>(512, file.size() - std::min(offset, file.size()));
      Data(static_cast<std::uint16_t>(block), file.substr(std::min(offset, file.size()), n));
      if (n < 512 || Last().opcode == tftp::kError) break;
    }
    EXPECT_EQ(server.LastTransferComplete(), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(Last().opcode, tftp::kAck);
      EXPECT_TRUE(ui.shown.empty());
      EXPECT_EQ(std::string(settings.data(), ::strnlen(settings.data(), settings.size())), file);
    } else {
      EXPECT_EQ(Last().number, 3);
      EXPECT_EQ(Last().message, "Disk full or allocation exceeded !");
      EXPECT_EQ(ui.Texts(),
                std::vector<std::string>{
                    "TFTP Server : The import file size exceeds internal buffer size !\n"});
    }
    EXPECT_EQ(frame.Kinds(), (std::vector<int>{1, 0}));
    EXPECT_EQ(server.Kind(), TransferKind::Idle);
  }
}

TEST_F(TftpFixture, RepeatedAndOutOfOrderDataBlocks) {
  Wrq();
  Data(1, std::string(512, 'a'));
  Data(1, std::string(512, 'a'));
  EXPECT_EQ(Last().number, 1);
  EXPECT_EQ(server.RetransmissionsLeft(), 2);
  EXPECT_TRUE(timers.IsRunning(11));
  Data(3, "late");
  EXPECT_EQ(Last().number, 4);
  EXPECT_EQ(Last().opcode, tftp::kError);
  EXPECT_EQ(ui.Texts(),
            std::vector<std::string>{"TFTP Server : Receive data form phone failed !\n"});
}

TEST_F(TftpFixture, ReceivedErrorPacketsEndTheTransferWithTheirText) {
  struct Case {
    std::vector<std::uint8_t> packet;
    const char* text;
  } const cases[] = {
      {tftp::MakeError(1), "TFTP Server : File Not Found !\n"},
      {{0, 5, 0, 0, 'o', 'w', 'n', 0}, "TFTP Server : own\n"},
      {{0, 5, 0, 0, 0}, "TFTP Server : TFTP Error !\n"},
      {{0, 5, 0, 9, 'x', 0}, "TFTP Server : TFTP Error !\n"},
      {{0, 9, 0, 1}, "TFTP Server : Unknown Operation Code !\n"},
  };
  for (const Case& c : cases) {
    ui.shown.clear();
    Wrq();
    Deliver(c.packet);
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{c.text});
    EXPECT_EQ(server.Kind(), TransferKind::Idle);
  }
}

TEST_F(TftpFixture, OneReportAtATimeAndWaitingDatagramsAreDrained) {
  Wrq();
  ui.whileOpen.push_back([&] {
    // A new transfer starts and fails while the first report is open: dropped.
    Wrq();
    Data(5, "x");
    EXPECT_EQ(server.Kind(), TransferKind::ReceiveSettings);
  });
  Deliver(tftp::MakeError(2));
  EXPECT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(net.discards, 2);
}

TEST_F(TftpFixture, SocketReadErrorIsReportedWithThePort) {
  server.OnReceiveError(10050);
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{
                            "(TFTP server port number: 69)\r\n\nThe network subsystem is down."});
}

// The remaining failures, each with its own text; every one leaves the server idle.
TEST_F(TftpFixture, OtherFailuresShowTheirText) {
  struct Case {
    const char* name;
    std::function<void()> run;
    std::vector<std::string> texts;
  } const cases[] = {
      {"unacknowledged ACK",
       [&] {
         Wrq();
         for (int tick = 0; tick < 3; ++tick) server.OnTimer(11);
         EXPECT_EQ(net.sent.size(), 4u);
         for (const auto& sent : net.sent) EXPECT_EQ(tftp::ParsePacket(sent.bytes).number, 0);
       },
       {"TFTP Server : Send acknowledgement to phone fail !\n"}},
      {"empty datagram", [&] { Deliver({}); }, {"TFTP Server : Connection has been closed !\n"}},
      {"unreadable file",
       [&] {
         files.files["broken.bin"] = "img";
         files.unreadable.insert("broken.bin");
         Rrq("broken.bin");
         EXPECT_TRUE(net.sent.empty());
       },
       {"TFTP Server : File operation fail during sending data !\n"}},
      {"ERROR not sent",
       [&] {
         SetSettings("abc");
         Rrq("PhoneCNF.txt");
         net.sendError = 10065;
         Ack(7);
       },
       {"TFTP Server : Wrong acknowledgement number from phone !\n",
        "TFTP Server : Send error code to phone fail !\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    net.sent.clear();
    net.sendError = 0;
    ui.shown.clear();
    c.run();
    EXPECT_EQ(ui.Texts(), c.texts);
    EXPECT_EQ(ui.shown.at(0).icon, MessageIcon::kWarning);
    EXPECT_EQ(server.Kind(), TransferKind::Idle);
    EXPECT_FALSE(timers.IsRunning(11));
  }
}

// Files of 65535 blocks and more: counters stay wide, the wire number wraps.
TEST_F(TftpFixture, BlockNumberWrapsOnTheWireOnly) {
  struct Case {
    std::size_t size;
    std::uint64_t blocks;
  } const cases[] = {{33553919, 65535}, {33553920, 65536}, {33554432, 65537}};
  for (const Case& c : cases) {
    files.files["big.img"] = std::string(c.size, 'b');
    std::vector<std::size_t> sizes;
    Rrq("big.img");
    ASSERT_EQ(server.TotalBlocks(), c.blocks);
    std::uint64_t count = 0;
    std::size_t bytes = 0;
    for (;;) {
      const tftp::Packet block = Last();
      ASSERT_EQ(block.number, static_cast<std::uint16_t>((count + 1) & 0xffff));
      ++count;
      bytes += block.data.size();
      net.sent.clear();
      Ack(block.number);
      if (block.data.size() < 512) break;
    }
    EXPECT_EQ(count, c.blocks);
    EXPECT_EQ(bytes, c.size);
    EXPECT_EQ(server.Kind(), TransferKind::Idle);
    net.sent.clear();
  }
}

}  // namespace
}  // namespace mivo::link
