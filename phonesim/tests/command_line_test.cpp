#include "command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace phonesim {
namespace {

CommandLineResult Parse(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "phonesim");
  return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

TEST(CommandLine, DefaultsListenOnLoopback) {
  unsetenv("MIVO_PHONE_ADDRESS");
  unsetenv("MIVO_PHONE_PORT");
  unsetenv("MIVO_TFTP_PORT");
  auto result = Parse({});
  ASSERT_TRUE(result.options) << result.output;
  EXPECT_EQ(result.options->server.listen_address, "127.0.0.1");
  EXPECT_EQ(result.options->server.listen_port, 5001);
  EXPECT_EQ(result.options->server.tftp_port, 69);
  EXPECT_FALSE(result.options->server.allow_remote);
}

TEST(CommandLine, ReadsEveryScriptedBehaviour) {
  auto result = Parse({"--listen",
                       "127.0.0.9:0",
                       "--tftp-port",
                       "6969",
                       "-v",
                       "--boot-code",
                       "--user-password",
                       "a b",
                       "--mac",
                       "M1",
                       "--login-status",
                       "2",
                       "--import-status",
                       "1",
                       "--upload-status",
                       "4",
                       "--fwupgrade-status",
                       "5",
                       "--probe-limit",
                       "3",
                       "--split-reply",
                       "login:7",
                       "--join-reply",
                       "mode",
                       "--mode-without-status",
                       "--change-mac",
                       "2:02:00:00:00:00:09",
                       "--import-size",
                       "30721",
                       "--close-at",
                       "upload:transfer",
                       "--tftp-drop",
                       "2",
                       "--tftp-drop",
                       "5",
                       "--tftp-duplicate",
                       "3",
                       "--tftp-delay",
                       "4:300",
                       "--tftp-foreign",
                       "1",
                       "--tftp-timeout",
                       "200",
                       "--tftp-retries",
                       "2"});
  ASSERT_TRUE(result.options) << result.output;
  const ServerConfig& server = result.options->server;
  const PhoneBehaviour& b = server.behaviour;
  EXPECT_EQ(server.listen_address, "127.0.0.9");
  EXPECT_EQ(server.listen_port, 0);
  EXPECT_EQ(server.tftp_port, 6969);
  EXPECT_TRUE(server.verbose);
  EXPECT_TRUE(b.boot_code);
  EXPECT_EQ(b.user_password, "a b");
  EXPECT_EQ(b.mac, "M1");
  EXPECT_EQ(b.login_status, 2);
  EXPECT_EQ(b.import_status, 1);
  EXPECT_EQ(b.upload_status, 4);
  EXPECT_EQ(b.fwupgrade_status, 5);
  EXPECT_EQ(b.probe_limit, 3);
  ASSERT_TRUE(b.split);
  EXPECT_EQ(b.split->command, "login");
  EXPECT_EQ(b.split->at, 7u);
  EXPECT_EQ(b.split->pause_ms, 50);
  auto slow = Parse({"--split-reply", "mode:3:400"});
  ASSERT_TRUE(slow.options) << slow.output;
  EXPECT_EQ(slow.options->server.behaviour.split->command, "mode");
  EXPECT_EQ(slow.options->server.behaviour.split->at, 3u);
  EXPECT_EQ(slow.options->server.behaviour.split->pause_ms, 400);
  EXPECT_EQ(b.join, "mode");
  EXPECT_TRUE(b.mode_without_status);
  ASSERT_TRUE(b.mac_change);
  EXPECT_EQ(b.mac_change->from_getmac, 2);
  EXPECT_EQ(b.mac_change->mac, "02:00:00:00:00:09");
  EXPECT_EQ(b.import_size, 30721u);
  ASSERT_TRUE(b.close);
  EXPECT_EQ(b.close->command, "upload");
  EXPECT_EQ(b.close->point, ClosePoint::kTransfer);
  EXPECT_EQ(server.tftp.timeout_ms, 200);
  EXPECT_EQ(server.tftp.retries, 2);
  EXPECT_EQ(server.tftp.faults.size(), 5u);
}

TEST(CommandLine, EnvironmentGivesThePortsAndOptionsWin) {
  setenv("MIVO_PHONE_ADDRESS", "127.0.0.5", 1);
  setenv("MIVO_PHONE_PORT", "7001", 1);
  setenv("MIVO_TFTP_PORT", "7069", 1);
  auto from_environment = Parse({});
  ASSERT_TRUE(from_environment.options);
  EXPECT_EQ(from_environment.options->server.listen_address, "127.0.0.5");
  EXPECT_EQ(from_environment.options->server.listen_port, 7001);
  EXPECT_EQ(from_environment.options->server.tftp_port, 7069);
  auto overridden = Parse({"--tftp-port", "8069", "--listen", "127.0.0.1:0"});
  ASSERT_TRUE(overridden.options);
  EXPECT_EQ(overridden.options->server.tftp_port, 8069);
  EXPECT_EQ(overridden.options->server.listen_port, 0);
  unsetenv("MIVO_PHONE_ADDRESS");
  unsetenv("MIVO_PHONE_PORT");
  unsetenv("MIVO_TFTP_PORT");
}

TEST(CommandLine, ReadsAScenarioFileAndTheCommandLineWins) {
  const std::string path = ::testing::TempDir() + "phonesim-scenario.ini";
  {
    std::ofstream file(path);
    file << "# a phone that stops answering\n"
            "probe-limit=3\n"
            "mode-without-status=true\n"
            "tftp-drop=[2,5]\n"
            "close-at=login:reply\n"
            "mac=AA\n";
  }
  auto result = Parse({"--scenario", path.c_str(), "--mac", "BB"});
  ASSERT_TRUE(result.options) << result.output;
  const ServerConfig& server = result.options->server;
  EXPECT_EQ(server.behaviour.probe_limit, 3);
  EXPECT_TRUE(server.behaviour.mode_without_status);
  ASSERT_EQ(server.tftp.faults.size(), 2u);
  EXPECT_EQ(server.tftp.faults[1].packet, 5);
  ASSERT_TRUE(server.behaviour.close);
  EXPECT_EQ(server.behaviour.close->point, ClosePoint::kReply);
  EXPECT_EQ(server.behaviour.mac, "BB");
  std::remove(path.c_str());
}

TEST(CommandLine, RefusesMalformedValues) {
  for (const char* bad :
       {"--listen=127.0.0.1", "--listen=:5", "--listen=127.0.0.1:70000", "--split-reply=login",
        "--split-reply=login:0:5", "--split-reply=:5", "--close-at=login:never", "--change-mac=x:y",
        "--tftp-delay=3", "--tftp-port=0", "--no-such-option"}) {
    auto result = Parse({bad});
    EXPECT_FALSE(result.options) << bad;
    EXPECT_EQ(result.exit_code, 2) << bad;
    EXPECT_FALSE(result.output.empty());
  }
}

TEST(CommandLine, HelpNamesEveryOption) {
  auto result = Parse({"--help"});
  EXPECT_FALSE(result.options);
  EXPECT_EQ(result.exit_code, 0);
  for (const char* option : {"--listen",
                             "--phone",
                             "--phone-port",
                             "--tftp-port",
                             "--allow-remote",
                             "--state",
                             "--verbose",
                             "--boot-code",
                             "--user-password",
                             "--mac",
                             "--firmware-version",
                             "--bsp-version",
                             "--boot-version",
                             "--hardware-info",
                             "--domain",
                             "--login-status",
                             "--import-status",
                             "--upload-status",
                             "--fwupgrade-status",
                             "--probe-limit",
                             "--split-reply",
                             "--join-reply",
                             "--mode-without-status",
                             "--change-mac",
                             "--import-size",
                             "--close-at",
                             "--tftp-timeout",
                             "--tftp-retries",
                             "--tftp-drop",
                             "--tftp-duplicate",
                             "--tftp-delay",
                             "--tftp-foreign",
                             "--foreign-address",
                             "--scenario"}) {
    EXPECT_NE(result.output.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace phonesim
