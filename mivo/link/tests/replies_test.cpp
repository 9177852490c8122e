#include "replies.h"

#include <gtest/gtest.h>

namespace mivo::link {
namespace {

TEST(MatchReply, FindsPrefixSpaceAndCommandAnywhere) {
  EXPECT_EQ(MatchReply("CNF login 0", "CNF", "login"), 1);
  EXPECT_EQ(MatchReply("xx CNF mode 1", "CNF", "mode"), 1);
  EXPECT_EQ(MatchReply("CNF  login 0", "CNF", "login"), 0);
  EXPECT_EQ(MatchReply("IND import 100", "CNF", "import"), 0);
}

TEST(ParseReply, ReadsStatusAndText) {
  struct Case {
    const char* line;
    const char* command;
    int result;
    int status;
    const char* text;
  } const cases[] = {
      {"CNF login 0", "login", 1, 0, ""},
      {"CNF login 2", "login", 1, 2, ""},
      {"CNF login 1 extra", "login", 0, 1, ""},
      {"CNF mode", "mode", 0, 0, ""},
      {"CNF mode 1", "mode", 1, 1, ""},
      {"CNF mode x", "mode", 1, 0, ""},
      {"CNF import 0 done well  ", "import", 1, 0, "done well"},
      {"CNF import 3", "import", 1, 3, ""},
      {"CNF upload 12", "upload", 1, 12, ""},
      {"CNF getmac  00:0A:1B:2C:3D:4E\t", "getmac", 1, 0, "00:0A:1B:2C:3D:4E"},
      {"CNF getfirmwareinfo FW:1.2 BSP:3 BOOT:4", "getfirmwareinfo", 1, 0, "FW:1.2 BSP:3 BOOT:4"},
      {"CNF logout", "logout", 1, 0, ""},
      {"CNF probe", "probe", 1, 0, ""},
      {"CNF settimeout", "settimeout", 1, 0, ""},
      {"IND login 0", "login", 0, 0, ""},
      {"CNF login 0", "logout", 0, 0, ""},
      {"CNF other 5", "other", 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::int32_t status = -7;
    std::string text = "junk";
    EXPECT_EQ(ParseReply(c.line, c.command, status, text), c.result);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(text, c.text);
  }
}

TEST(ParseIndication, ReadsWordAndTextWithoutQuotes) {
  std::string word, text;
  EXPECT_EQ(ParseIndication("IND upload unknown Prof1_SSID=\"abc\"", "upload", word, text), 1);
  EXPECT_EQ(word, "unknown");
  EXPECT_EQ(text, "Prof1_SSID=abc");
  EXPECT_EQ(ParseIndication("IND import 20480 ", "import", word, text), 1);
  EXPECT_EQ(word, "20480");
  EXPECT_EQ(text, "");
  EXPECT_EQ(ParseIndication("IND import 20480", "import", word, text), 0);
  EXPECT_EQ(word, "");
  EXPECT_EQ(ParseIndication("IND login x y", "login", word, text), 0);
  EXPECT_EQ(ParseIndication("CNF upload x y", "upload", word, text), 0);
}

TEST(ParseFirmwareInfo, ReadsThreeRunsOfNonBlanks) {
  std::string fw, bsp, boot;
  ParseFirmwareInfo("FW:2.1.0 BSP:B7 BOOT:1.05", fw, bsp, boot);
  EXPECT_EQ(fw, "2.1.0");
  EXPECT_EQ(bsp, "B7");
  EXPECT_EQ(boot, "1.05");
  ParseFirmwareInfo("FW:9 garbage", fw, bsp, boot);
  EXPECT_EQ(fw, "9");
  EXPECT_EQ(bsp, "");
  EXPECT_EQ(boot, "");
}

}  // namespace
}  // namespace mivo::link
