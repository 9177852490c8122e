#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "command_channel.h"
#include "link_ports.h"
#include "tftp_files.h"
#include "usb_link_address.h"

namespace mivo::link::testing {

// Records every message box and error dialog. A modal call first runs the next scripted
// action, if any, as a nested event loop would deliver events while the box is open.
class FakeUi : public UiPort {
 public:
  struct Shown {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::kNone;
    int code = -1;  // error dialog code; -1 for a message box
  };

  void MessageBox(std::string_view text, std::string_view caption, MessageIcon icon) override {
    shown.push_back({std::string(text), std::string(caption), icon, -1});
    RunNested();
  }
  void ErrorDialog(int code, std::string_view suffix, std::string_view extra) override {
    shown.push_back({std::string(extra), std::string(suffix), MessageIcon::kWarning, code});
    RunNested();
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Shown& s : shown)
      texts.push_back(s.code >= 0 ? "ERR " + std::to_string(s.code) : s.text);
    return texts;
  }

  std::vector<Shown> shown;
  std::deque<std::function<void()>> whileOpen;

 private:
  void RunNested() {
    if (whileOpen.empty()) return;
    auto action = std::move(whileOpen.front());
    whileOpen.pop_front();
    action();
  }
};

class FakeTimers : public TimerPort {
 public:
  void StartTimer(int id, int periodMs) override {
    running[id] = periodMs;
    ++starts[id];
  }
  void StopTimer(int id) override { running.erase(id); }
  bool IsRunning(int id) const { return running.count(id) != 0; }

  std::map<int, int> running;
  std::map<int, int> starts;
};

class FakePause : public PausePort {
 public:
  void Pause(int milliseconds) override { pauses.push_back(milliseconds); }
  std::vector<int> pauses;
};

class FakeFrame : public FramePort {
 public:
  struct Hint {
    int hint;
    std::string line;
    int kind;
  };
  bool ViewListExists() const override { return viewsExist; }
  void NotifyAllViews(UpdateHint hint, const HintArgument& argument) override {
    Hint record{hint, "", -1};
    if (auto* line = std::get_if<std::string_view>(&argument)) record.line = std::string(*line);
    if (auto* kind = std::get_if<int>(&argument)) record.kind = *kind;
    hints.push_back(record);
    if (onHint) onHint(record);
  }
  void PostToWindows(int commandId, int message) override {
    posted.push_back({commandId, message});
  }
  void OpenOrActivateWindow(int commandId) override { opened.push_back(commandId); }
  int ActiveWindowCommand() const override { return activeCommand; }
  bool StartTftpServer() override {
    ++tftpStarts;
    return true;
  }
  void StopTftpServer() override { ++tftpStops; }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const Hint& h : hints) {
      if (h.hint == kHintPhoneReply) lines.push_back(h.line);
    }
    return lines;
  }
  std::vector<int> Kinds() const {
    std::vector<int> kinds;
    for (const Hint& h : hints) {
      if (h.hint == kHintTftpEvent) kinds.push_back(h.kind);
    }
    return kinds;
  }

  bool viewsExist = true;
  int activeCommand = 0;
  int tftpStarts = 0;
  int tftpStops = 0;
  std::vector<Hint> hints;
  std::vector<std::pair<int, int>> posted;
  std::vector<int> opened;
  std::function<void(const Hint&)> onHint;
};

// A TCP connection whose incoming bytes the test queues; Receive hands out one queued
// chunk per call.
class FakeStream : public StreamTransport {
 public:
  int Open() override {
    ++opens;
    return openError;
  }
  int Connect(std::string_view address, std::uint16_t port) override {
    connectedTo = std::string(address) + ":" + std::to_string(port);
    return connectResult;
  }
  int Send(std::span<const char> bytes) override {
    if (!sendErrors.empty()) {
      const int error = sendErrors.front();
      sendErrors.pop_front();
      if (error != 0) return error;
    }
    sent.emplace_back(bytes.begin(), bytes.end());
    return 0;
  }
  ReceiveResult Receive(std::span<char> out) override {
    if (incoming.empty() && !receiveOutcomes.empty()) {
      const ReceiveResult outcome = receiveOutcomes.front();
      receiveOutcomes.pop_front();
      return outcome;
    }
    if (incoming.empty()) return {0, 10035};
    std::string& chunk = incoming.front();
    const std::size_t n = std::min(out.size(), chunk.size());
    std::copy_n(chunk.begin(), n, out.begin());
    chunk.erase(0, n);
    if (chunk.empty()) incoming.pop_front();
    return {n, 0};
  }
  void Close() override { ++closes; }

  int openError = 0;
  int connectResult = 10035;
  std::string connectedTo;
  int opens = 0;
  int closes = 0;
  std::deque<int> sendErrors;
  std::deque<std::string> incoming;
  // What Receive reports once the queued bytes are used up (a closed peer, an error).
  std::deque<ReceiveResult> receiveOutcomes;
  std::vector<std::string> sent;
};

class FakeConnectingDialog : public ConnectingDialogPort {
 public:
  void Run() override {
    ++runs;
    if (whileRunning) whileRunning();
  }
  void SetProgress(int position, std::string_view percent) override {
    progress.emplace_back(position, std::string(percent));
  }
  void End() override { ++ends; }

  int runs = 0;
  int ends = 0;
  std::vector<std::pair<int, std::string>> progress;
  std::function<void()> whileRunning;
};

class FakeDatagrams : public DatagramTransport {
 public:
  struct Sent {
    std::vector<std::uint8_t> bytes;
    std::string address;
    std::uint16_t port;
  };
  int SendTo(std::span<const std::uint8_t> datagram, std::string_view address,
             std::uint16_t port) override {
    sent.push_back({{datagram.begin(), datagram.end()}, std::string(address), port});
    return sendError;
  }
  void DiscardPending() override { ++discards; }

  int sendError = 0;
  int discards = 0;
  std::vector<Sent> sent;
};

class FakeFiles : public TftpFilePort {
 public:
  std::unique_ptr<TftpReadFile> OpenForReading(const std::string& name) override {
    const auto found = files.find(name);
    if (found == files.end()) return nullptr;
    return std::make_unique<MemoryFile>(found->second, unreadable.count(name) != 0);
  }
  std::map<std::string, std::string> files;
  std::set<std::string> unreadable;  // open, but every read fails

 private:
  class MemoryFile : public TftpReadFile {
   public:
    MemoryFile(std::string content, bool unreadable)
        : m_content(std::move(content)), m_unreadable(unreadable) {}
    std::uint64_t Size() const override { return m_content.size(); }
    std::int64_t ReadAt(std::uint64_t offset, std::span<char> out) override {
      if (m_unreadable) return -1;
      if (offset > m_content.size()) return 0;
      const std::size_t n = std::min<std::size_t>(out.size(), m_content.size() - offset);
      std::copy_n(m_content.begin() + static_cast<std::ptrdiff_t>(offset), n, out.begin());
      return static_cast<std::int64_t>(n);
    }

   private:
    std::string m_content;
    bool m_unreadable;
  };
};

}  // namespace mivo::link::testing
