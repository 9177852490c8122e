#include "config_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "phone_settings.h"
#include "settings_messages.h"

namespace mivo {
namespace {

std::vector<std::string> AllLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t position = 0;
  BufferLine line;
  while (NextLine(text, position, line)) lines.push_back(line.text);
  return lines;
}

TEST(NextLine, SplitsAtCrLfAndSkipsEmptyLines) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(AllLines("a=1\r\nb=2\r\n"), (Lines{"a=1", "b=2"}));
  EXPECT_EQ(AllLines("a=1\nb=2\rc=3"), (Lines{"a=1", "b=2", "c=3"}));
  EXPECT_EQ(AllLines("\r\n\r\n\na=1\r\n\r\n\r\nb=2"), (Lines{"a=1", "b=2"}));
  EXPECT_EQ(AllLines(""), Lines{});
  EXPECT_EQ(AllLines("\r\n\n\r"), Lines{});
  EXPECT_EQ(AllLines(std::string_view("a=1\nb=2\0c=3\n", 12)), (Lines{"a=1", "b=2"}));
}

TEST(NextLine, ReportsOffsetsAndTheLastLine) {
  const std::string_view text = "x=1\r\n\r\ny=22";
  size_t position = 0;
  BufferLine line;
  ASSERT_TRUE(NextLine(text, position, line));
  EXPECT_EQ(line.start, 0u);
  EXPECT_EQ(line.end, 3u);
  EXPECT_EQ(line.breakEnd, 5u);
  EXPECT_FALSE(line.last);
  EXPECT_EQ(position, 7u);
  ASSERT_TRUE(NextLine(text, position, line));
  EXPECT_EQ(line.text, "y=22");
  EXPECT_EQ(line.start, 7u);
  EXPECT_EQ(line.breakEnd, text.size());
  EXPECT_TRUE(line.last);
  EXPECT_FALSE(NextLine(text, position, line));
}

TEST(NextLine, CutsLongLinesAfter256Characters) {
  const std::string longLine = "Prof1_SSID=" + std::string(289, 'x');  // 300 characters
  const std::string text = longLine + "\r\nVDP=Enable\r\n";
  size_t position = 0;
  BufferLine line;
  ASSERT_TRUE(NextLine(text, position, line));
  EXPECT_EQ(line.text, longLine.substr(0, 256));
  EXPECT_EQ(line.end, 300u);
  ASSERT_TRUE(NextLine(text, position, line));
  EXPECT_EQ(line.text, "VDP=Enable");
}

TEST(NextLine, LineNumbersCountEveryKindOfLineEnd) {
  const std::string_view text = "a\r\nb\nc\rd\r\n\r\ne";
  EXPECT_EQ(LineNumberAt(text, 0), 1);
  EXPECT_EQ(LineNumberAt(text, text.find('b')), 2);
  EXPECT_EQ(LineNumberAt(text, text.find('c')), 3);
  EXPECT_EQ(LineNumberAt(text, text.find('d')), 4);
  EXPECT_EQ(LineNumberAt(text, text.find('e')), 6);
}

TEST(ParseLine, FillsTheRecord) {
  const PhoneSettings settings;
  struct Case {
    std::string line;
    int row;
    int32_t code;
    const char* name;
    const char* value;
    int32_t kind;
    int32_t index;
    bool security;
  };
  const Case cases[] = {
      {"Prof1_SSID = Office Net  \t", 10, 0, "Prof1_SSID", "Office Net", kKindText, 0, false},
      {"prof1_datarate=auto", 13, 0, "prof1_datarate", "auto", kKindList, 4, false},
      {"VDPTTL=", 132, kCheckNotAvailable, "VDPTTL", "", kKindNumber, 0, false},
      {"VDPTTL=   ", 132, kCheckNotAvailable, "VDPTTL", "", kKindNumber, 0, false},
      {"Prof1_Name=", 0, 0, "Prof1_Name", "", kKindText, 0, false},
      {"Prof1_Name=a=b", 0, 0, "Prof1_Name", "a=b", kKindText, 0, false},
      {"  NoSuchThing = 1", -1, kCheckUnknownName, "NoSuchThing", "1", 0, 0, false},
      {"  just words  ", -1, kCheckNoEqualSign, "just words", "", 0, 0, false},
      {"=value", -1, kCheckUnknownName, "", "value", 0, 0, false},
      {"WEPkey1=abc", 23, 0, "WEPkey1", "abc", kKindText, 0, true},
      {"Prof2_Authentication=LEAP", 45, 0, "Prof2_Authentication", "LEAP", kKindList, 2, true},
      {"PhBook_EmailAddr=a@b", 185, 0, "PhBook_EmailAddr", "a@b", kKindText, 0, false},
      {"Prof1_IPaddress=192.168.1.0", 3, kCheckBadAddress, "Prof1_IPaddress", "192.168.1.0",
       kKindAddress, 0, false},
  };
  for (const Case& c : cases) {
    ParsedSettingLine parsed;
    EXPECT_EQ(ParseLine(c.line, settings, parsed), c.row) << c.line;
    EXPECT_EQ(parsed.code, c.code) << c.line;
    EXPECT_EQ(parsed.name, c.name) << c.line;
    EXPECT_EQ(parsed.value, c.value) << c.line;
    EXPECT_EQ(parsed.kind, c.kind) << c.line;
    EXPECT_EQ(parsed.itemIndex, c.index) << c.line;
    EXPECT_EQ(parsed.security, c.security) << c.line;
  }
}

TEST(ParseLine, CommentsAreRecognisedBeforeAnythingElse) {
  const PhoneSettings settings;
  ParsedSettingLine parsed;
  EXPECT_EQ(ParseLine("# VDPTTL=abc", settings, parsed), kParseComment);
  EXPECT_EQ(parsed.code, 0);
  EXPECT_EQ(ParseLine("#", settings, parsed), kParseComment);
  // Only a "#" in the first column makes a comment.
  EXPECT_EQ(ParseLine(" #x=1", settings, parsed), kParseNoRow);
  EXPECT_EQ(parsed.code, kCheckUnknownName);
}

TEST(ParseLine, CodesHaveTheirTexts) {
  EXPECT_EQ(messages::CheckCodeText(1), "String length is too long.");
  EXPECT_EQ(messages::CheckCodeText(2), "Number is out of range.");
  EXPECT_EQ(messages::CheckCodeText(3), "Incorrect IP address format.");
  EXPECT_EQ(messages::CheckCodeText(201), "Unknown setting parameter.");
  EXPECT_EQ(messages::CheckCodeText(202), "Setting value is not available.");
  EXPECT_EQ(messages::CheckCodeText(203),
            "No equal sign '=' between setting parameter and setting value.");
  EXPECT_EQ(messages::CheckCodeText(7), "Unknown error !");
}

}  // namespace
}  // namespace mivo
