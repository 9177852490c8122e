#include <iostream>
#include <memory>

#include "commands.h"
#include "config_file.h"
#include "console_ui.h"
#include "exit_codes.h"
#include "phone_settings.h"

namespace mivo::cli {

void addCheckCommand(CLI::App& app) {
  auto file = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand(
      "check",
      "Check FILE as an export checks it: print every bad line with its line number, error "
      "code and error text; FILE is never rewritten");
  command->add_option("FILE", *file, "Configuration file to check")->required();
  command->callback([file] {
    // The export check: read into the settings buffer, check every line, store
    // nothing; every bad line is kept (Skip) so that all of them are reported.
    ConsoleSettingsUi ui(std::cerr, *file, SettingDialogResult::kSkip, false);
    SettingsBuffer buffer;
    if (!ReadFile(*file, buffer, ui)) FinishCommand(kExitFile);
    PhoneSettings settings;
    int stoppedAt = 0;
    if (LoadBuffer(settings, LoadMode::kExport, buffer, ui, &stoppedAt) ==
        LoadOutcome::kStoppedAtPhoneBook) {
      // The export check stops here too; say so, since the lines from here on are not
      // checked.
      std::cerr << "mivo-cli: " << *file << ":" << stoppedAt
                << ": phone book line beyond PhBook_Count; this line and the rest of the file "
                   "are not checked\n";
    }
    for (const BadLine& bad : ui.badLines()) std::cout << FormatBadLine(*file, bad) << '\n';
    std::cout << *file << ": " << ui.badLines().size()
              << (ui.badLines().size() == 1 ? " bad line" : " bad lines") << '\n';
    std::cout.flush();
    if (!std::cout) FinishCommand(kExitFile);
    FinishCommand(ui.badLines().empty() ? kExitOk : kExitBadLines);
  });
}

}  // namespace mivo::cli
