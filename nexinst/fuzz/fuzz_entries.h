#pragma once

#include <cstddef>
#include <cstdint>

namespace nexinst::fuzz {

// Each entry feeds arbitrary bytes to one parser and checks what must hold
// for any input; a broken property aborts. Shared by the libFuzzer programs
// and the corpus test.

// registry.reg text: parses or reports an error; what parses writes back to a
// text that parses to the same text.
void RegText(const uint8_t* data, size_t size);
// Command lines: splitting never fails; joining the arguments after the
// program and splitting again gives them back.
void CommandLine(const uint8_t* data, size_t size);
// install.ini and services.ini: any text gives a profile whose values fit in
// 128 characters, and a service table whose written form reads back the same.
void InstallIni(const uint8_t* data, size_t size);

// profile.pro: at most 32 complete records come out, and every converted
// profile has its fixed set of values with keys of at most 32 hex digits.
void ProfilePro(const uint8_t* data, size_t size);

}  // namespace nexinst::fuzz
