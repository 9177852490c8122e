#include <gtest/gtest.h>

#include <string>

#include "config_file.h"
#include "fake_settings_ui.h"
#include "phone_settings.h"
#include "settings_messages.h"
#include "temp_dir.h"

namespace mivo {
namespace {

using testing::FakeSettingsUi;
using testing::ReadWholeFile;
using testing::TempDir;

class LoadTest : public ::testing::Test {
 protected:
  int Row(std::string_view name) const { return settings.FindParameter(name); }
  bool Open(const std::string& path) { return Load(settings, LoadMode::kOpen, path, buffer, ui); }

  TempDir dir;
  PhoneSettings settings;
  SettingsBuffer buffer;
  FakeSettingsUi ui;
};

TEST_F(LoadTest, OpenStoresAcceptedValuesAndKeepsTheFile) {
  const std::string text =
      "Prof1_SSID = Office Net  \r\n# keep me\r\nProf1_Name=\r\n\r\nvdpttl=7\nDHCPclient=Disable";
  const std::string path = dir.Write("PhoneCNF.txt", text);
  ASSERT_TRUE(Open(path));
  EXPECT_TRUE(ui.dialogs.empty());
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(settings.WorkingText(Row("Prof1_SSID")), "Office Net");
  EXPECT_EQ(settings.WorkingText(Row("Prof1_Name")), "");
  EXPECT_EQ(settings.WorkingNumber(Row("VDPTTL")), 7);
  EXPECT_EQ(settings.WorkingValueText(Row("Prof1_DHCPclient")), "Disable");
  EXPECT_EQ(settings.CommittedText(Row("Prof1_SSID")), "velto");  // the caller commits
  EXPECT_EQ(ReadWholeFile(path), text);  // written back as read, comment included
}

TEST_F(LoadTest, ExportModeChecksButStoresNothing) {
  const std::string path = dir.Write("PhoneCNF.txt", "Prof1_SSID=lab\r\nVDPTTL=300\r\n");
  ui.Answer(SettingDialogResult::kApply, "VDPTTL=30\r\n");
  ASSERT_TRUE(Load(settings, LoadMode::kExport, path, buffer, ui));
  EXPECT_EQ(settings.WorkingText(Row("Prof1_SSID")), "velto");
  EXPECT_EQ(ReadWholeFile(path), "Prof1_SSID=lab\r\nVDPTTL=30\r\n");
}

// The answers of the setting error dialog, on a file with one bad line in the middle.
struct DialogCase {
  const char* label;
  std::vector<SettingDialogAnswer> answers;
  bool result;
  const char* fileAfter;
  int32_t ttlAfter;
  int dialogs;
};

class SettingErrorDialogTest : public LoadTest, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(SettingErrorDialogTest, AnswerDecidesTheLine) {
  const DialogCase& c = GetParam();
  const std::string original = "VDP=Disable\r\nVDPTTL=\r\nRingToneIndex=2\r\n";
  const std::string path = dir.Write("PhoneCNF.txt", original);
  for (const SettingDialogAnswer& answer : c.answers) ui.answers.push_back(answer);

