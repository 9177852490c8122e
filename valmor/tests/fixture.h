#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "adapter.h"
#include "host/kernel.h"
#include "oid.h"
#include "sim/sim_device.h"
#include "sim/sim_stack.h"
#include "sim/trace_recorder.h"

namespace valmor::test {

using namespace host;

// A simulated device under a simulated stack, with every trace recorded and
// sleeps made instant. Members go in reverse order: the stack halts the
// adapter before the device and the recorder go away.
class AdapterTest : public ::testing::Test {
 protected:
  AdapterTest() {
    host::SetSleepHook([this](std::chrono::milliseconds delay) {
      std::lock_guard lock(m_sleep_mutex);
      m_sleeps.push_back(delay);
      if (m_on_sleep) m_on_sleep();
    });
  }
  ~AdapterTest() override {
    stack.Halt();
    host::SetSleepHook({});
  }

  void Start() { ASSERT_EQ(stack.Start(), NDIS_STATUS_SUCCESS); }

  Adapter* adapter() const { return static_cast<Adapter*>(stack.context()); }

  // References held by an idle running adapter: the initial one, the three
  // threads and, when receiving, the pending bulk-in transfer.
  static constexpr int32_t kIdleRefs = 5;

  int32_t Refs() const { return adapter()->PendingRefs.load(); }

  std::vector<std::chrono::milliseconds> Sleeps() {
    std::lock_guard lock(m_sleep_mutex);
    return m_sleeps;
  }
  // Runs inside every sleep of the driver (on the sleeping thread).
  void OnSleep(std::function<void()> hook) {
    std::lock_guard lock(m_sleep_mutex);
    m_on_sleep = std::move(hook);
  }

  uint8_t DeviceState() {
    std::vector<uint8_t> answer;
    stack.Query(OID_VNET_DEVICE_STATE, &answer, 1);
    return answer.empty() ? 0xEE : answer[0];
  }

  std::pair<uint8_t, uint8_t> FwProgress() {
    std::vector<uint8_t> answer;
    stack.Query(OID_VNET_FW_PROGRESS, &answer, 2);
    return answer.size() == 2 ? std::pair{answer[0], answer[1]} : std::pair<uint8_t, uint8_t>{};
  }

  // Waits until the adapter is idle: bulk-in armed and no work queued.
  bool WaitIdle() {
    return stack.WaitFor([this] {
      const Adapter* a = adapter();
      return a->ControlWork == 0 && a->RecoveryPending == 0 && a->TransmitBusy == 0 &&
             Refs() == kIdleRefs;
    });
  }

  sim::TraceRecorder traces;
  sim::SimDevice device;
  sim::SimStack stack{&device};

 private:
  std::mutex m_sleep_mutex;
  std::vector<std::chrono::milliseconds> m_sleeps;
  std::function<void()> m_on_sleep;
};

}  // namespace valmor::test
