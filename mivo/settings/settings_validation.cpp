#include "settings_validation.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "phone_settings.h"
#include "settings_messages.h"
#include "settings_ui.h"

namespace mivo {
namespace {

constexpr int kAuthSharedKey = 1;
constexpr int kAuthLeap = 2;
constexpr int kAuthAkm = 3;
constexpr int kEncryptionNone = 0;
constexpr int kEncryption64 = 1;
constexpr int kEncryption128 = 2;
constexpr int kPresharedHex = 0;
constexpr int kSsidSpecify = 1;
constexpr int kEnable = 1;
constexpr int kProfiles = 4;

bool Fail(SettingsUi& ui, const std::string& text, MessageIcon icon = MessageIcon::kWarning) {
  ui.ShowMessage(text, icon == MessageIcon::kNone ? std::string_view() : kWarningCaption, icon);
  return false;
}

// A folder opens for reading here, but it is no file the phone could be sent.
bool CanOpenForReading(std::string_view path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return false;
  std::ifstream file{std::string(path)};
  return static_cast<bool>(file);
}

std::string ToLower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
  return lower;
}

bool CheckProfileNames(const PhoneSettings& s, SettingsUi& ui) {
  for (int n = 0; n < kProfiles; ++n) {
    const std::string_view name = s.WorkingText(ProfileRow(n, kPosName));
    if (name.empty()) return Fail(ui, messages::Format(messages::kProfileNameEmpty, n + 1));
    for (int earlier = 0; earlier < n; ++earlier) {
      if (s.WorkingText(ProfileRow(earlier, kPosName)) == name) {
        return Fail(ui, std::string(messages::kProfileNameDuplicate));
      }
    }
  }
  return true;
}

bool CheckSsids(const PhoneSettings& s, SettingsUi& ui) {
  for (int n = 0; n < kProfiles; ++n) {
    if (s.WorkingNumber(ProfileRow(n, kPosSsidType)) == kSsidSpecify &&
        s.WorkingText(ProfileRow(n, kPosSsid)).empty()) {
      return Fail(ui, messages::Format(messages::kSsidEmpty, n + 1));
    }
  }
  return true;
}

bool CheckWepKeys(const PhoneSettings& s, SettingsUi& ui) {
  for (int n = 0; n < kProfiles; ++n) {
    const int auth = s.WorkingNumber(ProfileRow(n, kPosAuthentication));
    const int k = s.WorkingNumber(ProfileRow(n, kPosWepKeyIdx));
    // The key index is 1..4 in any checked file; an index outside has no key, so it
    // counts as a key without encryption.
    const int bit = (k >= 1 && k <= 4)
                        ? s.WorkingNumber(ProfileRow(n, kPosWepKey1EncryptionBit + k - 1))
                        : kEncryptionNone;
    const bool missing = (auth == kAuthSharedKey && bit == kEncryptionNone) ||
                         ((auth == kAuthLeap || auth == kAuthAkm) && bit != kEncryptionNone);
    if (missing) return Fail(ui, messages::Format(messages::kWepKeyMissing, n + 1, k));
    for (int j = 1; j <= 4; ++j) {
      const int keyBit = s.WorkingNumber(ProfileRow(n, kPosWepKey1EncryptionBit + j - 1));
      const size_t length = s.WorkingText(ProfileRow(n, kPosWepKey1 + j - 1)).size();
      int wanted = 0;
      if (keyBit == kEncryption64) wanted = 10;
      if (keyBit == kEncryption128) wanted = 26;
      if (wanted != 0 && length != static_cast<size_t>(wanted)) {
        return Fail(ui, messages::Format(messages::kWepKeyLength, n + 1, j, wanted));
      }
    }
  }
  return true;
}

bool CheckPresharedKeys(const PhoneSettings& s, SettingsUi& ui) {
  for (int n = 0; n < kProfiles; ++n) {
    const bool akm = s.WorkingNumber(ProfileRow(n, kPosAuthentication)) == kAuthAkm;
    if (s.WorkingNumber(ProfileRow(n, kPosPresharedKey)) == kPresharedHex) {
      const std::string_view key = s.WorkingText(ProfileRow(n, kPosKeyHexPassword));
      if (key.empty()) continue;
      if (!akm) return Fail(ui, messages::Format(messages::kHexNotEmpty, n + 1));
      const bool hex = key.size() == 64 &&
                       key.find_first_not_of("0123456789ABCDEFabcdef") == std::string_view::npos;
      if (!hex) return Fail(ui, messages::Format(messages::kHexFormat, n + 1, 64));
    } else {
      const std::string_view key = s.WorkingText(ProfileRow(n, kPosKeyAsciiPassword));
      if (key.empty()) continue;
      if (!akm) return Fail(ui, messages::Format(messages::kAsciiNotEmpty, n + 1));
      const bool printable = std::all_of(key.begin(), key.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) <= 126;
      });
      if (key.size() < 8 || key.size() > 63 || !printable) {
        return Fail(ui, messages::Format(messages::kAsciiFormat, n + 1, 8, 63));
      }
    }
  }
  return true;
}

}  // namespace

