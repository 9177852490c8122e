#include "phone_link_status.h"

#include <gtest/gtest.h>

#include "link_fakes.h"

namespace mivo::link {
namespace {

using testing::FakeFrame;
using testing::FakeUi;

class RecordingKeepAlive : public KeepAlivePort {
 public:
  void SetKeepAlive(int longPeriod) override { calls.push_back(longPeriod); }
  std::vector<int> calls;
};

struct LinkFixture : ::testing::Test {
  FakeFrame frame;
  FakeUi ui;
  PhoneLink link{frame, ui};
  RecordingKeepAlive keepAlive;
  void SetUp() override { link.AttachKeepAlive(&keepAlive); }
  void Force(PhoneLinkState state) {
    link.SetLinkState(state);
    frame.hints.clear();
    frame.posted.clear();
    keepAlive.calls.clear();
  }
};

TEST_F(LinkFixture, SetLinkStateStartsKeepAliveOnlineAndResetsFirmwareWindowsOffline) {
  link.SetLinkState(PhoneLinkState::Online);
  EXPECT_EQ(keepAlive.calls, std::vector<int>{0});
  EXPECT_TRUE(frame.posted.empty());
  link.SetLinkState(PhoneLinkState::Offline);
  EXPECT_EQ(keepAlive.calls.size(), 1u);
  ASSERT_EQ(frame.posted.size(), 1u);
  EXPECT_EQ(frame.posted[0], std::make_pair(kCommandUploadFirmware, 2029));
  ASSERT_EQ(frame.hints.size(), 2u);
  EXPECT_EQ(frame.hints[1].hint, kHintLinkStateChanged);
}

TEST_F(LinkFixture, SetLinkStateDoesNothingBeforeTheViewListExists) {
  frame.viewsExist = false;
  link.SetLinkState(PhoneLinkState::Online);
  EXPECT_EQ(link.GetLinkState(), PhoneLinkState::Offline);
  EXPECT_TRUE(keepAlive.calls.empty());
  EXPECT_TRUE(frame.hints.empty());
}

TEST_F(LinkFixture, HookMayChangeTheStateAgain) {
  frame.onHint = [&](const FakeFrame::Hint&) {
    if (link.GetLinkState() == PhoneLinkState::Closing) link.SetLinkState(PhoneLinkState::Offline);
  };
  link.SetLinkState(PhoneLinkState::Closing);
  EXPECT_EQ(link.GetLinkState(), PhoneLinkState::Offline);
}

TEST(PhoneLinkStateRules, BusyGroupEnablingAndIndicator) {
  struct Case {
    PhoneLinkState state;
    bool busy, login, logout;
    const char* text;
  } const cases[] = {
      {PhoneLinkState::Offline, false, true, false, "Off-Line"},
      {PhoneLinkState::Connecting, false, false, false, "Connecting..."},
      {PhoneLinkState::ModeQuery, false, true, false, "Connecting..."},
      {PhoneLinkState::BootCodeMode, true, true, false, "Off-Line"},
      {PhoneLinkState::Online, true, false, true, "On-Line"},
      {PhoneLinkState::Closing, false, true, false, "Off-Line"},
      {PhoneLinkState::ImportReceiving, true, false, true, "Connecting..."},
      {PhoneLinkState::FirmwareUpgrading, true, false, true, "Connecting..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.state));
    EXPECT_EQ(IsBusyGroup(c.state), c.busy);
    EXPECT_EQ(IsLoginEnabled(c.state), c.login);
    EXPECT_EQ(IsLogoutEnabled(c.state), c.logout);
    EXPECT_EQ(LineStatusFor(c.state).text, c.text);
  }
  EXPECT_EQ(LineStatusFor(PhoneLinkState::BootCodeMode).red, 255);
  EXPECT_EQ(LineStatusFor(PhoneLinkState::BootCodeMode).green, 0);
}

TEST_F(LinkFixture, CheckPhoneReadyFollowsTheState) {
  struct Case {
    PhoneLinkState state;
    int command;
    int active;
    int result;
    const char* message;  // nullptr: no message
    bool firmwareWindowOpened;
  } const cases[] = {
      {PhoneLinkState::Online, 0, 0, 1, nullptr, false},
      {PhoneLinkState::BootCodeMode, kCommandUploadFirmware, 0, 1, nullptr, false},
      {PhoneLinkState::BootCodeMode, 32790, 32790, 0, nullptr, true},
      {PhoneLinkState::Offline, 0, 0, 0, "Please login first !", false},
      {PhoneLinkState::ModeQuery, 32790, 0, 0, "Please login first !", false},
      {PhoneLinkState::ExportSending, 0, 32790, 0,
       "Phone Status : Connection is busy please try again later...", false},
      {PhoneLinkState::ExportSending, 32790, 32790, 0,
       "Phone Status : Connection is busy please try again later...", false},
      {PhoneLinkState::ExportSending, kCommandUploadFirmware, 32790, 0, nullptr, false},
      {PhoneLinkState::Connecting, kCommandUploadFirmware, 32790, 0, nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.state));
    Force(c.state);
    ui.shown.clear();
    frame.opened.clear();
    frame.activeCommand = c.active;
    EXPECT_EQ(link.CheckPhoneReady(c.command), c.result);
    if (c.message == nullptr) {
      EXPECT_TRUE(ui.shown.empty());
    } else {
      ASSERT_EQ(ui.shown.size(), 1u);
      EXPECT_EQ(ui.shown[0].text, c.message);
    }
    EXPECT_EQ(!frame.opened.empty(), c.firmwareWindowOpened);
  }
  Force(PhoneLinkState::ExportSending);
  ui.shown.clear();
  link.CheckPhoneReady(0);
  EXPECT_EQ(ui.shown.at(0).icon, MessageIcon::kInformation);
}

}  // namespace
}  // namespace mivo::link
