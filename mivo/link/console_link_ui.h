#pragma once

#include <ostream>

#include "link_ports.h"

namespace mivo::link {

// Message boxes and error dialogs as lines of text, for programs without windows. Never
// blocks. Counts what it has shown so a caller can tell whether anything went wrong.
class ConsoleLinkUi final : public UiPort {
 public:
  explicit ConsoleLinkUi(std::ostream& out) : m_out(out) {}

  // "Caption: text", or the text alone without caption; line breaks inside the text are
  // kept, trailing ones dropped.
  void MessageBox(std::string_view text, std::string_view caption, MessageIcon icon) override;
  // "Warning Message[ - suffix]: ERR nn description[ extra]".
  void ErrorDialog(int code, std::string_view captionSuffix, std::string_view extraText) override;

  int shownCount() const { return m_shown; }
  int warningCount() const { return m_warnings; }

 private:
  std::ostream& m_out;
  int m_shown = 0;
  int m_warnings = 0;
};

}  // namespace mivo::link
