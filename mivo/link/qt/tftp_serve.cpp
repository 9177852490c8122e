#include "tftp_serve.h"

#include <cstring>
#include <fstream>

#include "console_link_ui.h"
#include "event_wait.h"
#include "link_texts.h"
#include "qt_tftp_server.h"

namespace mivo::link {
namespace {

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
  DiskFilePort files;
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
