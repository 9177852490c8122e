#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "config_line.h"
#include "settings_buffer.h"

namespace mivo {

class PhoneSettings;
class SettingsUi;

enum class LoadMode : int {
  kImport = 1,  // the buffer already holds the phone's settings text
  kExport = 2,  // read, check, correct with the user and write back; store nothing,
                // but follow the phone book records and stop where kOpen stops
  kOpen = 3,    // as kExport, and store every accepted value into the set
};

enum class LoadOutcome {
  kCompleted,           // every line handled
  kStoppedAtPhoneBook,  // a phone book line past PhBook_Count ended the load (success)
  kAborted,             // the user closed the setting error dialog (failure)
};

// Check file: the file must open for reading and be smaller than 30720 bytes. On
// failure shows "Unable to read the Configuration File !" or "Configuration file
// size exceeds the internal buffer (30KBytes) !" (warning icon) and returns false.
bool CheckFile(const std::string& path, SettingsUi& ui);

// Read file: Check file, then clears the buffer and reads the file into it. Returns
// the length, or nullopt after showing the message of Check file. A file holding a
// zero byte is refused too (the text would end there and a write-back would lose
// the rest): "The Configuration File \"%s\" contains a zero byte and cannot be read as
// text !" (warning icon).
std::optional<size_t> ReadFile(const std::string& path, SettingsBuffer& buffer, SettingsUi& ui);

// Runs the load algorithm over the text already in `buffer`, editing it in place
// (corrected lines replace bad ones, deleted and, in import mode, security lines are
// removed). Does not read or write any file. Import mode shows "Error in the
// imported settings format : ...\n\nSystem will ignore this setting." for lines with
// codes 201 to 203 and stores every other line, also values that failed their check
// (stored as StoreValue allows). Export and open mode call ui.ShowSettingError for
// each bad line. Phone book lines past record 100 are ignored. When the load stops at
// a phone book line, `stoppedAtLine` (if given) receives that line's number.
LoadOutcome LoadBuffer(PhoneSettings& settings, LoadMode mode, SettingsBuffer& buffer,
                       SettingsUi& ui, int* stoppedAtLine = nullptr);

// Load: import mode refreshes the Current Phone Settings view and returns true at
// once while the automatic import runs, else runs LoadBuffer. Export and open mode
// read the file at `path` into the buffer, run LoadBuffer and, when it completed,
// write the buffer text back to the file ("Unable to write the Configuration File
// \"%s\" !" and false when that fails). Returns false when the file cannot be read,
// the user aborted, or the write-back failed.
bool Load(PhoneSettings& settings, LoadMode mode, const std::string& path, SettingsBuffer& buffer,
          SettingsUi& ui);

struct WriteOptions {
  // The phone's own settings text carries the security settings too; the file
  // writer never does.
  bool includeSecuritySettings = false;
};

// The configuration-file text of the set's committed values, one line per row in
// table order with CR LF, leaving out security rows, the address rows of profiles
// that use their DHCP client, phone book records from PhBook_Count on, and rows that
// cannot be formatted. Commits all groups and synchronises the phone book and speed
// dial (pull, through ui when given) first, so it changes the committed values.
std::string WriteToText(PhoneSettings& settings, SettingsUi* ui = nullptr,
                        const WriteOptions& options = {});

// Write: creates the file at `path` anew and writes WriteToText into it; refreshes
// the views (hint 3) and adds log entry 7 "Save settings to configuration file" with
// the path; with showMessage, shows the "Save settings to the configuration file"
// notice (information icon). When the file cannot be created: "Unable to write the
// Configuration File \"%s\" !" (warning icon), nothing committed, false.
bool Write(PhoneSettings& settings, const std::string& path, bool showMessage, SettingsUi& ui);

enum class SyncMode { kPull, kCommit };

// Phone book and speed dial synchronisation: pull lets ui store the pages' lists into
// the working values first; both modes then commit PhoneBook and SpeedDial.
void SyncPhoneBookAndSpeedDial(PhoneSettings& settings, SyncMode mode, SettingsUi* ui);

}  // namespace mivo
