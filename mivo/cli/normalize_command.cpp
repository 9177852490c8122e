#include <iostream>
#include <memory>

#include "commands.h"
#include "config_file.h"
#include "console_ui.h"
#include "exit_codes.h"
#include "output.h"
#include "phone_settings.h"

namespace mivo::cli {
namespace {

struct NormalizeOptions {
  std::string file;
  std::string output;
  bool strict = false;
};

int Normalize(const NormalizeOptions& options) {
  // Open: read the file, store every accepted value (bad lines are reported and
  // skipped, or abort the whole run with --strict), then commit; Save writes it.
  ConsoleSettingsUi ui(std::cerr, options.file,
                       options.strict ? SettingDialogResult::kClose : SettingDialogResult::kSkip,
                       true);
  SettingsBuffer buffer;
  if (!ReadFile(options.file, buffer, ui)) return kExitFile;
  PhoneSettings settings;
  int stoppedAt = 0;
  switch (LoadBuffer(settings, LoadMode::kOpen, buffer, ui, &stoppedAt)) {
    case LoadOutcome::kAborted:
      std::cerr << "mivo-cli: " << options.file << ": stopped at the first bad line (--strict); "
                << "nothing written\n";
      return kExitBadLines;
    case LoadOutcome::kStoppedAtPhoneBook:
      // Open stops here too; say so, since the lines from here on are not read.
      std::cerr << "mivo-cli: " << options.file << ":" << stoppedAt
                << ": phone book line beyond PhBook_Count; this line and the rest of the file "
                   "are not read\n";
      break;
    case LoadOutcome::kCompleted:
      break;
  }
  SyncPhoneBookAndSpeedDial(settings, SyncMode::kCommit, nullptr);
  return WriteSettings(settings, options.output, ui);
}

}  // namespace

void addNormalizeCommand(CLI::App& app) {
  auto options = std::make_shared<NormalizeOptions>();
  CLI::App* command = app.add_subcommand(
      "normalize",
      "Load FILE as Open does and write it as Save does, to OUT or standard output; bad "
      "lines are reported on standard error and skipped");
  command->add_option("FILE", options->file, "Configuration file to read")->required();
  command->add_option("-o,--output", options->output, "Write to OUT instead of standard output")
      ->type_name("OUT");
  command->add_flag("--strict", options->strict,
                    "Stop at the first bad line with a nonzero exit and write nothing");
  command->callback([options] { FinishCommand(Normalize(*options)); });
}

}  // namespace mivo::cli
