#include <gtest/gtest.h>

#include "mivo_settings_store.h"

namespace phonesim {
namespace {

TEST(MivoSettingsStore, AcceptsGoodLinesAndReturnsTheRejectedOnes) {
  MivoSettingsStore store;
  const auto rejected = store.Apply(
      "# from the utility\r\n"
      "Prof1_SSID = Office Net \r\n"
      "Bogus=1\r\n"
      "VDPTTL=256\r\n"
      "VDPtransmitInterval=\r\n"
      "no equal sign\r\n"
      "prof2_datarate=auto\r\n"
      "Prof3_Authentication=AKM\r\n"
      "PhBook_Count=1\r\n"
      "PhBook_Name=Ann\r\nPhBook_OfficeNum=1\r\nPhBook_HomeNum=2\r\nPhBook_CellNum=3\r\n"
      "PhBook_EmailAddr=a@b\r\n"
      "PhBook_Name=Bob\r\n");
  EXPECT_EQ(rejected, (std::vector<std::string>{"Bogus=1", "VDPTTL=256", "VDPtransmitInterval=",
                                                "no equal sign", "PhBook_Name=Bob"}));
  EXPECT_EQ(store.Value("Prof1_SSID"), "Office Net");
  EXPECT_EQ(store.Value("Prof2_DataRate"), "Auto");
  EXPECT_EQ(store.Value("Prof3_Authentication"), "AKM");
  EXPECT_EQ(store.Value("VDPTTL"), "180") << "a refused value leaves the old one";
  EXPECT_EQ(store.Value("PhBook_Name"), "Ann");
  EXPECT_EQ(store.Value("NoSuchName"), "");

  const std::string text = store.ConfigurationText();
  EXPECT_EQ(text.rfind("Prof1_Name=Profile1\r\nProf1_Modify=Enable\r\n", 0), 0u);
  EXPECT_NE(text.find("\r\nProf1_SSID=Office Net\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nPhBook_Count=1\r\nPhBook_Name=Ann\r\n"), std::string::npos);
  EXPECT_EQ(text.find("Bob"), std::string::npos);
}

TEST(MivoSettingsStore, StateKeepsEverySettingAndResetRestoresDefaults) {
  MivoSettingsStore store;
  const std::string defaults = store.StateText();
  EXPECT_NE(defaults.find("Prof1_LEAPpassword="), std::string::npos) << "security rows too";
  store.Apply(
      "Prof4_WEPkey2=0123456789\r\nPhoneLockPW=1234\r\nPhBook_Count=2\r\n"
      "PhBook_Name=A\r\nPhBook_OfficeNum=\r\nPhBook_HomeNum=\r\nPhBook_CellNum=\r\n"
      "PhBook_EmailAddr=\r\nPhBook_Name=B\r\n");
  const std::string changed = store.StateText();
  ASSERT_NE(changed, defaults);

  MivoSettingsStore restored;
  std::string error;
  ASSERT_TRUE(restored.LoadState(changed, error)) << error;
  EXPECT_EQ(restored.StateText(), changed);
  EXPECT_EQ(restored.Value("PhoneLockPW"), "1234");

  EXPECT_FALSE(restored.LoadState("VDPTTL=999\r\n", error));
  EXPECT_EQ(error, "VDPTTL=999");

  store.Reset();
  EXPECT_EQ(store.StateText(), defaults);
}

}  // namespace
}  // namespace phonesim
