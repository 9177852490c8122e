#include "command_channel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "error_texts.h"
#include "link_texts.h"
#include "replies.h"

namespace mivo::link {
namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// Dotted IPv4 text, four decimal parts of 0 to 255.
bool IsDottedIPv4(std::string_view address) {
  int parts = 0;
  std::size_t i = 0;
  while (parts < 4) {
    int value = 0;
    std::size_t digits = 0;
    while (i < address.size() && address[i] >= '0' && address[i] <= '9' && digits < 3) {
      value = value * 10 + (address[i++] - '0');
      ++digits;
    }
    if (digits == 0 || value > 255) return false;
    ++parts;
    if (parts < 4) {
      if (i >= address.size() || address[i] != '.') return false;
      ++i;
    }
  }
  return i == address.size();
}

}  // namespace

CAsyncClientWnd::CAsyncClientWnd(PhoneLink& link, ChannelPorts ports)
    : m_link(link), m_ports(ports) {
  m_link.AttachKeepAlive(this);
}

CAsyncClientWnd::~CAsyncClientWnd() {
  m_link.AttachKeepAlive(nullptr);
  if (m_keepAliveRunning) m_ports.timers.StopTimer(kKeepAliveTimer);
  if (m_open) m_ports.transport.Close();
}

int CAsyncClientWnd::Connect(std::string_view address, std::uint16_t port) {
  if (!IsDottedIPv4(address)) return 0;
  if (m_open) Disconnect();
  int error = m_ports.transport.Open();
  if (error != 0) {
    m_ports.reporter.ReportSocketError(texts::kSocketCreateFailed, error);
    return 0;
  }
  m_open = true;
  error = m_ports.transport.Connect(address, port);
  if (error == 0) return 1;
  if (error != wsa::kWouldBlock) {
    Disconnect();
    m_ports.reporter.ReportSocketError(texts::kAsyncConnectFailed, error);
    return 0;
  }
  m_link.SetLinkState(PhoneLinkState::Connecting);
  if (!m_open) return 0;
  m_dialogOpen = true;
  m_connectingTicks = 0;
  m_ports.connectingDialog.SetProgress(0, "0%");
  m_ports.timers.StartTimer(kConnectingTimer, 1000);
  m_ports.connectingDialog.Run();
  m_ports.timers.StopTimer(kConnectingTimer);
  m_dialogOpen = false;
  return 0;
}

void CAsyncClientWnd::Disconnect() {
  if (m_keepAliveRunning) {
    m_ports.timers.StopTimer(kKeepAliveTimer);
    m_keepAliveRunning = false;
  }
  if (!m_open) return;
  // Marked closed before anything can re-enter: the state change below runs the views'
  // hooks, and sends from there must find the channel closed.
  m_open = false;
  ++m_generation;
  m_ports.transport.Close();
  m_link.SetLinkState(PhoneLinkState::Offline);
  ResetChannel();
  PhoneLinkStatus& status = m_link.status();
  status.SetAdminLogin(0);
  status.SetChangePhone(0);
  status.SetMacAddress("");
  status.SetVersions("", "", "");
  m_ports.frame.RedrawStatusBar();
  m_ports.frame.StopTftpServer();
  m_ports.frame.RefreshCurrentSettingsWindow();
}

void CAsyncClientWnd::ResetChannel() {
  m_keepAliveRunning = false;
  m_probeDue = 1;
  m_receiveBusy = 0;
  m_readDeferred = false;
  m_receiveCount = 0;
  m_buffer.fill(0);
}

int CAsyncClientWnd::SendCommand(std::string_view prefix, std::string_view command,
                                 std::string_view argument) {
  if (!m_open) return 0;
  std::string line(prefix);
  line += ' ';
  line += command;
  if (!argument.empty()) {
    line += ' ';
    line += argument;
  }
  line += "\r\n";
  if (line.size() > kMaxLine) return 0;
  const int error = m_ports.transport.Send(line);
  if (error == 0) return 1;
  if (error == wsa::kWouldBlock) {
    m_ports.ui.MessageBox(texts::kSendWouldBlock, texts::kWarningCaption, MessageIcon::kWarning);
  } else {
    m_ports.reporter.ReportSocketError("", error);
  }
  return 0;
}

