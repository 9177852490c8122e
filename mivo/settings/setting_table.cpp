#include "setting_table.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace mivo {
namespace {

// One row as written down here: the value reference is the group code until the
// table is complete, then it is bound to the slot.
struct RowSpec {
  std::string name;
  int32_t kind;
  const char* constraint;
  int32_t groupCode;
  std::string defaultText;
};

struct ProfileRowSpec {
  const char* suffix;
  int32_t kind;
  const char* constraint;
  const char* defaultText;  // "#" stands for the profile number N
};

// The LEAP user name and password of profile N default to this word followed by N.
constexpr const char* kLeapDefaultWord = "guest";

// The 31 rows of each network profile N, in order.
constexpr ProfileRowSpec kProfileRows[kRowsPerProfile] = {
    {"Name", kKindText, "32", "Profile#"},
    {"Modify", kKindChoice, "Disable/Enable", "Enable"},
    {"DHCPclient", kKindChoice, "Disable/Enable", "Enable"},
    {"IPaddress", kKindAddress, "", "192.168.1.#"},
    {"SubnetMask", kKindAddress, "", "255.255.255.0"},
    {"PrimaryTFTPserver", kKindAddress, "", "192.168.1.251"},
    {"PrimaryGateway", kKindAddress, "", "192.168.1.254"},
    {"PrimaryDNSserver", kKindAddress, "", "192.168.1.251"},
    {"SecondaryDNSserver", kKindAddress, "", "192.168.1.251"},
    {"TftpOption", kKindChoice, "Static/DHCP", "DHCP"},
    {"SSID", kKindText, "32", "velto"},
    {"SSIDType", kKindList, "Any/Specify", "Specify"},
    {"TransmitPower", kKindList, "1/5/20/50/100", "20"},
    {"DataRate", kKindList, "1/2/5.5/11/Auto", "Auto"},
    {"Authentication", kKindList, "Open/SharedKey/LEAP/AKM", "Open"},
    {"LEAPpromptMode", kKindChoice, "Disable/Enable", "Disable"},
    {"EAP_mode", kKindChoice, "auto/LEAP/EAP-FAST", "auto"},
    {"LEAPusername", kKindText, "32", kLeapDefaultWord},
    {"LEAPpassword", kKindText, "32", kLeapDefaultWord},
    {"PresharedKey", kKindList, "HEX/ASCII", "HEX"},
    {"KeyHEXpassword", kKindText, "32", ""},
    {"KeyASCIIpassword", kKindText, "32", ""},
    {"WEPkeyIdx", kKindNumber, "1-4", "1"},
    {"WEPkey1", kKindText, "26", ""},
    {"WEPkey2", kKindText, "26", ""},
    {"WEPkey3", kKindText, "26", ""},
    {"WEPkey4", kKindText, "26", ""},
    {"WEPkey1_EncryptionBit", kKindList, "None/64/128", "None"},
    {"WEPkey2_EncryptionBit", kKindList, "None/64/128", "None"},
    {"WEPkey3_EncryptionBit", kKindList, "None/64/128", "None"},
    {"WEPkey4_EncryptionBit", kKindList, "None/64/128", "None"},
};

// Rows 124 to 147.
const RowSpec kMiddleRows[] = {
    {"Prof_Active", kKindList, "0/1/2/3/4", 21, "0"},
    {"NetworkProfileActive", kKindList, "Prof1/Prof2/Prof3/Prof4/Auto", 0, "Prof1"},
    {"PhoneLock", kKindChoice, "Disable/Enable", 13, "Disable"},
    {"ResetPhoneLockPW", kKindChoice, "Disable/Enable", 0, "Disable"},
    {"ChangePhoneLockPW", kKindChoice, "Disable/Enable", 0, "Disable"},
    {"PhoneLockPW", kKindText, "10", 0, ""},
    {"VDP", kKindChoice, "Disable/Enable", 14, "Enable"},
    {"VDPtransmitInterval", kKindNumber, "0-65535", 0, "60"},
    {"VDPTTL", kKindNumber, "0-255", 0, "180"},
    {"NewFirmwareImageUpgrade", kKindChoice, "Disable/Enable", 0, "Disable"},
    {"NewFirmwareImageFilename", kKindPath, "127", 0, ""},
    {"LocalRingListFilename", kKindPath, "127", 0, ""},
    {"RingToneIndex", kKindNumber, "1-4", 0, "1"},
    {"RingToneOutput", kKindNumber, "0-1", 0, "1"},
    {"RingToneName", kKindText, "20", 0, "Ring 1"},
    {"RingToneFile", kKindPath, "127", 0, ""},
    {"DispGreetingMsg", kKindText, "15", 0, "Velto Systems"},
    {"DispWelcomeMsg", kKindText, "10", 0, "VELTO"},
    {"BackLightType", kKindList, "On/Off", 0, "On"},
    {"PhoneLog_TFTP_WLAN", kKindAddress, "", 0, "192.168.1.2"},
    {"SoftKey_Idle", kKindList, "PhBook/Services", 0, "PhBook"},
    {"Softkey_CallUp", kKindList, "Mute/Softkey_from_ZR", 0, "Mute"},
    {"KeypadLockType", kKindNumber, "0-3", 0, "0"},
    {"UserProf_Active", kKindList, "Normal/Silent/Meeting/Outdoors", 15, "Normal"},
};

struct UserProfileSpec {
  const char* name;
  int32_t alertKind;  // kind of IncomingCallAlert, VibratingCallAlert, KeypadTones
  const char* defaults[6];
};

// Rows 148 to 171: six rows per user profile, in this order.
constexpr UserProfileSpec kUserProfiles[4] = {
    {"Normal", kKindList, {"4", "5", "On", "Off", "Off", "Tone"}},
    {"Silent", kKindList, {"4", "1", "Off", "Off", "Off", "Off"}},
    {"Meeting", kKindChoice, {"4", "2", "On", "Off", "Off", "Off"}},
    {"Outdoors", kKindChoice, {"6", "7", "On", "On", "On", "Tone"}},
};

constexpr const char* kPhoneBookNames[kRowsPerRecord] = {
    "PhBook_Name", "PhBook_OfficeNum", "PhBook_HomeNum", "PhBook_CellNum", "PhBook_EmailAddr"};
constexpr const char* kPhoneBookLimits[kRowsPerRecord] = {"20", "23", "23", "23", "48"};

std::vector<RowSpec> BuildRowSpecs() {
  std::vector<RowSpec> rows;
  rows.reserve(kSettingRowCount);
  for (int n = 1; n <= 4; ++n) {
    const std::string prefix = "Prof" + std::to_string(n) + "_";
    for (int pos = 0; pos < kRowsPerProfile; ++pos) {
      const ProfileRowSpec& spec = kProfileRows[pos];
      std::string value = spec.defaultText;
      std::replace(value.begin(), value.end(), '#', static_cast<char>('0' + n));
      if (pos == kPosLeapUsername || pos == kPosLeapPassword) value += static_cast<char>('0' + n);
      rows.push_back(
          {prefix + spec.suffix, spec.kind, spec.constraint, pos == 0 ? 15 + n : 0, value});
    }
  }
  for (const RowSpec& row : kMiddleRows) rows.push_back(row);
  const char* suffixes[6] = {"_SpeakerVolume",      "_RingToneVolume", "_IncomingCallAlert",
                             "_VibratingCallAlert", "_KeypadTones",    "_WarningStyle"};
  for (const UserProfileSpec& profile : kUserProfiles) {
    const int32_t kinds[6] = {kKindNumber,       kKindNumber,       profile.alertKind,
                              profile.alertKind, profile.alertKind, kKindList};
    const char* limits[6] = {"1-7", "1-7", "On/Off", "On/Off", "On/Off", "Tone/Vibration/Off"};
    for (int pos = 0; pos < 6; ++pos) {
      rows.push_back({std::string(profile.name) + suffixes[pos], kinds[pos], limits[pos], 0,
                      profile.defaults[pos]});
    }
  }
  for (int key = 2; key <= 9; ++key) {
    rows.push_back({"SpeedDial_Num" + std::to_string(key), kKindText, "23", key == 2 ? 23 : 0, ""});
  }
  rows.push_back({"PhBook_Count", kKindNumber, "0-100", 22, "0"});
  for (int record = 0; record < kPhoneBookRecords; ++record) {
    for (int pos = 0; pos < kRowsPerRecord; ++pos) {
      rows.push_back({kPhoneBookNames[pos], kKindText, kPhoneBookLimits[pos], 0, ""});
    }
  }
  return rows;
}

}  // namespace

