// mivo-cli: the headless front end of the configuration utility.
#include <CLI/CLI.hpp>

#include "commands.h"
#include "exit_codes.h"
#include "link_commands.h"

int main(int argc, char** argv) {
  CLI::App app{"mivo-cli: configuration files of the Velto 5837 phone, without the GUI",
               "mivo-cli"};
  app.require_subcommand(1);
  mivo::cli::addDefaultsCommand(app);
  mivo::cli::addCheckCommand(app);
  mivo::cli::addNormalizeCommand(app);
  mivo::cli::addConnectCommand(app);
  mivo::cli::addTftpServeCommand(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::RuntimeError& status) {
    return status.get_exit_code();
  } catch (const CLI::ParseError& error) {
    // Help and usage errors; CLI11 prints them. Every usage error exits with 2.
    const int code = app.exit(error);
    return code == 0 ? mivo::cli::kExitOk : mivo::cli::kExitUsage;
  }
  return mivo::cli::kExitOk;
}
