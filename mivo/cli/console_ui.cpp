#include "console_ui.h"

#include <ostream>

#include "phone_settings.h"
#include "settings_messages.h"

namespace mivo::cli {

std::string FormatBadLine(const std::string& file, const BadLine& bad) {
  std::string text = file + ":" + std::to_string(bad.lineNumber) + ": error " +
                     std::to_string(bad.line.code) + ": " +
                     std::string(messages::CheckCodeText(bad.line.code)) + ": " + bad.line.name;
  if (bad.line.code != kCheckNoEqualSign) text += "=" + bad.line.value;
  return text;
}

ConsoleSettingsUi::ConsoleSettingsUi(std::ostream& err, std::string file,
                                     SettingDialogResult answer, bool reportBadLines)
    : m_err(err), m_file(std::move(file)), m_answer(answer), m_reportBadLines(reportBadLines) {}

void ConsoleSettingsUi::ShowMessage(std::string_view text, std::string_view, MessageIcon) {
  m_err << "mivo-cli: ";
  if (!m_file.empty()) m_err << m_file << ": ";
  m_err << text << '\n';
}

SettingDialogAnswer ConsoleSettingsUi::ShowSettingError(const ParsedSettingLine& line,
                                                        const SettingErrorContext& context) {
  m_badLines.push_back({context.lineNumber, line});
  if (m_reportBadLines) m_err << FormatBadLine(m_file, m_badLines.back()) << '\n';
  return {m_answer, {}};
}

void ConsoleSettingsUi::ShowErrorDialog(int code, std::string_view captionSuffix,
                                        std::string_view extra) {
  m_err << "mivo-cli: error " << code;
  if (!captionSuffix.empty()) m_err << " (" << captionSuffix << ")";
  m_err << ": " << messages::CheckCodeText(code);
  if (!extra.empty()) m_err << '\t' << extra;
  m_err << '\n';
}

}  // namespace mivo::cli
