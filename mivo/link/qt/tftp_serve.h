#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>

namespace mivo::link {

struct TftpServeOptions {
  std::uint16_t port = 69;   // 0: any free port
  std::string peer;          // the one sender address answered
  std::span<char> settings;  // the settings buffer answering ".txt" names
  std::string receivePath;   // where a received file is written; empty: not written
};

// Runs the TFTP server alone until SIGINT or SIGTERM. Prints "listening on PORT" first on
// out, then one line per finished transfer; reports go to err. Needs a
// QCoreApplication. Returns 0 after an interrupt, 3 when a received file could not be
// written, 4 when the port cannot be bound.
int RunTftpServe(const TftpServeOptions& options, std::ostream& out, std::ostream& err);

}  // namespace mivo::link
