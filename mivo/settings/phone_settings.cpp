#include "phone_settings.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "setting_table.h"
#include "settings_ui.h"

namespace mivo {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string ToLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = Lower(c);
  return lower;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The leading decimal digits of text as a number, saturating at `limit`; 0 when the
// text does not start with a digit.
int64_t LeadingNumber(std::string_view text, int64_t limit = std::numeric_limits<int32_t>::max()) {
  int64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) break;
    const int64_t digit = c - '0';
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  return value;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

// The item of an option list with index `index`, or false when there is none.
bool OptionItem(std::string_view options, int32_t index, std::string_view& item) {
  if (index < 0) return false;
  int32_t current = 0;
  size_t start = 0;
  while (true) {
    const size_t slash = options.find('/', start);
    if (current == index) {
      item = options.substr(start, slash == std::string_view::npos ? options.npos : slash - start);
      return true;
    }
    if (slash == std::string_view::npos) return false;
    start = slash + 1;
    ++current;
  }
}

// Index of the first item equal to value ignoring case, or -1.
int32_t OptionIndex(std::string_view options, std::string_view value) {
  const std::string wanted = ToLower(value);
  std::string_view item;
  for (int32_t index = 0; OptionItem(options, index, item); ++index) {
    if (ToLower(item) == wanted) return index;
  }
  return -1;
}

// The four numbers of a dotted address: the first three parts and the rest after
// the third "." read from their leading digits. false for fewer than three "." or
// an empty fourth part.
bool AddressParts(std::string_view text, std::array<int64_t, 4>& parts) {
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t dot = text.find('.', start);
    if (dot == std::string_view::npos) return false;
    parts[static_cast<size_t>(i)] = LeadingNumber(text.substr(start, dot - start), 100000);
    start = dot + 1;
  }
  const std::string_view rest = text.substr(start);
  if (rest.empty()) return false;
  parts[3] = LeadingNumber(rest, 100000);
  return true;
}

struct NameIndex {
  std::unordered_map<std::string, int> byLowerName;  // first row of each name
  std::unordered_map<std::string_view, int> byExactName;
};

const NameIndex& Names() {
  static const NameIndex index = [] {
    NameIndex names;
    const auto table = SettingTable();
    for (int row = kSettingRowCount - 1; row >= 0; --row) {
      const std::string_view name = table[static_cast<size_t>(row)].Name();
      names.byLowerName[ToLower(name)] = row;
      names.byExactName[name] = row;
    }
    return names;
  }();
  return index;
}

std::array<size_t, kValueGroupCount> GroupSizes() {
  std::array<size_t, kValueGroupCount> sizes{};
  const auto table = SettingTable();
  for (int row = 0; row < kSettingRowCount; ++row) {
    const SettingParameter& p = table[static_cast<size_t>(row)];
    const auto index = static_cast<size_t>(ValueGroupIndex(p.group));
    sizes[index] = std::max(sizes[index], static_cast<size_t>(p.offset + SlotSize(p.kind)));
  }
  return sizes;
}

bool IsIndexKind(int32_t kind) {
  return kind == kKindChoice || kind == kKindList || kind == kKindNumber;
}
bool IsTextKind(int32_t kind) { return kind == kKindText || kind == kKindPath; }
size_t TextSlotSize(int32_t kind) {
  return kind == kKindPath ? kPathCapacity + 1 : kTextCapacity + 1;
}

}  // namespace

PhoneSettings::PhoneSettings() {
  const auto sizes = GroupSizes();
  for (size_t i = 0; i < m_groups.size(); ++i) m_groups[i].assign(sizes[i], 0);
  SetDefaults();
}

const SettingParameter& PhoneSettings::Parameter(int row) const {
  return SettingTable()[static_cast<size_t>(row)];
}

uint8_t* PhoneSettings::SlotBytes(int row) {
  const SettingParameter& p = Parameter(row);
  return m_groups[static_cast<size_t>(ValueGroupIndex(p.group))].data() + p.offset;
}

const uint8_t* PhoneSettings::SlotBytes(int row) const {
  const SettingParameter& p = Parameter(row);
  return m_groups[static_cast<size_t>(ValueGroupIndex(p.group))].data() + p.offset;
}

