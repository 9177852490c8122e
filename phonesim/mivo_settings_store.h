#pragma once

#include "mivo/settings/phone_settings.h"
#include "settings_store.h"

namespace phonesim {

// The phone's settings kept in a PhoneSettings of mivo/settings: received lines
// are checked and stored as the utility's own reader does, and the import text
// is the configuration-file writer's, security settings included.
class MivoSettingsStore : public SettingsStore {
 public:
  // Rejects, besides lines whose name or value fails its check, phone book lines
  // beyond the received PhBook_Count (or the 100th record), since they have no
  // place to go.
  std::vector<std::string> Apply(std::string_view text) override;
  std::string ConfigurationText() override;
  std::string Value(std::string_view name) override;
  void Reset() override;
  std::string StateText() override;
  bool LoadState(std::string_view text, std::string& error) override;

  const mivo::PhoneSettings& Settings() const { return m_settings; }

 private:
  void CommitEverything();

  mivo::PhoneSettings m_settings;
};

}  // namespace phonesim
