#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace phonesim {

// The phone's own settings, as the session needs them. The program's store
// keeps a PhoneSettings of mivo/settings; tests use a small fake.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // Checks every line of received configuration-file text, stores the values
  // it accepts and commits them. Returns each rejected line, trimmed, in the
  // order received; comments and empty lines are neither.
  virtual std::vector<std::string> Apply(std::string_view text) = 0;

  // The configuration-file text of the committed values, as the phone sends
  // it on import (no security settings; lines end with CR LF).
  virtual std::string ConfigurationText() = 0;

  // The committed value of one setting as it would be written in a file;
  // empty for an unknown name.
  virtual std::string Value(std::string_view name) = 0;

  // Back to the defaults of a new set.
  virtual void Reset() = 0;

  // Every setting, security ones included, one line each, for the state file.
  virtual std::string StateText() = 0;
  // Replaces the settings with a state text; returns false, with the line in
  // `error`, when a line is refused (the values before it stay stored).
  virtual bool LoadState(std::string_view text, std::string& error) = 0;
};

}  // namespace phonesim
