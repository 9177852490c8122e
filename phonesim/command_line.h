#pragma once

#include <optional>
#include <string>

#include "phone_server.h"

namespace phonesim {

struct ProgramOptions {
  ServerConfig server;
  std::string state_path;  // empty: start from defaults, keep nothing
};

struct CommandLineResult {
  std::optional<ProgramOptions> options;  // nothing: exit with exit_code
  int exit_code = 0;
  std::string output;  // --help text (stdout) or the error (stderr)
};

// Reads phonesim's options, the environment variables MIVO_PHONE_ADDRESS,
// MIVO_PHONE_PORT and MIVO_TFTP_PORT (options win) and a scenario file given
// with --scenario. Returns no options for --help (exit code 0, the help text in
// output) and for a bad command line (exit code 2, the error in output).
CommandLineResult ParseCommandLine(int argc, const char* const* argv);

}  // namespace phonesim
