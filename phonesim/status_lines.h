#pragma once

#include <string>

#include "phone_behaviour.h"
#include "settings_store.h"

namespace phonesim {

// The lines the phone appends after its settings on import, describing what it
// uses right now, each "name=value" and CR LF, starting with CurUserProfile.
// The network lines come from the active profile (profile 1 when the active
// profile is automatic).
std::string StatusLines(SettingsStore& settings, const PhoneBehaviour& behaviour);

}  // namespace phonesim