void CAsyncClientWnd::SetKeepAlive(int longPeriod) {
  const bool isLong = longPeriod != 0;
  if (m_keepAliveRunning) {
    m_ports.timers.StopTimer(kKeepAliveTimer);
    m_keepAliveRunning = false;
  }
  SendCommand("REQ", "settimeout", isLong ? "10" : "5");
  m_ports.pause.Pause(1200);
  if (!m_open) return;
  m_ports.timers.StartTimer(kKeepAliveTimer, isLong ? 10000 : 5000);
  m_keepAliveRunning = true;
  m_probeDue = 1;
}

void CAsyncClientWnd::OnSocketEvent(int event, int error) {
  if (error != 0) {
    Disconnect();
    if (error == wsa::kConnectionReset) {
      m_ports.ui.MessageBox(texts::kConnectionAborted, texts::kWarningCaption,
                            MessageIcon::kWarning);
    } else if (error == wsa::kConnectionRefused) {
      m_ports.ui.MessageBox(texts::kConnectionRefused, texts::kWarningCaption,
                            MessageIcon::kWarning);
    } else {
      m_ports.reporter.ReportSocketError(texts::kAsyncFailure, error);
    }
    EndConnectingDialog(false);
    return;
  }
  switch (event) {
    case kEventConnect:
      EndConnectingDialog(true);
      if (m_link.status().GetAdminLogin() == 1) {
        m_link.SetLinkState(PhoneLinkState::Online);
        SendCommand("REQ", "login", "admin qopwix\r\n");
        m_ports.frame.StartTftpServer();
      } else {
        m_link.SetLinkState(PhoneLinkState::ModeQuery);
        SendCommand("REQ", "mode");
      }
      break;
    case kEventRead:
      OnRead();
      break;
    case kEventWrite:
      break;
    case kEventClose:
      if (m_link.IsPhoneBusyOrOnline()) {
        Disconnect();
        m_ports.ui.ErrorDialog(305, "", "");
      } else {
        Disconnect();
      }
      break;
    default: {
      char message[64];
      std::snprintf(message, sizeof message, texts::kUnknownEvent, event);
      m_ports.ui.MessageBox(message, texts::kWarningCaption, MessageIcon::kWarning);
    }
  }
}

void CAsyncClientWnd::EndConnectingDialog(bool success) {
  if (!m_dialogOpen) return;
  if (success) m_ports.connectingDialog.SetProgress(20, "100%");
  m_ports.connectingDialog.End();
}

void CAsyncClientWnd::OnTimer(int id) {
  if (id == kKeepAliveTimer && m_keepAliveRunning) OnKeepAliveTick();
  if (id == kConnectingTimer) OnConnectingTick();
}

void CAsyncClientWnd::OnConnectingTick() {
  if (!m_dialogOpen) return;
  const int position = std::min(m_connectingTicks, 20);
  const int percent = std::min(m_connectingTicks * 5, 100);
  m_ports.connectingDialog.SetProgress(position, std::to_string(percent) + "%");
  ++m_connectingTicks;
}

void CAsyncClientWnd::OnKeepAliveTick() {
  if (m_probeDue == 1) {
    if (SendCommand("REQ", "probe") == 1) {
      m_probeDue = 0;
      m_missedCountdown = kMissedTicksTolerated;
    }
  } else if (m_missedCountdown > 0) {
    --m_missedCountdown;
  } else {
    Disconnect();
    if (!m_keepAliveDialogShown) {
      m_keepAliveDialogShown = true;
      m_ports.ui.ErrorDialog(305, "", "");
      m_keepAliveDialogShown = false;
    }
  }
}

// A read event while an earlier one is still turning the buffer into lines (a dialog
// opened for one line runs a nested event loop) is deferred, not waited for: the outer
// call reads again once it has finished with the held lines.
void CAsyncClientWnd::OnRead() {
  if (m_receiveBusy != 0) {
    m_readDeferred = true;
    return;
  }
  const unsigned generation = m_generation;
  do {
    m_readDeferred = false;
    if (!ReceiveIntoBuffer()) return;
    m_receiveBusy = 1;
    ExtractLines();
    if (generation != m_generation) return;
    m_receiveBusy = 0;
  } while (m_readDeferred && m_open);
}

