#include "tftp_client.h"

#include <algorithm>

#include "tftp_packet.h"

namespace phonesim {

TftpClient::TftpClient(TftpClientPort& port, Settings settings)
    : m_port(port), m_settings(std::move(settings)) {}

void TftpClient::Begin(State state, uint16_t server_port, int64_t now_ms) {
  (void)now_ms;
  m_state = state;
  m_server_port = server_port;
  m_port_fixed = false;
  m_sent_count = 0;
  m_block = 0;
  m_data.clear();
  m_result.reset();
}

void TftpClient::StartRead(const std::string& file_name, uint16_t server_port, int64_t now_ms,
                           size_t max_read) {
  Begin(State::kReading, server_port, now_ms);
  m_max_read = max_read != 0 ? max_read : m_settings.max_read;
  SendNew(EncodeRequest(TftpOpcode::kRrq, file_name), now_ms);
}

void TftpClient::StartWrite(const std::string& file_name, std::vector<uint8_t> data,
                            uint16_t server_port, int64_t now_ms) {
  Begin(State::kWriting, server_port, now_ms);
  m_data = std::move(data);
  SendNew(EncodeRequest(TftpOpcode::kWrq, file_name), now_ms);
}

void TftpClient::Abort() {
  if (m_state != State::kIdle) Finish(false, 0, "abandoned");
}

std::optional<int64_t> TftpClient::Deadline() const {
  if (m_state == State::kIdle) return std::nullopt;
  return m_deadline;
}

std::optional<TftpResult> TftpClient::TakeResult() {
  auto result = std::move(m_result);
  m_result.reset();
  return result;
}

void TftpClient::SendNew(std::vector<uint8_t> bytes, int64_t now_ms) {
  m_last_sent = std::move(bytes);
  m_retries_left = m_settings.retries;
  m_deadline = now_ms + m_settings.timeout_ms;
  Emit(m_last_sent, m_server_port);
}

void TftpClient::Emit(const std::vector<uint8_t>& bytes, uint16_t port) {
  TftpOutgoing out;
  out.bytes = bytes;
  out.port = port;
  ++m_sent_count;
  for (const TftpFault& fault : m_settings.faults) {
    if (fault.packet != m_sent_count) continue;
    switch (fault.kind) {
      case TftpFault::Kind::kDrop:
        out.copies = 0;
        break;
      case TftpFault::Kind::kDuplicate:
        out.copies = 2;
        break;
      case TftpFault::Kind::kDelay:
        out.delay_ms = fault.delay_ms;
        break;
      case TftpFault::Kind::kForeign:
        out.foreign = true;
        break;
    }
  }
  m_port.SendDatagram(out);
}

void TftpClient::Finish(bool ok, uint16_t code, std::string message) {
  TftpResult result;
  result.ok = ok;
  result.error_code = code;
  result.message = std::move(message);
  if (m_state == State::kReading) result.data = std::move(m_data);
  m_data.clear();
  m_state = State::kIdle;
  m_result = std::move(result);
}

void TftpClient::Fail(uint16_t code, const std::string& message) {
  Emit(EncodeError(code, message), m_server_port);
  Finish(false, code, message);
}

void TftpClient::OnTimer(int64_t now_ms) {
  if (m_state == State::kIdle || now_ms < m_deadline) return;
  if (m_retries_left <= 0) {
    Finish(false, 0, "no answer from the server");
    return;
  }
  --m_retries_left;
  m_deadline = now_ms + m_settings.timeout_ms;
  m_port.Log("time-out, sending again");
  Emit(m_last_sent, m_server_port);
}

void TftpClient::OnDatagram(std::span<const uint8_t> datagram, uint16_t from_port, int64_t now_ms) {
  if (m_state == State::kIdle) {
    m_port.Log("datagram outside a transfer ignored");
    return;
  }
  if (m_port_fixed && from_port != m_server_port) {
    // Another transfer's packet: tell its sender, leave ours alone.
    Emit(EncodeError(5, "Unknown transfer ID"), from_port);
    return;
  }
  auto packet = DecodeTftpPacket(datagram);
  if (!packet) {
    m_port.Log("malformed datagram ignored");
    return;
  }
  if (packet->opcode == TftpOpcode::kError) {
    Finish(false, packet->error_code,
           "server error " + std::to_string(packet->error_code) + ": " + packet->error_message);
    return;
  }
  if (!m_port_fixed) {
    m_server_port = from_port;
    m_port_fixed = true;
  }
  if (m_state == State::kReading) {
    OnReadPacket(*packet, now_ms);
  } else {
    OnWritePacket(*packet, now_ms);
  }
}

void TftpClient::OnReadPacket(const TftpPacket& packet, int64_t now_ms) {
  if (packet.opcode != TftpOpcode::kData) {
    m_port.Log("unexpected packet ignored");
    return;
  }
  const auto expected = static_cast<uint16_t>(m_block + 1);
  if (packet.block == static_cast<uint16_t>(m_block) && m_block != 0) {
    // The server missed our acknowledgement and sent the block again.
    Emit(m_last_sent, m_server_port);
    return;
  }
  if (packet.block != expected) {
    m_port.Log("out-of-order block ignored");
    return;
  }
  if (m_data.size() + packet.data.size() > m_max_read) {
    Fail(3, "Disk full or allocation exceeded");
    return;
  }
  m_data.insert(m_data.end(), packet.data.begin(), packet.data.end());
  m_block += 1;
  SendNew(EncodeAck(packet.block), now_ms);
  if (packet.data.size() < kTftpBlockSize) Finish(true, 0, {});
}

void TftpClient::SendBlock(int64_t now_ms) {
  const size_t offset = static_cast<size_t>(m_block - 1) * kTftpBlockSize;
  const size_t length = std::min(kTftpBlockSize, m_data.size() - std::min(offset, m_data.size()));
  std::span<const uint8_t> bytes(m_data.data() + std::min(offset, m_data.size()), length);
  SendNew(EncodeData(static_cast<uint16_t>(m_block), bytes), now_ms);
}

void TftpClient::OnWritePacket(const TftpPacket& packet, int64_t now_ms) {
  if (packet.opcode != TftpOpcode::kAck) {
    m_port.Log("unexpected packet ignored");
    return;
  }
  // A repeated acknowledgement is not answered: resending on it would double
  // every later packet (the sorcerer's apprentice fault).
  if (packet.block != static_cast<uint16_t>(m_block)) return;
  const uint32_t total = static_cast<uint32_t>(m_data.size() / kTftpBlockSize) + 1;
  if (m_block == total) {
    Finish(true, 0, {});
    return;
  }
  m_block += 1;
  SendBlock(now_ms);
}

}  // namespace phonesim
