#include "setting_table.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "phone_settings.h"

namespace mivo {
namespace {

TEST(SettingTable, HasFixedRowCountAndEmptyRowsAfterIt) {
  const auto table = SettingTable();
  EXPECT_EQ(table.size(), 1024u);
  for (int row = 0; row < kSettingRowCount; ++row) {
    EXPECT_FALSE(table[static_cast<size_t>(row)].Name().empty()) << row;
  }
  for (size_t row = kSettingRowCount; row < table.size(); ++row) {
    EXPECT_TRUE(table[row].Name().empty()) << row;
  }
}

TEST(SettingTable, GroupsHoldTheirRowsConsecutively) {
  const std::map<ValueGroup, int> expected = {
      {ValueGroup::kNetworkProfile1, 31}, {ValueGroup::kNetworkProfile2, 31},
      {ValueGroup::kNetworkProfile3, 31}, {ValueGroup::kNetworkProfile4, 31},
      {ValueGroup::kActiveProfile, 2},    {ValueGroup::kPhoneLock, 4},
      {ValueGroup::kPhoneOptions, 17},    {ValueGroup::kUserProfiles, 25},
      {ValueGroup::kPhoneBook, 501},      {ValueGroup::kSpeedDial, 8}};
  std::map<ValueGroup, int> counts;
  const auto table = SettingTable();
  for (int row = 0; row < kSettingRowCount; ++row) {
    const SettingParameter& p = table[static_cast<size_t>(row)];
    ++counts[p.group];
    if (p.groupCode != 0) {
      // A group code starts a group at offset 0.
      EXPECT_EQ(static_cast<int>(p.group), p.groupCode) << row;
      EXPECT_EQ(p.offset, 0) << row;
    } else {
      // Otherwise the slot follows the previous row's slot in the same group.
      const SettingParameter& previous = table[static_cast<size_t>(row - 1)];
      EXPECT_EQ(p.group, previous.group) << row;
      EXPECT_EQ(p.offset, previous.offset + SlotSize(previous.kind)) << row;
    }
  }
  EXPECT_EQ(counts, expected);
}

TEST(SettingTable, RowsByIndex) {
  struct Row {
    int row;
    const char* name;
    int32_t kind;
    const char* constraint;
    int32_t groupCode;
  };
  const Row rows[] = {
      {0, "Prof1_Name", kKindText, "32", 16},
      {2, "Prof1_DHCPclient", kKindChoice, "Disable/Enable", 0},
      {12, "Prof1_TransmitPower", kKindList, "1/5/20/50/100", 0},
      {16, "Prof1_EAP_mode", kKindChoice, "auto/LEAP/EAP-FAST", 0},
      {31, "Prof2_Name", kKindText, "32", 17},
      {65, "Prof3_IPaddress", kKindAddress, "", 0},
      {93, "Prof4_Name", kKindText, "32", 19},
      {123, "Prof4_WEPkey4_EncryptionBit", kKindList, "None/64/128", 0},
      {124, "Prof_Active", kKindList, "0/1/2/3/4", 21},
      {126, "PhoneLock", kKindChoice, "Disable/Enable", 13},
      {130, "VDP", kKindChoice, "Disable/Enable", 14},
      {134, "NewFirmwareImageFilename", kKindPath, "127", 0},
      {143, "PhoneLog_TFTP_WLAN", kKindAddress, "", 0},
      {147, "UserProf_Active", kKindList, "Normal/Silent/Meeting/Outdoors", 15},
      {150, "Normal_IncomingCallAlert", kKindList, "On/Off", 0},
      {162, "Meeting_IncomingCallAlert", kKindChoice, "On/Off", 0},
      {171, "Outdoors_WarningStyle", kKindList, "Tone/Vibration/Off", 0},
      {172, "SpeedDial_Num2", kKindText, "23", 23},
      {179, "SpeedDial_Num9", kKindText, "23", 0},
      {180, "PhBook_Count", kKindNumber, "0-100", 22},
      {181, "PhBook_Name", kKindText, "20", 0},
      {185, "PhBook_EmailAddr", kKindText, "48", 0},
      {676, "PhBook_Name", kKindText, "20", 0},
      {680, "PhBook_EmailAddr", kKindText, "48", 0},
  };
  const auto table = SettingTable();
  for (const Row& r : rows) {
    const SettingParameter& p = table[static_cast<size_t>(r.row)];
    EXPECT_EQ(p.Name(), r.name) << r.row;
    EXPECT_EQ(p.kind, r.kind) << r.row;
    EXPECT_EQ(p.Constraint(), r.constraint) << r.row;
    EXPECT_EQ(p.groupCode, r.groupCode) << r.row;
  }
}

TEST(SettingTable, DefaultsOfANewSet) {
  const PhoneSettings settings;
  const std::map<int, std::string> expected = {{0, "Profile1"},
                                               {1, "Enable"},
                                               {3, "192.168.1.1"},
                                               {4, "255.255.255.0"},
                                               {5, "192.168.1.251"},
                                               {6, "192.168.1.254"},
                                               {9, "DHCP"},
                                               {10, "velto"},
                                               {11, "Specify"},
                                               {12, "20"},
                                               {13, "Auto"},
                                               {14, "Open"},
                                               {16, "auto"},
                                               {17, "guest1"},
                                               {18, "guest1"},
                                               {19, "HEX"},
                                               {20, ""},
                                               {22, "1"},
                                               {27, "None"},
                                               {96, "192.168.1.4"},
                                               {110, "guest4"},
                                               {124, "0"},
                                               {125, "Prof1"},
                                               {126, "Disable"},
                                               {130, "Enable"},
                                               {131, "60"},
                                               {132, "180"},
                                               {136, "1"},
                                               {137, "1"},
                                               {138, "Ring 1"},
                                               {140, "Velto Systems"},
                                               {141, "VELTO"},
                                               {142, "On"},
                                               {143, "192.168.1.2"},
                                               {144, "PhBook"},
                                               {145, "Mute"},
                                               {146, "0"},
                                               {147, "Normal"},
                                               {148, "4"},
                                               {149, "5"},
                                               {150, "On"},
                                               {151, "Off"},
                                               {153, "Tone"},
                                               {155, "1"},
                                               {156, "Off"},
                                               {159, "Off"},
                                               {161, "2"},
                                               {166, "6"},
                                               {167, "7"},
                                               {168, "On"},
                                               {169, "On"},
                                               {170, "On"},
                                               {171, "Tone"},
                                               {172, ""},
                                               {180, "0"},
                                               {181, ""}};
  for (const auto& [row, value] : expected) {
    EXPECT_EQ(settings.WorkingValueText(row), value) << row;
    EXPECT_EQ(settings.CommittedValueText(row), value) << row;
  }
  EXPECT_TRUE(settings.WorkingEqualsCommitted());
}

TEST(SettingTable, SecurityListHas79ExactNames) {
  EXPECT_EQ(SecurityList().size(), 79u);
  EXPECT_EQ(std::set<std::string_view>(SecurityList().begin(), SecurityList().end()).size(), 79u);
  for (const char* name : {"Authentication", "WEPkey4EncryptionBit", "PhoneLockPW",
                           "Prof1_LEAPpromptMode", "Prof3_EAP_mode", "Prof4_WEPkey4_EncryptionBit",
                           "Prof2_KeyASCIIpassword", "ResetPhoneLockPW"}) {
    EXPECT_TRUE(IsSecuritySetting(name)) << name;
  }
  for (const char* name : {"Prof1_PresharedKey", "PhoneLock", "prof1_wepkey1", "Prof1_WEPkey1 ",
                           "Prof5_WEPkey1", "Prof1_SSID"}) {
    EXPECT_FALSE(IsSecuritySetting(name)) << name;
  }
  // Every profile row the security list names exists in the table.
  const PhoneSettings settings;
  for (std::string_view name : SecurityList()) {
    if (name.starts_with("Prof")) {
      EXPECT_GE(settings.FindParameter(name), 0) << name;
    }
  }
}

TEST(SettingTable, StaticAddressesAreSixPerProfile) {
  EXPECT_TRUE(IsStaticAddress("Prof1_IPaddress", 0));
  EXPECT_TRUE(IsStaticAddress("Prof4_SecondaryDNSserver", 3));
  EXPECT_TRUE(IsStaticAddress("Prof2_SubnetMask", 1));
  EXPECT_FALSE(IsStaticAddress("Prof2_SubnetMask", 0));
  EXPECT_FALSE(IsStaticAddress("prof1_ipaddress", 0));
  EXPECT_FALSE(IsStaticAddress("PhoneLog_TFTP_WLAN", 0));
  EXPECT_FALSE(IsStaticAddress("Prof1_IPaddress", 4));
  int count = 0;
  const PhoneSettings settings;
  for (int row = 0; row < kSettingRowCount; ++row) {
    for (int profile = 0; profile < 4; ++profile) {
      count += IsStaticAddress(settings.Parameter(row).Name(), profile) ? 1 : 0;
    }
  }
  EXPECT_EQ(count, 24);
}

}  // namespace
}  // namespace mivo
