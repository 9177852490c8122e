#include "fuzz_entries.h"

#include <string>
#include <string_view>

#include "config_file.h"
#include "config_line.h"
#include "phone_settings.h"
#include "settings_ui.h"

namespace mivo::fuzz {
namespace {

// Answers the setting error dialog in a fixed cycle; the corrected line is the
// parsed name with the value of the row's default, so Apply makes progress.
class CyclingUi : public SettingsUi {
 public:
  explicit CyclingUi(const PhoneSettings& settings) : m_settings(settings) {}

  void ShowMessage(std::string_view, std::string_view, MessageIcon) override {}

  SettingDialogAnswer ShowSettingError(const ParsedSettingLine& line,
                                       const SettingErrorContext&) override {
    // A bounded number of dialogs per load, as a user would give up eventually.
    if (++m_calls > 2000) return {SettingDialogResult::kClose, {}};
    switch (m_calls % 4) {
      case 0: {
        const int row = m_settings.FindParameter(line.name);
        if (row < 0) return {SettingDialogResult::kDelete, {}};
        return {SettingDialogResult::kApply, std::string(m_settings.Parameter(row).Name()) + "=" +
                                                 m_settings.CommittedValueText(row) + "\r\n"};
      }
      case 1:
        return {SettingDialogResult::kSkip, {}};
      case 2:
        return {SettingDialogResult::kDelete, {}};
      default:
        return {SettingDialogResult::kApply, line.name + "=" + line.value + "\r\n"};
    }
  }

 private:
  const PhoneSettings& m_settings;
  int m_calls = 0;
};

}  // namespace

int FuzzConfigLine(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  PhoneSettings settings;
  ParsedSettingLine parsed;
  BufferLine line;
  size_t position = 0;
  while (NextLine(text, position, line)) {
    const int row = ParseLine(line.text, settings, parsed);
    if (row < 0) continue;
    settings.StoreValue(row, parsed.value, parsed.itemIndex);
    // Also the value as a failed check stores it, into a row of every kind.
    for (int other : {0, 3, 13, 132, 134, 680}) settings.StoreValue(other, parsed.value, row);
  }
  settings.CommitAll();
  SyncPhoneBookAndSpeedDial(settings, SyncMode::kCommit, nullptr);
  std::string out;
  for (int row = 0; row < settings.RowCount(); ++row) settings.FormatLine(row, out);
  return 0;
}

int FuzzConfigLoad(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (LoadMode mode : {LoadMode::kImport, LoadMode::kExport, LoadMode::kOpen}) {
    PhoneSettings settings;
    CyclingUi ui(settings);
    SettingsBuffer buffer;
    if (!buffer.Assign(text.substr(0, SettingsBuffer::kCapacity))) return 0;
    LoadBuffer(settings, mode, buffer, ui);
    WriteOptions options;
    options.includeSecuritySettings = mode == LoadMode::kImport;
    WriteToText(settings, &ui, options);
  }
  return 0;
}

}  // namespace mivo::fuzz