bool CAsyncClientWnd::ReceiveIntoBuffer() {
  char* free = m_buffer.data() + m_receiveCount;
  std::fill(free, m_buffer.data() + m_buffer.size(), 0);
  const ReceiveResult result =
      m_ports.transport.Receive({free, kReceiveBufferSize - m_receiveCount});
  if (result.error == wsa::kWouldBlock) return false;
  if (result.error != 0) {
    m_ports.reporter.ReportSocketError(texts::kReceiveError, result.error);
    return false;
  }
  if (result.bytes == 0) {
    m_ports.ui.MessageBox(texts::kClosedWhileReceiving, texts::kWarningCaption,
                          MessageIcon::kWarning);
    return false;
  }
  // A zero byte ends the held data.
  const std::size_t bytes = std::find(free, free + result.bytes, '\0') - free;
  m_receiveCount += bytes;
  return true;
}

void CAsyncClientWnd::ExtractLines() {
  const unsigned generation = m_generation;
  char* data = m_buffer.data();
  while (m_receiveCount > 0) {
    const std::size_t count = m_receiveCount;
    std::size_t start = 0;
    while (start < count && IsLineEnd(data[start])) ++start;
    std::size_t end = start;
    while (end < count && !IsLineEnd(data[end])) ++end;
    if (end == count) {
      // No line end yet: keep the partial line for the next read. A buffer filled without
      // any line end holds nothing the phone sends; it is dropped.
      std::memmove(data, data + start, count - start);
      m_receiveCount = count - start;
      if (m_receiveCount + 1 >= kReceiveBufferSize) m_receiveCount = 0;
      std::fill(data + m_receiveCount, data + kReceiveBufferSize, 0);
      return;
    }
    const std::string line(data + start, std::min(end - start, kMaxLine));
    std::size_t next = end + 1;
    if (next < count && IsLineEnd(data[next])) ++next;
    std::memmove(data, data + next, count - next);
    m_receiveCount = count - next;
    std::fill(data + m_receiveCount, data + kReceiveBufferSize, 0);
    ProcessLine(line);
    if (generation != m_generation) return;
  }
}

void CAsyncClientWnd::ProcessLine(const std::string& line) {
  std::int32_t status = 0;
  std::string text;
  if (MatchReply(line, "CNF", "mode")) {
    ParseReply(line, "mode", status, text);
    if (status == 0) {
      m_link.SetLinkState(PhoneLinkState::BootCodeMode);
      m_ports.frame.OpenOrActivateWindow(kCommandUploadFirmware);
    } else {
      m_ports.frame.OpenOrActivateWindow(kCommandLogin);
    }
  }
  const bool probe = MatchReply(line, "CNF", "probe");
  if (probe || MatchReply(line, "CNF", "settimeout")) {
    if (probe) m_probeDue = 1;
    SendCommand("REQ", "getmac");
    SendCommand("REQ", "getfirmwareinfo");
    return;
  }
  PhoneLinkStatus& linkStatus = m_link.status();
  if (MatchReply(line, "CNF", "getmac")) {
    ParseReply(line, "getmac", status, text);
    const std::string& known = linkStatus.GetMacAddress();
    if (!known.empty() && known != text && m_link.IsPhoneBusyOrOnline()) {
      m_link.SetLinkState(PhoneLinkState::Closing);
      Disconnect();
      m_ports.ui.MessageBox(texts::kPhoneChanged, texts::kWarningCaption, MessageIcon::kWarning);
    } else if (m_open) {
      // Not stored after the close above: a MAC kept while off-line would make the first
      // getmac of the next phone look like another change.
      linkStatus.SetMacAddress(text);
    }
  }
  if (MatchReply(line, "CNF", "getfirmwareinfo")) {
    ParseReply(line, "getfirmwareinfo", status, text);
    std::string firmware, bsp, boot;
    ParseFirmwareInfo(text, firmware, bsp, boot);
    linkStatus.SetVersions(firmware, bsp, boot);
  }
  m_link.NotifyAllViews(kHintPhoneReply, std::string_view(line));
}

}  // namespace mivo::link
