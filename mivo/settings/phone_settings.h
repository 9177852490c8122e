#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "setting_parameter.h"

namespace mivo {

class SettingsUi;

// Codes of Check value (and of the line parser, which adds 201 and 203). They are
// error codes of the link's error table, whose texts the user sees.
enum CheckCode : int32_t {
  kCheckAccepted = 0,
  kCheckTooLong = 1,         // "String length is too long."
  kCheckOutOfRange = 2,      // "Number is out of range."
  kCheckBadAddress = 3,      // "Incorrect IP address format."
  kCheckUnknownName = 201,   // "Unknown setting parameter."
  kCheckNotAvailable = 202,  // "Setting value is not available."
  kCheckNoEqualSign = 203,   // "No equal sign '=' between setting parameter and setting value."
};

struct CheckResult {
  int32_t code = kCheckAccepted;
  int32_t itemIndex = 0;  // choices and lists: index of the matching item (0 otherwise)
};

// What Commit commits.
enum class CommitGroup {
  kNetworkProfiles,  // ActiveProfile and the four NetworkProfile groups
  kPhoneOptions,
  kUserProfiles,
  kPhoneLock,
  kPhoneBook,  // PhBook_Count and the first PhBook_Count records (at most 100)
  kSpeedDial,
};

using Octets = std::array<uint8_t, 4>;

// One complete set of phone settings: one value slot per row of the setting table,
// grouped into value groups, each slot holding a working and a committed value.
// A value type: copies are independent. Not thread-safe; used on one thread.
class PhoneSettings {
 public:
  // Create: every value at its default, working and committed copies equal.
  PhoneSettings();

  // Resets every value to its default (both copies). When ui is given, asks it to
  // refresh all views with hint 3 afterwards.
  void SetDefaults(SettingsUi* ui = nullptr);

  int RowCount() const { return kSettingRowCount; }
  const SettingParameter& Parameter(int row) const;  // row must be 0..RowCount()-1

  // First row, in table order, whose name equals `name` ignoring case, or whose
  // name is the current name of a legacy pair whose legacy name equals `name`
  // exactly. -1 when none. Phone book names always find record 0 (rows 181..185);
  // the caller adds 5 x record number.
  int FindParameter(std::string_view name) const;

  // Checks a value text against the row's rule; never stores. Codes 0, 1, 2, 3, 202;
  // for choices and lists also the index of the matching item. A row outside the
  // table gives 202.
  CheckResult CheckValue(int row, std::string_view value) const;

  static bool IsSecuritySetting(std::string_view name);
  static bool IsStaticAddress(std::string_view name, int profile);  // profile 0..3

  // Writes the working copy of the row's slot from a value text, normally one that
  // passed CheckValue (itemIndex from it). Also accepts values that failed their
  // check and never writes past the slot: a text or path is cut to its slot (64 or
  // 127 characters), a number is read from its leading digits and saturates at
  // INT32_MAX, an address that does not parse as four numbers 0..255 stores
  // nothing, a choice index outside the option list is stored as given (Format line
  // then fails for it). Returns false when nothing was stored (bad row or address).
  bool StoreValue(int row, std::string_view value, int32_t itemIndex);

  // Appends name, "=", the committed value and CR LF to `line`. For a choice or list
  // whose committed index has no item it appends only name and "=" and returns
  // false; the writer then writes no line for the row.
  bool FormatLine(int row, std::string& line) const;

  // The committed value as the file writes it ("Enable", "60", "10.0.0.1"). Empty
  // for a choice index without item.
  std::string CommittedValueText(int row) const;
  std::string WorkingValueText(int row) const;

  // Copies working values to committed values. Addresses are normalised first (a
  // first or last octet 0 becomes 1; subnet masks only the first octet); texts are
  // cut to their slot.
  void Commit(CommitGroup group);
  // PhoneOptions, PhoneLock, UserProfiles, NetworkProfiles, in this order.
  void CommitAll();

  // Snapshot to the application set: `application` takes this set's working values
  // as its committed values for PhoneLock, PhoneOptions, UserProfiles, SpeedDial and
  // PhoneBook (count and all 100 records), then commits its own ActiveProfile and
  // NetworkProfile groups. With ui, asks it to refresh all views with hint 6.
  void SnapshotTo(PhoneSettings& application, SettingsUi* ui = nullptr) const;

  // Direct slot access for the editor pages and tools. Rows must be in the table and
  // of the matching kind (index/number: kinds 1, 2, 3; text: 4, 5; address: 7);
  // otherwise getters return 0 / "" / 0.0.0.0 and setters do nothing.
  int32_t WorkingNumber(int row) const;
  int32_t CommittedNumber(int row) const;
  void SetWorkingNumber(int row, int32_t value);
  std::string_view WorkingText(int row) const;
  std::string_view CommittedText(int row) const;
  void SetWorkingText(int row, std::string_view text);  // cut to the slot
  Octets WorkingAddress(int row) const;
  Octets CommittedAddress(int row) const;
  void SetWorkingAddress(int row, Octets octets);

  // Working and committed value of every row equal (used by tests and checks).
  bool WorkingEqualsCommitted() const;

 private:
  enum class Copy { kWorking, kCommitted };
  uint8_t* SlotBytes(int row);
  const uint8_t* SlotBytes(int row) const;
  int32_t NumberOf(int row, Copy copy) const;
  std::string_view TextOf(int row, Copy copy) const;
  Octets AddressOf(int row, Copy copy) const;
  std::string ValueText(int row, Copy copy) const;
  void CommitRow(int row);
  void CommitRange(int first, int last);  // rows first..last inclusive
  void TakeRowAsCommitted(const PhoneSettings& source, int row);

  // One byte block per value group, in holding order.
  std::array<std::vector<uint8_t>, kValueGroupCount> m_groups;
};

}  // namespace mivo
