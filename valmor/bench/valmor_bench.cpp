// Speed of the bulk-out framing against a plain copy, and frames per second
// end to end through the simulated device (send, bulk-out, loopback, bulk-in,
// indication).

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "framing.h"
#include "sim/sim_device.h"
#include "sim/sim_stack.h"

namespace {

using namespace valmor;

void BM_FrameBulkOut1514(benchmark::State& state) {
  const std::vector<uint8_t> frame = sim::MakeFrame(1514);
  std::vector<uint8_t> out(kMaxTransferSize);
  for (auto _ : state) {
    benchmark::DoNotOptimize(BuildBulkOut(frame, out));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1514);
}
BENCHMARK(BM_FrameBulkOut1514);

void BM_PlainCopy1514(benchmark::State& state) {
  const std::vector<uint8_t> frame = sim::MakeFrame(1514);
  std::vector<uint8_t> out(kMaxTransferSize);
  for (auto _ : state) {
    std::memcpy(out.data() + kHeaderSize, frame.data(), frame.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1514);
}
BENCHMARK(BM_PlainCopy1514);

void BM_Crc16Usb64(benchmark::State& state) {
  const std::vector<uint8_t> bytes = sim::MakeFrame(64);
  for (auto _ : state) benchmark::DoNotOptimize(Crc16Usb(bytes));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 64);
}
BENCHMARK(BM_Crc16Usb64);

// Each iteration sends a batch of frames and waits until all of them came
// back through the device's loopback and were indicated.
// Argument 2 is 1 when the device completes bulk-out transfers inside the
// submitting call (on TXThread) instead of on its stack thread.
void BM_EndToEndFrames(benchmark::State& state) {
  const auto length = static_cast<size_t>(state.range(0));
  constexpr size_t kBatch = 32;
  sim::SimDevice device;
  device.SetRecordBulkOut(false);
  device.SetLoopback(true);
  device.SetInlineBulkOutCompletion(state.range(1) != 0);
  sim::SimStack stack(&device);
  stack.SetRecordReceived(false);
  if (stack.Start() != host::NDIS_STATUS_SUCCESS) {
    state.SkipWithError("adapter did not start");
    return;
  }
  std::vector<std::unique_ptr<sim::OwnedPacket>> packets;
  std::vector<host::NdisPacket*> batch;
  for (size_t i = 0; i < kBatch; ++i) {
    packets.push_back(std::make_unique<sim::OwnedPacket>(sim::MakeFrame(length, uint8_t(i))));
    batch.push_back(packets.back()->get());
  }
  size_t sent = 0;
  for (auto _ : state) {
    stack.Send(batch);
    sent += kBatch;
    if (!stack.WaitReceived(sent) || !stack.WaitCompletions(sent)) {
      state.SkipWithError("frames did not come back");
      break;
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(sent));
  state.SetBytesProcessed(static_cast<int64_t>(sent * length));
}
BENCHMARK(BM_EndToEndFrames)
    ->ArgsProduct({{60, 1514}, {0, 1}})
    ->ArgNames({"length", "inline"})
    ->UseRealTime()
    ->MeasureProcessCPUTime();

}  // namespace
