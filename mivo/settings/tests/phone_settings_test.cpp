#include "phone_settings.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "fake_settings_ui.h"

namespace mivo {
namespace {

class PhoneSettingsTest : public ::testing::Test {
 protected:
  int Row(std::string_view name) const {
    const int row = settings.FindParameter(name);
    EXPECT_GE(row, 0) << name;
    return row;
  }
  // Stores a value that passed its check, as the loader does.
  void Store(std::string_view name, std::string_view value) {
    const int row = Row(name);
    const CheckResult check = settings.CheckValue(row, value);
    ASSERT_EQ(check.code, kCheckAccepted) << name << "=" << value;
    ASSERT_TRUE(settings.StoreValue(row, value, check.itemIndex));
  }
  std::string Line(int row) const {
    std::string line;
    EXPECT_TRUE(settings.FormatLine(row, line));
    return line;
  }

  PhoneSettings settings;
};

TEST_F(PhoneSettingsTest, FindParameterIgnoresCaseButLegacyNamesAreExact) {
  struct Case {
    const char* name;
    int row;
  };
  const Case cases[] = {
      {"Prof1_SSID", 10},
      {"Prof1_ssid", 10},
      {"PROF3_IPADDRESS", 65},
      {"DHCPclient", 2},
      {"dhcpclient", -1},
      {"WEPkey3EncryptionBit", 29},
      {"IPaddress", 3},
      {"PhBook_Name", 181},
      {"phbook_emailaddr", 185},
      {"SpeedDial_Num9", 179},
      {"SSID2", -1},
      {"SSIDType1", -1},
      {"", -1},
      {"Prof1_SSID ", -1},
      {"Prof5_Name", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(settings.FindParameter(c.name), c.row) << c.name;
}

TEST_F(PhoneSettingsTest, CheckValueCodes) {
  struct Case {
    const char* name;
    std::string value;
    int32_t code;
    int32_t index;
  };
  const Case cases[] = {
      {"Prof1_DataRate", "auto", kCheckAccepted, 4},
      {"Prof1_DataRate", "5.5", kCheckAccepted, 2},
      {"Prof1_DataRate", "54", kCheckNotAvailable, 0},
      {"Prof1_Modify", "ENABLE", kCheckAccepted, 1},
      {"Prof1_Modify", "", kCheckNotAvailable, 0},
      {"Prof2_EAP_mode", "eap-fast", kCheckAccepted, 2},
      {"VDPTTL", "255", kCheckAccepted, 0},
      {"VDPTTL", "0", kCheckAccepted, 0},
      {"VDPTTL", "256", kCheckOutOfRange, 0},
      {"VDPTTL", "99999999999999999999999", kCheckOutOfRange, 0},
      {"VDPTTL", "-1", kCheckNotAvailable, 0},
      {"VDPTTL", "1 0", kCheckNotAvailable, 0},
      {"VDPTTL", "", kCheckNotAvailable, 0},
      {"VDPTTL", "+5", kCheckNotAvailable, 0},
      {"Prof1_WEPkeyIdx", "0", kCheckOutOfRange, 0},
      {"PhBook_Count", "9999", kCheckOutOfRange, 0},
      {"Prof1_SSID", std::string(32, 'x'), kCheckAccepted, 0},
      {"Prof1_SSID", std::string(33, 'x'), kCheckTooLong, 0},
      {"Prof1_SSID", "", kCheckAccepted, 0},
      {"NewFirmwareImageFilename", std::string(127, 'p'), kCheckAccepted, 0},
      {"NewFirmwareImageFilename", std::string(128, 'p'), kCheckTooLong, 0},
      {"Prof1_SubnetMask", "255.255.255.0", kCheckAccepted, 0},
      {"Prof1_IPaddress", "192.168.1.0", kCheckBadAddress, 0},
      {"Prof1_IPaddress", "0.1.2.3", kCheckBadAddress, 0},
      {"Prof1_SubnetMask", "0.1.2.3", kCheckBadAddress, 0},
      {"Prof1_IPaddress", "10.0.0.1.7", kCheckAccepted, 0},
      {"Prof1_IPaddress", "1.2.3", kCheckBadAddress, 0},
      {"Prof1_IPaddress", "1.2.3.", kCheckBadAddress, 0},
      {"Prof1_IPaddress", "256.1.1.1", kCheckBadAddress, 0},
      {"Prof1_IPaddress", "1.2.256.1", kCheckBadAddress, 0},
      {"Prof1_IPaddress", "a.b.c.d", kCheckBadAddress, 0},
      {"PhoneLog_TFTP_WLAN", "1..2.3", kCheckAccepted, 0},
  };
  for (const Case& c : cases) {
    const CheckResult result = settings.CheckValue(Row(c.name), c.value);
    EXPECT_EQ(result.code, c.code) << c.name << "=" << c.value;
    EXPECT_EQ(result.itemIndex, c.index) << c.name << "=" << c.value;
  }
  EXPECT_EQ(settings.CheckValue(-1, "x").code, kCheckNotAvailable);
  EXPECT_EQ(settings.CheckValue(kSettingRowCount, "x").code, kCheckNotAvailable);
}

TEST_F(PhoneSettingsTest, FormatLineOfANewSet) {
  EXPECT_EQ(Line(12), "Prof1_TransmitPower=20\r\n");
  EXPECT_EQ(Line(65), "Prof3_IPaddress=192.168.1.3\r\n");
  EXPECT_EQ(Line(0), "Prof1_Name=Profile1\r\n");
  EXPECT_EQ(Line(138), "RingToneName=Ring 1\r\n");
}

TEST_F(PhoneSettingsTest, StoredValuesAreFormattedAfterCommitOnly) {
  Store("Prof1_DataRate", "auto");
  Store("Prof1_IPaddress", "10.0.0.1.7");
  Store("Prof1_SSID", "Office Net");
  Store("VDPTTL", "007");
  EXPECT_EQ(Line(Row("Prof1_DataRate")), "Prof1_DataRate=Auto\r\n");  // committed was Auto too
  EXPECT_EQ(Line(Row("Prof1_SSID")), "Prof1_SSID=velto\r\n");
  settings.CommitAll();
  EXPECT_EQ(Line(Row("Prof1_IPaddress")), "Prof1_IPaddress=10.0.0.1\r\n");
  EXPECT_EQ(Line(Row("Prof1_SSID")), "Prof1_SSID=Office Net\r\n");
  EXPECT_EQ(Line(Row("VDPTTL")), "VDPTTL=7\r\n");
  EXPECT_TRUE(settings.WorkingEqualsCommitted());
}

TEST_F(PhoneSettingsTest, CommitNormalisesAddresses) {
  struct Case {
    const char* name;
    Octets working;
    Octets committed;
  };
  const Case cases[] = {
      {"Prof2_PrimaryGateway", {0, 0, 0, 0}, {1, 0, 0, 1}},
      {"Prof2_SubnetMask", {0, 0, 0, 0}, {1, 0, 0, 0}},
      {"Prof1_IPaddress", {0, 5, 5, 0}, {1, 5, 5, 1}},
      {"Prof4_SecondaryDNSserver", {10, 0, 0, 0}, {10, 0, 0, 1}},
      {"PhoneLog_TFTP_WLAN", {0, 0, 0, 0}, {1, 0, 0, 1}},
  };
  for (const Case& c : cases) settings.SetWorkingAddress(Row(c.name), c.working);
  settings.CommitAll();
  for (const Case& c : cases) {
    EXPECT_EQ(settings.CommittedAddress(Row(c.name)), c.committed) << c.name;
    EXPECT_EQ(settings.WorkingAddress(Row(c.name)), c.committed) << c.name;
  }
}

TEST_F(PhoneSettingsTest, CommitCoversOnlyItsGroup) {
  Store("Prof1_SSID", "lab");
  Store("VDPTTL", "9");
  Store("SpeedDial_Num2", "555");
  Store("Prof_Active", "3");
  settings.Commit(CommitGroup::kPhoneOptions);
  EXPECT_EQ(settings.CommittedValueText(Row("VDPTTL")), "9");
  EXPECT_EQ(settings.CommittedValueText(Row("Prof1_SSID")), "velto");
  EXPECT_EQ(settings.CommittedValueText(Row("Prof_Active")), "0");
  settings.Commit(CommitGroup::kNetworkProfiles);
  EXPECT_EQ(settings.CommittedValueText(Row("Prof1_SSID")), "lab");
  EXPECT_EQ(settings.CommittedValueText(Row("Prof_Active")), "3");
  settings.CommitAll();  // speed dial is not part of commit all
  EXPECT_EQ(settings.CommittedValueText(Row("SpeedDial_Num2")), "");
  settings.Commit(CommitGroup::kSpeedDial);
  EXPECT_EQ(settings.CommittedValueText(Row("SpeedDial_Num2")), "555");
}

// Every row's working value changed, then one group committed: exactly that group's
// rows take their working values.
TEST_F(PhoneSettingsTest, EachCommitTakesExactlyItsRows) {
  struct Range {
    int first;
    int last;
  };
  struct Case {
    CommitGroup group;
    std::vector<Range> rows;
  };
  const Case cases[] = {
      {CommitGroup::kNetworkProfiles, {{0, 125}}},
      {CommitGroup::kPhoneLock, {{126, 129}}},
      {CommitGroup::kPhoneOptions, {{130, 146}}},
      {CommitGroup::kUserProfiles, {{147, 171}}},
      {CommitGroup::kSpeedDial, {{172, 179}}},
      {CommitGroup::kPhoneBook, {{180, 180 + 3 * 5}}},  // the count (3) and records 0 to 2
  };
  for (const Case& c : cases) {
    PhoneSettings s;
    for (int row = 0; row < s.RowCount(); ++row) {
      const int32_t kind = s.Parameter(row).kind;
      if (kind == kKindText || kind == kKindPath) s.SetWorkingText(row, "changed");
      if (kind == kKindAddress) s.SetWorkingAddress(row, {9, 8, 7, 6});
      if (kind == kKindChoice || kind == kKindList || kind == kKindNumber) {
        s.SetWorkingNumber(row, s.CommittedNumber(row) + 1);
      }
    }
    s.SetWorkingNumber(kRowPhBookCount, 3);
    s.Commit(c.group);
    for (int row = 0; row < s.RowCount(); ++row) {
      bool inGroup = false;
      for (const Range& range : c.rows) inGroup |= row >= range.first && row <= range.last;
      const bool committed = s.WorkingNumber(row) == s.CommittedNumber(row) &&
                             s.WorkingText(row) == s.CommittedText(row) &&
                             s.WorkingAddress(row) == s.CommittedAddress(row);
      EXPECT_EQ(committed, inGroup) << "group " << static_cast<int>(c.group) << " row " << row;
    }
  }
}

TEST_F(PhoneSettingsTest, PhoneBookCommitStopsAtTheCount) {
  for (int record = 0; record < 3; ++record) {
    settings.SetWorkingText(kRowPhBookFirst + 5 * record, "name" + std::to_string(record));
  }
  settings.SetWorkingNumber(kRowPhBookCount, 2);
  settings.Commit(CommitGroup::kPhoneBook);
  EXPECT_EQ(settings.CommittedNumber(kRowPhBookCount), 2);
  EXPECT_EQ(settings.CommittedText(kRowPhBookFirst + 5), "name1");
  EXPECT_EQ(settings.CommittedText(kRowPhBookFirst + 10), "");

  // A count past 100 commits all 100 records and nothing beyond.
  settings.SetWorkingNumber(kRowPhBookCount, 9999);
  settings.SetWorkingText(kSettingRowCount - 1, "last");
  settings.Commit(CommitGroup::kPhoneBook);
  EXPECT_EQ(settings.CommittedText(kSettingRowCount - 1), "last");
}

TEST_F(PhoneSettingsTest, StoreOfFailedValuesNeverLeavesItsSlot) {
  const int ssid = Row("Prof1_SSID");
  const int ssidType = ssid + 1;
  const int path = Row("NewFirmwareImageFilename");
  const int next = path + 1;
  settings.StoreValue(next, "ring.xml", 0);
  ASSERT_TRUE(settings.StoreValue(ssid, std::string(300, 'a'), 0));
  ASSERT_TRUE(settings.StoreValue(path, std::string(300, 'b'), 0));
  EXPECT_EQ(settings.WorkingText(ssid), std::string(64, 'a'));
  EXPECT_EQ(settings.WorkingText(path), std::string(127, 'b'));
  EXPECT_EQ(settings.WorkingValueText(ssidType), "Specify");
  EXPECT_EQ(settings.WorkingText(next), "ring.xml");
  settings.CommitAll();
  EXPECT_EQ(settings.CommittedText(ssid), std::string(64, 'a'));

  // An address that does not parse stores nothing.
  const int ip = Row("Prof1_IPaddress");
  for (const char* bad : {"1.2.300.4", "1.2.3", "", "1.2.3.", "999999999999.1.1.1"}) {
    EXPECT_FALSE(settings.StoreValue(ip, bad, 0)) << bad;
    EXPECT_EQ(settings.WorkingValueText(ip), "192.168.1.1") << bad;
  }
  EXPECT_TRUE(settings.StoreValue(ip, "0.1.2.3", 0));  // fails its check, but parses
  EXPECT_EQ(settings.WorkingValueText(ip), "0.1.2.3");

  const int ttl = Row("VDPTTL");
  settings.StoreValue(ttl, "99999999999999999999", 0);
  EXPECT_EQ(settings.WorkingNumber(ttl), std::numeric_limits<int32_t>::max());
}

TEST_F(PhoneSettingsTest, ChoiceIndexWithoutItemCannotBeFormatted) {
  const int modify = Row("Prof1_Modify");
  settings.StoreValue(modify, "", 7);
  settings.CommitAll();
  std::string line;
  EXPECT_FALSE(settings.FormatLine(modify, line));
  EXPECT_EQ(line, "Prof1_Modify=");
  settings.StoreValue(modify, "", -1);
  settings.CommitAll();
  line.clear();
  EXPECT_FALSE(settings.FormatLine(modify, line));
}

TEST_F(PhoneSettingsTest, SetDefaultsRestoresEverythingAndRefreshes) {
  Store("Prof1_SSID", "lab");
  settings.SetWorkingText(kRowPhBookFirst, "x");
  settings.CommitAll();
  testing::FakeSettingsUi ui;
  settings.SetDefaults(&ui);
  EXPECT_EQ(settings.CommittedValueText(Row("Prof1_SSID")), "velto");
  EXPECT_EQ(settings.WorkingText(kRowPhBookFirst), "");
  EXPECT_TRUE(settings.WorkingEqualsCommitted());
  EXPECT_EQ(ui.hints, std::vector<int>{3});
}

TEST_F(PhoneSettingsTest, SnapshotTakesWorkingValuesExceptNetworkProfiles) {
  PhoneSettings application;
  application.SetWorkingText(Row("Prof2_SSID"), "own");
  Store("VDPTTL", "42");
  Store("PhoneLock", "Enable");
  Store("Silent_RingToneVolume", "3");
  Store("SpeedDial_Num5", "12345");
  Store("PhBook_Count", "1");
  settings.SetWorkingText(kSettingRowCount - 1, "far@example.org");
  Store("Prof2_SSID", "document");

  testing::FakeSettingsUi ui;
  settings.SnapshotTo(application, &ui);
  EXPECT_EQ(application.CommittedValueText(Row("VDPTTL")), "42");
  EXPECT_EQ(application.CommittedValueText(Row("PhoneLock")), "Enable");
  EXPECT_EQ(application.CommittedValueText(Row("Silent_RingToneVolume")), "3");
  EXPECT_EQ(application.CommittedValueText(Row("SpeedDial_Num5")), "12345");
  EXPECT_EQ(application.CommittedNumber(kRowPhBookCount), 1);
  EXPECT_EQ(application.CommittedText(kSettingRowCount - 1), "far@example.org");
  // Network profiles: the application set commits its own working values.
  EXPECT_EQ(application.CommittedValueText(Row("Prof2_SSID")), "own");
  EXPECT_EQ(ui.hints, std::vector<int>{6});
}

TEST_F(PhoneSettingsTest, CopiesAreIndependent) {
  PhoneSettings copy = settings;
  copy.SetWorkingText(0, "changed");
  EXPECT_EQ(settings.WorkingText(0), "Profile1");
  EXPECT_EQ(copy.WorkingText(0), "changed");
}

}  // namespace
}  // namespace mivo