int32_t SlotSize(int32_t kind) {
  switch (kind) {
    case kKindChoice:
    case kKindList:
    case kKindNumber:
      return 2 * 4;
    case kKindText:
      return 2 * (kTextCapacity + 1);
    case kKindPath:
      return 2 * (kPathCapacity + 1);
    case kKindAddress:
      return 4 * 2;
    default:
      return 0;
  }
}

namespace {

struct Table {
  std::array<SettingParameter, kSettingTableCapacity> rows{};
  std::vector<std::string> defaults;
};

const Table& TheTable() {
  static const Table table = [] {
    Table t;
    std::vector<RowSpec> specs = BuildRowSpecs();
    ValueGroup group = ValueGroup::kNetworkProfile1;
    int32_t offset = 0;
    for (size_t row = 0; row < specs.size(); ++row) {
      const RowSpec& spec = specs[row];
      SettingParameter& p = t.rows[row];
      std::strncpy(p.name, spec.name.c_str(), kNameSize - 1);
      p.kind = spec.kind;
      std::strncpy(p.constraint, spec.constraint, kConstraintSize - 1);
      p.groupCode = spec.groupCode;
      // Binding: a group code starts a new group at offset 0; code 0 takes the slot
      // after the previous row's slot.
      if (spec.groupCode != 0) {
        group = static_cast<ValueGroup>(spec.groupCode);
        offset = 0;
      }
      p.group = group;
      p.offset = offset;
      offset += SlotSize(spec.kind);
      t.defaults.push_back(spec.defaultText);
    }
    return t;
  }();
  return table;
}

constexpr std::string_view kSecurityNames[] = {
    "Authentication",
    "LEAPusername",
    "LEAPpassword",
    "WEPkeyIdx",
    "WEPkey1",
    "WEPkey2",
    "WEPkey3",
    "WEPkey4",
    "WEPkey1EncryptionBit",
    "WEPkey2EncryptionBit",
    "WEPkey3EncryptionBit",
    "WEPkey4EncryptionBit",
    "ResetPhoneLockPW",
    "ChangePhoneLockPW",
    "PhoneLockPW",
#define VELTO_PROFILE_SECURITY(N)                                                      \
  "Prof" #N "_Authentication", "Prof" #N "_LEAPusername", "Prof" #N "_LEAPpassword",   \
      "Prof" #N "_LEAPpromptMode", "Prof" #N "_EAP_mode", "Prof" #N "_KeyHEXpassword", \
      "Prof" #N "_KeyASCIIpassword", "Prof" #N "_WEPkeyIdx", "Prof" #N "_WEPkey1",     \
      "Prof" #N "_WEPkey2", "Prof" #N "_WEPkey3", "Prof" #N "_WEPkey4",                \
      "Prof" #N "_WEPkey1_EncryptionBit", "Prof" #N "_WEPkey2_EncryptionBit",          \
      "Prof" #N "_WEPkey3_EncryptionBit", "Prof" #N "_WEPkey4_EncryptionBit"
    VELTO_PROFILE_SECURITY(1),
    VELTO_PROFILE_SECURITY(2),
    VELTO_PROFILE_SECURITY(3),
    VELTO_PROFILE_SECURITY(4),
#undef VELTO_PROFILE_SECURITY
};
static_assert(std::size(kSecurityNames) == 79);

struct LegacyPair {
  std::string_view legacy;
  std::string_view current;
};

constexpr LegacyPair kLegacyPairs[] = {
    {"DHCPclient", "Prof1_DHCPclient"},
    {"IPaddress", "Prof1_IPaddress"},
    {"SubnetMask", "Prof1_SubnetMask"},
    {"PrimaryTFTPserver", "Prof1_PrimaryTFTPserver"},
    {"PrimaryGateway", "Prof1_PrimaryGateway"},
    {"PrimaryDNSserver", "Prof1_PrimaryDNSserver"},
    {"SecondaryDNSserver", "Prof1_SecondaryDNSserver"},
    {"TftpOption", "Prof1_TftpOption"},
    {"TransmitPower", "Prof1_TransmitPower"},
    {"DataRate", "Prof1_DataRate"},
    {"Authentication", "Prof1_Authentication"},
    {"LEAPusername", "Prof1_LEAPusername"},
    {"LEAPpassword", "Prof1_LEAPpassword"},
    {"WEPkeyIdx", "Prof1_WEPkeyIdx"},
    {"WEPkey1", "Prof1_WEPkey1"},
    {"WEPkey2", "Prof1_WEPkey2"},
    {"WEPkey3", "Prof1_WEPkey3"},
    {"WEPkey4", "Prof1_WEPkey4"},
    {"WEPkey1EncryptionBit", "Prof1_WEPkey1_EncryptionBit"},
    {"WEPkey2EncryptionBit", "Prof1_WEPkey2_EncryptionBit"},
    {"WEPkey3EncryptionBit", "Prof1_WEPkey3_EncryptionBit"},
    {"WEPkey4EncryptionBit", "Prof1_WEPkey4_EncryptionBit"},
    // Older names whose current names are no parameter: such lines stay unknown.
    {"SSID1", "Prof1_SSID1"},
    {"SSID2", "Prof2_SSID1"},
    {"SSID3", "Prof3_SSID1"},
    {"SSID4", "Prof4_SSID1"},
    {"SSIDType1", "Prof1_SSIDType1"},
    {"SSIDType2", "Prof2_SSIDType1"},
    {"SSIDType3", "Prof3_SSIDType1"},
    {"SSIDType4", "Prof4_SSIDType1"},
};

constexpr std::string_view kStaticAddressSuffixes[] = {"IPaddress",         "SubnetMask",
                                                       "PrimaryTFTPserver", "PrimaryGateway",
                                                       "PrimaryDNSserver",  "SecondaryDNSserver"};

}  // namespace

