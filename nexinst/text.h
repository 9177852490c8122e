#pragma once

#include <string>
#include <string_view>

// Small text helpers shared by the install control program and its host.

namespace nexinst {

// printf-style formatting into a string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Text helpers shared by the operations.
std::string ToUpper(std::string_view text);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool ContainsNoCase(std::string_view text, std::string_view part);
// A name given on the command line: one pair of enclosing double quotes is
// removed, so "-del_Extension \"Trevo WLAN\"" names the key Trevo WLAN.
std::string_view WithoutEnclosingQuotes(std::string_view text);

}  // namespace nexinst
