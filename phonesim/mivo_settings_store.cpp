#include "mivo_settings_store.h"

#include <cstdlib>

#include "mivo/settings/config_file.h"
#include "mivo/settings/config_line.h"

namespace phonesim {
namespace {

constexpr int kPhoneBookFirstRow = 181;
constexpr int kPhoneBookLastRow = 185;  // PhBook_EmailAddr of record 0
constexpr int kPhoneBookRecords = 100;

bool IsPhoneBookRow(int row) { return row >= kPhoneBookFirstRow && row <= kPhoneBookLastRow; }

}  // namespace

void MivoSettingsStore::CommitEverything() {
  m_settings.CommitAll();
  m_settings.Commit(mivo::CommitGroup::kPhoneBook);
  m_settings.Commit(mivo::CommitGroup::kSpeedDial);
}

std::vector<std::string> MivoSettingsStore::Apply(std::string_view text) {
  std::vector<std::string> rejected;
  int records_done = 0;
  int count = 0;
  size_t position = 0;
  mivo::BufferLine line;
  while (mivo::NextLine(text, position, line)) {
    mivo::ParsedSettingLine parsed;
    int row = mivo::ParseLine(line.text, m_settings, parsed);
    if (row == mivo::kParseComment) continue;
    const std::string trimmed(mivo::TrimBlanks(line.text));
    if (parsed.code != mivo::kCheckAccepted || row < 0) {
      rejected.push_back(trimmed);
      continue;
    }
    if (parsed.name == "PhBook_Count") count = std::atoi(parsed.value.c_str());
    if (IsPhoneBookRow(row)) {
      if (records_done >= count || records_done >= kPhoneBookRecords) {
        rejected.push_back(trimmed);
        continue;
      }
      const bool last_of_record = row == kPhoneBookLastRow;
      row += 5 * records_done;
      if (last_of_record) ++records_done;
    }
    m_settings.StoreValue(row, parsed.value, parsed.itemIndex);
  }
  CommitEverything();
  return rejected;
}

std::string MivoSettingsStore::ConfigurationText() {
  mivo::WriteOptions options;
  options.includeSecuritySettings = true;
  return mivo::WriteToText(m_settings, nullptr, options);
}

std::string MivoSettingsStore::Value(std::string_view name) {
  const int row = m_settings.FindParameter(name);
  return row < 0 ? std::string() : m_settings.CommittedValueText(row);
}

void MivoSettingsStore::Reset() { m_settings.SetDefaults(); }

std::string MivoSettingsStore::StateText() {
  std::string text;
  for (int row = 0; row < m_settings.RowCount(); ++row) {
    std::string line;
    if (m_settings.FormatLine(row, line)) text += line;
  }
  return text;
}

bool MivoSettingsStore::LoadState(std::string_view text, std::string& error) {
  m_settings.SetDefaults();
  int records_done = 0;
  size_t position = 0;
  mivo::BufferLine line;
  while (mivo::NextLine(text, position, line)) {
    mivo::ParsedSettingLine parsed;
    int row = mivo::ParseLine(line.text, m_settings, parsed);
    if (row == mivo::kParseComment) continue;
    if (row >= 0 && IsPhoneBookRow(row)) {
      const bool last_of_record = row == kPhoneBookLastRow;
      row = records_done < kPhoneBookRecords ? row + 5 * records_done : -1;
      if (last_of_record) ++records_done;
    }
    if (row < 0 || parsed.code != mivo::kCheckAccepted) {
      error = line.text;
      CommitEverything();
      return false;
    }
    m_settings.StoreValue(row, parsed.value, parsed.itemIndex);
  }
  CommitEverything();
  return true;
}

}  // namespace phonesim
