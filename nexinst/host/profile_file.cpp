#include "profile_file.h"

#include <ini.h>

#include <fstream>
#include <sstream>

#include "text.h"

namespace nexinst {

namespace {

std::string EntryKey(std::string_view section, std::string_view key) {
  return ToUpper(section) + "\n" + ToUpper(key);
}

void ConfigureReader() {
  ini_allow_multiline = false;
  ini_allow_inline_comments = false;
  ini_use_stack = false;
  ini_allow_realloc = true;
  ini_max_line = 1 << 16;
}

}  // namespace

int ProfileFile::OnEntry(void* user, const char* section, const char* name, const char* value) {
  auto* profile = static_cast<ProfileFile*>(user);
  std::string text = value ? value : "";
  // A value written in one pair of quotes (double or single) is read without
  // them: INF_File_name="netcard.inf" names netcard.inf.
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    text = text.substr(1, text.size() - 2);
  }
  if (text.size() > kMaxValue) text.resize(kMaxValue);
  profile->m_values.emplace(EntryKey(section, name), std::move(text));
  return 1;
}

ProfileFile ProfileFile::Parse(std::string_view text) {
  ConfigureReader();
  ProfileFile profile;
  std::string copy(text);
  ini_parse_string(copy.c_str(), &ProfileFile::OnEntry, &profile);
  return profile;
}

ProfileFile ProfileFile::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return ProfileFile();
  std::ostringstream text;
  text << in.rdbuf();
  return Parse(text.str());
}

std::string ProfileFile::Get(std::string_view section, std::string_view key) const {
  auto it = m_values.find(EntryKey(section, key));
  return it == m_values.end() ? std::string() : it->second;
}

}  // namespace nexinst