void PhoneSettings::SetDefaults(SettingsUi* ui) {
  for (auto& group : m_groups) std::fill(group.begin(), group.end(), 0);
  for (int row = 0; row < kSettingRowCount; ++row) {
    const std::string_view value = DefaultValueText(row);
    if (value.empty()) continue;
    const CheckResult check = CheckValue(row, value);
    StoreValue(row, value, check.itemIndex);
    // Both copies, as stored: no normalisation for defaults.
    uint8_t* slot = SlotBytes(row);
    const int32_t kind = Parameter(row).kind;
    if (IsIndexKind(kind)) {
      std::memcpy(slot + 4, slot, 4);
    } else if (IsTextKind(kind)) {
      std::memcpy(slot + TextSlotSize(kind), slot, TextSlotSize(kind));
    } else if (kind == kKindAddress) {
      for (int i = 0; i < 4; ++i) slot[2 * i + 1] = slot[2 * i];
    }
  }
  if (ui != nullptr) ui->RefreshViews(3);
}

int PhoneSettings::FindParameter(std::string_view name) const {
  const NameIndex& names = Names();
  int found = -1;
  if (auto it = names.byLowerName.find(ToLower(name)); it != names.byLowerName.end()) {
    found = it->second;
  }
  const std::string_view current = LegacyCurrentName(name);
  if (!current.empty()) {
    if (auto it = names.byExactName.find(current); it != names.byExactName.end()) {
      if (found < 0 || it->second < found) found = it->second;
    }
  }
  return found;
}

CheckResult PhoneSettings::CheckValue(int row, std::string_view value) const {
  if (row < 0 || row >= kSettingRowCount) return {kCheckNotAvailable, 0};
  const SettingParameter& p = Parameter(row);
  const std::string_view rule = p.Constraint();
  switch (p.kind) {
    case kKindChoice:
    case kKindList: {
      const int32_t index = OptionIndex(rule, value);
      if (index < 0) return {kCheckNotAvailable, 0};
      return {kCheckAccepted, index};
    }
    case kKindNumber: {
      if (!AllDigits(value)) return {kCheckNotAvailable, 0};
      const int64_t number = LeadingNumber(value, std::numeric_limits<int64_t>::max() / 10);
      const size_t dash = rule.find('-');
      if (dash != std::string_view::npos) {
        const int64_t minimum = LeadingNumber(rule.substr(0, dash));
        const int64_t maximum = LeadingNumber(rule.substr(dash + 1));
        if (number < minimum || number > maximum) return {kCheckOutOfRange, 0};
      } else if (number != LeadingNumber(rule)) {
        return {kCheckOutOfRange, 0};
      }
      return {kCheckAccepted, 0};
    }
    case kKindText:
    case kKindPath:
      if (static_cast<int64_t>(value.size()) > LeadingNumber(rule)) return {kCheckTooLong, 0};
      return {kCheckAccepted, 0};
    case kKindAddress: {
      std::array<int64_t, 4> parts{};
      if (!AddressParts(value, parts)) return {kCheckBadAddress, 0};
      const bool mask = ToLower(p.Name()).find("mask") != std::string::npos;
      const bool ok = parts[0] >= 1 && parts[0] <= 255 && parts[1] <= 255 && parts[2] <= 255 &&
                      parts[3] >= (mask ? 0 : 1) && parts[3] <= 255;
      return {ok ? kCheckAccepted : kCheckBadAddress, 0};
    }
    default:
      return {kCheckNotAvailable, 0};
  }
}

bool PhoneSettings::IsSecuritySetting(std::string_view name) {
  return mivo::IsSecuritySetting(name);
}

bool PhoneSettings::IsStaticAddress(std::string_view name, int profile) {
  return mivo::IsStaticAddress(name, profile);
}

bool PhoneSettings::StoreValue(int row, std::string_view value, int32_t itemIndex) {
  if (row < 0 || row >= kSettingRowCount) return false;
  const int32_t kind = Parameter(row).kind;
  uint8_t* slot = SlotBytes(row);
  if (kind == kKindChoice || kind == kKindList) {
    std::memcpy(slot, &itemIndex, 4);
    return true;
  }
  if (kind == kKindNumber) {
    const auto number = static_cast<int32_t>(LeadingNumber(value));
    std::memcpy(slot, &number, 4);
    return true;
  }
  if (IsTextKind(kind)) {
    const size_t size = TextSlotSize(kind);
    const size_t length = std::min(value.size(), size - 1);
    std::memset(slot, 0, size);
    if (length > 0) std::memcpy(slot, value.data(), length);
    return true;
  }
  if (kind == kKindAddress) {
    std::array<int64_t, 4> parts{};
    if (!AddressParts(value, parts)) return false;
    if (std::any_of(parts.begin(), parts.end(), [](int64_t part) { return part > 255; })) {
      return false;
    }
    for (size_t i = 0; i < 4; ++i) slot[2 * i] = static_cast<uint8_t>(parts[i]);
    return true;
  }
  return false;
}

