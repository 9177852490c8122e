#pragma once

#include <string>

namespace mivo {
class PhoneSettings;
class SettingsUi;
}  // namespace mivo

namespace mivo::cli {

// Writes the settings as Save writes them: to the file `path` (created anew), or to
// standard output when path is empty. Returns kExitOk, or kExitFile after a message
// on standard error when the output cannot be written.
int WriteSettings(PhoneSettings& settings, const std::string& path, SettingsUi& ui);

}  // namespace mivo::cli
