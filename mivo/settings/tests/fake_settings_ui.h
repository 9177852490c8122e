#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "config_line.h"
#include "settings_ui.h"

namespace mivo::testing {

// Records every call and answers the setting error dialog from a script. An empty
// script answers Close, as the dialog does without an active document.
class FakeSettingsUi : public SettingsUi {
 public:
  struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon;
  };
  struct DialogCall {
    ParsedSettingLine line;
    SettingErrorContext context;
  };
  struct ErrorDialog {
    int code;
    std::string captionSuffix;
    std::string extra;
  };
  struct LogEntry {
    int type;
    std::string text;
    std::string path;
  };

  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override {
    messages.push_back({std::string(text), std::string(caption), icon});
  }

  SettingDialogAnswer ShowSettingError(const ParsedSettingLine& line,
                                       const SettingErrorContext& context) override {
    dialogs.push_back({line, context});
    if (answers.empty()) return {SettingDialogResult::kClose, {}};
    SettingDialogAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }

  void ShowErrorDialog(int code, std::string_view captionSuffix, std::string_view extra) override {
    errorDialogs.push_back({code, std::string(captionSuffix), std::string(extra)});
  }
  void RefreshViews(int hint) override { hints.push_back(hint); }
  void AddLogEntry(int type, std::string_view text, std::string_view path) override {
    logEntries.push_back({type, std::string(text), std::string(path)});
  }
  void RefreshCurrentSettingsView() override { ++currentViewRefreshes; }
  bool AutomaticImportRunning() override { return automaticImport; }
  void PullPhoneBookAndSpeedDial(PhoneSettings& settings) override {
    ++pulls;
    if (pull) pull(settings);
  }

  void Answer(SettingDialogResult result, std::string correctedLine = {}) {
    answers.push_back({result, std::move(correctedLine)});
  }

  std::vector<Message> messages;
  std::vector<DialogCall> dialogs;
  std::vector<ErrorDialog> errorDialogs;
  std::vector<LogEntry> logEntries;
  std::vector<int> hints;
  std::deque<SettingDialogAnswer> answers;
  int currentViewRefreshes = 0;
  int pulls = 0;
  bool automaticImport = false;
  std::function<void(PhoneSettings&)> pull;
};

}  // namespace mivo::testing