  EXPECT_EQ(Open(path), c.result);
  EXPECT_EQ(ReadWholeFile(path), c.fileAfter);
  EXPECT_EQ(settings.WorkingNumber(Row("VDPTTL")), c.ttlAfter);
  ASSERT_EQ(static_cast<int>(ui.dialogs.size()), c.dialogs);
  const FakeSettingsUi::DialogCall& first = ui.dialogs.front();
  EXPECT_EQ(first.line.code, kCheckNotAvailable);
  EXPECT_EQ(first.line.name, "VDPTTL");
  EXPECT_EQ(first.line.value, "");
  EXPECT_EQ(first.line.kind, kKindNumber);
  EXPECT_EQ(first.context.lineNumber, 2);
  EXPECT_EQ(first.context.restSize, original.size() - std::string("VDPTTL=\r\n").size());
  // Values of the lines after the bad one are stored unless the user aborted.
  EXPECT_EQ(settings.WorkingNumber(Row("RingToneIndex")), c.result ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, SettingErrorDialogTest,
    ::testing::Values(DialogCase{"Apply",
                                 {{SettingDialogResult::kApply, "VDPTTL=9\r\n"}},
                                 true,
                                 "VDP=Disable\r\nVDPTTL=9\r\nRingToneIndex=2\r\n",
                                 9,
                                 1},
                      DialogCase{"ApplyTwice",
                                 {{SettingDialogResult::kApply, "VDPTTL=x\r\n"},
                                  {SettingDialogResult::kApply, "vdpttl=12\r\n"}},
                                 true,
                                 "VDP=Disable\r\nvdpttl=12\r\nRingToneIndex=2\r\n",
                                 12,
                                 2},
                      DialogCase{"ApplyWithoutLineEnd",
                                 {{SettingDialogResult::kApply, "VDPTTL=9"}},
                                 true,
                                 "VDP=Disable\r\nVDPTTL=9\r\nRingToneIndex=2\r\n",
                                 9,
                                 1},
                      DialogCase{"Skip",
                                 {{SettingDialogResult::kSkip, ""}},
                                 true,
                                 "VDP=Disable\r\nVDPTTL=\r\nRingToneIndex=2\r\n",
                                 180,
                                 1},
                      DialogCase{"Delete",
                                 {{SettingDialogResult::kDelete, ""}},
                                 true,
                                 "VDP=Disable\r\nRingToneIndex=2\r\n",
                                 180,
                                 1},
                      DialogCase{"Close",
                                 {{SettingDialogResult::kClose, ""}},
                                 false,
                                 "VDP=Disable\r\nVDPTTL=\r\nRingToneIndex=2\r\n",
                                 180,
                                 1},
                      DialogCase{"ApplyThenClose",
                                 {{SettingDialogResult::kApply, "VDPTTL=x\r\n"},
                                  {SettingDialogResult::kClose, ""}},
                                 false,
                                 "VDP=Disable\r\nVDPTTL=\r\nRingToneIndex=2\r\n",
                                 180,
                                 2}),
    [](const auto& param) { return std::string(param.param.label); });

TEST_F(LoadTest, CorrectedLineThatDoesNotFitKeepsTheOldLine) {
  const std::string filler = "#" + std::string(30700, 'f') + "\r\n";
  const std::string path = dir.Write("PhoneCNF.txt", filler + "VDPTTL=\r\n");
  ui.Answer(SettingDialogResult::kApply, "VDPTTL=1" + std::string(100, '0') + "\r\n");
  EXPECT_TRUE(Open(path));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            "The update setting plus configuration file size exceed the internal buffer "
            "(30KBytes) !");
  EXPECT_EQ(ReadWholeFile(path), filler + "VDPTTL=\r\n");
}

TEST_F(LoadTest, EveryKindOfBadLineReachesTheDialog) {
  const std::string path = dir.Write(
      "PhoneCNF.txt", "NoSuch=1\r\njust text\r\nProf1_SSID=" + std::string(40, 's') +
                          "\r\nVDPTTL=256\r\nProf1_IPaddress=0.1.2.3\r\nProf1_Modify=maybe\r\n");
  for (int i = 0; i < 6; ++i) ui.Answer(SettingDialogResult::kSkip);
  EXPECT_TRUE(Open(path));
  std::vector<std::pair<int32_t, int>> seen;
  for (const auto& call : ui.dialogs) seen.emplace_back(call.line.code, call.context.lineNumber);
  const std::vector<std::pair<int32_t, int>> expected = {{201, 1}, {203, 2}, {1, 3},
                                                         {2, 4},   {3, 5},   {202, 6}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(ui.dialogs[1].line.name, "just text");
}

TEST_F(LoadTest, LongLineIsReadAsItsFirst256Characters) {
  // 300 characters: the name, 245 blanks within the first 256, then a value that is cut off.
  const std::string longLine = "Prof1_Name=" + std::string(245, ' ') + std::string(44, 'v');
  ASSERT_EQ(longLine.size(), 300u);
  const std::string text = longLine + "\r\nVDPTTL=9\r\n";
  const std::string path = dir.Write("PhoneCNF.txt", text);
  ASSERT_TRUE(Open(path));
  EXPECT_TRUE(ui.dialogs.empty());
  EXPECT_EQ(settings.WorkingText(Row("Prof1_Name")), "");
  EXPECT_EQ(settings.WorkingNumber(Row("VDPTTL")), 9);
  EXPECT_EQ(ReadWholeFile(path), text);  // the file keeps the whole line
}

TEST_F(LoadTest, PhoneBookLinesBeforeTheCountStopTheLoad) {
  const std::string text = "VDPTTL=\r\nPhBook_Name=Ann\r\nVDPTTL=5\r\n";
  const std::string path = dir.Write("PhoneCNF.txt", text);
  ui.Answer(SettingDialogResult::kDelete);
  EXPECT_TRUE(Open(path));
  EXPECT_EQ(settings.WorkingText(kRowPhBookFirst), "");
  EXPECT_EQ(settings.WorkingNumber(Row("VDPTTL")), 180);
  EXPECT_EQ(ReadWholeFile(path), text);  // stopped: not written back
}

TEST_F(LoadTest, ExportModeFollowsThePhoneBookRecordsAndStopsLikeOpen) {
  const std::string text =
      "VDPTTL=\r\nPhBook_Count=1\r\nPhBook_Name=Ann\r\nPhBook_EmailAddr=a\r\n"
      "PhBook_Name=Bob\r\nVDPTTL=x\r\n";
  const std::string path = dir.Write("PhoneCNF.txt", text);
  ui.Answer(SettingDialogResult::kApply, "VDPTTL=5\r\n");
  int stoppedAt = 0;
  ASSERT_TRUE(ReadFile(path, buffer, ui));
  EXPECT_EQ(LoadBuffer(settings, LoadMode::kExport, buffer, ui, &stoppedAt),
            LoadOutcome::kStoppedAtPhoneBook);
  EXPECT_EQ(stoppedAt, 5);
  EXPECT_EQ(ui.dialogs.size(), 1u);  // the bad line after the phone book is not reached
  EXPECT_EQ(settings.WorkingText(kRowPhBookFirst), "");  // nothing stored

  ui.Answer(SettingDialogResult::kApply, "VDPTTL=5\r\n");
  EXPECT_TRUE(Load(settings, LoadMode::kExport, path, buffer, ui));
  EXPECT_EQ(ReadWholeFile(path), text);  // stopped: not written back
  EXPECT_EQ(ui.dialogs.size(), 2u);
}

TEST_F(LoadTest, PhoneBookRecordsAreCountedUpToPhBookCount) {
  std::string text = "PhBook_Count=2\r\n";
  for (const char* name : {"Ann", "Bob", "Cid"}) {
    text += std::string("PhBook_Name=") + name + "\r\nPhBook_OfficeNum=1\r\nPhBook_HomeNum=2\r\n" +
            "PhBook_CellNum=3\r\nPhBook_EmailAddr=" + name + "@example.org\r\n";
  }
  text += "VDPTTL=5\r\n";
  ASSERT_TRUE(Open(dir.Write("PhoneCNF.txt", text)));
  EXPECT_EQ(settings.WorkingNumber(kRowPhBookCount), 2);
  EXPECT_EQ(settings.WorkingText(kRowPhBookFirst), "Ann");
  EXPECT_EQ(settings.WorkingText(kRowPhBookFirst + 5), "Bob");
  EXPECT_EQ(settings.WorkingText(kRowPhBookFirst + 9), "Bob@example.org");
  EXPECT_EQ(settings.WorkingText(kRowPhBookFirst + 10), "");
  EXPECT_EQ(settings.WorkingNumber(Row("VDPTTL")), 180);
}

TEST_F(LoadTest, ImportModeReportsIgnoresStoresAndRemovesSecurityLines) {
  const std::string text =
      "Prof1_SSID=phone\r\nProf1_WEPkey1=0123456789\r\nBogus=1\r\nVDPTTL=abc\r\nno equal\r\n"
      "Prof2_Name=" +
      std::string(70, 'n') + "\r\nVDPtransmitInterval=70000\r\nProf1_IPaddress=0.1.2.3\r\n" +
      "Prof1_SubnetMask=1.2.3.999\r\nPhoneLockPW=1234\r\n";
  ASSERT_TRUE(buffer.Assign(text));
  EXPECT_TRUE(Load(settings, LoadMode::kImport, "", buffer, ui));
  EXPECT_EQ(ui.currentViewRefreshes, 1);
  EXPECT_TRUE(ui.dialogs.empty());
  std::vector<std::string> texts;
  for (const auto& m : ui.messages) {
    texts.push_back(m.text);
    EXPECT_EQ(m.caption, "Warning");
    EXPECT_EQ(m.icon, MessageIcon::kWarning);
  }
  const std::vector<std::string> expected = {
      "Error in the imported settings format : Bogus=1\n\nSystem will ignore this setting.",
      "Error in the imported settings format : VDPTTL=abc\n\nSystem will ignore this setting.",
      "Error in the imported settings format : no equal\n\nSystem will ignore this setting."};
  EXPECT_EQ(texts, expected);
  EXPECT_EQ(settings.WorkingText(Row("Prof1_SSID")), "phone");
  EXPECT_EQ(settings.WorkingText(Row("Prof1_WEPkey1")), "0123456789");
  EXPECT_EQ(settings.WorkingText(Row("PhoneLockPW")), "1234");
  EXPECT_EQ(settings.WorkingText(Row("Prof2_Name")), std::string(64, 'n'));  // cut to the slot
  EXPECT_EQ(settings.WorkingNumber(Row("VDPtransmitInterval")), 70000);      // stored as read
  EXPECT_EQ(settings.WorkingValueText(Row("Prof1_IPaddress")), "0.1.2.3");
  EXPECT_EQ(settings.WorkingValueText(Row("Prof1_SubnetMask")), "255.255.255.0");  // no parse
  EXPECT_EQ(settings.WorkingNumber(Row("VDPTTL")), 180);
  // Security lines leave the buffer; bad lines stay.
  const std::string_view left = buffer.Text();
  EXPECT_EQ(left.find("WEPkey1"), std::string_view::npos);
  EXPECT_EQ(left.find("PhoneLockPW"), std::string_view::npos);
  EXPECT_NE(left.find("Bogus=1\r\n"), std::string_view::npos);
  EXPECT_TRUE(left.starts_with("Prof1_SSID=phone\r\nBogus=1\r\n"));
}

TEST_F(LoadTest, ImportDuringTheAutomaticImportOnlyRefreshesTheView) {
  ui.automaticImport = true;
  ASSERT_TRUE(buffer.Assign("Prof1_SSID=phone\r\n"));
  EXPECT_TRUE(Load(settings, LoadMode::kImport, "", buffer, ui));
  EXPECT_EQ(ui.currentViewRefreshes, 1);
  EXPECT_EQ(settings.WorkingText(Row("Prof1_SSID")), "velto");
}

TEST_F(LoadTest, ImportIgnoresPhoneBookLinesPastTheLastRecord) {
  std::string text = "PhBook_Count=9999\r\n";
  for (int record = 0; record < 101; ++record) {
    text += "PhBook_Name=n" + std::to_string(record) + "\r\nPhBook_EmailAddr=e\r\n";
    text += "PhBook_OfficeNum=1\r\nPhBook_HomeNum=2\r\nPhBook_CellNum=3\r\n";
  }
  ASSERT_TRUE(buffer.Assign(text));
  EXPECT_TRUE(Load(settings, LoadMode::kImport, "", buffer, ui));
  // Records are counted at each PhBook_EmailAddr, so the record's later lines fall
  // into the next record; 100 records are filled and the rest ignored.
  EXPECT_EQ(settings.WorkingText(kRowPhBookFirst), "n0");
  EXPECT_EQ(settings.WorkingText(kRowPhBookFirst + 5 * 99), "n99");
  EXPECT_EQ(settings.WorkingNumber(kRowPhBookCount), 9999);
  const std::string written = WriteToText(settings, &ui);
  size_t names = 0;
  for (size_t at = 0; (at = written.find("PhBook_Name=", at)) != std::string::npos; ++at) ++names;
  EXPECT_EQ(names, 100u);
  EXPECT_NE(written.find("PhBook_Count=9999\r\n"), std::string::npos);
}

TEST_F(LoadTest, FileSizeLimits) {
  struct Case {
    size_t size;
    bool readable;
  };
  for (const Case c : {Case{30719, true}, Case{30720, false}, Case{40000, false}, Case{0, true}}) {
    FakeSettingsUi fileUi;
    std::string text;
    while (text.size() + 9 <= c.size) text += "VDPTTL=5\n";
    text.resize(c.size, '\n');
    const std::string path = dir.Write("size.txt", text);
    EXPECT_EQ(CheckFile(path, fileUi), c.readable) << c.size;
    const auto length = ReadFile(path, buffer, fileUi);
    EXPECT_EQ(length.has_value(), c.readable) << c.size;
    if (c.readable) {
      EXPECT_EQ(*length, c.size);
      EXPECT_EQ(buffer.Text(), text);
      EXPECT_TRUE(fileUi.messages.empty());
    } else {
      ASSERT_EQ(fileUi.messages.size(), 2u) << c.size;
      EXPECT_EQ(fileUi.messages[0].text,
                "Configuration file size exceeds the internal buffer (30KBytes) !");
      EXPECT_EQ(fileUi.messages[0].icon, MessageIcon::kWarning);
    }
  }
}

TEST_F(LoadTest, UnreadableFilesAreRefused) {
  for (const std::string& path : {dir.Path("missing.txt"), dir.Path("")}) {
    FakeSettingsUi fileUi;
    EXPECT_FALSE(Load(settings, LoadMode::kOpen, path, buffer, fileUi));
    ASSERT_EQ(fileUi.messages.size(), 1u);
    EXPECT_EQ(fileUi.messages[0].text, "Unable to read the Configuration File !");
    EXPECT_EQ(fileUi.messages[0].caption, "Warning");
  }
}

TEST_F(LoadTest, FileWithZeroByteIsRefusedAndKept) {
  const std::string text = std::string("VDPTTL=5\r\n\0PhBook_Count=1\r\n", 27);
  const std::string path = dir.Write("nul.txt", text);
  EXPECT_FALSE(Open(path));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "The Configuration File \"" + path +
                                     "\" contains a zero byte and cannot be read as text !");
  EXPECT_EQ(ReadWholeFile(path), text);
  EXPECT_EQ(buffer.Length(), 0u);
}

}  // namespace
}  // namespace mivo
