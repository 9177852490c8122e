#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link_ports.h"

namespace mivo::link {

enum class PhoneLinkState : std::int32_t {
  Offline = 0,
  Connecting = 1,
  ModeQuery = 2,
  BootCodeMode = 3,
  Online = 4,
  Closing = 5,
  ImportReceiving = 6,
  ImportRequested = 7,
  ExportSending = 8,
  ExportRequested = 9,
  FirmwareUpgrading = 10,
};

// True for the busy group: boot code mode, logged in, or inside an operation.
bool IsBusyGroup(PhoneLinkState state);

// What the application knows about the connected phone. Texts are cut to 255 characters.
class PhoneLinkStatus {
 public:
  static constexpr std::size_t kMaxText = 255;

  PhoneLinkState state() const { return m_state; }

  const std::string& GetMacAddress() const { return m_mac; }
  void SetMacAddress(std::string_view mac);
  void SetVersions(std::string_view firmware, std::string_view bsp, std::string_view boot);
  const std::string& GetFirmwareVersion() const { return m_firmware; }
  const std::string& GetBspVersion() const { return m_bsp; }
  const std::string& GetBootVersion() const { return m_boot; }
  const std::string& GetModelName() const { return m_model; }
  void SetModelName(std::string_view name);
  std::int32_t GetAdminLogin() const { return m_adminLogin; }
  void SetAdminLogin(std::int32_t flag) { m_adminLogin = flag; }
  std::int32_t GetChangePhone() const { return m_changePhone; }
  void SetChangePhone(std::int32_t flag) { m_changePhone = flag; }

 private:
  friend class PhoneLink;
  PhoneLinkState m_state = PhoneLinkState::Offline;
  std::int32_t m_adminLogin = 0;
  std::string m_mac;
  std::string m_firmware;
  std::string m_bsp;
  std::string m_boot;
  std::string m_model = "Velto 5837";
  std::int32_t m_changePhone = 0;
};

// The command channel's keep-alive as the link state needs it.
class KeepAlivePort {
 public:
  virtual ~KeepAlivePort() = default;
  virtual void SetKeepAlive(int longPeriod) = 0;
};

// The phone link state of the application and the busy rule. GUI thread only.
class PhoneLink {
 public:
  PhoneLink(FramePort& frame, UiPort& ui) : m_frame(frame), m_ui(ui) {}

  // The channel whose keep-alive a change to Online (re)starts; may stay unset.
  void AttachKeepAlive(KeepAlivePort* keepAlive) { m_keepAlive = keepAlive; }

  PhoneLinkStatus& status() { return m_status; }
  const PhoneLinkStatus& status() const { return m_status; }

  PhoneLinkState GetLinkState() const { return m_status.m_state; }

  // Stores the state; Online asks for the short keep-alive (may pause the thread),
  // Offline posts 2029 to the open "Upload Firmware Image" windows; then redraws the
  // status bar and sends hint 5. Does nothing before the view list exists. The hooks run
  // synchronously and may set the state again.
  void SetLinkState(PhoneLinkState state);

  int IsPhoneBusyOrOnline() const { return IsBusyGroup(GetLinkState()) ? 1 : 0; }

  // 1 when an operation for commandId (0: no particular window) may talk to the phone now.
  // Otherwise 0 after the refusal the state calls for: "Please login first !", the
  // firmware window brought forward, the busy message, or nothing (a busy refusal for a
  // window that is not the active one).
  int CheckPhoneReady(int commandId);

  void NotifyAllViews(UpdateHint hint, const HintArgument& argument) {
    m_frame.NotifyAllViews(hint, argument);
  }

 private:
  FramePort& m_frame;
  UiPort& m_ui;
  KeepAlivePort* m_keepAlive = nullptr;
  PhoneLinkStatus m_status;
};

// Menu and toolbar enabling of Login and Logout.
bool IsLoginEnabled(PhoneLinkState state);
bool IsLogoutEnabled(PhoneLinkState state);

// The "Line Status" pane of the status bar.
struct LineStatusIndicator {
  std::uint8_t red, green, blue;
  std::string_view text;
};
LineStatusIndicator LineStatusFor(PhoneLinkState state);

}  // namespace mivo::link
