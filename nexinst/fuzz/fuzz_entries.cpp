#include "fuzz_entries.h"

#include <cstdlib>
#include <string>

#include "profile_file.h"
#include "profile_pro.h"
#include "reg_text.h"
#include "service_table.h"
#include "win_command_line.h"

namespace nexinst::fuzz {

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

void RegText(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  RegTextError error;
  std::unique_ptr<RegKey> top = ParseRegText(text, &error);
  if (!top) {
    Require(error.line >= 0);
    return;
  }
  std::string written = WriteRegText(*top);
  std::unique_ptr<RegKey> again = ParseRegText(written, nullptr);
  Require(again != nullptr);
  Require(WriteRegText(*again) == written);
}

void CommandLine(const uint8_t* data, size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> arguments = SplitCommandLine(line);
  if (arguments.size() < 2) return;
  std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
  for (const std::string& argument : rest) {
    // A NUL or line break cannot come through a real command line.
    if (argument.find_first_of(std::string_view("\0\n\r", 3)) != std::string::npos) return;
  }
  std::vector<std::string> again = SplitCommandLine("p " + JoinCommandLine(rest));
  Require(again.size() == rest.size() + 1);
  Require(std::equal(rest.begin(), rest.end(), again.begin() + 1));
}

void InstallIni(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  ProfileFile profile = ProfileFile::Parse(text);
  Require(profile.Get("HARDWARE_ID_LIST", "1").size() <= ProfileFile::kMaxValue);
  Require(profile.Get("INFO", "INF_File_name").size() <= ProfileFile::kMaxValue);
  // The service table is read with the same reader; what it writes reads back.
  std::string table = ServiceTable::Parse(text).Write();
  Require(ServiceTable::Parse(table).Write() == table);
}

void ProfilePro(const uint8_t* data, size_t size) {
  ProfileProRead read = ReadProfilePro(std::span<const uint8_t>(data, size));
  Require(read.records.size() <= kMaxNuvexProfiles);
  Require(!read.records.empty() || !read.traces.empty());
  for (const ProxServiceRecord& record : read.records) {
    NuvexProfile profile = DecodeProfile(record);
    Require(profile.name.size() <= 33 && profile.ssid.size() <= 33);
    for (const auto& [name, value] : ConvertedProfileValues(profile)) {
      if (name.starts_with("SharedKey") && value.type == kRegSz) {
        Require(value.AsText().size() <= 32);
      }
    }
  }
}

}  // namespace nexinst::fuzz
