#include <iostream>
#include <memory>

#include "commands.h"
#include "config_file.h"
#include "console_ui.h"
#include "exit_codes.h"
#include "output.h"
#include "phone_settings.h"

namespace mivo::cli {

void addDefaultsCommand(CLI::App& app) {
  auto output = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand(
      "defaults", "Write the configuration file of a new document (90 lines, CR LF)");
  command->add_option("-o,--output", *output, "Write to FILE instead of standard output")
      ->type_name("FILE");
  command->callback([output] {
    PhoneSettings settings;
    ConsoleSettingsUi ui(std::cerr, *output, SettingDialogResult::kClose, false);
    FinishCommand(WriteSettings(settings, *output, ui));
  });
}

}  // namespace mivo::cli
