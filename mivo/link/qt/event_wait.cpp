#include "event_wait.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>

namespace mivo::link {
namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int number) {
  const char byte = static_cast<char>(number);
  [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

}  // namespace

bool WaitForEvents(const std::function<bool()>& done, int timeoutMs) {
  if (done()) return true;
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  poll.start(5);
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  deadline.start(timeoutMs);
  loop.exec();
  return done();
}

int RunUntilInterrupted() {
  if (g_signalPipe[0] < 0 &&
      ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) {
    return 0;
  }
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  QEventLoop loop;
  int received = 0;
  QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
    char byte = 0;
    if (::read(g_signalPipe[0], &byte, 1) == 1) received = byte;
    loop.quit();
  });
  loop.exec();
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  return received;
}

}  // namespace mivo::link
