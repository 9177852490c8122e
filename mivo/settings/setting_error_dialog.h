#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mivo {

class PhoneSettings;
struct ParsedSettingLine;

// The logic of the setting error dialog ("Unknown Setting" / "Update Setting"), which
// the program shows through SettingsUi::ShowSettingError. The widgets live in the Qt
// program; these functions decide what they show and whether Apply may close.

// "Error Code : " field: the code as "ERR %03d" ("ERR 202", "ERR 001").
std::string SettingErrorCodeText(int32_t code);

// "Skip" is offered only for an unknown parameter (code 201).
bool SettingDialogSkipEnabled(int32_t code);

// The row the parameter spin starts at: the first row outside the security list for
// code 201, else the failing parameter's row (the first such row when the name is
// not found).
int SettingDialogStartRow(const PhoneSettings& settings, const ParsedSettingLine& line);

// The parameter spin: the next row in direction `step` (+1 or -1) from `row`,
// skipping rows in the security list; stays at `row` at either end of the table.
int SettingDialogStepRow(const PhoneSettings& settings, int row, int step);

// What the value field shows when the parameter text changes.
struct SettingValuePrefill {
  std::string value;                 // prefilled value text (may be empty)
  std::vector<std::string> options;  // choices and lists: the items the spin steps through
  bool hasRange = false;             // numbers with "min-max": the spin's range
  int32_t minimum = 0;
  int32_t maximum = 0;
};

// Prefill by the kind of the row named `parameter` (ignoring case): a choice or list
// shows its first item; a number with a "min-max" rule its minimum (a rule without
// "-" leaves the value empty); an address "255.255.255.0" when the name contains
// "mask" (ignoring case), else "1.0.0.1"; texts, paths and unknown names nothing.
SettingValuePrefill SettingDialogPrefill(const PhoneSettings& settings, std::string_view parameter);

// Apply: builds parameter, "=", value, CR LF into `line`. Returns false with the
// warning to show (caption "Warning"; the dialog stays open) when the line has 256
// characters or more ("The length of setting parameter and setting value is too long
// !") or when `restSize` plus the line would not fit the settings buffer's text
// (30719 bytes: the 30720-byte buffer ends with a zero byte) ("The update setting plus
// configuration file size exceed the internal buffer (30KBytes) !").
bool SettingDialogApply(std::string_view parameter, std::string_view value, size_t restSize,
                        std::string& line, std::string& warning);

}  // namespace mivo
