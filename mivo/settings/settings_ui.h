#pragma once

#include <string>
#include <string_view>

namespace mivo {

class PhoneSettings;
struct ParsedSettingLine;

enum class MessageIcon { kNone, kWarning, kInformation };

// Caption of the warning and information message boxes. Plain message boxes (no
// icon) pass an empty caption: the binding shows the program's own title.
inline constexpr std::string_view kWarningCaption = "Warning";

// Result of the setting error dialog ("Unknown Setting"). Values are the dialog's.
enum class SettingDialogResult : int { kApply = 1, kClose = 2, kSkip = 5, kDelete = 7 };

struct SettingDialogAnswer {
  SettingDialogResult result = SettingDialogResult::kClose;
  // For kApply: the corrected line, parameter, "=", value, CR LF (the dialog has
  // already refused lines of 256 characters or more).
  std::string correctedLine;
};

// Where a bad line sits, for the dialog and for reports.
struct SettingErrorContext {
  int lineNumber = 0;   // 1-based physical line number in the buffer text
  size_t restSize = 0;  // bytes of settings text outside the failing line
};

// The port through which the settings core talks to the user and to the rest of
// the program. Runs on the GUI thread; each call may open a modal dialog, so other
// events can re-enter the program while it runs. Tests implement it with scripted
// fakes; the Qt program with message boxes and its dialogs.
class SettingsUi {
 public:
  virtual ~SettingsUi() = default;

  // A message box with an OK button. caption is kWarningCaption for the warning and
  // information icons, empty for plain boxes.
  virtual void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) = 0;

  // The setting error dialog for one bad line of a file being loaded in export or
  // open mode. Must return kClose when no document is active.
  virtual SettingDialogAnswer ShowSettingError(const ParsedSettingLine& line,
                                               const SettingErrorContext& context) = 0;

  // The "Warning Message" error dialog with a numbered error (texts of the link's
  // error table). Used by the firmware image file check. Default: does nothing.
  virtual void ShowErrorDialog(int code, std::string_view captionSuffix, std::string_view extra) {
    (void)code, (void)captionSuffix, (void)extra;
  }

  // Broadcast an update hint to every view (3: a document's settings replaced,
  // 6: the application-wide settings refreshed). Default: does nothing.
  virtual void RefreshViews(int hint) { (void)hint; }

  // Log history entry (type 7 for a saved configuration file). Default: nothing.
  virtual void AddLogEntry(int type, std::string_view text, std::string_view path) {
    (void)type, (void)text, (void)path;
  }

  // Import mode hooks: refresh the Current Phone Settings view if it is open, and
  // whether the automatic import after a login is running. Defaults: nothing, false.
  virtual void RefreshCurrentSettingsView() {}
  virtual bool AutomaticImportRunning() { return false; }

  // Phone book and speed dial synchronisation, pull mode: the pages of the active
  // phone preference window store their lists into the set's working values.
  // Default (no window): nothing to pull.
  virtual void PullPhoneBookAndSpeedDial(PhoneSettings& settings) { (void)settings; }
};

}  // namespace mivo
