#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace phonesim {

// TFTP packets of RFC 1350; every number is 16 bits in network byte order.
enum class TftpOpcode : uint16_t { kRrq = 1, kWrq = 2, kData = 3, kAck = 4, kError = 5 };

inline constexpr size_t kTftpBlockSize = 512;

struct TftpPacket {
  TftpOpcode opcode = TftpOpcode::kAck;
  std::string file_name;      // RRQ, WRQ
  std::string mode;           // RRQ, WRQ
  uint16_t block = 0;         // DATA, ACK
  std::vector<uint8_t> data;  // DATA
  uint16_t error_code = 0;    // ERROR
  std::string error_message;  // ERROR
};

std::vector<uint8_t> EncodeRequest(TftpOpcode opcode, std::string_view file_name,
                                   std::string_view mode = "octet");
std::vector<uint8_t> EncodeData(uint16_t block, std::span<const uint8_t> data);
std::vector<uint8_t> EncodeAck(uint16_t block);
std::vector<uint8_t> EncodeError(uint16_t code, std::string_view message);

// Returns nothing for a datagram that is not a well-formed packet: shorter than
// its opcode needs, an unknown opcode, a request whose strings are not
// zero-terminated, or DATA with more than 512 bytes. An ERROR message without
// its terminating zero is taken up to the end of the datagram.
std::optional<TftpPacket> DecodeTftpPacket(std::span<const uint8_t> datagram);

// One line for the session log, e.g. "DATA 3 (512 bytes)".
std::string DescribeTftpPacket(std::span<const uint8_t> datagram);

}  // namespace phonesim
