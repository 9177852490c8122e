// Runs every fuzz entry over a small corpus of awkward inputs and a fixed
// set of random ones, so ordinary test runs exercise them too.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "fuzz_entries.h"

namespace nexinst::fuzz {
namespace {

std::vector<std::string> Corpus() {
  std::vector<std::string> corpus = {
      "",
      std::string("\0", 1),
      "REGEDIT4",
      "REGEDIT4\n[",
      "REGEDIT4\n[]\n",
      "REGEDIT4\n[\\\\\\]\n@=\"x\"\n",
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"\\\"=\"\\\n",
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex(ffffffff):00\n",
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex(123456789):00\n",
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:\\\n\\\n\\\n",
      "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"a\"=hex(1):\r\n@=dword:ffffffff\r\n",
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=\"\x01\xff\"\n",
      "p \"\\\\\\\"\" \\\\\\\\\" \"\"\"\"\"\"",
      "\"\"\"\"",
      "p \\",
      "p \"a\\\"",
      "[HARDWARE_ID_LIST]\n1=" + std::string(5000, 'x') + "\n",
      "[" + std::string(300, 'S') + "\n=\n[]\n=x\n;\n#\n[INFO\nINF_File_name",
      std::string(70000, '['),
      std::string(4096, '\\') + "\"",
  };
  // profile.pro shapes: header and location with N, F and K set.
  auto profile = [](uint32_t n, uint32_t f, uint32_t k, size_t size) {
    std::string bytes(size, '\x5a');
    auto put = [&](size_t at, uint32_t v) {
      for (int i = 0; i < 4 && at + static_cast<size_t>(i) < size; ++i) {
        bytes[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
      }
    };
    put(8, n);
    put(48, f);
    put(52, k);
    return bytes;
  };
  for (uint32_t k : {0u, 1u, 5u, 32u, 33u, 40u, 0xFFFFFFFFu}) {
    for (size_t size : {44u, 123u, 124u, 320u, 1100u, 124u + 196u * 40u}) {
      corpus.push_back(profile(1, 0, k, size));
      corpus.push_back(profile(0xFFFFFFFF, 0xFFFFFFFF, k, size));
      corpus.push_back(profile(2, 3, k, size));
    }
  }
  static constexpr char kAlphabet[] = "REGDIT4[]\\\"=@:,hexdword0123456789abf()\n\r \t;#";
  std::mt19937 random(5837);
  for (int i = 0; i < 200; ++i) {
    std::string bytes(random() % 300, '\0');
    for (char& c : bytes) c = kAlphabet[random() % (sizeof kAlphabet - 1)];
    corpus.push_back(bytes);
  }
  return corpus;
}

TEST(FuzzCorpusTest, EveryEntrySurvivesTheCorpus) {
  for (const std::string& input : Corpus()) {
    auto data = reinterpret_cast<const uint8_t*>(input.data());
    RegText(data, input.size());
    CommandLine(data, input.size());
    InstallIni(data, input.size());
    ProfilePro(data, input.size());
  }
}

}  // namespace
}  // namespace nexinst::fuzz