int32_t PhoneSettings::NumberOf(int row, Copy copy) const {
  if (row < 0 || row >= kSettingRowCount || !IsIndexKind(Parameter(row).kind)) return 0;
  int32_t value = 0;
  std::memcpy(&value, SlotBytes(row) + (copy == Copy::kWorking ? 0 : 4), 4);
  return value;
}

std::string_view PhoneSettings::TextOf(int row, Copy copy) const {
  if (row < 0 || row >= kSettingRowCount || !IsTextKind(Parameter(row).kind)) return {};
  const size_t size = TextSlotSize(Parameter(row).kind);
  const auto* text =
      reinterpret_cast<const char*>(SlotBytes(row)) + (copy == Copy::kWorking ? 0 : size);
  return {text, strnlen(text, size - 1)};
}

Octets PhoneSettings::AddressOf(int row, Copy copy) const {
  Octets octets{};
  if (row < 0 || row >= kSettingRowCount || Parameter(row).kind != kKindAddress) return octets;
  const uint8_t* slot = SlotBytes(row);
  for (size_t i = 0; i < 4; ++i) octets[i] = slot[2 * i + (copy == Copy::kWorking ? 0 : 1)];
  return octets;
}

std::string PhoneSettings::ValueText(int row, Copy copy) const {
  if (row < 0 || row >= kSettingRowCount) return {};
  const SettingParameter& p = Parameter(row);
  switch (p.kind) {
    case kKindChoice:
    case kKindList: {
      std::string_view item;
      if (!OptionItem(p.Constraint(), NumberOf(row, copy), item)) return {};
      return std::string(item);
    }
    case kKindNumber:
      return std::to_string(NumberOf(row, copy));
    case kKindText:
    case kKindPath:
      return std::string(TextOf(row, copy));
    case kKindAddress: {
      const Octets o = AddressOf(row, copy);
      return std::to_string(o[0]) + "." + std::to_string(o[1]) + "." + std::to_string(o[2]) + "." +
             std::to_string(o[3]);
    }
    default:
      return {};
  }
}

std::string PhoneSettings::CommittedValueText(int row) const {
  return ValueText(row, Copy::kCommitted);
}
std::string PhoneSettings::WorkingValueText(int row) const {
  return ValueText(row, Copy::kWorking);
}

bool PhoneSettings::FormatLine(int row, std::string& line) const {
  if (row < 0 || row >= kSettingRowCount) return false;
  const SettingParameter& p = Parameter(row);
  line += p.Name();
  line += '=';
  if (p.kind == kKindChoice || p.kind == kKindList) {
    std::string_view item;
    if (!OptionItem(p.Constraint(), NumberOf(row, Copy::kCommitted), item)) return false;
  }
  line += ValueText(row, Copy::kCommitted);
  line += "\r\n";
  return true;
}

void PhoneSettings::CommitRow(int row) {
  const SettingParameter& p = Parameter(row);
  uint8_t* slot = SlotBytes(row);
  if (IsIndexKind(p.kind)) {
    std::memcpy(slot + 4, slot, 4);
  } else if (IsTextKind(p.kind)) {
    const size_t size = TextSlotSize(p.kind);
    slot[size - 1] = 0;  // cut to the slot's capacity
    std::memcpy(slot + size, slot, size);
  } else if (p.kind == kKindAddress) {
    // Normalise the working copy first: no first octet 0, and, except for subnet
    // masks, no last octet 0.
    if (slot[0] == 0) slot[0] = 1;
    if (p.Name().find("SubnetMask") == std::string_view::npos && slot[6] == 0) slot[6] = 1;
    for (int i = 0; i < 4; ++i) slot[2 * i + 1] = slot[2 * i];
  }
}

void PhoneSettings::CommitRange(int first, int last) {
  for (int row = first; row <= last; ++row) CommitRow(row);
}

