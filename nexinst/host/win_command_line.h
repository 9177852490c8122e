#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nexinst {

// Splits a command line into arguments as Windows programs do. The first
// argument (the program) ends at the first blank, or at the closing quote when
// it starts with one; backslashes are literal in it. In the others, blanks
// outside quotes separate arguments; 2n backslashes before a quote give n
// backslashes and the quote opens or closes quoting; 2n+1 give n backslashes
// and a literal quote; "" inside quotes is a literal quote; other
// backslashes are literal.
std::vector<std::string> SplitCommandLine(std::string_view line);

// The inverse for arguments after the program: quotes each argument that is
// empty or holds a blank or a quote, so SplitCommandLine gives them back.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

}  // namespace nexinst
