#include "settings_validation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "fake_settings_ui.h"
#include "phone_settings.h"
#include "temp_dir.h"

namespace mivo {
namespace {

using testing::FakeSettingsUi;

// Sets working values by name, as the pages do before the checks run.
void Set(PhoneSettings& s, std::string_view name, std::string_view value) {
  const int row = s.FindParameter(name);
  ASSERT_GE(row, 0) << name;
  const CheckResult check = s.CheckValue(row, value);
  s.StoreValue(row, value, check.itemIndex);
}

struct ProfileCase {
  const char* label;
  std::function<void(PhoneSettings&)> edit;
  const char* message;  // empty: the check passes
};

class NetworkProfileCheck : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(NetworkProfileCheck, FirstFailingRuleIsShown) {
  const ProfileCase& c = GetParam();
  PhoneSettings settings;
  c.edit(settings);
  FakeSettingsUi ui;
  const bool passed = CheckNetworkProfiles(&settings, ui);
  if (std::string(c.message).empty()) {
    EXPECT_TRUE(passed);
    EXPECT_TRUE(ui.messages.empty()) << ui.messages[0].text;
    return;
  }
  EXPECT_FALSE(passed);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, c.message);
  EXPECT_EQ(ui.messages[0].caption, "Warning");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::kWarning);
}

const std::string kHex64(64, 'a');

