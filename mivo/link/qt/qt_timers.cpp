#include "qt_timers.h"

#include <QThread>

namespace mivo::link {

void QtTimerPort::StartTimer(int id, int periodMs) {
  std::unique_ptr<QTimer>& timer = m_timers[id];
  if (!timer) {
    timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, [this, id] { m_onTick(id); });
  }
  timer->start(periodMs);
}

void QtTimerPort::StopTimer(int id) {
  const auto found = m_timers.find(id);
  if (found != m_timers.end()) found->second->stop();
}

void BlockingPause::Pause(int milliseconds) { QThread::msleep(milliseconds); }

}  // namespace mivo::link
