#pragma once

#include <map>
#include <string>

#include "settings_store.h"

namespace phonesim {

// A settings store that knows a handful of names: lines naming one of them are
// accepted and stored, every other line is rejected.
class FakeSettingsStore : public SettingsStore {
 public:
  FakeSettingsStore() { Reset(); }

  std::vector<std::string> Apply(std::string_view text) override {
    std::vector<std::string> rejected;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find_first_of("\r\n", start);
      if (end == std::string_view::npos) end = text.size();
      std::string line(text.substr(start, end - start));
      start = end + 1;
      if (line.empty() || line[0] == '#') continue;
      const size_t equal = line.find('=');
      if (equal == std::string::npos || !values.count(line.substr(0, equal))) {
        rejected.push_back(line);
        continue;
      }
      values[line.substr(0, equal)] = line.substr(equal + 1);
    }
    return rejected;
  }
  std::string ConfigurationText() override {
    return "Prof1_Name=" + values["Prof1_Name"] + "\r\nVDPTTL=" + values["VDPTTL"] + "\r\n";
  }
  std::string Value(std::string_view name) override {
    auto found = values.find(std::string(name));
    return found == values.end() ? std::string() : found->second;
  }
  void Reset() override {
    ++resets;
    values = {{"Prof1_Name", "Profile1"},
              {"Prof2_Name", "Profile2"},
              {"Prof_Active", "0"},
              {"NetworkProfileActive", "Prof1"},
              {"UserProf_Active", "Normal"},
              {"Prof1_SSID", "velto"},
              {"Prof2_SSID", "office"},
              {"Prof1_DHCPclient", "Enable"},
              {"Prof1_IPaddress", "192.168.1.1"},
              {"Prof1_Authentication", "Open"},
              {"Prof2_Authentication", "AKM"},
              {"Prof1_WEPkeyIdx", "1"},
              {"Prof1_WEPkey1_EncryptionBit", "None"},
              {"VDPTTL", "180"},
              {"RingToneFile", ""},
              {"NewFirmwareImageUpgrade", "Disable"},
              {"NewFirmwareImageFilename", ""}};
  }
  std::string StateText() override { return {}; }
  bool LoadState(std::string_view, std::string&) override { return true; }

  std::map<std::string, std::string> values;
  int resets = 0;
};

}  // namespace phonesim
