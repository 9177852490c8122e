#pragma once

#include <cstdint>
#include <string_view>

namespace mivo {

// Kinds of setting. Kinds 1 and 2 are handled alike everywhere; the table keeps the
// code each parameter has. Codes 6 and 8 are reserved and used by no parameter.
enum SettingKind : int32_t {
  kKindChoice = 1,   // option list "A/B/C"; slot holds the 0-based item index
  kKindList = 2,     // as kKindChoice
  kKindNumber = 3,   // "min-max" or one number; slot holds the value
  kKindText = 4,     // maximum length; slot holds up to 64 characters
  kKindPath = 5,     // maximum length; slot holds up to 127 characters
  kKindAddress = 7,  // empty constraint; slot holds four octets
};

// Value groups, in the order PhoneSettings holds them. The numbers are the group
// codes of the table's fourth field.
enum class ValueGroup : int32_t {
  kNetworkProfile1 = 16,
  kNetworkProfile2 = 17,
  kNetworkProfile3 = 18,
  kNetworkProfile4 = 19,
  kActiveProfile = 21,
  kPhoneLock = 13,
  kPhoneOptions = 14,
  kUserProfiles = 15,
  kPhoneBook = 22,
  kSpeedDial = 23,
};

inline constexpr int kValueGroupCount = 10;

// Index 0..9 of a group in holding order (NetworkProfile 1..4, ActiveProfile,
// PhoneLock, PhoneOptions, UserProfiles, PhoneBook, SpeedDial); -1 for no group.
int ValueGroupIndex(ValueGroup group);

inline constexpr int kSettingTableCapacity = 1024;
inline constexpr int kSettingRowCount = 681;
inline constexpr int kNameSize = 32;        // char[32], terminated
inline constexpr int kConstraintSize = 32;  // char[32], terminated
inline constexpr int kTextCapacity = 64;    // a text slot holds at most 64 characters
inline constexpr int kPathCapacity = 127;   // a path slot holds at most 127 characters

// Row numbers of the fixed table that other code refers to.
inline constexpr int kRowsPerProfile = 31;
inline constexpr int kRowProfActive = 124;
inline constexpr int kRowPhoneLock = 126;
inline constexpr int kRowVdp = 130;
inline constexpr int kRowUserProfActive = 147;
inline constexpr int kRowSpeedDialFirst = 172;
inline constexpr int kRowPhBookCount = 180;
inline constexpr int kRowPhBookFirst = 181;
inline constexpr int kPhoneBookRecords = 100;
inline constexpr int kRowsPerRecord = 5;
inline constexpr int kSpeedDialCount = 8;

// Positions inside a network profile's 31 rows.
enum ProfilePosition : int {
  kPosName = 0,
  kPosModify = 1,
  kPosDhcpClient = 2,
  kPosIpAddress = 3,
  kPosSubnetMask = 4,
  kPosPrimaryTftpServer = 5,
  kPosPrimaryGateway = 6,
  kPosPrimaryDnsServer = 7,
  kPosSecondaryDnsServer = 8,
  kPosTftpOption = 9,
  kPosSsid = 10,
  kPosSsidType = 11,
  kPosTransmitPower = 12,
  kPosDataRate = 13,
  kPosAuthentication = 14,
  kPosLeapPromptMode = 15,
  kPosEapMode = 16,
  kPosLeapUsername = 17,
  kPosLeapPassword = 18,
  kPosPresharedKey = 19,
  kPosKeyHexPassword = 20,
  kPosKeyAsciiPassword = 21,
  kPosWepKeyIdx = 22,
  kPosWepKey1 = 23,               // ..26 for keys 1..4
  kPosWepKey1EncryptionBit = 27,  // ..30 for keys 1..4
};

// Row of position `pos` in network profile `profile` (0..3).
constexpr int ProfileRow(int profile, int pos) { return kRowsPerProfile * profile + pos; }

// One row of the setting table. The table is built once, in code, and shared by
// every PhoneSettings; the value reference is bound when the table is built.
struct SettingParameter {
  char name[kNameSize];
  int32_t kind;
  char constraint[kConstraintSize];
  int32_t groupCode;  // group code of a group's first row, 0 for the rows after it
  // Value reference: the slot of this row, as its group and byte offset in it.
  ValueGroup group;
  int32_t offset;

  std::string_view Name() const { return name; }
  std::string_view Constraint() const { return constraint; }
};

}  // namespace mivo
