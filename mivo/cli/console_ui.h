#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "config_line.h"
#include "settings_ui.h"

namespace mivo::cli {

// A bad line met while loading a file.
struct BadLine {
  int lineNumber = 0;
  ParsedSettingLine line;
};

// "FILE:LINE: error CODE: TEXT: NAME=VALUE" (for code 203 the line as written).
std::string FormatBadLine(const std::string& file, const BadLine& bad);

// The settings port for a terminal: messages go to `err` prefixed by "mivo-cli: ",
// bad lines are collected (and, when `reportBadLines`, printed to `err` at once),
// and the setting error dialog answers `answer` (Skip keeps going, Close aborts).
class ConsoleSettingsUi : public SettingsUi {
 public:
  ConsoleSettingsUi(std::ostream& err, std::string file, SettingDialogResult answer,
                    bool reportBadLines);

  void ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon) override;
  SettingDialogAnswer ShowSettingError(const ParsedSettingLine& line,
                                       const SettingErrorContext& context) override;
  void ShowErrorDialog(int code, std::string_view captionSuffix, std::string_view extra) override;

  const std::vector<BadLine>& badLines() const { return m_badLines; }

 private:
  std::ostream& m_err;
  std::string m_file;
  SettingDialogResult m_answer;
  bool m_reportBadLines;
  std::vector<BadLine> m_badLines;
};

}  // namespace mivo::cli
