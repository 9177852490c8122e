#include "tftp_packet.h"

#include <algorithm>

namespace phonesim {
namespace {

void PutU16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value & 0xff));
}

uint16_t GetU16(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

void PutString(std::vector<uint8_t>& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

// Reads a zero-terminated string at `at`; nothing when the zero is missing.
std::optional<std::string> GetString(std::span<const uint8_t> bytes, size_t& at) {
  auto end = std::find(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end(), 0);
  if (end == bytes.end()) return std::nullopt;
  std::string text(bytes.begin() + static_cast<std::ptrdiff_t>(at), end);
  at = static_cast<size_t>(end - bytes.begin()) + 1;
  return text;
}

}  // namespace

std::vector<uint8_t> EncodeRequest(TftpOpcode opcode, std::string_view file_name,
                                   std::string_view mode) {
  std::vector<uint8_t> out;
  PutU16(out, static_cast<uint16_t>(opcode));
  PutString(out, file_name);
  PutString(out, mode);
  return out;
}

std::vector<uint8_t> EncodeData(uint16_t block, std::span<const uint8_t> data) {
  std::vector<uint8_t> out;
  out.reserve(4 + data.size());
  PutU16(out, static_cast<uint16_t>(TftpOpcode::kData));
  PutU16(out, block);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::vector<uint8_t> EncodeAck(uint16_t block) {
  std::vector<uint8_t> out;
  PutU16(out, static_cast<uint16_t>(TftpOpcode::kAck));
  PutU16(out, block);
  return out;
}

std::vector<uint8_t> EncodeError(uint16_t code, std::string_view message) {
  std::vector<uint8_t> out;
  PutU16(out, static_cast<uint16_t>(TftpOpcode::kError));
  PutU16(out, code);
  PutString(out, message);
  return out;
}

std::optional<TftpPacket> DecodeTftpPacket(std::span<const uint8_t> datagram) {
  if (datagram.size() < 4) return std::nullopt;
  TftpPacket packet;
  uint16_t opcode = GetU16(datagram, 0);
  switch (opcode) {
    case 1:
    case 2: {
      packet.opcode = static_cast<TftpOpcode>(opcode);
      size_t at = 2;
      auto name = GetString(datagram, at);
      if (!name) return std::nullopt;
      auto mode = GetString(datagram, at);
      if (!mode) return std::nullopt;
      packet.file_name = std::move(*name);
      packet.mode = std::move(*mode);
      return packet;
    }
    case 3:
      if (datagram.size() > 4 + kTftpBlockSize) return std::nullopt;
      packet.opcode = TftpOpcode::kData;
      packet.block = GetU16(datagram, 2);
      packet.data.assign(datagram.begin() + 4, datagram.end());
      return packet;
    case 4:
      packet.opcode = TftpOpcode::kAck;
      packet.block = GetU16(datagram, 2);
      return packet;
    case 5: {
      packet.opcode = TftpOpcode::kError;
      packet.error_code = GetU16(datagram, 2);
      auto end = std::find(datagram.begin() + 4, datagram.end(), 0);
      packet.error_message.assign(datagram.begin() + 4, end);
      return packet;
    }
    default:
      return std::nullopt;
  }
}

std::string DescribeTftpPacket(std::span<const uint8_t> datagram) {
  auto packet = DecodeTftpPacket(datagram);
  if (!packet) return "malformed datagram (" + std::to_string(datagram.size()) + " bytes)";
  switch (packet->opcode) {
    case TftpOpcode::kRrq:
      return "RRQ \"" + packet->file_name + "\" " + packet->mode;
    case TftpOpcode::kWrq:
      return "WRQ \"" + packet->file_name + "\" " + packet->mode;
    case TftpOpcode::kData:
      return "DATA " + std::to_string(packet->block) + " (" + std::to_string(packet->data.size()) +
             " bytes)";
    case TftpOpcode::kAck:
      return "ACK " + std::to_string(packet->block);
    case TftpOpcode::kError:
      return "ERROR " + std::to_string(packet->error_code) + " \"" + packet->error_message + "\"";
  }
  return "?";
}

}  // namespace phonesim
