#include "phone_session.h"

#include <gtest/gtest.h>

#include "fake_settings_store.h"
#include "status_lines.h"

namespace phonesim {
namespace {

class RecordingSessionPort : public PhoneSessionPort {
 public:
  void Write(const std::string& bytes, int delay_ms) override {
    writes.push_back({bytes, delay_ms});
  }
  void StartTransfer(const TransferRequest& request) override { transfers.push_back(request); }
  void CloseConnection() override { ++closes; }
  void SettingsChanged() override { ++changes; }
  void Log(const std::string&) override {}

  std::string Written() const {
    std::string all;
    for (const auto& write : writes) all += write.first;
    return all;
  }

  std::vector<std::pair<std::string, int>> writes;
  std::vector<TransferRequest> transfers;
  int closes = 0;
  int changes = 0;
};

TftpResult Succeeded(std::string_view data = {}) {
  TftpResult result;
  result.ok = true;
  result.data.assign(data.begin(), data.end());
  return result;
}

TftpResult Failed() {
  TftpResult result;
  result.message = "no answer from the server";
  return result;
}

// The import indication for the fake store's defaults.
std::string ImportIndication() {
  FakeSettingsStore store;
  const size_t size = store.ConfigurationText().size() + StatusLines(store, {}).size();
  return "IND import size " + std::to_string(size) + "\r\n";
}

class SessionTest : public ::testing::Test {
 protected:
  void Start(PhoneBehaviour behaviour = {}) {
    session = std::make_unique<PhoneSession>(port, store, std::move(behaviour));
  }
  void Send(std::string_view bytes) { session->OnBytes(bytes); }

