#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <iterator>
#include <string>

#include "config_file.h"
#include "fake_settings_ui.h"
#include "phone_settings.h"
#include "setting_table.h"
#include "temp_dir.h"

namespace mivo {
namespace {

using testing::FakeSettingsUi;
using testing::ReadWholeFile;
using testing::TempDir;

bool HasLine(const std::string& text, const std::string& line) {
  return text.starts_with(line + "\r\n") || text.find("\n" + line + "\r\n") != std::string::npos;
}

bool HasName(const std::string& text, const std::string& name) {
  return text.starts_with(name + "=") || text.find("\n" + name + "=") != std::string::npos;
}

class WriteTest : public ::testing::Test {
 protected:
  int Row(std::string_view name) const { return settings.FindParameter(name); }
  void Set(std::string_view name, std::string_view value) {
    const CheckResult check = settings.CheckValue(Row(name), value);
    ASSERT_EQ(check.code, 0) << name;
    settings.StoreValue(Row(name), value, check.itemIndex);
  }

  TempDir dir;
  PhoneSettings settings;
  FakeSettingsUi ui;
};

TEST_F(WriteTest, NewDocumentMatchesTheGoldenFile) {
  const std::string text = WriteToText(settings, &ui);
  EXPECT_EQ(text, ReadWholeFile(MIVO_SETTINGS_TEST_DATA "/new_document.txt"));
  EXPECT_TRUE(text.starts_with("Prof1_Name=Profile1\r\n"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 90);
  EXPECT_EQ(ui.pulls, 1);
}

TEST_F(WriteTest, AddressRowsFollowTheDhcpRule) {
  struct Case {
    const char* dhcpClient;
    const char* tftpOption;
    std::vector<const char*> written;
  };
  const std::vector<const char*> all = {
      "Prof1_IPaddress=192.168.1.1",           "Prof1_SubnetMask=255.255.255.0",
      "Prof1_PrimaryTFTPserver=192.168.1.251", "Prof1_PrimaryGateway=192.168.1.254",
      "Prof1_PrimaryDNSserver=192.168.1.251",  "Prof1_SecondaryDNSserver=192.168.1.251"};
  const Case cases[] = {
      {"Enable", "DHCP", {}},
      {"Enable", "Static", {"Prof1_PrimaryTFTPserver=192.168.1.251"}},
      {"Disable", "DHCP", all},
      {"Disable", "Static", all},
  };
  for (const Case& c : cases) {
    PhoneSettings fresh;
    settings = fresh;
    Set("Prof1_DHCPclient", c.dhcpClient);
    Set("Prof1_TftpOption", c.tftpOption);
    const std::string text = WriteToText(settings, &ui);
    int addressLines = 0;
    for (const char* line : all) addressLines += HasLine(text, line) ? 1 : 0;
    EXPECT_EQ(addressLines, static_cast<int>(c.written.size())) << c.dhcpClient << c.tftpOption;
    for (const char* line : c.written) EXPECT_TRUE(HasLine(text, line)) << line;
    EXPECT_FALSE(HasName(text, "Prof2_IPaddress"));
  }
}

TEST_F(WriteTest, SecurityRowsAreNeverWritten) {
  Set("Prof1_Authentication", "SharedKey");
  Set("Prof1_WEPkey1", "0123456789");
  Set("PhoneLockPW", "1234");
  Set("PhoneLock", "Enable");
  const std::string text = WriteToText(settings, &ui);
  for (std::string_view name : SecurityList())
    EXPECT_FALSE(HasName(text, std::string(name))) << name;
  EXPECT_TRUE(HasLine(text, "Prof1_PresharedKey=HEX"));
  EXPECT_TRUE(HasLine(text, "PhoneLock=Enable"));

  // The phone's own settings text carries them.
  WriteOptions options;
  options.includeSecuritySettings = true;
  const std::string phoneText = WriteToText(settings, &ui, options);
  EXPECT_TRUE(HasLine(phoneText, "Prof1_WEPkey1=0123456789"));
  EXPECT_TRUE(HasLine(phoneText, "Prof1_Authentication=SharedKey"));
  EXPECT_TRUE(HasLine(phoneText, "PhoneLockPW=1234"));
}

TEST_F(WriteTest, PhoneBookRecordsUpToTheCountComeFromThePages) {
  ui.pull = [](PhoneSettings& s) {
    s.SetWorkingNumber(kRowPhBookCount, 2);
    s.SetWorkingText(kRowPhBookFirst, "Ann");
    s.SetWorkingText(kRowPhBookFirst + 4, "ann@example.org");
    s.SetWorkingText(kRowPhBookFirst + 5, "Bob");
    s.SetWorkingText(kRowPhBookFirst + 10, "Cid");
    s.SetWorkingText(kRowSpeedDialFirst + 1, "0123");
  };
  const std::string text = WriteToText(settings, &ui);
  const std::string tail =
      "SpeedDial_Num9=\r\nPhBook_Count=2\r\n"
      "PhBook_Name=Ann\r\nPhBook_OfficeNum=\r\nPhBook_HomeNum=\r\nPhBook_CellNum=\r\n"
      "PhBook_EmailAddr=ann@example.org\r\n"
      "PhBook_Name=Bob\r\nPhBook_OfficeNum=\r\nPhBook_HomeNum=\r\nPhBook_CellNum=\r\n"
      "PhBook_EmailAddr=\r\n";
  EXPECT_TRUE(text.ends_with(tail)) << text;
  EXPECT_TRUE(HasLine(text, "SpeedDial_Num3=0123"));
}

TEST_F(WriteTest, ChoiceWithoutItemWritesNoLine) {
  settings.StoreValue(Row("BackLightType"), "", 5);
  const std::string text = WriteToText(settings, &ui);
  EXPECT_FALSE(HasName(text, "BackLightType"));
  EXPECT_TRUE(HasLine(text, "DispWelcomeMsg=VELTO"));
  EXPECT_TRUE(HasLine(text, "PhoneLog_TFTP_WLAN=192.168.1.2"));
}

TEST_F(WriteTest, WriteSavesLogsAndTellsTheUser) {
  Set("Prof1_SSID", "lab");
  const std::string path = dir.Path("PhoneCNF.txt");
  ASSERT_TRUE(Write(settings, path, true, ui));
  EXPECT_TRUE(HasLine(ReadWholeFile(path), "Prof1_SSID=lab"));
  EXPECT_EQ(ui.hints, std::vector<int>{3});
  ASSERT_EQ(ui.logEntries.size(), 1u);
  EXPECT_EQ(ui.logEntries[0].type, 7);
  EXPECT_EQ(ui.logEntries[0].text, "Save settings to configuration file");
  EXPECT_EQ(ui.logEntries[0].path, path);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            "Save settings to the configuration file \"" + path +
                "\".\t\t\t\n\nFor security reason, the settings in Network Security and Phone "
                "Lock Password will not be saved.");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::kInformation);

