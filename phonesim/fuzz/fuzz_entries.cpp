#include "fuzz_entries.h"

#include <deque>
#include <span>
#include <string>

#include "mivo_settings_store.h"
#include "phone_session.h"
#include "tftp_client.h"
#include "tftp_packet.h"

namespace phonesim::fuzz {
namespace {

class NullTftpPort : public TftpClientPort {
 public:
  void SendDatagram(const TftpOutgoing&) override {}
  void Log(const std::string&) override {}
};

class InstantSessionPort : public PhoneSessionPort {
 public:
  void Write(const std::string&, int) override {}
  void StartTransfer(const TransferRequest& request) override { pending.push_back(request); }
  void CloseConnection() override {}
  void SettingsChanged() override {}
  void Log(const std::string&) override {}
  std::deque<TransferRequest> pending;
};

void FeedClient(TftpClient& client, std::span<const uint8_t> input, int64_t& now) {
  size_t at = 0;
  while (at < input.size() && client.Busy()) {
    const size_t length = std::min<size_t>(input[at], input.size() - at - 1);
    client.OnDatagram(input.subspan(at + 1, length), static_cast<uint16_t>(1000 + input[at] % 3),
                      now);
    at += 1 + length;
    if (input[at - 1] % 7 == 0) {
      now += 5000;
      client.OnTimer(now);
    }
  }
  client.Abort();
}

}  // namespace

int FuzzTftp(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  (void)DescribeTftpPacket(input);
  NullTftpPort port;
  TftpClient::Settings settings;
  settings.max_read = 4096;
  settings.faults = {{TftpFault::Kind::kDuplicate, 2, 0}};
  TftpClient client(port, settings);
  int64_t now = 0;
  client.StartRead("a.txt", 69, now);
  FeedClient(client, input, now);
  client.StartWrite("b.txt", std::vector<uint8_t>(input.begin(), input.end()), 69, now);
  FeedClient(client, input, now);
  return 0;
}

int FuzzSession(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  MivoSettingsStore settings;
  InstantSessionPort port;
  PhoneBehaviour behaviour;
  behaviour.split = PhoneBehaviour::Split{"probe", 3, 0};
  behaviour.join = "mode";
  PhoneSession session(port, settings, behaviour);
  session.OnBytes(input);
  for (int transfers = 0; transfers < 64 && !port.pending.empty(); ++transfers) {
    TransferRequest request = std::move(port.pending.front());
    port.pending.pop_front();
    TftpResult result;
    result.ok = (size + static_cast<size_t>(transfers)) % 5 != 0;
    if (request.direction == TftpDirection::kRead) result.data.assign(data, data + size);
    session.OnTransferDone(result);
  }
  return 0;
}

}  // namespace phonesim::fuzz