INSTANTIATE_TEST_SUITE_P(
    Rules, NetworkProfileCheck,
    ::testing::Values(
        ProfileCase{"Defaults", [](PhoneSettings&) {}, ""},
        ProfileCase{"NamesDifferingInCase",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_Name", "Office");
                      Set(s, "Prof2_Name", "office");
                    },
                    ""},
        ProfileCase{"DuplicateName",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_Name", "Office");
                      Set(s, "Prof3_Name", "Office");
                    },
                    "Network profile names should not be duplicate !!"},
        ProfileCase{"EmptyNameBeforeLaterDuplicate",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_Name", "Same");
                      Set(s, "Prof2_Name", "");
                      Set(s, "Prof3_Name", "Same");
                    },
                    "Profile Name 2 CAN NOT Be Empty!"},
        ProfileCase{"AnySsidMayBeEmpty",
                    [](PhoneSettings& s) {
                      Set(s, "Prof2_SSIDType", "Any");
                      Set(s, "Prof2_SSID", "");
                    },
                    ""},
        ProfileCase{"SpecifiedSsidEmpty", [](PhoneSettings& s) { Set(s, "Prof4_SSID", ""); },
                    "Please setup the string of Profile 4 SSID if type is \"Specify\" !"},
        ProfileCase{"SharedKeyWithKey",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_Authentication", "SharedKey");
                      Set(s, "Prof1_WEPkeyIdx", "3");
                      Set(s, "Prof1_WEPkey3_EncryptionBit", "64");
                      Set(s, "Prof1_WEPkey3", "0123456789");
                    },
                    ""},
        ProfileCase{"SharedKeyWithShortKey",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_Authentication", "SharedKey");
                      Set(s, "Prof1_WEPkeyIdx", "3");
                      Set(s, "Prof1_WEPkey3_EncryptionBit", "64");
                      Set(s, "Prof1_WEPkey3", "012345678");
                    },
                    "Invalid WEP key length, Profile #1 WEP Key #3 length should be 10"},
        ProfileCase{"SharedKeyWithoutKey",
                    [](PhoneSettings& s) {
                      Set(s, "Prof2_Authentication", "SharedKey");
                      Set(s, "Prof2_WEPkeyIdx", "2");
                    },
                    "Please setup the Profile 2 WEP Key #2 if Authentication Type is SharedKey !"},
        ProfileCase{"LeapWithWepKey",
                    [](PhoneSettings& s) {
                      Set(s, "Prof3_Authentication", "LEAP");
                      Set(s, "Prof3_WEPkey1_EncryptionBit", "128");
                      Set(s, "Prof3_WEPkey1", std::string(26, 'f'));
                    },
                    "Please setup the Profile 3 WEP Key #1 if Authentication Type is SharedKey !"},
        ProfileCase{"OpenWith128BitKey",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_WEPkey2_EncryptionBit", "128");
                      Set(s, "Prof1_WEPkey2", std::string(26, 'f'));
                    },
                    ""},
        ProfileCase{"OpenWithShort128BitKey",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_WEPkey2_EncryptionBit", "128");
                      Set(s, "Prof1_WEPkey2", std::string(25, 'f'));
                    },
                    "Invalid WEP key length, Profile #1 WEP Key #2 length should be 26"},
        ProfileCase{"AkmHexKey",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_Authentication", "AKM");
                      Set(s, "Prof1_KeyHEXpassword", std::string(32, 'a'));
                      s.SetWorkingText(s.FindParameter("Prof1_KeyHEXpassword"), kHex64);
                    },
                    ""},
        ProfileCase{"AkmHexKeyWithG",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_Authentication", "AKM");
                      s.SetWorkingText(s.FindParameter("Prof1_KeyHEXpassword"),
                                       std::string(63, 'a') + "g");
                    },
                    "Please config the HEX Password of WPA Pre-SharedKey in Profile 1 as a 64 "
                    "digit hex (0-9,A-F) number !"},
        ProfileCase{"LeapWithHexKey",
                    [](PhoneSettings& s) {
                      Set(s, "Prof2_Authentication", "LEAP");
                      Set(s, "Prof2_KeyHEXpassword", "ab");
                    },
                    "HEX Password of Profile 2 should be empty if authentication type is not AKM "
                    "!!"},
        ProfileCase{"AkmAscii7",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_Authentication", "AKM");
                      Set(s, "Prof1_PresharedKey", "ASCII");
                      Set(s, "Prof1_KeyASCIIpassword", "1234567");
                    },
                    "Please config the ASCII Password of WPA Pre-SharedKey in Profile 1 as a 8 ~ "
                    "63 digit number !"},
        ProfileCase{"AkmAscii63",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_Authentication", "AKM");
                      Set(s, "Prof1_PresharedKey", "ASCII");
                      s.SetWorkingText(s.FindParameter("Prof1_KeyASCIIpassword"),
                                       std::string(63, '~'));
                    },
                    ""},
        ProfileCase{"AkmAscii64",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_Authentication", "AKM");
                      Set(s, "Prof1_PresharedKey", "ASCII");
                      s.SetWorkingText(s.FindParameter("Prof1_KeyASCIIpassword"),
                                       std::string(64, ' '));
                    },
                    "Please config the ASCII Password of WPA Pre-SharedKey in Profile 1 as a 8 ~ "
                    "63 digit number !"},
        ProfileCase{"AkmAsciiWithTab",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_Authentication", "AKM");
                      Set(s, "Prof1_PresharedKey", "ASCII");
                      Set(s, "Prof1_KeyASCIIpassword", "abc\tdefgh");
                    },
                    "Please config the ASCII Password of WPA Pre-SharedKey in Profile 1 as a 8 ~ "
                    "63 digit number !"},
        ProfileCase{"OpenWithAsciiKey",
                    [](PhoneSettings& s) {
                      Set(s, "Prof4_PresharedKey", "ASCII");
                      Set(s, "Prof4_KeyASCIIpassword", "12345678");
                    },
                    "ASCII Password of Profile 4 should be empty if authentication type is not "
                    "AKM !!"},
        ProfileCase{"HexKeyIgnoredWhenAsciiChosen",
                    [](PhoneSettings& s) {
                      Set(s, "Prof4_PresharedKey", "ASCII");
                      Set(s, "Prof4_KeyHEXpassword", "12");
                    },
                    ""},
        // Each rule runs over all four profiles before the next rule starts.
        ProfileCase{"NamesOfAllProfilesBeforeSsids",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_SSID", "");
                      Set(s, "Prof4_Name", "");
                    },
                    "Profile Name 4 CAN NOT Be Empty!"},
        ProfileCase{"SsidsOfAllProfilesBeforeWepKeys",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_WEPkey1_EncryptionBit", "64");
                      Set(s, "Prof3_SSID", "");
                    },
                    "Please setup the string of Profile 3 SSID if type is \"Specify\" !"},
        ProfileCase{"WepKeysOfAllProfilesBeforePresharedKeys",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_KeyHEXpassword", "ab");
                      Set(s, "Prof2_WEPkey4_EncryptionBit", "128");
                    },
                    "Invalid WEP key length, Profile #2 WEP Key #4 length should be 26"},
        ProfileCase{"WepRulesRunProfileByProfile",
                    [](PhoneSettings& s) {
                      Set(s, "Prof1_WEPkey1_EncryptionBit", "64");
                      Set(s, "Prof2_Authentication", "SharedKey");
                      Set(s, "Prof2_WEPkey1_EncryptionBit", "128");
                    },
                    "Invalid WEP key length, Profile #1 WEP Key #1 length should be 10"},
        ProfileCase{"MissingKeyReportedBeforeOtherKeysOfItsProfile",
                    [](PhoneSettings& s) {
                      Set(s, "Prof2_Authentication", "AKM");
                      Set(s, "Prof2_WEPkeyIdx", "3");
                      Set(s, "Prof2_WEPkey1_EncryptionBit", "64");
                      Set(s, "Prof2_WEPkey3_EncryptionBit", "64");
                    },
                    "Please setup the Profile 2 WEP Key #3 if Authentication Type is SharedKey !"}),
    [](const auto& param) { return std::string(param.param.label); });

