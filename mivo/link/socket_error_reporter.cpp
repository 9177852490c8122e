#include "socket_error_reporter.h"

#include <string>

#include "error_texts.h"

namespace mivo::link {

bool SocketErrorReporter::ReportSocketError(std::string_view prefix, int code) {
  if (m_reporting) return false;
  m_reporting = true;
  switch (code) {
    case wsa::kTimedOut:
      m_ui.ErrorDialog(100, "", "");
      break;
    case wsa::kAddressInUse:
      m_ui.ErrorDialog(101, "", prefix);
      break;
    case wsa::kConnectionAborted:
      m_ui.ErrorDialog(305, "", "");
      break;
    default: {
      std::string message(prefix);
      message += "\r\n\n";
      message += SocketErrorText(code);
      m_ui.MessageBox(message, "", MessageIcon::kNone);
    }
  }
  m_reporting = false;
  return true;
}

}  // namespace mivo::link
