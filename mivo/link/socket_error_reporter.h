#pragma once

#include <string_view>

#include "link_ports.h"

namespace mivo::link {

// Shows socket errors to the user, one report at a time: while a report is open
// (its dialog runs a nested event loop), further reports are dropped, not queued.
class SocketErrorReporter {
 public:
  explicit SocketErrorReporter(UiPort& ui) : m_ui(ui) {}

  // 10060 → error dialog 100; 10048 → error dialog 101 with the prefix as extra text;
  // 10053 → error dialog 305; any other code → message box "%s\r\n\n%s" of the prefix and
  // the code's text. Returns false when the report was dropped.
  bool ReportSocketError(std::string_view prefix, int code);

  bool IsReporting() const { return m_reporting; }

 private:
  UiPort& m_ui;
  bool m_reporting = false;
};

}  // namespace mivo::link
