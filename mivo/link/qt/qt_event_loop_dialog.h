#pragma once

#include <QEventLoop>
#include <functional>
#include <string>

#include "command_channel.h"

namespace mivo::link {

// The connecting dialog without a window (mivo-cli): Run() spins a nested event loop until
// End(); progress goes to the given callback, if any.
class EventLoopConnectingDialog final : public ConnectingDialogPort {
 public:
  explicit EventLoopConnectingDialog(
      std::function<void(int, std::string_view)> onProgress = nullptr)
      : m_onProgress(std::move(onProgress)) {}

  void Run() override {
    if (!m_ended) {
      QEventLoop loop;
      m_loop = &loop;
      loop.exec();
      m_loop = nullptr;
    }
    m_ended = false;
  }
  void SetProgress(int position, std::string_view percent) override {
    if (m_onProgress) m_onProgress(position, percent);
  }
  void End() override {
    m_ended = true;
    if (m_loop != nullptr) m_loop->quit();
  }

 private:
  std::function<void(int, std::string_view)> m_onProgress;
  QEventLoop* m_loop = nullptr;
  bool m_ended = false;
};

}  // namespace mivo::link