bool CheckNetworkProfiles(const PhoneSettings* settings, SettingsUi& ui) {
  if (settings == nullptr) return false;
  return CheckProfileNames(*settings, ui) && CheckSsids(*settings, ui) &&
         CheckWepKeys(*settings, ui) && CheckPresharedKeys(*settings, ui);
}

bool CheckPhoneSettings(const PhoneSettings* settings, SettingsUi& ui) {
  if (settings == nullptr) return false;
  const PhoneSettings& s = *settings;
  const int ringList = s.FindParameter("LocalRingListFilename");
  const int ringTone = s.FindParameter("RingToneFile");
  const int upgrade = s.FindParameter("NewFirmwareImageUpgrade");
  const int image = s.FindParameter("NewFirmwareImageFilename");
  const int interval = s.FindParameter("VDPtransmitInterval");
  const int ttl = s.FindParameter("VDPTTL");

  const std::string ringListName(s.WorkingText(ringList));
  if (!ringListName.empty() && !CanOpenForReading(ringListName)) {
    return Fail(ui, messages::Format(messages::kRingListMissing, ringListName.c_str()));
  }
  const std::string ringToneName(s.WorkingText(ringTone));
  if (!ringToneName.empty() && !CanOpenForReading(ringToneName)) {
    return Fail(ui, messages::Format(messages::kRingToneMissing, ringToneName.c_str()));
  }
  if (s.WorkingNumber(upgrade) == kEnable &&
      !CheckFirmwareImageFile(std::string(s.WorkingText(image)), ui)) {
    return false;
  }
  const int32_t intervalValue = s.WorkingNumber(interval);
  if (intervalValue < 0 || intervalValue > 65535) {
    return Fail(ui, messages::Format(messages::kVdpInterval, 0, 65535), MessageIcon::kNone);
  }
  const int32_t ttlValue = s.WorkingNumber(ttl);
  if (ttlValue < 0 || ttlValue > 255) {
    return Fail(ui, messages::Format(messages::kVdpTtl, 0, 255), MessageIcon::kNone);
  }
  return true;
}

std::optional<std::string> CheckFirmwareImageFile(const std::string& path, SettingsUi& ui) {
  if (path.empty() || !CanOpenForReading(path)) {
    ui.ShowMessage(messages::Format(messages::kFirmwareMissing, path.c_str()), kWarningCaption,
                   MessageIcon::kWarning);
    return std::nullopt;
  }
  const std::string lower = ToLower(path);
  if (lower.find(".pkc") == std::string::npos && lower.find(".bin") == std::string::npos) {
    ui.ShowMessage(messages::Format(messages::kFirmwareExtension, ".pkc", ".bin"), kWarningCaption,
                   MessageIcon::kWarning);
    return std::nullopt;
  }
  const size_t slash = lower.find_last_of("/\\");
  const std::string_view fileName = slash == std::string::npos
                                        ? std::string_view(lower)
                                        : std::string_view(lower).substr(slash + 1);
  if (!fileName.starts_with("p006") && !fileName.starts_with("zrterm_5837")) {
    ui.ShowErrorDialog(messages::kIncorrectFirmwareVersionCode, "", "");
    return std::nullopt;
  }
  return lower;
}

}  // namespace mivo
