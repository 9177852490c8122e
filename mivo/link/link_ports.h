#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

// Ports through which the link cores reach the user, the windows, timers and the
// network. The Qt program and mivo-cli implement them; tests implement them with
// scripted fakes. Every call runs on the one GUI thread. A call documented as modal
// may run a nested event loop, so socket events and timer ticks can re-enter the
// cores before it returns.

namespace mivo::link {

enum class MessageIcon { kNone, kWarning, kInformation };

// Message boxes and the "Warning Message" error dialog. Both are modal.
class UiPort {
 public:
  virtual ~UiPort() = default;
  // An empty caption stands for the program's own title (a plain message box).
  virtual void MessageBox(std::string_view text, std::string_view caption, MessageIcon icon) = 0;
  // Shows the error dialog for a phone error code (texts: BuildErrorDialogTexts).
  virtual void ErrorDialog(int code, std::string_view captionSuffix,
                           std::string_view extraText) = 0;
};

// Timers by id (10 keep-alive, 11 TFTP retransmission, 12 connecting dialog). Starting a
// running timer restarts it with the new period. Ticks come back to the owning core's
// OnTimer.
class TimerPort {
 public:
  virtual ~TimerPort() = default;
  virtual void StartTimer(int id, int periodMs) = 0;
  virtual void StopTimer(int id) = 0;
};

// A blocking pause of the GUI thread.
class PausePort {
 public:
  virtual ~PausePort() = default;
  virtual void Pause(int milliseconds) = 0;
};

enum UpdateHint : int {
  kHintPhoneReply = 2,
  kHintTftpEvent = 4,
  kHintLinkStateChanged = 5,
};

// Argument of an update hint: none, a reply line (hint 2) or a transfer kind (hint 4).
using HintArgument = std::variant<std::monostate, std::string_view, int>;

inline constexpr int kCommandLogin = 32772;
inline constexpr int kCommandLogout = 32773;
inline constexpr int kCommandUploadFirmware = 32774;
inline constexpr int kMessageFirmwareReset = 2029;  // WM_USER + 1005

// The main frame and its windows as the link sees them. Defaults do nothing, so a
// front end without windows overrides only what it has.
class FramePort {
 public:
  virtual ~FramePort() = default;
  // False during early start-up, before the list of open views exists.
  virtual bool ViewListExists() const { return true; }
  // Calls the hook of every open window for the hint, in the order of the view list.
  // The hooks run synchronously and may change the link state again.
  virtual void NotifyAllViews(UpdateHint, const HintArgument&) {}
  // Posts a message to every open, not minimized window of that command.
  virtual void PostToWindows(int /*commandId*/, int /*message*/) {}
  // Opens the window of the command, or brings it forward when it is open.
  virtual void OpenOrActivateWindow(int /*commandId*/) {}
  // Command id of the active child window (of the current tab for the preference window);
  // 0 when there is none.
  virtual int ActiveWindowCommand() const { return 0; }
  virtual void RedrawStatusBar() {}
  virtual void RefreshCurrentSettingsWindow() {}
  // Starts the TFTP server (stopping a running one); false when it could not be created.
  virtual bool StartTftpServer() { return true; }
  virtual void StopTftpServer() {}
};

struct ReceiveResult {
  std::size_t bytes = 0;
  int error = 0;  // socket error number; 0 on success
};

// The TCP connection of the command channel. Events (connect done, readable, closed,
// error) are delivered by the binding to CAsyncClientWnd::OnSocketEvent.
class StreamTransport {
 public:
  virtual ~StreamTransport() = default;
  // Creates the socket with event notification; 0 or a socket error number.
  virtual int Open() = 0;
  // Starts connecting: 0 when connected at once, kWouldBlock when pending, else an error.
  virtual int Connect(std::string_view address, std::uint16_t port) = 0;
  // Hands the bytes to the socket in one call; 0 or a socket error number.
  virtual int Send(std::span<const char> bytes) = 0;
  // Reads what is available, at most out.size() bytes. bytes 0 with error 0 means the peer
  // closed; error kWouldBlock means nothing is waiting.
  virtual ReceiveResult Receive(std::span<char> out) = 0;
  // Shuts sending down, discards what still arrives until the peer closes (bounded in
  // time), closes the socket. No event is delivered after this call.
  virtual void Close() = 0;
};

// The UDP socket of the TFTP server. Datagrams are delivered by the binding to
// CTftpServerWnd::OnDatagram.
class DatagramTransport {
 public:
  virtual ~DatagramTransport() = default;
  // Sends one datagram from the server's port; 0 or a socket error number.
  virtual int SendTo(std::span<const std::uint8_t> datagram, std::string_view address,
                     std::uint16_t port) = 0;
  // Reads and throws away every datagram already waiting.
  virtual void DiscardPending() = 0;
};

}  // namespace mivo::link
