#include "error_texts.h"

#include <gtest/gtest.h>

#include "link_fakes.h"
#include "socket_error_reporter.h"

namespace mivo::link {
namespace {

using testing::FakeUi;

TEST(ErrorText, LooksUpExactCodesAndFallsBack) {
  struct Case {
    int code;
    const char* text;
  } const cases[] = {
      {0, "No error"},
      {3, "Incorrect IP address format."},
      {203, "No equal sign '=' between setting parameter and setting value."},
      {305, "No response from phone! Connection is closed..."},
      {901, "Invalid password."},
      {4, "Unknown error !"},
      {-1, "Unknown error !"},
      {10060, "Unknown error !"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorText(c.code), c.text) << c.code;
}

TEST(SocketErrorText, LooksUpExactCodesAndFallsBack) {
  EXPECT_EQ(SocketErrorText(10024), "No more sokcet descriptors are available.");
  EXPECT_EQ(SocketErrorText(10054), "Connection reset by phone.");
  EXPECT_EQ(SocketErrorText(11004), "Valid name, no data record of requested type.");
  EXPECT_EQ(SocketErrorText(10061), "Windows socket error!");
  EXPECT_EQ(SocketErrorText(0), "Windows socket error!");
}

TEST(ErrorDialogTexts, FormatsCodeCaptionAndDescription) {
  struct Case {
    int code;
    const char* suffix;
    const char* extra;
    const char* caption;
    const char* codeText;
    const char* description;
  } const cases[] = {
      {900, "Login", "", "Warning Message - Login", "ERR 900", "Unknown user name.\t"},
      {7, "", "", "Warning Message", "ERR  7", "Unknown error !\t"},
      {101, "", "Create TFTP server error", "Warning Message", "ERR 101",
       "The specified address is already in use.\tCreate TFTP server error"},
  };
  for (const Case& c : cases) {
    const ErrorDialogTexts texts = BuildErrorDialogTexts(c.code, c.suffix, c.extra);
    EXPECT_EQ(texts.caption, c.caption);
    EXPECT_EQ(texts.code, c.codeText);
    EXPECT_EQ(texts.description, c.description);
  }
}

TEST(ReportSocketError, MapsCodesToTheErrorDialogOrAMessage) {
  FakeUi ui;
  SocketErrorReporter reporter(ui);
  reporter.ReportSocketError("P", 10060);
  reporter.ReportSocketError("P", 10048);
  reporter.ReportSocketError("P", 10053);
  reporter.ReportSocketError("Prefix:", 10061);
  reporter.ReportSocketError("", 10054);
  ASSERT_EQ(ui.shown.size(), 5u);
  EXPECT_EQ(ui.shown[0].code, 100);
  EXPECT_EQ(ui.shown[0].text, "");
  EXPECT_EQ(ui.shown[1].code, 101);
  EXPECT_EQ(ui.shown[1].text, "P");
  EXPECT_EQ(ui.shown[2].code, 305);
  EXPECT_EQ(ui.shown[3].code, -1);
  EXPECT_EQ(ui.shown[3].text, "Prefix:\r\n\nWindows socket error!");
  EXPECT_EQ(ui.shown[4].text, "\r\n\nConnection reset by phone.");
}

TEST(ReportSocketError, DropsReportsWhileOneIsOpen) {
  FakeUi ui;
  SocketErrorReporter reporter(ui);
  bool nestedShown = true;
  ui.whileOpen.push_back([&] { nestedShown = reporter.ReportSocketError("second", 10050); });
  EXPECT_TRUE(reporter.ReportSocketError("first", 10050));
  EXPECT_FALSE(nestedShown);
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_TRUE(ui.shown[0].text.starts_with("first"));
  EXPECT_TRUE(reporter.ReportSocketError("third", 10050));
  EXPECT_EQ(ui.shown.size(), 2u);
}

}  // namespace
}  // namespace mivo::link
