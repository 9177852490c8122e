#include "host/kernel.h"

#include <utility>

namespace valmor::host {
namespace {

std::mutex g_hooks_mutex;
SleepHook g_sleep_hook;
TraceSink g_trace_sink;
int g_failing_thread_creations = 0;

}  // namespace

void KEvent::Set() {
  std::unique_lock lock(m_mutex);
  m_signaled = true;
  if (m_manual_reset) {
    // A waiter on a notification event may destroy it as soon as it returns
    // (halt frees the adapter), so the notify happens under the lock.
    m_cv.notify_all();
    return;
  }
  // Synchronization events outlive their waiters' wake-ups; notifying after
  // the unlock spares the woken thread a round on the lock.
  lock.unlock();
  m_cv.notify_one();
}

void KEvent::Clear() {
  std::lock_guard lock(m_mutex);
  m_signaled = false;
}

void KEvent::Wait() {
  std::unique_lock lock(m_mutex);
  m_cv.wait(lock, [this] { return m_signaled; });
  if (!m_manual_reset) m_signaled = false;
}

bool KEvent::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  if (!m_cv.wait_for(lock, timeout, [this] { return m_signaled; })) return false;
  if (!m_manual_reset) m_signaled = false;
  return true;
}

bool KEvent::IsSet() const {
  std::lock_guard lock(m_mutex);
  return m_signaled;
}

SystemThread::~SystemThread() { Join(); }

NtStatus SystemThread::Create(std::function<void()> body) {
  {
    std::lock_guard lock(g_hooks_mutex);
    if (g_failing_thread_creations > 0) {
      --g_failing_thread_creations;
      return STATUS_INSUFFICIENT_RESOURCES;
    }
  }
  try {
    m_thread = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  return STATUS_SUCCESS;
}

void SystemThread::Join() {
  if (m_thread.joinable()) m_thread.join();
}

void KeDelay(std::chrono::milliseconds delay) {
  SleepHook hook;
  {
    std::lock_guard lock(g_hooks_mutex);
    hook = g_sleep_hook;
  }
  if (hook) {
    hook(delay);
  } else {
    std::this_thread::sleep_for(delay);
  }
}

void SetSleepHook(SleepHook hook) {
  std::lock_guard lock(g_hooks_mutex);
  g_sleep_hook = std::move(hook);
}

void FailThreadCreations(int count) {
  std::lock_guard lock(g_hooks_mutex);
  g_failing_thread_creations = count;
}

void SetTraceSink(TraceSink sink) {
  std::lock_guard lock(g_hooks_mutex);
  g_trace_sink = std::move(sink);
}

void DbgPrint(std::string_view text) {
  // Held while the sink runs so that lines from several threads never interleave.
  std::lock_guard lock(g_hooks_mutex);
  if (g_trace_sink) g_trace_sink(text);
}

}  // namespace valmor::host
