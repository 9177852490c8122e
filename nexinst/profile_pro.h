#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "host_port.h"

namespace nexinst {

// profile.pro of the older product: a 44-byte header (bytes 8-11: number N of
// location records), location records of 80 bytes from offset 44 (the first
// one's bytes 4-7: index F of the first profile record, bytes 8-11: number K
// of profile records) and profile records of 196 bytes from
// 44 + 80 N + 196 F. Integers are little-endian.
inline constexpr size_t kProfHeaderSize = 44;
inline constexpr size_t kProfLocationSize = 80;
inline constexpr size_t kProxServiceSize = 196;
inline constexpr uint32_t kMaxNuvexProfiles = 32;

using ProxServiceRecord = std::array<uint8_t, kProxServiceSize>;

struct ProfileProRead {
  std::vector<ProxServiceRecord> records;  // complete records, in file order
  std::vector<std::string> traces;         // what the reader reports, in order
};

// Reads the profile records out of the whole file's bytes; never reads past
// `file`. Traces "Read PROF_FILE_HEADER is failed!" or "...LOCATION..." for a
// short file, "No PROX_SERVICE_STRUCT available!" for K = 0, "Attempting to
// read invalid file location\n" when the records would start past the end,
// the limit message for K above 32, and "No valid profile can be read!\n"
// when no complete record is there. Records cut off at the end of the file
// are not counted; the complete ones before them are kept.
ProfileProRead ReadProfilePro(std::span<const uint8_t> file);

// The fields of one profile record that the conversion uses.
struct NuvexProfile {
  std::string name;  // offset 4, 33 bytes, up to the first zero
  std::string ssid;  // offset 37, 33 bytes, up to the first zero
  uint8_t band = 0;
  uint8_t adhoc_band = 0;
  uint8_t connection_type = 0;
  uint8_t power_management = 0;
  uint8_t security_mode = 0;
  uint8_t default_key = 0;
  uint8_t key_length = 0;
  std::array<uint8_t, 4> key_set{};
  std::array<std::array<uint8_t, 16>, 4> keys{};
  uint8_t key_entry = 0;  // 1 hexadecimal, 0 text
  uint16_t channel = 0;
};

NuvexProfile DecodeProfile(const ProxServiceRecord& record);

// The registry values of one converted profile, in the order they are
// written.
std::vector<std::pair<std::string, RegValue>> ConvertedProfileValues(const NuvexProfile& profile);

}  // namespace nexinst
