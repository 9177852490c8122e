#include "phone_link_status.h"

#include "link_texts.h"

namespace mivo::link {
namespace {

std::string Cut(std::string_view text) {
  return std::string(text.substr(0, PhoneLinkStatus::kMaxText));
}

}  // namespace

bool IsBusyGroup(PhoneLinkState state) {
  const int value = static_cast<int>(state);
  return value == 3 || value == 4 || (value >= 6 && value <= 10);
}

void PhoneLinkStatus::SetMacAddress(std::string_view mac) { m_mac = Cut(mac); }

void PhoneLinkStatus::SetVersions(std::string_view firmware, std::string_view bsp,
                                  std::string_view boot) {
  m_firmware = Cut(firmware);
  m_bsp = Cut(bsp);
  m_boot = Cut(boot);
}

void PhoneLinkStatus::SetModelName(std::string_view name) { m_model = Cut(name); }

void PhoneLink::SetLinkState(PhoneLinkState state) {
  if (!m_frame.ViewListExists()) return;
  m_status.m_state = state;
  if (state == PhoneLinkState::Online && m_keepAlive != nullptr) m_keepAlive->SetKeepAlive(0);
  if (state == PhoneLinkState::Offline) {
    m_frame.PostToWindows(kCommandUploadFirmware, kMessageFirmwareReset);
  }
  m_frame.RedrawStatusBar();
  m_frame.NotifyAllViews(kHintLinkStateChanged, std::monostate{});
}

int PhoneLink::CheckPhoneReady(int commandId) {
  switch (GetLinkState()) {
    case PhoneLinkState::Online:
      return 1;
    case PhoneLinkState::BootCodeMode:
      if (commandId == kCommandUploadFirmware) return 1;
      m_frame.OpenOrActivateWindow(kCommandUploadFirmware);
      return 0;
    case PhoneLinkState::Offline:
    case PhoneLinkState::ModeQuery:
      m_ui.MessageBox(texts::kPleaseLoginFirst, texts::kWarningCaption, MessageIcon::kWarning);
      return 0;
    default:
      if (commandId == 0 || commandId == m_frame.ActiveWindowCommand()) {
        m_ui.MessageBox(texts::kConnectionBusy, texts::kWarningCaption, MessageIcon::kInformation);
      }
      return 0;
  }
}

bool IsLoginEnabled(PhoneLinkState state) {
  if (state == PhoneLinkState::Connecting) return false;
  return !IsBusyGroup(state) || state == PhoneLinkState::BootCodeMode;
}

bool IsLogoutEnabled(PhoneLinkState state) {
  const int value = static_cast<int>(state);
  return state == PhoneLinkState::Online || (value >= 6 && value <= 10);
}

LineStatusIndicator LineStatusFor(PhoneLinkState state) {
  switch (state) {
    case PhoneLinkState::Online:
      return {0, 255, 0, "On-Line"};
    case PhoneLinkState::Offline:
    case PhoneLinkState::BootCodeMode:
    case PhoneLinkState::Closing:
      return {255, 0, 0, "Off-Line"};
    default:
      return {255, 255, 0, "Connecting..."};
  }
}

}  // namespace mivo::link
