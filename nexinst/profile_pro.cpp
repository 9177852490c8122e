#include "profile_pro.h"

#include <algorithm>

#include "key_cipher.h"

namespace nexinst {

namespace {

uint32_t ReadU32(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
         static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

std::string TextField(const ProxServiceRecord& record, size_t at, size_t size) {
  auto begin = record.begin() + static_cast<std::ptrdiff_t>(at);
  auto end = std::find(begin, begin + static_cast<std::ptrdiff_t>(size), 0);
  return std::string(begin, end);
}

// The bytes that are encrypted for one key: a text key up to its first zero
// byte, a hexadecimal key all its bytes; at most the 16 bytes of the field.
std::vector<uint8_t> KeyInput(const NuvexProfile& profile, int index) {
  const auto& key = profile.keys[static_cast<size_t>(index)];
  size_t length = std::min<size_t>(profile.key_length, key.size());
  auto end = key.begin() + static_cast<std::ptrdiff_t>(length);
  if (profile.key_entry == 0) end = std::find(key.begin(), end, 0);
  return std::vector<uint8_t>(key.begin(), end);
}

uint32_t EncryptionAlg(const NuvexProfile& profile) {
  uint32_t alg = 4;
  switch (profile.security_mode) {
    case 0:
      alg = 0;
      break;
    case 1:
      alg = 1;
      break;
    case 4:
      alg = 2;
      break;
  }
  if (profile.connection_type == 0 && profile.security_mode != 0) alg = 1;
  return alg;
}

uint32_t ChannelFrequency(uint16_t channel) {
  if (channel >= 1 && channel <= 13) return 2407 + 5 * channel;
  if (channel == 14) return 2484;
  return 0;
}

}  // namespace

ProfileProRead ReadProfilePro(std::span<const uint8_t> file) {
  ProfileProRead result;
  if (file.size() < kProfHeaderSize) {
    result.traces.push_back("Read PROF_FILE_HEADER is failed!");
    return result;
  }
  if (file.size() < kProfHeaderSize + kProfLocationSize) {
    result.traces.push_back("Read PROF_FILE_LOCATION is failed!");
    return result;
  }
  uint64_t locations = ReadU32(file, 8);
  uint64_t first = ReadU32(file, kProfHeaderSize + 4);
  uint64_t count = ReadU32(file, kProfHeaderSize + 8);
  if (count == 0) {
    result.traces.push_back("No PROX_SERVICE_STRUCT available!");
    return result;
  }
  uint64_t start = kProfHeaderSize + kProfLocationSize * locations + kProxServiceSize * first;
  if (file.size() < start) {
    result.traces.push_back("Attempting to read invalid file location\n");
    return result;
  }
  if (count > kMaxNuvexProfiles) {
    result.traces.push_back("At most MAX_NUVEX_PROFILES profiles are supported!\n");
    count = kMaxNuvexProfiles;
  }
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t at = start + i * kProxServiceSize;
    if (at > file.size() || file.size() - at < kProxServiceSize) break;
    ProxServiceRecord record;
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(at), kProxServiceSize, record.begin());
    result.records.push_back(record);
  }
  if (result.records.empty()) result.traces.push_back("No valid profile can be read!\n");
  return result;
}

NuvexProfile DecodeProfile(const ProxServiceRecord& record) {
  NuvexProfile profile;
  profile.name = TextField(record, 4, 33);
  profile.ssid = TextField(record, 37, 33);
  profile.band = record[70];
  profile.adhoc_band = record[71];
  profile.connection_type = record[72];
  profile.power_management = record[73];
  profile.security_mode = record[88];
  profile.default_key = record[89];
  profile.key_length = record[90];
  std::copy_n(record.begin() + 91, 4, profile.key_set.begin());
  for (size_t k = 0; k < 4; ++k) {
    std::copy_n(record.begin() + 95 + static_cast<std::ptrdiff_t>(16 * k), 16,
                profile.keys[k].begin());
  }
  profile.key_entry = record[159];
  profile.channel = static_cast<uint16_t>(record[160] | record[161] << 8);
  return profile;
}

std::vector<std::pair<std::string, RegValue>> ConvertedProfileValues(const NuvexProfile& p) {
  std::vector<std::pair<std::string, RegValue>> values;
  auto text = [&](const char* name, std::string_view value) {
    values.emplace_back(name, RegValue::String(value));
  };
  auto number = [&](const char* name, uint32_t value) {
    values.emplace_back(name, RegValue::Dword(value));
  };
  text("ConfigurationName", p.name);
  text("NetworkName", p.ssid);
  text("NetworkName2", "");
  text("NetworkName3", "");
  number("NetworkConnectionType", p.connection_type);
  number("PowerManagement", p.power_management);
  number("EnableSecurity", p.security_mode != 0 ? 1 : 0);
  number("DynamicSecurity", p.security_mode == 2 || p.security_mode == 3 ? 1 : 0);
  number("HexEntry", p.key_entry);
  bool default_set = p.default_key < 4 && p.key_set[p.default_key] != 0;
  number("DefaultKey", default_set ? p.default_key + 1u : 0u);
  number("leapEnabled", 0);
  text("leapUserName", "");
  number("leapUserNameLength", 0);
  text("leapUserPasswd", "");
  number("leapUserPasswdLength", 0);
  bool valid_length = p.key_length == 5 || p.key_length == 13 || p.key_length == 16;
  uint32_t bits = valid_length ? 8u * p.key_length : 0u;
  for (const char* name :
       {"SharedKey1Length", "SharedKey2Length", "SharedKey3Length", "SharedKey4Length"}) {
    number(name, bits);
  }
  number("UniqueKeyLength", bits);
  if (p.key_entry == 0 || p.key_entry == 1) {
    const char* names[] = {"SharedKey1", "SharedKey2", "SharedKey3", "SharedKey4"};
    for (int k = 0; k < 4; ++k) text(names[k], EncryptKeyHex(KeyInput(p, k)));
  }
  text("UniqueKey", "");
  number("NetBand", p.band);
  number("EncryptionAlg", EncryptionAlg(p));
  number("AdHocBand", p.adhoc_band == 2 || p.adhoc_band == 4 ? p.adhoc_band : 1u);
  number("AdHocChannel", ChannelFrequency(p.channel));
  number("scanType", 2);
  number("tpc", 0);
  number("QoS", 0);
  number("Preamble", 1);
  return values;
}

}  // namespace nexinst
