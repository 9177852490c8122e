#include "login_command.h"

#include "link_texts.h"

namespace mivo::link {

int RunLoginCommand(CAsyncClientWnd& channel, PhoneLink& link, UiPort& ui,
                    const std::string& address, std::uint16_t port,
                    const std::function<int()>& setupUsbLinkAddress) {
  if (link.GetLinkState() != PhoneLinkState::Offline) {
    return channel.SendCommand("REQ", "mode");
  }
  if (setupUsbLinkAddress && setupUsbLinkAddress() == 0) return 0;
  if (channel.Connect(address, port) != 0) return 1;
  const PhoneLinkState state = link.GetLinkState();
  const int admin = link.status().GetAdminLogin();
  if ((state == PhoneLinkState::ModeQuery && admin == 0) ||
      (state == PhoneLinkState::Online && admin == 1)) {
    return 1;
  }
  ui.MessageBox(texts::kPhoneConnectionFailed, texts::kWarningCaption, MessageIcon::kWarning);
  return 0;
}

}  // namespace mivo::link
