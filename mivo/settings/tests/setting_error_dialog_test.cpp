#include "setting_error_dialog.h"

#include <gtest/gtest.h>

#include "config_line.h"
#include "phone_settings.h"

namespace mivo {
namespace {

TEST(SettingErrorDialog, CodeTextAndSkip) {
  EXPECT_EQ(SettingErrorCodeText(202), "ERR 202");
  EXPECT_EQ(SettingErrorCodeText(1), "ERR 001");
  EXPECT_TRUE(SettingDialogSkipEnabled(201));
  EXPECT_FALSE(SettingDialogSkipEnabled(202));
  EXPECT_FALSE(SettingDialogSkipEnabled(203));
}

TEST(SettingErrorDialog, ParameterSpinSkipsSecurityRows) {
  const PhoneSettings settings;
  ParsedSettingLine line;
  line.code = kCheckUnknownName;
  line.name = "Prof1_SSID";  // ignored for an unknown parameter
  EXPECT_EQ(SettingDialogStartRow(settings, line), 0);
  line.code = kCheckOutOfRange;
  line.name = "vdpttl";
  EXPECT_EQ(SettingDialogStartRow(settings, line), settings.FindParameter("VDPTTL"));

  const int dataRate = settings.FindParameter("Prof1_DataRate");
  // Authentication, LEAP prompt, EAP mode, LEAP name and password follow DataRate.
  EXPECT_EQ(settings.Parameter(SettingDialogStepRow(settings, dataRate, 1)).Name(),
            "Prof1_PresharedKey");
  EXPECT_EQ(SettingDialogStepRow(settings, settings.FindParameter("Prof1_PresharedKey"), -1),
            dataRate);
  // Profile 1's last rows are all security rows: stepping on reaches profile 2.
  const int preshared = settings.FindParameter("Prof1_PresharedKey");
  EXPECT_EQ(settings.Parameter(SettingDialogStepRow(settings, preshared, 1)).Name(), "Prof2_Name");
  EXPECT_EQ(SettingDialogStepRow(settings, 0, -1), 0);
  EXPECT_EQ(SettingDialogStepRow(settings, settings.RowCount() - 1, 1), settings.RowCount() - 1);
}

TEST(SettingErrorDialog, PrefillFollowsTheKind) {
  const PhoneSettings settings;
  struct Case {
    const char* parameter;
    const char* value;
    size_t options;
    bool hasRange;
    int32_t minimum;
    int32_t maximum;
  };
  const Case cases[] = {
      {"prof1_datarate", "1", 5, false, 0, 0},
      {"VDP", "Disable", 2, false, 0, 0},
      {"VDPtransmitInterval", "0", 0, true, 0, 65535},
      {"RingToneIndex", "1", 0, true, 1, 4},
      {"Prof2_SubnetMask", "255.255.255.0", 0, false, 0, 0},
      {"Prof2_PrimaryGateway", "1.0.0.1", 0, false, 0, 0},
      {"Prof1_SSID", "", 0, false, 0, 0},
      {"NoSuchParameter", "", 0, false, 0, 0},
  };
  for (const Case& c : cases) {
    const SettingValuePrefill prefill = SettingDialogPrefill(settings, c.parameter);
    EXPECT_EQ(prefill.value, c.value) << c.parameter;
    EXPECT_EQ(prefill.options.size(), c.options) << c.parameter;
    EXPECT_EQ(prefill.hasRange, c.hasRange) << c.parameter;
    EXPECT_EQ(prefill.minimum, c.minimum) << c.parameter;
    EXPECT_EQ(prefill.maximum, c.maximum) << c.parameter;
  }
  EXPECT_EQ(SettingDialogPrefill(settings, "Prof1_DataRate").options.at(2), "5.5");
}

TEST(SettingErrorDialog, ApplyRefusesLinesThatDoNotFit) {
  std::string line;
  std::string warning;
  ASSERT_TRUE(SettingDialogApply("VDPTTL", "9", 100, line, warning));
  EXPECT_EQ(line, "VDPTTL=9\r\n");

  // 255 characters with CR LF pass; 256 are refused.
  EXPECT_TRUE(SettingDialogApply("Prof1_SSID", std::string(242, 'x'), 0, line, warning));
  EXPECT_EQ(line.size(), 255u);
  EXPECT_FALSE(SettingDialogApply("Prof1_SSID", std::string(243, 'x'), 0, line, warning));
  EXPECT_EQ(warning, "The length of setting parameter and setting value is too long !");

  EXPECT_TRUE(SettingDialogApply("VDPTTL", "9", 30719 - 10, line, warning));
  EXPECT_FALSE(SettingDialogApply("VDPTTL", "9", 30719 - 9, line, warning));
  EXPECT_EQ(warning,
            "The update setting plus configuration file size exceed the internal buffer "
            "(30KBytes) !");
}

}  // namespace
}  // namespace mivo
