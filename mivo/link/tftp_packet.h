#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// TFTP packets (opcodes 1 to 5, numbers 16-bit in network order). Pure functions.

namespace mivo::link::tftp {

enum Opcode : std::uint16_t { kRrq = 1, kWrq = 2, kData = 3, kAck = 4, kError = 5 };

inline constexpr std::size_t kBlockSize = 512;
inline constexpr std::size_t kErrorPacketSize = 256;

// Text of a TFTP error code; "TFTP Error !" for codes outside 1 to 7.
std::string_view ErrorCodeText(int code);

struct Packet {
  std::uint16_t opcode = 0;            // 0 when the datagram is shorter than two bytes
  std::string fileName;                // RRQ, WRQ: up to the first zero byte or the end
  std::uint16_t number = 0;            // DATA, ACK: block; ERROR: code
  std::span<const std::uint8_t> data;  // DATA: the payload
  std::string message;                 // ERROR: up to the first zero byte or the end
  bool complete = false;               // DATA, ACK, ERROR: the four header bytes are there
};

// Reads a datagram; never fails. The data span points into the datagram.
Packet ParsePacket(std::span<const std::uint8_t> datagram);

std::vector<std::uint8_t> MakeData(std::uint16_t block, std::span<const char> data);
std::vector<std::uint8_t> MakeAck(std::uint16_t block);
// 256 bytes: opcode 5, the code, its table text, zero bytes.
std::vector<std::uint8_t> MakeError(std::uint16_t code);
std::vector<std::uint8_t> MakeRequest(Opcode opcode, std::string_view fileName,
                                      std::string_view mode = "octet");

}  // namespace mivo::link::tftp
