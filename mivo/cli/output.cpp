#include "output.h"

#include <iostream>

#include "config_file.h"
#include "exit_codes.h"
#include "phone_settings.h"
#include "settings_ui.h"

namespace mivo::cli {

int WriteSettings(PhoneSettings& settings, const std::string& path, SettingsUi& ui) {
  if (!path.empty()) return Write(settings, path, false, ui) ? kExitOk : kExitFile;
  const std::string text = WriteToText(settings, &ui);
  std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "mivo-cli: cannot write to standard output\n";
    return kExitFile;
  }
  return kExitOk;
}

}  // namespace mivo::cli