  RecordingSessionPort port;
  FakeSettingsStore store;
  std::unique_ptr<PhoneSession> session;
};

// How the request bytes reach the session.
enum class Delivery { kWhole, kByteByByte, kSplit };

struct ReplyCase {
  const char* request;
  const char* reply;
};

const ReplyCase kReplies[] = {
    {"REQ mode\r\n", "CNF mode 1\r\n"},
    {"REQ login admin qopwix\r\n\r\n", "CNF login 0\r\n"},
    {"REQ login admin qopwiX\r\n\r\n", "CNF login 2\r\n"},
    {"REQ login admin\r\n\r\n", "CNF login 2\r\n"},
    {"REQ login user  pass word \r\n\r\n", "CNF login 0\r\n"},
    {"REQ login user pass word\r\n\r\n", "CNF login 2\r\n"},
    {"REQ login guest qopwix\r\n\r\n", "CNF login 1\r\n"},
    {"REQ settimeout 10\r\n", "CNF settimeout\r\n"},
    {"REQ probe\r\n", "CNF probe\r\n"},
    {"REQ getmac\r\n", "CNF getmac 02:00:00:00:58:37\r\n"},
    {"REQ getfirmwareinfo\r\n", "CNF getfirmwareinfo FW:P006.1.20 BSP:B1.4 BOOT:R2.1\r\n"},
    {"REQ logout\r\n", "CNF logout\r\n"},
    {"REQ nonsense\r\n", ""},
    {"CNF mode 1\r\n", ""},
};

class SessionReplyTest : public SessionTest, public ::testing::WithParamInterface<Delivery> {};

TEST_P(SessionReplyTest, AnswersEveryCommandByteForByte) {
  for (const ReplyCase& c : kReplies) {
    SCOPED_TRACE(c.request);
    PhoneBehaviour behaviour;
    behaviour.user_password = " pass word ";  // the rest of the argument, blanks included
    Start(behaviour);
    port.writes.clear();
    const std::string request = c.request;
    switch (GetParam()) {
      case Delivery::kWhole:
        Send(request);
        break;
      case Delivery::kByteByByte:
        for (char byte : request) Send(std::string_view(&byte, 1));
        break;
      case Delivery::kSplit:
        for (size_t at = 0; at < request.size(); at += 5) Send(request.substr(at, 5));
        break;
    }
    EXPECT_EQ(port.Written(), c.reply);
    EXPECT_LE(port.writes.size(), 1u) << "one write per reply";
  }
}

INSTANTIATE_TEST_SUITE_P(Deliveries, SessionReplyTest,
                         ::testing::Values(Delivery::kWhole, Delivery::kByteByByte,
                                           Delivery::kSplit));

TEST_F(SessionTest, HandlesSeveralRequestsInOneReadAndCutsOverlongLines) {
  Start();
  Send("REQ mode\r\n\r\nREQ probe\nREQ getmac\r");
  EXPECT_EQ(port.Written(), "CNF mode 1\r\nCNF probe\r\nCNF getmac 02:00:00:00:58:37\r\n");
  port.writes.clear();
  Send("REQ login admin " + std::string(300, 'x') + "\r\nREQ probe\r\n");
  EXPECT_EQ(port.Written(), "CNF login 2\r\nCNF probe\r\n");
}

TEST_F(SessionTest, ImportsWithIndicationTransferAndConfirmation) {
  Start();
  Send("REQ import\r\n");
  const std::string text = store.ConfigurationText() + StatusLines(store, PhoneBehaviour{});
  EXPECT_EQ(port.Written(), "IND import size " + std::to_string(text.size()) + "\r\n");
  ASSERT_EQ(port.transfers.size(), 1u);
  EXPECT_EQ(port.transfers[0].direction, TftpDirection::kWrite);
  EXPECT_EQ(std::string(port.transfers[0].data.begin(), port.transfers[0].data.end()), text);
  session->OnTransferDone(Succeeded());
  EXPECT_EQ(port.writes.back().first, "CNF import 0\r\n");

  Send("REQ import\r\n");
  session->OnTransferDone(Failed());
  EXPECT_EQ(port.writes.back().first, "CNF import 1\r\n");
}

TEST_F(SessionTest, StatusLinesFollowTheSettingsStartingWithTheUserProfile) {
  const std::string lines = StatusLines(store, PhoneBehaviour{});
  EXPECT_EQ(lines.rfind("CurUserProfile=Normal\r\nCurNetworkProfile=Profile1 (velto)\r\n", 0), 0u);
  for (const char* name :
       {"CurDHCPclient=Enable", "CurIPaddress=192.168.1.1",
        "CurSubnetMask=", "CurPrimaryTFTPserver=", "CurPrimaryGateway=", "CurPrimaryDNSserver=",
        "CurSecondaryDNSserver=", "HardwareInfo=C5837-A2", "Domain=FCC", "KeyMgmtUsed=None",
        "CipherUsed_Unicast=None", "CipherUsed_Multicast=None", "EAP_Mode_Used=None"}) {
    EXPECT_NE(lines.find(std::string("\r\n") + name), std::string::npos) << name;
  }
  store.values["Prof_Active"] = "2";
  const std::string second = StatusLines(store, PhoneBehaviour{});
  EXPECT_NE(second.find("CurNetworkProfile=Profile2 (office)\r\n"), std::string::npos);
  EXPECT_NE(second.find("KeyMgmtUsed=WPA-PSK\r\n"), std::string::npos);
}

TEST_F(SessionTest, PushesAnImportOfTheScriptedSize) {
  for (size_t size : {30721u, 20u, 2u}) {
    PhoneBehaviour behaviour;
    behaviour.import_size = size;
    Start(behaviour);
    port.transfers.clear();
    Send("REQ import\r\n");
    EXPECT_EQ(port.writes.back().first, "IND import size " + std::to_string(size) + "\r\n");
    ASSERT_EQ(port.transfers.size(), 1u);
    EXPECT_EQ(port.transfers[0].data.size(), size);
  }
}

TEST_F(SessionTest, UploadReportsRejectedSettingsAndStoresTheRest) {
  Start();
  Send("REQ upload C:\\Velto\\Office.cfg\r\n");
  ASSERT_EQ(port.transfers.size(), 1u);
  EXPECT_EQ(port.transfers[0].direction, TftpDirection::kRead);
  EXPECT_EQ(port.transfers[0].file_name, "Office.cfg.txt");
  EXPECT_EQ(port.transfers[0].max_read, kSettingsBufferSize);
  session->OnTransferDone(
      Succeeded("# saved\r\nProf1_Name=Desk\r\nBogus=1\r\nVDPTTL=7\r\nno equal sign\r\n"));
  EXPECT_EQ(port.Written(),
            "IND upload unknown Bogus=1\r\nIND upload unknown no equal sign\r\nCNF upload 1\r\n");
  EXPECT_EQ(store.values["Prof1_Name"], "Desk");
  EXPECT_EQ(store.values["VDPTTL"], "7");
  EXPECT_EQ(port.changes, 1);

  port.writes.clear();
  Send("REQ upload /home/a/PhoneCNF.TXT\r\n");
  EXPECT_EQ(port.transfers.back().file_name, "PhoneCNF.TXT");
  session->OnTransferDone(Succeeded("Prof1_Name=Desk\r\n"));
  EXPECT_EQ(port.Written(), "CNF upload 0\r\n");
}

// Files named by the received settings are read by path; the first failure
// decides the status.
TEST_F(SessionTest, UploadReadsTheFilesTheSettingsName) {
  struct Case {
    bool ring_fails;
    bool image_fails;
    const char* reply;
  };
  for (const Case& c :
       {Case{false, false, "CNF upload 0\r\n"}, Case{true, false, "CNF upload 6\r\n"},
        Case{false, true, "CNF upload 3\r\n"}}) {
    Start();
    port.transfers.clear();
    port.writes.clear();
    store.values["RingToneFile"] = "C:\\tones\\ring1.wav";
    store.values["NewFirmwareImageUpgrade"] = "enable";
    store.values["NewFirmwareImageFilename"] = "C:\\fw\\p006_2.bin";
    Send("REQ upload x.txt\r\n");
    session->OnTransferDone(Succeeded("VDPTTL=9\r\n"));
    ASSERT_EQ(port.transfers.size(), 2u);
    EXPECT_EQ(port.transfers[1].file_name, "C:\\tones\\ring1.wav");
    session->OnTransferDone(c.ring_fails ? Failed() : Succeeded("RIFF"));
    if (!c.ring_fails) {
      ASSERT_EQ(port.transfers.size(), 3u);
      EXPECT_EQ(port.transfers[2].file_name, "C:\\fw\\p006_2.bin");
      session->OnTransferDone(c.image_fails ? Failed() : Succeeded("image"));
    }
    EXPECT_EQ(port.Written(), c.reply);
  }
}

TEST_F(SessionTest, UploadWhoseSettingsTransferFailsEndsWithStatusTwo) {
  Start();
  Send("REQ upload x.txt\r\n");
  session->OnTransferDone(Failed());
  EXPECT_EQ(port.Written(), "CNF upload 2\r\n");
  EXPECT_EQ(port.changes, 0);
}

TEST_F(SessionTest, FirmwareUpgradeReadsTheImageByPath) {
  Start();
  Send("REQ fwupgrade c:\\fw\\p006_2.bin\r\n");
  ASSERT_EQ(port.transfers.size(), 1u);
  EXPECT_EQ(port.transfers[0].file_name, "c:\\fw\\p006_2.bin");
  session->OnTransferDone(Succeeded("image"));
  Send("REQ fwupgrade /tmp/zrterm_5837.pkc\r\n");
  session->OnTransferDone(Failed());
  EXPECT_EQ(port.Written(), "CNF fwupgrade 0\r\nCNF fwupgrade 1\r\n");
}

TEST_F(SessionTest, AnswersKeepAliveDuringATransferAndQueuesTheRest) {
  Start();
  Send("REQ import\r\nREQ probe\r\nREQ logout\r\nREQ getmac\r\n");
  EXPECT_EQ(port.Written(), ImportIndication() + "CNF probe\r\nCNF getmac 02:00:00:00:58:37\r\n");
  session->OnTransferDone(Succeeded());
  EXPECT_EQ(port.writes[port.writes.size() - 2].first, "CNF import 0\r\n");
  EXPECT_EQ(port.writes.back().first, "CNF logout\r\n");
}

TEST_F(SessionTest, FactoryDefaultRestoresTheDefaultsAndCloses) {
  Start();
  store.values["VDPTTL"] = "1";
  const int resets = store.resets;
  Send("REQ FactoryDefault\r\nREQ probe\r\n");
  EXPECT_EQ(store.resets, resets + 1);
  EXPECT_EQ(store.values["VDPTTL"], "180");
  EXPECT_EQ(port.changes, 1);
  EXPECT_EQ(port.closes, 1);
  EXPECT_EQ(port.Written(), "") << "no reply, nothing after it";
}

TEST_F(SessionTest, BootCodeModeAnswersOnlyModeAndFirmwareUpgrade) {
  PhoneBehaviour behaviour;
  behaviour.boot_code = true;
  Start(behaviour);
  Send(
      "REQ mode\r\nREQ login admin qopwix\r\n\r\nREQ probe\r\nREQ import\r\nREQ fwupgrade "
      "a.bin\r\n");
  session->OnTransferDone(Succeeded("image"));
  EXPECT_EQ(port.Written(), "CNF mode 0\r\nCNF fwupgrade 0\r\n");
}

TEST_F(SessionTest, ForcedStatusesReplaceTheOutcome) {
  PhoneBehaviour behaviour;
  behaviour.login_status = 7;
  behaviour.import_status = 2;
  behaviour.upload_status = 15;
  behaviour.fwupgrade_status = 9;
  Start(behaviour);
  Send("REQ login admin qopwix\r\n\r\nREQ import\r\n");
  session->OnTransferDone(Succeeded());
  Send("REQ upload a.txt\r\n");
  session->OnTransferDone(Succeeded("VDPTTL=1\r\n"));
  Send("REQ fwupgrade a.bin\r\n");
  session->OnTransferDone(Failed());
  EXPECT_EQ(port.Written(), "CNF login 7\r\n" + ImportIndication() +
                                "CNF import 2\r\nCNF upload 15\r\nCNF fwupgrade 9\r\n");
}

TEST_F(SessionTest, ScriptedReplyFaults) {
  PhoneBehaviour behaviour;
  behaviour.split = PhoneBehaviour::Split{"login", 7, 50};
  behaviour.join = "logout";
  behaviour.mode_without_status = true;
  behaviour.probe_limit = 2;
  behaviour.mac_change = PhoneBehaviour::MacChange{2, "02:00:00:00:99:99"};
  Start(behaviour);

  Send("REQ login admin qopwix\r\n\r\n");
  ASSERT_EQ(port.writes.size(), 2u);
  EXPECT_EQ(port.writes[0], (std::pair<std::string, int>{"CNF log", 0}));
  EXPECT_EQ(port.writes[1], (std::pair<std::string, int>{"in 0\r\n", 50}));

  port.writes.clear();
  Send("REQ logout\r\n");
  EXPECT_TRUE(port.writes.empty()) << "held for the next reply";
  Send("REQ mode\r\n");
  ASSERT_EQ(port.writes.size(), 1u);
  EXPECT_EQ(port.writes[0].first, "CNF logout\r\n\r\nCNF mode\r\n");

  port.writes.clear();
  Send("REQ probe\r\nREQ probe\r\nREQ probe\r\nREQ getmac\r\nREQ getmac\r\nREQ getmac\r\n");
  EXPECT_EQ(port.Written(),
            "CNF probe\r\nCNF probe\r\nCNF getmac 02:00:00:00:58:37\r\n"
            "CNF getmac 02:00:00:00:99:99\r\nCNF getmac 02:00:00:00:99:99\r\n");
}

TEST_F(SessionTest, ClosesTheConnectionAtTheScriptedPoint) {
  struct Case {
    const char* command;
    ClosePoint point;
    std::string written;
    size_t transfers;
  };
  const Case cases[] = {
      {"login", ClosePoint::kRequest, "", 0},
      {"login", ClosePoint::kReply, "CNF login 0\r\n", 0},
      {"import", ClosePoint::kIndication, ImportIndication(), 0},
      {"import", ClosePoint::kTransfer, ImportIndication(), 1},
      {"import", ClosePoint::kReply, ImportIndication() + "CNF import 0\r\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    PhoneBehaviour behaviour;
    behaviour.close = PhoneBehaviour::Close{c.command, c.point};
    port = RecordingSessionPort{};
    Start(behaviour);
    Send(std::string("REQ ") + c.command +
         (c.command[0] == 'l' ? " admin qopwix\r\n\r\n" : "\r\n"));
    if (!port.transfers.empty() && c.point == ClosePoint::kReply) {
      session->OnTransferDone(Succeeded());
    }
    Send("REQ probe\r\n");
    EXPECT_EQ(port.Written(), c.written);
    EXPECT_EQ(port.transfers.size(), c.transfers);
    EXPECT_EQ(port.closes, 1);
    EXPECT_TRUE(session->CloseRequested());
  }
}

}  // namespace
}  // namespace phonesim
