#pragma once

#include <map>
#include <string>
#include <string_view>

namespace nexinst {

// A Windows-style profile (.ini) file as the private-profile reader sees it:
// sections and keys compare ignoring case; the first occurrence of a key in a
// section wins; values are trimmed, lose one pair of enclosing quotes (" or ')
// and are cut to kMaxValue characters; ';' and '#' start comment lines; no
// inline comments and no continuation lines.
class ProfileFile {
 public:
  static constexpr size_t kMaxValue = 128;

  // Never fails: lines that do not parse are skipped.
  static ProfileFile Parse(std::string_view text);
  // A missing or unreadable file gives an empty profile.
  static ProfileFile Load(const std::string& path);

  // Empty when the section or the key is missing.
  std::string Get(std::string_view section, std::string_view key) const;

 private:
  static int OnEntry(void* user, const char* section, const char* name, const char* value);

  std::map<std::string, std::string> m_values;  // "SECTION\nKEY" upper-cased
};

}  // namespace nexinst