std::span<const SettingParameter, kSettingTableCapacity> SettingTable() { return TheTable().rows; }

std::string_view DefaultValueText(int row) {
  const Table& table = TheTable();
  if (row < 0 || row >= static_cast<int>(table.defaults.size())) return {};
  return table.defaults[static_cast<size_t>(row)];
}

bool IsSecuritySetting(std::string_view name) {
  return std::find(std::begin(kSecurityNames), std::end(kSecurityNames), name) !=
         std::end(kSecurityNames);
}

bool IsStaticAddress(std::string_view name, int profile) {
  if (profile < 0 || profile > 3) return false;
  const std::string prefix = "Prof" + std::to_string(profile + 1) + "_";
  if (name.substr(0, prefix.size()) != prefix) return false;
  const std::string_view rest = name.substr(prefix.size());
  return std::find(std::begin(kStaticAddressSuffixes), std::end(kStaticAddressSuffixes), rest) !=
         std::end(kStaticAddressSuffixes);
}

std::string_view LegacyCurrentName(std::string_view name) {
  for (const LegacyPair& pair : kLegacyPairs) {
    if (pair.legacy == name) return pair.current;
  }
  return {};
}

std::span<const std::string_view> SecurityList() { return kSecurityNames; }

int ValueGroupIndex(ValueGroup group) {
  switch (group) {
    case ValueGroup::kNetworkProfile1:
      return 0;
    case ValueGroup::kNetworkProfile2:
      return 1;
    case ValueGroup::kNetworkProfile3:
      return 2;
    case ValueGroup::kNetworkProfile4:
      return 3;
    case ValueGroup::kActiveProfile:
      return 4;
    case ValueGroup::kPhoneLock:
      return 5;
    case ValueGroup::kPhoneOptions:
      return 6;
    case ValueGroup::kUserProfiles:
      return 7;
    case ValueGroup::kPhoneBook:
      return 8;
    case ValueGroup::kSpeedDial:
      return 9;
  }
  return -1;
}

}  // namespace mivo
