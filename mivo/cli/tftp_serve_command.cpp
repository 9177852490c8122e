// mivo-cli tftp-serve: the utility's TFTP server on its own, until interrupted.

#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>

#include "core_application.h"
#include "exit_codes.h"
#include "link_commands.h"
#include "settings_buffer.h"
#include "tftp_serve.h"

namespace mivo::cli {

void addTftpServeCommand(CLI::App& app) {
  struct Options {
    std::uint16_t port = 0;
    std::string peer;
    std::string settingsFile;
    std::string receiveFile;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "tftp-serve",
      "Run the TFTP server alone until interrupted (SIGINT, SIGTERM). It answers only PEER, "
      "on one port for every transfer. Names containing .txt are read from the settings "
      "buffer, others from disk; a file written by the peer is saved to --receive. Prints "
      "'listening on PORT' first.");
  command->add_option("--port", options->port, "UDP port to listen on (0: any free port)")
      ->required();
  command->add_option("--peer", options->peer, "The one sender address answered")->required();
  command
      ->add_option("--settings", options->settingsFile,
                   "File whose text fills the settings buffer (at most 30719 bytes)")
      ->check(CLI::ExistingFile);
  command->add_option("--receive", options->receiveFile, "Where a received file is written");
  command->callback([options] {
    static SettingsBuffer buffer;
    buffer.Clear();
    if (!options->settingsFile.empty()) {
      std::ifstream file(options->settingsFile, std::ios::binary);
      const std::string text{std::istreambuf_iterator<char>(file), {}};
      if (!file.good() && !file.eof()) {
        std::cerr << "cannot read " << options->settingsFile << std::endl;
        FinishCommand(kExitFile);
      }
      if (!buffer.Assign(text)) {
        std::cerr << options->settingsFile << ": " << text.size()
                  << " bytes do not fit the settings buffer (at most " << SettingsBuffer::kCapacity
                  << ")" << std::endl;
        FinishCommand(kExitFile);
      }
    }
    link::TftpServeOptions serve;
    serve.port = options->port;
    serve.peer = options->peer;
    serve.settings = buffer.Bytes();
    serve.receivePath = options->receiveFile;
    const auto application = link::EnsureCoreApplication();
    const int status = link::RunTftpServe(serve, std::cout, std::cerr);
    FinishCommand(status);
  });
}

}  // namespace mivo::cli
