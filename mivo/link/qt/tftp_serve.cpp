#include "tftp_serve.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

#include "console_link_ui.h"
#include "event_wait.h"
#include "link_texts.h"
#include "qt_tftp_server.h"

namespace mivo::link {
namespace {

// A served file read 64 KiB at a time: one read for 128 blocks instead of one per block.
// A block outside the buffer (a retransmission after a refill) is read again from disk.
class ReadAheadFile final : public TftpReadFile {
 public:
  explicit ReadAheadFile(std::unique_ptr<TftpReadFile> file)
      : m_file(std::move(file)), m_buffer(kReadAhead) {}

  std::uint64_t Size() const override { return m_file->Size(); }

  std::int64_t ReadAt(std::uint64_t offset, std::span<char> out) override {
    const bool inBuffer = offset >= m_start && offset - m_start <= m_length;
    const bool coversRequest = inBuffer && (offset - m_start + out.size() <= m_length || m_atEnd);
    if (!coversRequest) {
      const std::int64_t got = m_file->ReadAt(offset, m_buffer);
      if (got < 0) {
        m_length = 0;
        m_atEnd = false;
        return -1;
      }
      m_start = offset;
      m_length = static_cast<std::uint64_t>(got);
      m_atEnd = m_length < m_buffer.size();
    }
    const std::uint64_t at = offset - m_start;
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), m_length - at));
    std::memcpy(out.data(), m_buffer.data() + at, count);
    return static_cast<std::int64_t>(count);
  }

 private:
  static constexpr std::size_t kReadAhead = 64 * 1024;

  std::unique_ptr<TftpReadFile> m_file;
  std::vector<char> m_buffer;
  std::uint64_t m_start = 0;
  std::uint64_t m_length = 0;
  bool m_atEnd = false;
};

class ReadAheadFilePort final : public TftpFilePort {
 public:
  std::unique_ptr<TftpReadFile> OpenForReading(const std::string& name) override {
    std::unique_ptr<TftpReadFile> file = m_disk.OpenForReading(name);
    if (!file) return nullptr;
    return std::make_unique<ReadAheadFile>(std::move(file));
  }

 private:
  DiskFilePort m_disk;
};

// Writes the received settings file once a receive has ended complete.
class ServeFrame final : public FramePort {
 public:
  ServeFrame(const TftpServeOptions& options, std::ostream& out) : m_options(options), m_out(out) {}

  void Attach(const CTftpServerWnd* server) { m_server = server; }

  void NotifyAllViews(UpdateHint hint, const HintArgument& argument) override {
    const int* kind = std::get_if<int>(&argument);
    if (hint != kHintTftpEvent || kind == nullptr) return;
    if (*kind != 0) {
      m_kind = *kind;
      return;
    }
    const bool complete = m_server != nullptr && m_server->LastTransferComplete();
    if (m_kind == 1 && complete) WriteReceived();
    if (m_kind != 1 && complete) m_out << "sent" << std::endl;
    m_kind = 0;
  }

  bool writeFailed() const { return m_writeFailed; }

 private:
  void WriteReceived() {
    const std::size_t length = ::strnlen(m_options.settings.data(), m_options.settings.size());
    if (!m_options.receivePath.empty()) {
      std::ofstream file(m_options.receivePath, std::ios::binary | std::ios::trunc);
      file.write(m_options.settings.data(), static_cast<std::streamsize>(length));
      if (!file) {
        m_writeFailed = true;
        m_out << "cannot write " << m_options.receivePath << std::endl;
        return;
      }
    }
    m_out << "received " << length << " bytes" << std::endl;
  }

  const TftpServeOptions& m_options;
  std::ostream& m_out;
  const CTftpServerWnd* m_server = nullptr;
  int m_kind = 0;
  bool m_writeFailed = false;
};

}  // namespace

int RunTftpServe(const TftpServeOptions& options, std::ostream& out, std::ostream& err) {
  ConsoleLinkUi ui(err);
  SocketErrorReporter reporter(ui);
  ServeFrame frame(options, out);
  ReadAheadFilePort files;
  QtTftpServer server(ui, frame, reporter, files, options.settings);
  const int error = server.Create(QHostAddress::AnyIPv4, options.port, options.peer);
  if (error != 0) {
    reporter.ReportSocketError(texts::kTftpCreateFailed, error);
    return 4;
  }
  frame.Attach(server.Server());
  out << "listening on " << server.LocalPort() << std::endl;
  RunUntilInterrupted();
  return frame.writeFailed() ? 3 : 0;
}

}  // namespace mivo::link
