#pragma once

#include <optional>
#include <string>

namespace mivo {

class PhoneSettings;
class SettingsUi;

// Check network profiles: profile names, SSIDs, WEP keys, WPA pre-shared keys of the
// four profiles, in this order, on the working values. Stops at the first failing
// rule, shows its message (warning icon) and returns false. With no active document
// (settings == nullptr) returns false without a message. Changes no value.
bool CheckNetworkProfiles(const PhoneSettings* settings, SettingsUi& ui);

// Check phone settings: ring list file, ring tone file, firmware image file (when
// NewFirmwareImageUpgrade is Enable), VDP transmit interval, VDP time to live.
// Same contract as CheckNetworkProfiles; the VDP messages are plain boxes.
bool CheckPhoneSettings(const PhoneSettings* settings, SettingsUi& ui);

// Firmware image file check: the file must open for reading, its path must contain
// ".pkc" or ".bin" and its file name (after the last '/' or '\') start with "p006" or
// "zrterm_5837", compared in lower case. Returns the path in lower case (what the
// phone is sent) or nullopt after showing the message or the error dialog (code 205).
std::optional<std::string> CheckFirmwareImageFile(const std::string& path, SettingsUi& ui);

}  // namespace mivo
