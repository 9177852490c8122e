#include "profile_pro.h"

#include <gtest/gtest.h>

#include <cstring>

#include "key_cipher.h"

namespace nexinst {
namespace {

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

// A file with N location records, the profile records starting at index F,
// K announced and `present` records actually there (each named "P<i>").
std::vector<uint8_t> MakeFile(uint32_t n, uint32_t f, uint32_t k, size_t present) {
  std::vector<uint8_t> file(kProfHeaderSize + kProfLocationSize * n +
                            kProxServiceSize * (f + present));
  PutU32(file, 8, n);
  if (n > 0) {
    PutU32(file, kProfHeaderSize + 4, f);
    PutU32(file, kProfHeaderSize + 8, k);
  }
  size_t start = kProfHeaderSize + kProfLocationSize * n + kProxServiceSize * f;
  for (size_t i = 0; i < present; ++i) {
    std::string name = "P" + std::to_string(i);
    std::memcpy(&file[start + kProxServiceSize * i + 4], name.data(), name.size());
  }
  return file;
}

TEST(ProfileProTest, ReadsCompleteRecordsAndReportsEveryLie) {
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    size_t records;
    std::vector<std::string> traces;
  };
  std::vector<uint8_t> cut = MakeFile(1, 0, 5, 5);
  cut.resize(cut.size() - 100);
  std::vector<uint8_t> huge_n = MakeFile(1, 0, 3, 3);
  PutU32(huge_n, 8, 0xFFFFFFFF);
  std::vector<uint8_t> huge_f = MakeFile(1, 0, 3, 3);
  PutU32(huge_f, kProfHeaderSize + 4, 0xFFFFFFFF);
  const Case cases[] = {
      {"empty", {}, 0, {"Read PROF_FILE_HEADER is failed!"}},
      {"header only", std::vector<uint8_t>(60), 0, {"Read PROF_FILE_LOCATION is failed!"}},
      {"K = 0", MakeFile(1, 0, 0, 2), 0, {"No PROX_SERVICE_STRUCT available!"}},
      {"two records", MakeFile(1, 0, 2, 2), 2, {}},
      {"three locations, F = 2", MakeFile(3, 2, 3, 3), 3, {}},
      {"N huge", huge_n, 0, {"Attempting to read invalid file location\n"}},
      {"F huge", huge_f, 0, {"Attempting to read invalid file location\n"}},
      {"K = 40",
       MakeFile(1, 0, 40, 40),
       32,
       {"At most MAX_NUVEX_PROFILES profiles are supported!\n"}},
      {"cut in the fifth record", cut, 4, {}},
      {"K larger than the file", MakeFile(1, 0, 7, 0), 0, {"No valid profile can be read!\n"}},
  };
  for (const Case& c : cases) {
    ProfileProRead read = ReadProfilePro(c.file);
    EXPECT_EQ(read.records.size(), c.records) << c.what;
    EXPECT_EQ(read.traces, c.traces) << c.what;
    for (size_t i = 0; i < read.records.size(); ++i) {
      EXPECT_EQ(DecodeProfile(read.records[i]).name, "P" + std::to_string(i)) << c.what;
    }
  }
}

uint32_t Number(const std::vector<std::pair<std::string, RegValue>>& values,
                std::string_view name) {
  for (const auto& [value_name, value] : values) {
    if (value_name == name) return *value.AsDword();
  }
  ADD_FAILURE() << "no value " << name;
  return 0;
}

TEST(ProfileProTest, EncryptionAlgorithmFromModeAndConnectionType) {
  struct Case {
    uint8_t mode, connection;
    uint32_t alg;
  };
  const Case cases[] = {{0, 0, 0}, {0, 1, 0}, {1, 1, 1}, {1, 0, 1}, {4, 1, 2},
                        {4, 0, 1}, {2, 1, 4}, {3, 1, 4}, {2, 0, 1}, {255, 1, 4}};
  for (const Case& c : cases) {
    NuvexProfile profile;
    profile.security_mode = c.mode;
    profile.connection_type = c.connection;
    EXPECT_EQ(Number(ConvertedProfileValues(profile), "EncryptionAlg"), c.alg)
        << int(c.mode) << "/" << int(c.connection);
  }
}

TEST(ProfileProTest, ChannelBandAndDefaultKey) {
  struct Case {
    uint16_t channel;
    uint32_t frequency;
  };
  const Case channels[] = {{0, 0}, {1, 2412}, {6, 2437}, {13, 2472}, {14, 2484}, {15, 0}, {300, 0}};
  for (const Case& c : channels) {
    NuvexProfile profile;
    profile.channel = c.channel;
    EXPECT_EQ(Number(ConvertedProfileValues(profile), "AdHocChannel"), c.frequency) << c.channel;
  }
  NuvexProfile profile;
  for (uint8_t band : {0, 1, 2, 3, 4, 9}) {
    profile.adhoc_band = band;
    EXPECT_EQ(Number(ConvertedProfileValues(profile), "AdHocBand"),
              band == 2 || band == 4 ? band : 1u);
  }
  profile.key_set = {0, 0, 1, 0};
  profile.default_key = 2;
  EXPECT_EQ(Number(ConvertedProfileValues(profile), "DefaultKey"), 3u);
  profile.default_key = 1;
  EXPECT_EQ(Number(ConvertedProfileValues(profile), "DefaultKey"), 0u);
  profile.default_key = 200;  // past the four flags: no key
  EXPECT_EQ(Number(ConvertedProfileValues(profile), "DefaultKey"), 0u);
}

TEST(ProfileProTest, KeysByLengthAndEntryKind) {
  NuvexProfile profile;
  profile.key_length = 13;
  profile.key_entry = 0;
  std::memcpy(profile.keys[0].data(), "abcdefghijklm", 13);
  std::memcpy(profile.keys[1].data(), "ab\0defghijklm", 13);
  std::vector<std::pair<std::string, RegValue>> values = ConvertedProfileValues(profile);
  EXPECT_EQ(Number(values, "SharedKey1Length"), 104u);
  EXPECT_EQ(Number(values, "UniqueKeyLength"), 104u);
  auto text = [&](std::string_view name) {
    for (const auto& [value_name, value] : values) {
      if (value_name == name) return value.AsText();
    }
    return std::string("missing");
  };
  EXPECT_EQ(text("SharedKey1"), EncryptKeyHex(std::vector<uint8_t>(profile.keys[0].begin(),
                                                                   profile.keys[0].begin() + 13)));
  EXPECT_EQ(text("SharedKey1").size(), 32u);
  EXPECT_EQ(text("SharedKey2"), EncryptKeyHex(std::vector<uint8_t>{'a', 'b'}));
  EXPECT_EQ(text("SharedKey3"), "");

  profile.key_entry = 1;  // hexadecimal: all 13 bytes, zeros included
  values = ConvertedProfileValues(profile);
  EXPECT_EQ(text("SharedKey2"), EncryptKeyHex(std::vector<uint8_t>(profile.keys[1].begin(),
                                                                   profile.keys[1].begin() + 13)));
  EXPECT_EQ(text("SharedKey3"), EncryptKeyHex(std::vector<uint8_t>(13, 0)));

  profile.key_entry = 2;  // neither: the keys are not written
  profile.key_length = 40;
  values = ConvertedProfileValues(profile);
  EXPECT_EQ(text("SharedKey1"), "missing");
  EXPECT_EQ(Number(values, "SharedKey4Length"), 0u);
}

}  // namespace
}  // namespace nexinst
