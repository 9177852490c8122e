#pragma once

#include <string>

#include "settings_store.h"

namespace phonesim {

// Loads the settings kept in `path`. A missing file leaves the store at its
// defaults and succeeds. Returns false with a message for the user when the
// file cannot be read or holds a line the settings refuse.
bool LoadStateFile(const std::string& path, SettingsStore& store, std::string& error);

// Writes the store's state text to `path` through a temporary file beside it,
// so that a crash never leaves half a file. Returns false with a message when
// it cannot be written (the old file then stays).
bool SaveStateFile(const std::string& path, SettingsStore& store, std::string& error);

}  // namespace phonesim
