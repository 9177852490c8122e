// mivo-cli connect: reach the phone, log in, show its identity, log out.

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "connect_session.h"
#include "console_link_ui.h"
#include "core_application.h"
#include "exit_codes.h"
#include "link_commands.h"
#include "netlink_config.h"
#include "usb_link_address.h"

namespace mivo::cli {

void addConnectCommand(CLI::App& app) {
  struct Options {
    std::string user = "admin";
    std::string password;
    link::EndpointOptions endpoints;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "connect",
      "Connect to the phone (after the USB link address setup unless --phone is given), ask "
      "its mode, log in, print its MAC address and its firmware, BSP and boot versions, and "
      "log out. Exit status: 0 done, 2 bad option, 4 not connected or link lost, 5 login refused, "
      "6 phone in boot code mode.");
  command->add_option("--user", options->user, "User name: admin or user")
      ->check(CLI::IsMember({"admin", "user"}))
      ->capture_default_str();
  command->add_option("--password", options->password,
                      "Password of 'user' (admin logs in with the phone's own password)");
  command->add_option("--phone", options->endpoints.phoneAddress,
                      "Phone address (default 192.168.1.1, or MIVO_PHONE_ADDRESS)");
  command->add_option("--phone-port", options->endpoints.phonePort,
                      "Command channel TCP port (default 5001, or MIVO_PHONE_PORT)");
  command->add_option("--tftp-port", options->endpoints.tftpPort,
                      "TFTP port (default 69, or MIVO_TFTP_PORT)");
  command->callback([options] {
    link::ConnectOptions connect;
    if (auto error = link::ResolveLinkEndpoints(options->endpoints, link::ProcessEnvironment,
                                                connect.endpoints)) {
      std::cerr << *error << std::endl;
      FinishCommand(kExitUsage);
    }
    connect.user = options->user;
    connect.password = options->password;
    connect.setupUsbLinkAddress = [] {
      link::NetlinkConfig net;
      link::ConsoleLinkUi ui(std::cerr);
      return link::SetupUsbLinkAddress(net, ui);
    };
    const auto application = link::EnsureCoreApplication();
    const int status = link::RunConnect(connect, std::cout, std::cerr);
    FinishCommand(status);
  });
}

}  // namespace mivo::cli
