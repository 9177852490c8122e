#include "fuzz_entries.h"

#include <array>
#include <string>
#include <string_view>

#include "command_channel.h"
#include "link_fakes.h"
#include "replies.h"
#include "tftp_server.h"

namespace mivo::link::fuzz {
namespace {

using namespace link::testing;  // NOLINT: the fakes

// Calls chunk(bytes) for each length-led chunk and tick() for each zero length byte.
template <typename Chunk, typename Tick>
void ForEachChunk(const std::uint8_t* data, std::size_t size, Chunk chunk, Tick tick) {
  std::size_t at = 0;
  while (at < size) {
    const std::size_t length = data[at++];
    if (length == 0) {
      tick();
      continue;
    }
    const std::size_t n = std::min(length, size - at);
    chunk(data + at, n);
    at += n;
  }
}

}  // namespace

int FuzzReplies(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  static constexpr std::string_view kCommands[] = {
      "login",  "mode",   "probe",  "settimeout", "getmac", "getfirmwareinfo",
      "import", "upload", "logout", "fwupgrade",  "",       "FactoryDefault"};
  std::size_t start = 0;
  while (start <= input.size()) {
    std::size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    const std::string_view line = input.substr(start, end - start);
    for (std::string_view command : kCommands) {
      std::int32_t status = 0;
      std::string text, word;
      MatchReply(line, "CNF", command);
      ParseReply(line, command, status, text);
      ParseIndication(line, command, word, text);
    }
    std::string firmware, bsp, boot;
    ParseFirmwareInfo(line, firmware, bsp, boot);
    start = end + 1;
  }
  return 0;
}

int FuzzChannel(const std::uint8_t* data, std::size_t size) {
  FakeStream stream;
  FakeTimers timers;
  FakePause pause;
  FakeUi ui;
  FakeConnectingDialog dialog;
  FakeFrame frame;
  SocketErrorReporter reporter(ui);
  PhoneLink link(frame, ui);
  CAsyncClientWnd channel(link, {stream, timers, pause, ui, dialog, frame, reporter});
  dialog.whileRunning = [&] { channel.OnSocketEvent(kEventConnect, 0); };
  channel.Connect("127.0.0.1", 5001);
  link.SetLinkState(PhoneLinkState::Online);
  ForEachChunk(
      data, size,
      [&](const std::uint8_t* bytes, std::size_t n) {
        if (!channel.IsOpen()) channel.Connect("127.0.0.1", 5001);
        stream.incoming.emplace_back(reinterpret_cast<const char*>(bytes), n);
        while (!stream.incoming.empty() && channel.IsOpen()) {
          channel.OnSocketEvent(kEventRead, 0);
        }
        stream.incoming.clear();
      },
      [&] { channel.OnTimer(CAsyncClientWnd::kKeepAliveTimer); });
  channel.Disconnect();
  return 0;
}

int FuzzTftpServer(const std::uint8_t* data, std::size_t size) {
  FakeDatagrams net;
  FakeTimers timers;
  FakeUi ui;
  FakeFrame frame;
  FakeFiles files;
  files.files["f"] = std::string(1100, 'f');
  files.files["g.bin"] = "";
  SocketErrorReporter reporter(ui);
  std::array<char, 30720> settings{};
  std::fill_n(settings.begin(), 700, 's');
  CTftpServerWnd server({net, timers, ui, frame, reporter, files}, settings, "192.168.1.1", 69);
  ForEachChunk(
      data, size,
      [&](const std::uint8_t* bytes, std::size_t n) {
        server.OnDatagram({bytes, n}, "192.168.1.1", 1000);
        net.sent.clear();
      },
      [&] { server.OnTimer(CTftpServerWnd::kRetransmitTimer); });
  return 0;
}

}  // namespace mivo::link::fuzz