void PhoneSettings::Commit(CommitGroup group) {
  switch (group) {
    case CommitGroup::kNetworkProfiles:
      CommitRange(kRowProfActive, kRowPhoneLock - 1);
      CommitRange(0, 4 * kRowsPerProfile - 1);
      break;
    case CommitGroup::kPhoneOptions:
      CommitRange(kRowVdp, kRowUserProfActive - 1);
      break;
    case CommitGroup::kUserProfiles:
      CommitRange(kRowUserProfActive, kRowSpeedDialFirst - 1);
      break;
    case CommitGroup::kPhoneLock:
      CommitRange(kRowPhoneLock, kRowVdp - 1);
      break;
    case CommitGroup::kPhoneBook: {
      CommitRow(kRowPhBookCount);
      const int count = std::clamp(NumberOf(kRowPhBookCount, Copy::kWorking), 0, kPhoneBookRecords);
      CommitRange(kRowPhBookFirst, kRowPhBookFirst + kRowsPerRecord * count - 1);
      break;
    }
    case CommitGroup::kSpeedDial:
      CommitRange(kRowSpeedDialFirst, kRowPhBookCount - 1);
      break;
  }
}

void PhoneSettings::CommitAll() {
  Commit(CommitGroup::kPhoneOptions);
  Commit(CommitGroup::kPhoneLock);
  Commit(CommitGroup::kUserProfiles);
  Commit(CommitGroup::kNetworkProfiles);
}

void PhoneSettings::TakeRowAsCommitted(const PhoneSettings& source, int row) {
  const int32_t kind = Parameter(row).kind;
  const uint8_t* from = source.SlotBytes(row);
  uint8_t* to = SlotBytes(row);
  if (IsIndexKind(kind)) {
    std::memcpy(to + 4, from, 4);
  } else if (IsTextKind(kind)) {
    const size_t size = TextSlotSize(kind);
    std::memcpy(to + size, from, size);
    to[2 * size - 1] = 0;
  } else if (kind == kKindAddress) {
    for (int i = 0; i < 4; ++i) to[2 * i + 1] = from[2 * i];
  }
}

void PhoneSettings::SnapshotTo(PhoneSettings& application, SettingsUi* ui) const {
  // PhoneLock, PhoneOptions, UserProfiles, SpeedDial, then PhBook_Count and all 100
  // records: the rows from PhoneLock to the end of the table.
  for (int row = kRowPhoneLock; row < kSettingRowCount; ++row) {
    application.TakeRowAsCommitted(*this, row);
  }
  application.Commit(CommitGroup::kNetworkProfiles);
  if (ui != nullptr) ui->RefreshViews(6);
}

int32_t PhoneSettings::WorkingNumber(int row) const { return NumberOf(row, Copy::kWorking); }
int32_t PhoneSettings::CommittedNumber(int row) const { return NumberOf(row, Copy::kCommitted); }

void PhoneSettings::SetWorkingNumber(int row, int32_t value) {
  if (row < 0 || row >= kSettingRowCount || !IsIndexKind(Parameter(row).kind)) return;
  std::memcpy(SlotBytes(row), &value, 4);
}

std::string_view PhoneSettings::WorkingText(int row) const { return TextOf(row, Copy::kWorking); }
std::string_view PhoneSettings::CommittedText(int row) const {
  return TextOf(row, Copy::kCommitted);
}

void PhoneSettings::SetWorkingText(int row, std::string_view text) {
  if (row < 0 || row >= kSettingRowCount || !IsTextKind(Parameter(row).kind)) return;
  StoreValue(row, text, 0);
}

Octets PhoneSettings::WorkingAddress(int row) const { return AddressOf(row, Copy::kWorking); }
Octets PhoneSettings::CommittedAddress(int row) const { return AddressOf(row, Copy::kCommitted); }

void PhoneSettings::SetWorkingAddress(int row, Octets octets) {
  if (row < 0 || row >= kSettingRowCount || Parameter(row).kind != kKindAddress) return;
  uint8_t* slot = SlotBytes(row);
  for (size_t i = 0; i < 4; ++i) slot[2 * i] = octets[i];
}

bool PhoneSettings::WorkingEqualsCommitted() const {
  for (int row = 0; row < kSettingRowCount; ++row) {
    if (ValueText(row, Copy::kWorking) != ValueText(row, Copy::kCommitted)) return false;
    const int32_t kind = Parameter(row).kind;
    if ((kind == kKindChoice || kind == kKindList) &&
        NumberOf(row, Copy::kWorking) != NumberOf(row, Copy::kCommitted)) {
      return false;
    }
  }
  return true;
}

}  // namespace mivo
