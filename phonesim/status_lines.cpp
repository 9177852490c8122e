#include "status_lines.h"

#include <strings.h>

#include <array>
#include <utility>

namespace phonesim {
namespace {

bool EqualNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

int ActiveProfile(SettingsStore& settings) {
  const std::string active = settings.Value("Prof_Active");
  if (active.size() == 1 && active[0] >= '1' && active[0] <= '4') return active[0] - '0';
  const std::string chosen = settings.Value("NetworkProfileActive");
  if (chosen.size() == 5 && chosen.compare(0, 4, "Prof") == 0 && chosen[4] >= '1' &&
      chosen[4] <= '4') {
    return chosen[4] - '0';
  }
  return 1;
}

std::string Cipher(SettingsStore& settings, const std::string& prefix,
                   const std::string& authentication) {
  if (EqualNoCase(authentication, "AKM")) return "TKIP";
  const std::string bits =
      settings.Value(prefix + "WEPkey" + settings.Value(prefix + "WEPkeyIdx") + "_EncryptionBit");
  if (bits == "64" || bits == "128") return "WEP" + bits;
  return "None";
}

}  // namespace

std::string StatusLines(SettingsStore& settings, const PhoneBehaviour& behaviour) {
  const std::string prefix = "Prof" + std::to_string(ActiveProfile(settings)) + "_";
  const std::string authentication = settings.Value(prefix + "Authentication");
  const bool leap = EqualNoCase(authentication, "LEAP");
  const std::string cipher = Cipher(settings, prefix, authentication);

  const std::array<std::pair<const char*, std::string>, 15> lines = {{
      {"CurUserProfile", settings.Value("UserProf_Active")},
      {"CurNetworkProfile",
       settings.Value(prefix + "Name") + " (" + settings.Value(prefix + "SSID") + ")"},
      {"CurDHCPclient", settings.Value(prefix + "DHCPclient")},
      {"CurIPaddress", settings.Value(prefix + "IPaddress")},
      {"CurSubnetMask", settings.Value(prefix + "SubnetMask")},
      {"CurPrimaryTFTPserver", settings.Value(prefix + "PrimaryTFTPserver")},
      {"CurPrimaryGateway", settings.Value(prefix + "PrimaryGateway")},
      {"CurPrimaryDNSserver", settings.Value(prefix + "PrimaryDNSserver")},
      {"CurSecondaryDNSserver", settings.Value(prefix + "SecondaryDNSserver")},
      {"HardwareInfo", behaviour.hardware_info},
      {"Domain", behaviour.domain},
      {"KeyMgmtUsed", EqualNoCase(authentication, "AKM") ? "WPA-PSK"
                      : leap                             ? "802.1X"
                                                         : "None"},
      {"CipherUsed_Unicast", cipher},
      {"CipherUsed_Multicast", cipher},
      {"EAP_Mode_Used", leap ? settings.Value(prefix + "EAP_mode") : "None"},
  }};
  std::string text;
  for (const auto& [name, value] : lines) text += std::string(name) + "=" + value + "\r\n";
  return text;
}

}  // namespace phonesim
