#include "tftp_packet.h"

#include <algorithm>

namespace mivo::link::tftp {
namespace {

std::uint16_t Read16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

void Put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value & 0xff));
}

std::string ZeroTerminated(std::span<const std::uint8_t> bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), 0);
  return std::string(bytes.begin(), end);
}

}  // namespace

std::string_view ErrorCodeText(int code) {
  switch (code) {
    case 1:
      return "File Not Found !";
    case 2:
      return "Access Violation !";
    case 3:
      return "Disk full or allocation exceeded !";
    case 4:
      return "Illegal TFTP operation !";
    case 5:
      return "Unknown port number !";
    case 6:
      return "File already exists !";
    case 7:
      return "No such user !";
    default:
      return "TFTP Error !";
  }
}

Packet ParsePacket(std::span<const std::uint8_t> datagram) {
  Packet packet;
  if (datagram.size() < 2) return packet;
  packet.opcode = Read16(datagram, 0);
  const auto rest = datagram.subspan(2);
  switch (packet.opcode) {
    case kRrq:
    case kWrq:
      packet.fileName = ZeroTerminated(rest);
      packet.complete = true;
      break;
    case kData:
    case kAck:
    case kError:
      if (rest.size() < 2) break;
      packet.complete = true;
      packet.number = Read16(rest, 0);
      if (packet.opcode == kData) packet.data = rest.subspan(2);
      if (packet.opcode == kError) packet.message = ZeroTerminated(rest.subspan(2));
      break;
    default:
      break;
  }
  return packet;
}

std::vector<std::uint8_t> MakeData(std::uint16_t block, std::span<const char> data) {
  std::vector<std::uint8_t> out;
  out.reserve(4 + data.size());
  Put16(out, kData);
  Put16(out, block);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::vector<std::uint8_t> MakeAck(std::uint16_t block) {
  std::vector<std::uint8_t> out;
  Put16(out, kAck);
  Put16(out, block);
  return out;
}

std::vector<std::uint8_t> MakeError(std::uint16_t code) {
  std::vector<std::uint8_t> out;
  out.reserve(kErrorPacketSize);
  Put16(out, kError);
  Put16(out, code);
  const std::string_view text = ErrorCodeText(code);
  out.insert(out.end(), text.begin(), text.end());
  out.resize(kErrorPacketSize, 0);
  return out;
}

std::vector<std::uint8_t> MakeRequest(Opcode opcode, std::string_view fileName,
                                      std::string_view mode) {
  std::vector<std::uint8_t> out;
  Put16(out, opcode);
  out.insert(out.end(), fileName.begin(), fileName.end());
  out.push_back(0);
  out.insert(out.end(), mode.begin(), mode.end());
  out.push_back(0);
  return out;
}

}  // namespace mivo::link::tftp
