#include "connect_session.h"

#include <vector>

#include "command_channel.h"
#include "console_link_ui.h"
#include "event_wait.h"
#include "login_command.h"
#include "qt_event_loop_dialog.h"
#include "qt_stream_transport.h"
#include "qt_timers.h"
#include "replies.h"

namespace mivo::link {
namespace {

// The windows a headless session has: it only remembers which window the phone's mode
// asked for and the reply lines.
class SessionFrame final : public FramePort {
 public:
  void NotifyAllViews(UpdateHint hint, const HintArgument& argument) override {
    if (const auto* line = std::get_if<std::string_view>(&argument);
        hint == kHintPhoneReply && line != nullptr) {
      lines.emplace_back(*line);
    }
  }
  void OpenOrActivateWindow(int commandId) override { openedWindow = commandId; }

  // The first line matching "CNF <command>" after index from, or -1.
  int Find(std::string_view command, std::size_t from) const {
    for (std::size_t i = from; i < lines.size(); ++i) {
      if (MatchReply(lines[i], "CNF", command)) return static_cast<int>(i);
    }
    return -1;
  }

  std::vector<std::string> lines;
  int openedWindow = 0;
};

}  // namespace

int RunConnect(const ConnectOptions& options, std::ostream& out, std::ostream& err) {
  if (options.user != "admin" && options.user != "user") {
    err << "--user must be admin or user" << std::endl;
    return kConnectUsage;
  }
  ConsoleLinkUi ui(err);
  SessionFrame frame;
  SocketErrorReporter reporter(ui);
  PhoneLink link(frame, ui);
  CAsyncClientWnd* channelPtr = nullptr;
  QtStreamTransport transport([&channelPtr](int event, int error) {
    if (channelPtr) channelPtr->OnSocketEvent(event, error);
  });
  QtTimerPort timers([&channelPtr](int id) {
    if (channelPtr) channelPtr->OnTimer(id);
  });
  BlockingPause pause;
  EventLoopConnectingDialog dialog;
  CAsyncClientWnd channel(link, {transport, timers, pause, ui, dialog, frame, reporter});
  channelPtr = &channel;

  const LinkEndpoints& endpoints = options.endpoints;
  std::function<int()> setup;
  if (!endpoints.addressOverridden) setup = options.setupUsbLinkAddress;
  if (RunLoginCommand(channel, link, ui, endpoints.phoneAddress, endpoints.phonePort, setup) == 0) {
    return kConnectFailed;
  }
  const auto offline = [&] { return !channel.IsOpen(); };
  WaitForEvents([&] { return frame.openedWindow != 0 || offline(); }, options.replyTimeoutMs);
  if (offline()) return kConnectFailed;
  if (frame.openedWindow == kCommandUploadFirmware) {
    err << "The phone runs its boot code; only a firmware upload is possible." << std::endl;
    channel.Disconnect();
    return kConnectBootCode;
  }
  if (frame.openedWindow != kCommandLogin) {
    err << "No mode confirmation from the phone." << std::endl;
    channel.Disconnect();
    return kConnectFailed;
  }

  const bool admin = options.user == "admin";
  const std::string credentials = admin ? std::string("admin qopwix") : "user " + options.password;
  const std::size_t before = frame.lines.size();
  channel.SendCommand("REQ", "login", credentials + "\r\n");
  WaitForEvents([&] { return frame.Find("login", before) >= 0 || offline(); },
                options.replyTimeoutMs);
  const int index = frame.Find("login", before);
  if (index < 0) {
    if (!offline()) {
      err << "No login confirmation from the phone." << std::endl;
      channel.Disconnect();
    }
    return kConnectFailed;
  }
  std::int32_t status = 0;
  std::string text;
  ParseReply(frame.lines[static_cast<std::size_t>(index)], "login", status, text);
  if (status != 0) {
    ui.ErrorDialog(status == 1 ? 900 : 901, "Login", "");
    channel.Disconnect();
    return kConnectLoginRefused;
  }
  link.status().SetAdminLogin(admin ? 1 : 0);
  const std::size_t afterLogin = frame.lines.size();
  link.SetLinkState(PhoneLinkState::Online);
  WaitForEvents([&] { return frame.Find("getfirmwareinfo", afterLogin) >= 0 || offline(); },
                options.replyTimeoutMs);
  if (offline()) return kConnectFailed;
  const PhoneLinkStatus& phone = link.status();
  out << "MAC address: " << phone.GetMacAddress() << "\n"
      << "Firmware version: " << phone.GetFirmwareVersion() << "\n"
      << "BSP version: " << phone.GetBspVersion() << "\n"
      << "Boot version: " << phone.GetBootVersion() << std::endl;

  const std::size_t beforeLogout = frame.lines.size();
  channel.SendCommand("REQ", "logout");
  WaitForEvents([&] { return frame.Find("logout", beforeLogout) >= 0 || offline(); },
                options.replyTimeoutMs);
  if (channel.IsOpen()) {
    link.SetLinkState(PhoneLinkState::Closing);
    channel.Disconnect();
  }
  return kConnectOk;
}

}  // namespace mivo::link