TEST(SettingsValidation, NoActiveDocumentFailsSilently) {
  FakeSettingsUi ui;
  EXPECT_FALSE(CheckNetworkProfiles(nullptr, ui));
  EXPECT_FALSE(CheckPhoneSettings(nullptr, ui));
  EXPECT_TRUE(ui.messages.empty());
}

class PhoneSettingsCheck : public ::testing::Test {
 protected:
  testing::TempDir dir;
  PhoneSettings settings;
  FakeSettingsUi ui;
};

TEST_F(PhoneSettingsCheck, FilesMustExistInOrder) {
  EXPECT_TRUE(CheckPhoneSettings(&settings, ui));
  const std::string ringList = dir.Path("ringlist.xml");
  const std::string ringTone = dir.Path("tone.wav");
  Set(settings, "LocalRingListFilename", ringList);
  Set(settings, "RingToneFile", ringTone);
  EXPECT_FALSE(CheckPhoneSettings(&settings, ui));
  dir.Write("ringlist.xml", "<x/>");
  EXPECT_FALSE(CheckPhoneSettings(&settings, ui));
  dir.Write("tone.wav", "RIFF");
  EXPECT_TRUE(CheckPhoneSettings(&settings, ui));
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, "Ring list file \"" + ringList +
                                     "\" does not exist!\n\nPlease specify a proper filename and "
                                     "path.");
  EXPECT_EQ(ui.messages[1].text, "Ring tone file \"" + ringTone +
                                     "\" is not exist!\n\nPlease specify the correct filename and "
                                     "path in ring list file.");
  EXPECT_EQ(ui.messages[1].icon, MessageIcon::kWarning);
}

TEST_F(PhoneSettingsCheck, FolderIsNoFile) {
  Set(settings, "LocalRingListFilename", dir.Path(""));
  EXPECT_FALSE(CheckPhoneSettings(&settings, ui));
  Set(settings, "LocalRingListFilename", "");
  Set(settings, "RingToneFile", dir.Path(""));
  EXPECT_FALSE(CheckPhoneSettings(&settings, ui));
  std::filesystem::create_directory(dir.Path("p006.bin"));
  EXPECT_FALSE(CheckFirmwareImageFile(dir.Path("p006.bin"), ui));
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_TRUE(ui.messages[0].text.starts_with("Ring list file ")) << ui.messages[0].text;
  EXPECT_TRUE(ui.messages[1].text.starts_with("Ring tone file ")) << ui.messages[1].text;
  EXPECT_TRUE(ui.messages[2].text.starts_with("Firmware image file ")) << ui.messages[2].text;
}

TEST_F(PhoneSettingsCheck, FirmwareImageCheckedOnlyWhenUpgradeEnabled) {
  Set(settings, "NewFirmwareImageFilename", dir.Path("missing.bin"));
  EXPECT_TRUE(CheckPhoneSettings(&settings, ui));
  Set(settings, "NewFirmwareImageUpgrade", "Enable");
  EXPECT_FALSE(CheckPhoneSettings(&settings, ui));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Firmware image file \"" + dir.Path("missing.bin") +
                                     "\" does not exist!\n\nPlease specify a proper filename and "
                                     "path.");
}

