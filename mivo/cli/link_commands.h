#pragma once

#include <CLI/CLI.hpp>

namespace mivo::cli {

// connect [--user admin|user] [--password X] [--phone ADDR] [--phone-port N] [--tftp-port N]:
// reach the phone, log in, print its MAC and versions, log out.
void addConnectCommand(CLI::App& app);

// tftp-serve --port P --peer ADDR [--settings FILE] [--receive FILE]: the TFTP server
// alone until interrupted.
void addTftpServeCommand(CLI::App& app);

}  // namespace mivo::cli
