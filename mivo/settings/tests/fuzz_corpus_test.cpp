#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_entries.h"
#include "temp_dir.h"

namespace mivo {
namespace {

// Nasty inputs run through the fuzz targets' entry functions; under the sanitizer
// build any read or write out of bounds fails the test.
std::vector<std::string> NastyInputs() {
  std::vector<std::string> inputs = {
      "",
      "=",
      "#",
      "\r\r\r\n\n\n",
      std::string("\0\0\0", 3),
      std::string("VDPTTL=5\r\n\0Prof1_SSID=x\r\n", 25),
      "Prof1_SSID=" + std::string(300, 'x'),
      "Prof1_SSID=" + std::string(300, 'x') + "\r\nVDP=Enable\r\n",
      "PhBook_Count=9999\r\n",
      "PhBook_Count=99999999999999999999999\r\nPhBook_Name=a\r\n",
      "Prof1_IPaddress=....\r\nProf1_IPaddress=1.2.3.99999999999999999999\r\n",
      "Prof1_IPaddress=" + std::string(250, '.') + "\r\n",
      "NewFirmwareImageFilename=" + std::string(230, 'p') + "\r\n",
      "Prof1_Modify=\r\nProf1_DataRate=/\r\nProf1_DataRate=5.5/11\r\n",
      std::string(256, '=') + "\r\n" + std::string(257, '#'),
      "WEPkey1=x\r\nAuthentication=LEAP\r\nSSID1=a\r\nSSIDType2=Any\r\n",
  };
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
  inputs.push_back(garbage);
  std::string manyRecords = "PhBook_Count=9999\r\n";
  for (int i = 0; i < 120; ++i) {
    manyRecords += "PhBook_Name=n\r\nPhBook_OfficeNum=1\r\nPhBook_HomeNum=2\r\n";
    manyRecords += "PhBook_CellNum=3\r\nPhBook_EmailAddr=e\r\n";
  }
  inputs.push_back(manyRecords);
  std::string full;
  while (full.size() < 30719) full += "VDPTTL=\r\n";
  full.resize(30719, 'A');
  inputs.push_back(full);
  inputs.push_back(std::string(30720, 'B'));
  inputs.push_back(std::string(40000, '\n'));
  return inputs;
}

TEST(FuzzCorpus, ParserAndLoaderSurviveNastyInputs) {
  for (const std::string& input : NastyInputs()) {
    const auto* data = reinterpret_cast<const uint8_t*>(input.data());
    EXPECT_EQ(fuzz::FuzzConfigLine(data, input.size()), 0);
    EXPECT_EQ(fuzz::FuzzConfigLoad(data, input.size()), 0);
  }
}

TEST(FuzzCorpus, SeedFilesOfTheFuzzers) {
  int seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator(MIVO_SETTINGS_FUZZ_CORPUS)) {
    const std::string input = testing::ReadWholeFile(entry.path().string());
    const auto* data = reinterpret_cast<const uint8_t*>(input.data());
    EXPECT_EQ(fuzz::FuzzConfigLoad(data, input.size()), 0);
    ++seen;
  }
  EXPECT_GE(seen, 2);
}

}  // namespace
}  // namespace mivo
