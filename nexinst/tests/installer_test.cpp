// The logic against a scripted machine: what the golden scenarios cannot show
// cheaply (programs that keep running, long pauses, programs started without
// waiting).

#include "installer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>

#include "fake_host.h"

namespace nexinst {
namespace {

using ::testing::ElementsAre;
using testing::FakeHost;

class InstallerTest : public ::testing::Test {
 protected:
  int32_t Run(std::string_view command_line) { return Installer(host).Run(command_line); }
  int TotalPauseMs() const { return std::accumulate(host.pauses.begin(), host.pauses.end(), 0); }

  FakeHost host;
};

TEST_F(InstallerTest, ProgramStillRunningAfterFifteenSecondsGives259) {
  host.programs.push_back({/*runs_ms=*/60000, /*exit_code=*/0});
  EXPECT_EQ(Run("-instanceID PCI\\X"), 259);
  EXPECT_EQ(host.now_ms, 15000 + 500);
  EXPECT_THAT(host.pauses, ElementsAre(500));
}

TEST_F(InstallerTest, ProgramEndingBeforeTheLimitGivesItsExitCode) {
  host.programs.push_back({/*runs_ms=*/1200, /*exit_code=*/3});
  EXPECT_EQ(Run("/s -query_state PCI\\X 0001"), 3);
  EXPECT_EQ(host.now_ms, 1200 + 500);
  ASSERT_EQ(host.started.size(), 1u);
  EXPECT_EQ(host.started[0].command_line,
            "\"/opt/card/Setup/drvhelpnt.exe\"  -query_state PCI\\X 0001");
  EXPECT_TRUE(host.started[0].hidden);
}

TEST_F(InstallerTest, ProgramThatDoesNotStartGivesMinusOneWithoutPause) {
  host.programs.push_back({0, 0, /*starts=*/false});
  EXPECT_EQ(Run("-chk_devnode x"), -1);
  EXPECT_TRUE(host.pauses.empty());
  EXPECT_EQ(host.started[0].command_line,
            "\"/opt/card/Setup/drvhelpnt.exe\" -chk_devnode x \"/opt/card/Setup/install.ini\"");
}

TEST_F(InstallerTest, ExecUtilitiesPauseByFamilyAndStartWithoutWaiting) {
  struct Case {
    WindowsFamily family;
    const char* option;
    int pause_ms;
    const char* command_line;
  };
  const Case cases[] = {
      {WindowsFamily::kNT, "-ExecAirtrak", 40000, "\"/opt/card/Utility/Airtrak.exe\""},
      {WindowsFamily::k9x, "-ExecAirtrak", 60000, "\"/opt/card/Utility/Airtrak.exe\""},
      {WindowsFamily::kNT, "-ExecRadioUtil", 40000, "\"/opt/card/Radio/Radio.exe\""},
  };
  for (const Case& c : cases) {
    FakeHost fresh;
    fresh.system.family = c.family;
    EXPECT_EQ(Installer(fresh).Run(c.option), 0);
    EXPECT_THAT(fresh.pauses, ElementsAre(c.pause_ms)) << c.option;
    ASSERT_EQ(fresh.started.size(), 1u);
    EXPECT_EQ(fresh.started[0].command_line, c.command_line);
    EXPECT_FALSE(fresh.started[0].hidden);
  }
}

TEST_F(InstallerTest, DelExtensionPreparesAndStartsTheUninstallCommand) {
  struct Case {
    const char* saved;
    const char* command;
  };
  const Case cases[] = {
      {"C:\\old\\UNWISE.EXE -f C:\\old\\INSTALL.LOG   ",
       "C:\\old\\UNWISE.EXE -y -f C:\\old\\INSTALL.LOG"},
      {"C:\\old\\UNWISE.EXE /s", "-y C:\\old\\UNWISE.EXE /s"},
  };
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old Card";
  for (const Case& c : cases) {
    FakeHost fresh;
    fresh.ini["HARDWARE_ID_LIST/1"] = "pci\\ven_1";
    fresh.ini["INFO/INF_File_name"] = "card.inf";
    fresh.tree.CreateKey(key);
    fresh.tree.SetValue(key, "Save_UninstallString", RegValue::String(c.saved));
    EXPECT_EQ(Installer(fresh).Run("-del_Extension Old Card"), 0);
    ASSERT_EQ(fresh.started.size(), 2u);
    EXPECT_EQ(fresh.started[0].command_line,
              "\"/opt/card/Setup/drvhelpnt.exe\" -del \"/opt/card/Driver/card.inf\" PCI\\VEN_1");
    EXPECT_EQ(fresh.started[1].command_line, c.command);
    EXPECT_FALSE(fresh.started[1].hidden);
    EXPECT_EQ(fresh.tree.QueryValue(key, "UninstallString"), RegValue::String(c.saved));
    EXPECT_FALSE(fresh.tree.QueryValue(key, "Save_UninstallString"));
  }
}

TEST_F(InstallerTest, DelExtensionCanceledRunsNothing) {
  host.answer_yes = false;
  host.ini["HARDWARE_ID_LIST/1"] = "pci\\ven_1";
  host.ini["INFO/INF_File_name"] = "card.inf";
  EXPECT_EQ(Run("-del_Extension Old Card"), 0);
  EXPECT_TRUE(host.started.empty());
  EXPECT_THAT(host.boxes, ElementsAre("Uninstall Wireless LAN Card Driver and Utility?",
                                      "Nexinst: Uninstall of Wireless LAN Card canceled."));
}

TEST_F(InstallerTest, WaitForDeviceCountsItsPauses) {
  const std::string instance = "SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_1&DEV_2\\3&1";
  host.ini["HARDWARE_ID_LIST/1"] = "pci\\ven_1&dev_2";
  host.tree.CreateKey(instance);
  host.tree.SetValue(instance, "Class", RegValue::String("Net"));
  host.tree.SetValue(instance, "ConfigFlags", RegValue::Dword(0));
  EXPECT_EQ(Run("-WaitDeviceInstall"), 0);
  EXPECT_EQ(host.pauses, std::vector<int>(20, 1000));

  host.pauses.clear();
  host.tree.SetValue(instance, "Driver", RegValue::String("{4D36E972}\\0004"));
  host.programs.push_back({0, /*exit_code=*/1});  // -query_state: enabled
  host.programs.push_back({0, 0});                // -disable
  host.programs.push_back({0, 0});                // -enable
  EXPECT_EQ(Run("-Wait_Set_Corvane_SKU"), 0);
  EXPECT_THAT(host.pauses, ElementsAre(20000, 500, 500, 5000, 500));
  ASSERT_EQ(host.started.size(), 3u);
  EXPECT_EQ(host.started[2].command_line,
            "\"/opt/card/Setup/drvhelpnt.exe\" -enable PCI\\VEN_1&DEV_2 0004");
}

TEST_F(InstallerTest, AsyncRegistrationGivesUpAfterAboutAMinute) {
  host.ini["HARDWARE_ID_LIST/1"] = "PCI\\VEN_168C&DEV_0013&SUBSYS_00E50E11";
  EXPECT_EQ(Run("-AsyncRegZCSVC"), 0);
  EXPECT_EQ(host.pauses.front(), 10000);
  EXPECT_EQ(host.pauses.size(), 11u);
  EXPECT_EQ(TotalPauseMs(), 60000);
  EXPECT_EQ(host.traces, "Create_XP_Zero_Config_Service_Registry_Async: No card found!\n");
  EXPECT_TRUE(host.started.empty());
}

TEST_F(InstallerTest, AsyncRegistrationFindsTheCardLateAndRegisters) {
  const std::string adapter =
      "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\0007";
  host.ini["HARDWARE_ID_LIST/1"] = "pci\\ven_1114&dev_0506";
  host.service_state = kServiceStopped;
  // The card appears while the program waits: after the third look.
  struct AppearingHost : FakeHost {
    std::string key;
    int looks = 0;
    void Pause(int ms) override {
      FakeHost::Pause(ms);
      if (ms == 5000 && ++looks == 3) {
        tree.CreateKey(key);
        tree.SetValue(key, "MatchingDeviceID", RegValue::String("PCI\\VEN_1114&DEV_0506"));
        tree.SetValue(key, "NetCfgInstanceId", RegValue::String("{1}"));
      }
    }
  } appearing;
  appearing.key = adapter;
  appearing.ini = host.ini;
  appearing.service_state = kServiceStopped;
  EXPECT_EQ(Installer(appearing).Run("-AsyncRegZCSVC"), 0);
  EXPECT_THAT(appearing.pauses, ElementsAre(10000, 5000, 5000, 5000, 3000, 500, 2000, 500, 2000));
  ASSERT_EQ(appearing.started.size(), 2u);
  EXPECT_EQ(appearing.started[0].command_line, "net start wzcsvc");
  EXPECT_EQ(appearing.started[1].command_line, "net stop wzcsvc");
}

TEST_F(InstallerTest, ServiceStartTypePausesOnlyWhenNetEnded) {
  struct Case {
    const char* option;
    FakeHost::Program net;
    const char* command_line;
    std::vector<int> pauses;
    int32_t exit_code;
  };
  const Case cases[] = {
      {"-startZCSVC", {0, 2}, "net start wzcsvc", {500, 2000}, 2},
      {"-stopZCSVC", {0, 0, /*starts=*/false}, "net stop wzcsvc", {}, -1},
      {"-stopZCSVC", {60000, 0}, "net stop wzcsvc", {500, 2000}, 259},
  };
  for (const Case& c : cases) {
    FakeHost fresh;
    fresh.service_state = kServiceRunning;
    fresh.programs.push_back(c.net);
    EXPECT_EQ(Installer(fresh).Run(c.option), c.exit_code) << c.command_line;
    EXPECT_EQ(fresh.pauses, c.pauses) << c.command_line;
    ASSERT_EQ(fresh.started.size(), 1u);
    EXPECT_EQ(fresh.started[0].command_line, c.command_line);
  }
}

TEST_F(InstallerTest, CheckBoxIsWrittenWhileTheRunningServiceIsStopped) {
  const std::string adapter =
      "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\0001";
  const std::string interface = "SOFTWARE\\Microsoft\\WZCSVC\\Parameters\\Interfaces\\{1}";
  // Records "ControlFlags" as each program starts.
  struct RecordingHost : FakeHost {
    std::string interface;
    std::vector<uint32_t> flags_at_start;
    std::optional<ProcessId> Start(std::string_view command_line, bool hidden) override {
      flags_at_start.push_back(*tree.QueryValue(interface, "ControlFlags")->AsDword());
      return FakeHost::Start(command_line, hidden);
    }
  } recording;
  recording.interface = interface;
  recording.ini["HARDWARE_ID_LIST/1"] = "pci\\ven_1114&dev_0506";
  recording.service_state = kServiceRunning;
  recording.tree.CreateKey(adapter);
  recording.tree.SetValue(adapter, "MatchingDeviceID", RegValue::String("PCI\\VEN_1114&DEV_0506"));
  recording.tree.SetValue(adapter, "NetCfgInstanceId", RegValue::String("{1}"));
  recording.tree.CreateKey(interface);
  recording.tree.SetValue(interface, "ControlFlags", RegValue::Dword(0xC002));
  recording.programs.push_back({0, 0});  // net stop
  recording.programs.push_back({0, 0});  // net start

  EXPECT_EQ(Installer(recording).Run("-clearChkBoxZCSVC"), 0);
  ASSERT_EQ(recording.started.size(), 2u);
  EXPECT_EQ(recording.started[0].command_line, "net stop wzcsvc");
  EXPECT_EQ(recording.started[1].command_line, "net start wzcsvc");
  EXPECT_THAT(recording.flags_at_start, ElementsAre(0xC002u, 0x4002u));
  EXPECT_THAT(recording.pauses, ElementsAre(500, 2000, 500, 2000));
}

TEST(RegDomainTest, LanguageTable) {
  struct Case {
    uint16_t lang_id;
    int domain;
  };
  const Case cases[] = {
      {0x0C0C, 1}, {0x1009, 1}, {0x040C, 3}, {0x0411, 4}, {0x0402, 2},
      {0x0407, 2}, {0x0809, 2}, {0x0443, 2}, {0x1809, 2}, {0x140C, 2},
      {0x0409, 0}, {0x0404, 0}, {0x0C09, 0}, {0x0000, 0}, {0xFFFF, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Installer::RegDomainForLanguage(c.lang_id), c.domain) << std::hex << c.lang_id;
  }
}

}  // namespace
}  // namespace nexinst
