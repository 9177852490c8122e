#pragma once

#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "link_ports.h"

namespace mivo::link {

// Timers by id on the thread's event loop; each tick calls the handler with the id.
class QtTimerPort final : public TimerPort {
 public:
  explicit QtTimerPort(std::function<void(int)> onTick) : m_onTick(std::move(onTick)) {}
  void StartTimer(int id, int periodMs) override;
  void StopTimer(int id) override;

 private:
  std::function<void(int)> m_onTick;
  std::map<int, std::unique_ptr<QTimer>> m_timers;
};

// Blocks the thread, as the channel's pause after settimeout does.
class BlockingPause final : public PausePort {
 public:
  void Pause(int milliseconds) override;
};

}  // namespace mivo::link
