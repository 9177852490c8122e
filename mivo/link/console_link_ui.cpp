#include "console_link_ui.h"

#include <string>

#include "error_texts.h"

namespace mivo::link {
namespace {

std::string_view TrimEnd(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '\t' ||
                           text.back() == ' ')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

void ConsoleLinkUi::MessageBox(std::string_view text, std::string_view caption, MessageIcon icon) {
  ++m_shown;
  if (icon != MessageIcon::kInformation) ++m_warnings;
  if (!caption.empty()) m_out << caption << ": ";
  m_out << TrimEnd(text) << std::endl;
}

void ConsoleLinkUi::ErrorDialog(int code, std::string_view captionSuffix,
                                std::string_view extraText) {
  ++m_shown;
  ++m_warnings;
  const ErrorDialogTexts texts = BuildErrorDialogTexts(code, captionSuffix, extraText);
  std::string description = texts.description;
  for (char& c : description) {
    if (c == '\t') c = ' ';
  }
  m_out << texts.caption << ": " << texts.code << " " << TrimEnd(description) << std::endl;
}

}  // namespace mivo::link
