#pragma once

// Kernel-like services of the host layer: events, spin lock, interlocked
// operations, system threads, delays and the debug output sink.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>

#include "host/status.h"

namespace valmor::host {

// An event object. Auto-reset (synchronization) events release one waiter and
// clear themselves; manual-reset (notification) events stay set until cleared.
// Only a manual-reset event may be destroyed by a waiter right after its wait
// returns; an auto-reset event must outlive the Set call that woke it.
class KEvent {
 public:
  explicit KEvent(bool manual_reset = false, bool initially_set = false)
      : m_signaled(initially_set), m_manual_reset(manual_reset) {}
  KEvent(const KEvent&) = delete;
  KEvent& operator=(const KEvent&) = delete;

  void Set();
  void Clear();
  // Blocks until the event is set; an auto-reset event is cleared on return.
  void Wait();
  // As Wait, but gives up after `timeout`; returns false on time-out.
  bool WaitFor(std::chrono::milliseconds timeout);
  bool IsSet() const;

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_signaled;
  bool m_manual_reset;
};

// The queue lock of the driver. The saved interrupt level has no meaning here.
class KSpinLock {
 public:
  void Acquire() { m_mutex.lock(); }
  void Release() { m_mutex.unlock(); }

 private:
  std::mutex m_mutex;
};

inline int32_t InterlockedIncrement(std::atomic<int32_t>& value) { return ++value; }
inline int32_t InterlockedDecrement(std::atomic<int32_t>& value) { return --value; }
template <typename T>
T InterlockedExchange(std::atomic<T>& target, T value) {
  return target.exchange(value);
}
// Stores `exchange` only when the value equals `comparand`; returns the value
// found, so the caller won when it equals `comparand`.
template <typename T>
T InterlockedCompareExchange(std::atomic<T>& target, T exchange, T comparand) {
  target.compare_exchange_strong(comparand, exchange);
  return comparand;
}

// A system thread. Priorities are accepted and ignored. The owner joins the
// thread before it destroys anything the thread uses.
class SystemThread {
 public:
  SystemThread() = default;
  SystemThread(const SystemThread&) = delete;
  SystemThread& operator=(const SystemThread&) = delete;
  ~SystemThread();

  // Starts `body`; returns STATUS_INSUFFICIENT_RESOURCES when the host refuses
  // a thread (or a test hook makes it refuse).
  NtStatus Create(std::function<void()> body);
  void Join();
  static void SetPriority(int /*priority*/) {}

 private:
  std::thread m_thread;
};

// Sleeps for `delay`. Tests install a hook so that long waits cost nothing.
void KeDelay(std::chrono::milliseconds delay);
using SleepHook = std::function<void(std::chrono::milliseconds)>;
// Installs a replacement for the real sleep; an empty hook restores it. Install
// only while no driver thread runs.
void SetSleepHook(SleepHook hook);

// Makes the next `count` thread creations fail (tests of start-up failures).
void FailThreadCreations(int count);

// The kernel debugger stand-in: every trace line goes to the sink. Without a
// sink the lines are discarded. Install only while no driver thread runs.
using TraceSink = std::function<void(std::string_view)>;
void SetTraceSink(TraceSink sink);
void DbgPrint(std::string_view text);

}  // namespace valmor::host