TEST_F(PhoneSettingsCheck, VdpValuesOutsideTheirRangeArePlainMessages) {
  settings.SetWorkingNumber(settings.FindParameter("VDPtransmitInterval"), 65536);
  EXPECT_FALSE(CheckPhoneSettings(&settings, ui));
  settings.SetWorkingNumber(settings.FindParameter("VDPtransmitInterval"), 65535);
  settings.SetWorkingNumber(settings.FindParameter("VDPTTL"), 256);
  EXPECT_FALSE(CheckPhoneSettings(&settings, ui));
  settings.SetWorkingNumber(settings.FindParameter("VDPTTL"), -1);
  EXPECT_FALSE(CheckPhoneSettings(&settings, ui));
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_EQ(ui.messages[0].text,
            "Please input the VDP Transmit Interval value between 0 to 65535 !!!");
  EXPECT_EQ(ui.messages[1].text, "Please input the VDP Time to Live value between 0 to 255 !!!");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::kNone);
  EXPECT_EQ(ui.messages[0].caption, "");
}

TEST_F(PhoneSettingsCheck, StopsAtTheFirstFailingCheckInOrder) {
  const std::string ringList = dir.Path("ringlist.xml");
  const std::string ringTone = dir.Path("tone.wav");
  const std::string image = dir.Path("p006_a.bin");
  Set(settings, "LocalRingListFilename", ringList);
  Set(settings, "RingToneFile", ringTone);
  Set(settings, "NewFirmwareImageUpgrade", "Enable");
  Set(settings, "NewFirmwareImageFilename", image);
  settings.SetWorkingNumber(settings.FindParameter("VDPtransmitInterval"), 70000);
  settings.SetWorkingNumber(settings.FindParameter("VDPTTL"), 300);
  // Each round repairs the failing setting; the next check in order fails then.
  const std::function<void()> repairs[] = {
      [&] { dir.Write("ringlist.xml", "<x/>"); },
      [&] { dir.Write("tone.wav", "RIFF"); },
      [&] { dir.Write("p006_a.bin", "image"); },
      [&] { settings.SetWorkingNumber(settings.FindParameter("VDPtransmitInterval"), 65535); },
      [&] { settings.SetWorkingNumber(settings.FindParameter("VDPTTL"), 255); },
  };
  for (const auto& repair : repairs) {
    EXPECT_FALSE(CheckPhoneSettings(&settings, ui));
    repair();
  }
  EXPECT_TRUE(CheckPhoneSettings(&settings, ui));
  const std::string expected[] = {
      "Ring list file \"" + ringList + "\"",   "Ring tone file \"" + ringTone + "\"",
      "Firmware image file \"" + image + "\"", "Please input the VDP Transmit Interval",
      "Please input the VDP Time to Live",
  };
  ASSERT_EQ(ui.messages.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_TRUE(ui.messages[i].text.starts_with(expected[i])) << ui.messages[i].text;
  }
}

TEST_F(PhoneSettingsCheck, FirmwareImageFileRules) {
  dir.Write("P006_A1.BIN", "x");
  dir.Write("zrterm_5837.pkc", "x");
  dir.Write("other.pkc", "x");
  dir.Write("p006.txt", "x");

  EXPECT_EQ(CheckFirmwareImageFile(dir.Path("P006_A1.BIN"), ui), std::optional<std::string>([&] {
              std::string lower = dir.Path("P006_A1.BIN");
              for (char& c : lower) c = static_cast<char>(std::tolower(c));
              return lower;
            }()));
  EXPECT_TRUE(CheckFirmwareImageFile(dir.Path("zrterm_5837.pkc"), ui));
  EXPECT_TRUE(ui.messages.empty());

  EXPECT_FALSE(CheckFirmwareImageFile(dir.Path("other.pkc"), ui));
  ASSERT_EQ(ui.errorDialogs.size(), 1u);
  EXPECT_EQ(ui.errorDialogs[0].code, 205);

  EXPECT_FALSE(CheckFirmwareImageFile(dir.Path("p006.txt"), ui));
  EXPECT_FALSE(CheckFirmwareImageFile(dir.Path("p006_missing.txt"), ui));
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text,
            "The proper firmware image filename extension should be \".pkc\" or \".bin\"");
  EXPECT_EQ(ui.messages[1].text, "Firmware image file \"" + dir.Path("p006_missing.txt") +
                                     "\" does not exist!\n\nPlease specify a proper filename and "
                                     "path.");
}

}  // namespace
}  // namespace mivo
