#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "registry_tree.h"

namespace nexinst {

// The registry editor's ANSI export format ("REGEDIT4"):
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Example]
//   @="default value"
//   "Text"="a \"quoted\" c:\\path"
//   "Count"=dword:0000000f
//   "Blob"=hex:01,02,03
//   "Odd"=hex(1):31,35,00,00      (a string whose bytes are not its text and one zero)
//
// Hex lists may continue on the next line after a trailing backslash. Lines
// starting with ';' are comments; "-" entries (deletions) are not accepted.

struct RegTextError {
  int line = 0;  // 1-based line of the first error
  std::string reason;
};

// Parses a whole file. Returns the top key (hives as its children), or
// nullptr with `error` filled on the first malformed line; nothing partial is
// returned.
std::unique_ptr<RegKey> ParseRegText(std::string_view text, RegTextError* error);

// Writes the whole tree: a section for each key that has values or no
// subkeys, in stored order; parsing the result gives the same tree.
std::string WriteRegText(const RegKey& top);

}  // namespace nexinst