  FakeSettingsUi quiet;
  ASSERT_TRUE(Write(settings, path, false, quiet));
  EXPECT_TRUE(quiet.messages.empty());
}

TEST_F(WriteTest, FileThatCannotBeCreatedCommitsNothing) {
  Set("Prof1_SSID", "lab");
  const std::string path = dir.Path("no/such/folder/PhoneCNF.txt");
  EXPECT_FALSE(Write(settings, path, true, ui));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Unable to write the Configuration File \"" + path + "\" !");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::kWarning);
  EXPECT_EQ(settings.CommittedText(Row("Prof1_SSID")), "velto");
  EXPECT_TRUE(ui.logEntries.empty());
}

// Limits the size of files this process may write, for the length of a test.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &m_saved);
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_saved;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_handler);
  }

 private:
  rlimit m_saved{};
  void (*m_handler)(int) = nullptr;
};

TEST_F(WriteTest, FailedWriteKeepsTheEarlierFileWhole) {
  const std::string earlier = "Prof1_SSID=earlier\r\n";
  const std::string path = dir.Write("PhoneCNF.txt", earlier);
  Set("Prof1_SSID", "lab");
  {
    FileSizeLimit limit(1024);  // the new file is several KB
    EXPECT_FALSE(Write(settings, path, true, ui));
  }
  EXPECT_EQ(ReadWholeFile(path), earlier);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Unable to write the Configuration File \"" + path + "\" !");
  EXPECT_TRUE(ui.logEntries.empty());
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path("")),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(WriteTest, SavingKeepsPermissionsAndSymbolicLinks) {
  namespace fs = std::filesystem;
  const std::string real = dir.Write("real.txt", "old\r\n");
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
  const std::string link = dir.Path("PhoneCNF.txt");
  fs::create_symlink(real, link);

  ASSERT_TRUE(Write(settings, link, false, ui));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_TRUE(HasName(ReadWholeFile(real), "Prof1_SSID"));
  EXPECT_EQ(fs::status(real).permissions() & fs::perms::mask,
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(WriteTest, OpenedAndSavedFileReadsBackTheSame) {
  Set("Prof2_DHCPclient", "Disable");
  Set("Prof2_IPaddress", "10.1.2.3");
  Set("Prof3_DataRate", "5.5");
  Set("VDPtransmitInterval", "65535");
  Set("UserProf_Active", "Meeting");
  Set("SpeedDial_Num9", "999");
  Set("PhBook_Count", "1");
  settings.SetWorkingText(kRowPhBookFirst, "Ann");
  const std::string first = WriteToText(settings, &ui);

  SettingsBuffer buffer;
  const std::string path = dir.Write("PhoneCNF.txt", first);
  PhoneSettings loaded;
  ASSERT_TRUE(Load(loaded, LoadMode::kOpen, path, buffer, ui));
  SyncPhoneBookAndSpeedDial(loaded, SyncMode::kCommit, nullptr);
  EXPECT_EQ(WriteToText(loaded, nullptr), first);
  EXPECT_TRUE(ui.dialogs.empty());
}

}  // namespace
}  // namespace mivo
