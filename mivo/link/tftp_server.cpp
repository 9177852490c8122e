#include "tftp_server.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "link_texts.h"
#include "tftp_packet.h"

namespace mivo::link {
namespace {

std::uint16_t OnWire(std::uint64_t block) { return static_cast<std::uint16_t>(block & 0xffff); }

constexpr std::size_t kHeaderSize = 4;

// Opcode and block number, in network order.
void PutHeader(std::span<std::uint8_t> packet, std::uint16_t opcode, std::uint16_t number) {
  packet[0] = static_cast<std::uint8_t>(opcode >> 8);
  packet[1] = static_cast<std::uint8_t>(opcode & 0xff);
  packet[2] = static_cast<std::uint8_t>(number >> 8);
  packet[3] = static_cast<std::uint8_t>(number & 0xff);
}

bool Contains(std::string_view name, std::string_view part) {
  return name.find(part) != std::string_view::npos;
}

}  // namespace

CTftpServerWnd::CTftpServerWnd(TftpPorts ports, std::span<char> settingsBuffer,
                               std::string acceptedPeer, std::uint16_t serverPort)
    : m_ports(ports),
      m_settings(settingsBuffer),
      m_acceptedPeer(std::move(acceptedPeer)),
      m_serverPort(serverPort) {}

CTftpServerWnd::~CTftpServerWnd() {
  if (m_timerRunning) m_ports.timers.StopTimer(kRetransmitTimer);
}

void CTftpServerWnd::OnDatagram(std::span<const std::uint8_t> datagram, std::string_view sender,
                                std::uint16_t senderPort) {
  if (sender != m_acceptedPeer) return;
  if (datagram.empty()) {
    Report(texts::kTftpConnectionClosed);
    return;
  }
  m_peer.assign(sender);
  m_peerPort = senderPort;
  StopTimer();

  const tftp::Packet packet =
      tftp::ParsePacket(datagram.first(std::min(datagram.size(), kDatagramBuffer)));
  const bool idle = m_kind == TransferKind::Idle;
  const bool receiving = m_kind == TransferKind::ReceiveSettings;
  switch (packet.opcode) {
    case tftp::kRrq:
      if (idle) {
        OnReadRequest(packet.fileName);
      } else if (!receiving) {
        SendBlock(false);
      }
      break;
    case tftp::kWrq:
      if (idle) {
        OnWriteRequest();
      } else if (receiving) {
        SendAck(false);
      }
      break;
    case tftp::kData:
      if (receiving && packet.complete) OnData(packet.number, packet.data);
      break;
    case tftp::kAck:
      if (!idle && !receiving && packet.complete) OnAck(packet.number);
      break;
    case tftp::kError: {
      const std::string text = packet.number != 0 ? std::string(tftp::ErrorCodeText(packet.number))
                               : packet.message.empty() ? std::string(tftp::ErrorCodeText(0))
                                                        : packet.message;
      Report(text);
      break;
    }
    default:
      Report(texts::kTftpUnknownOpcode);
      break;
  }
  // A datagram that moved nothing forward (a late duplicate ACK, a repeated request or
  // block) must not leave a running transfer without its retransmission timer, or a lost
  // packet would stall it for good.
  if (m_kind != TransferKind::Idle && !m_timerRunning) StartTimer();
}

void CTftpServerWnd::OnReceiveError(int error) { Report(texts::kTftpServer, error); }

void CTftpServerWnd::OnTimer(int id) {
  if (id != kRetransmitTimer || !m_timerRunning) return;
  const bool sending = m_sending == 1;
  if (sending) {
    SendBlock(false);
  } else {
    SendAck(false);
  }
  if (m_kind == TransferKind::Idle) return;  // the resend itself failed and was reported
  if (--m_retransmissionsLeft <= 0) {
    Reset();
    Report(sending ? texts::kTftpSendDataFailed : texts::kTftpSendAckFailed);
  }
}

void CTftpServerWnd::OnReadRequest(const std::string& name) {
  m_sending = 1;
  m_retransmissionsLeft = kRetransmissions;
  m_timeout = kTimeoutSeconds;
  StartSending(name);
}

void CTftpServerWnd::OnWriteRequest() {
  m_sending = 0;
  m_retransmissionsLeft = kRetransmissions;
  m_timeout = kTimeoutSeconds;
  StartReceiving();
  SetKind(TransferKind::ReceiveSettings);
}

void CTftpServerWnd::StartSending(const std::string& name) {
  TransferKind kind = TransferKind::SendFile;
  std::uint64_t length = 0;
  if (Contains(name, ".txt")) {
    kind = TransferKind::SendSettings;
    length = ::strnlen(m_settings.data(), m_settings.size());
  } else {
    if (Contains(name, ".pkc") || Contains(name, ".bin")) kind = TransferKind::SendFirmware;
    m_file = m_ports.files.OpenForReading(name);
    if (!m_file) {
      std::vector<char> message(std::strlen(texts::kTftpOpenReadFailed) + name.size() + 1);
      std::snprintf(message.data(), message.size(), texts::kTftpOpenReadFailed, name.c_str());
      Report(message.data());
      return;
    }
    length = m_file->Size();
  }
  m_kind = kind;
  m_total = length / tftp::kBlockSize + 1;
  m_block = 1;
  if (!SendBlock(true)) return;
  m_kind = TransferKind::Idle;
  SetKind(kind);
}

bool CTftpServerWnd::SendBlock(bool asNewPacket) {
  // The DATA packet is built in place, the block read straight behind its header: this
  // runs once per block of a transfer.
  std::array<std::uint8_t, kHeaderSize + tftp::kBlockSize> packet;
  PutHeader(packet, tftp::kData, OnWire(m_block));
  const std::span<char> chunk(reinterpret_cast<char*>(packet.data() + kHeaderSize),
                              tftp::kBlockSize);
  std::size_t length = 0;
  const std::uint64_t offset = (m_block - 1) * tftp::kBlockSize;
  if (m_kind == TransferKind::SendSettings) {
    const std::size_t textLength = ::strnlen(m_settings.data(), m_settings.size());
    if (offset < textLength) {
      length = std::min<std::size_t>(tftp::kBlockSize, textLength - offset);
      std::memcpy(chunk.data(), m_settings.data() + offset, length);
    }
  } else {
    const std::int64_t got = m_file ? m_file->ReadAt(offset, chunk) : -1;
    if (got < 0) {
      Report(texts::kTftpFileReadFailed);
      return false;
    }
    length = static_cast<std::size_t>(got);
  }
  Send(std::span<const std::uint8_t>(packet.data(), kHeaderSize + length));
  if (asNewPacket) StartTimer();
  return true;
}

void CTftpServerWnd::OnAck(std::uint16_t number) {
  const std::uint16_t current = OnWire(m_block);
  if (number != current && number == OnWire(m_block - 1)) return;
  if (number != current) {
    FailWithError(texts::kTftpWrongAck, 4);
    return;
  }
  if (m_block >= m_total) {
    const bool firmware = m_kind == TransferKind::SendFirmware;
    m_completing = true;
    Reset();
    if (firmware) {
      m_ports.ui.MessageBox(texts::kTftpFirmwareUpdating, "", MessageIcon::kInformation);
    }
    return;
  }
  ++m_block;
  m_retransmissionsLeft = kRetransmissions;
  SendBlock(true);
}

void CTftpServerWnd::StartReceiving() {
  std::fill(m_settings.begin(), m_settings.end(), '\0');
  m_block = 0;
  m_total = 0;
  SendAck(true);
}

void CTftpServerWnd::OnData(std::uint16_t number, std::span<const std::uint8_t> data) {
  const std::uint16_t current = OnWire(m_block);
  if (number == current) {
    SendAck(false);
    if (--m_retransmissionsLeft <= 0) {
      Reset();
      Report(texts::kTftpSendAckFailed);
    }
    return;
  }
  if (number != OnWire(m_block + 1)) {
    FailWithError(texts::kTftpReceiveFailed, 4);
    return;
  }
  const std::uint64_t offset = m_block * tftp::kBlockSize;
  if (offset + data.size() > m_settings.size()) {
    FailWithError(texts::kTftpImportTooLarge, 3);
    return;
  }
  std::copy(data.begin(), data.end(), m_settings.begin() + static_cast<std::ptrdiff_t>(offset));
  ++m_block;
  if (data.size() >= tftp::kBlockSize) {
    m_retransmissionsLeft = kRetransmissions;
    SendAck(true);
  } else {
    SendAck(false);
    m_completing = true;
    Reset();
  }
}

void CTftpServerWnd::SendAck(bool withTimer) {
  std::array<std::uint8_t, kHeaderSize> packet;
  PutHeader(packet, tftp::kAck, OnWire(m_block));
  Send(packet);
  if (withTimer) StartTimer();
}

// The ERROR goes to the peer of the failed transfer once the user has closed the report;
// while the box was open another transfer may have started from another port.
void CTftpServerWnd::FailWithError(std::string_view text, std::uint16_t code) {
  const std::string peer = m_peer;
  const std::uint16_t peerPort = m_peerPort;
  Report(text);
  SendError(code, peer, peerPort);
}

void CTftpServerWnd::SendError(std::uint16_t code, const std::string& address, std::uint16_t port) {
  const std::vector<std::uint8_t> packet = tftp::MakeError(code);
  if (m_ports.transport.SendTo(packet, address, port) != 0) Report(texts::kTftpSendErrorFailed);
}

bool CTftpServerWnd::Report(std::string_view text, int socketError) {
  m_ports.transport.DiscardPending();
  if (m_reporting) return false;
  m_reporting = true;
  Reset();
  if (socketError == 0) {
    std::string message = "TFTP Server : ";
    message += text;
    message += '\n';
    m_ports.ui.MessageBox(message, texts::kWarningCaption, MessageIcon::kWarning);
  } else {
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, texts::kTftpPortPrefix, m_serverPort);
    m_ports.reporter.ReportSocketError(prefix, socketError);
  }
  m_reporting = false;
  return true;
}

void CTftpServerWnd::Reset() {
  m_file.reset();
  m_sending = 1;
  m_block = 0;
  m_total = 0;
  m_retransmissionsLeft = kRetransmissions;
  m_timeout = kTimeoutSeconds;
  StopTimer();
  if (m_kind != TransferKind::Idle) m_lastComplete = m_completing;
  m_completing = false;
  SetKind(TransferKind::Idle);
}

void CTftpServerWnd::SetKind(TransferKind kind) {
  if (kind == m_kind) return;
  m_kind = kind;
  m_ports.frame.NotifyAllViews(kHintTftpEvent, static_cast<int>(kind));
}

void CTftpServerWnd::StartTimer() {
  m_ports.timers.StartTimer(kRetransmitTimer, m_timeout * 1000);
  m_timerRunning = true;
}

void CTftpServerWnd::StopTimer() {
  if (!m_timerRunning) return;
  m_ports.timers.StopTimer(kRetransmitTimer);
  m_timerRunning = false;
}

int CTftpServerWnd::Send(std::span<const std::uint8_t> packet) {
  return m_ports.transport.SendTo(packet, m_peer, m_peerPort);
}

}  // namespace mivo::link
