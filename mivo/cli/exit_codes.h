#pragma once

#include <CLI/CLI.hpp>

namespace mivo::cli {

// Exit statuses of mivo-cli; README.md lists them for users.
enum ExitCode : int {
  kExitOk = 0,
  kExitBadLines = 1,  // check found bad lines; normalize --strict met a bad line
  kExitUsage = 2,     // unknown command or option, missing argument
  kExitFile = 3,      // a file could not be read or an output could not be written
};

// Ends the running command with `code`: a command's callback cannot return a
// status, so a nonzero one travels as CLI11's RuntimeError to main.
inline void FinishCommand(int code) {
  if (code != kExitOk) throw CLI::RuntimeError(code);
}

}  // namespace mivo::cli
