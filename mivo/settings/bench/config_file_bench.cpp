// Loading a full configuration file (30719 bytes) in open mode and writing it back,
// with the files (in TMPDIR) and without (the settings buffer and the text only).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "config_file.h"
#include "phone_settings.h"
#include "settings_ui.h"

namespace {

using namespace mivo;

class SilentUi : public SettingsUi {
 public:
  void ShowMessage(std::string_view, std::string_view, MessageIcon) override {}
  SettingDialogAnswer ShowSettingError(const ParsedSettingLine&,
                                       const SettingErrorContext&) override {
    return {SettingDialogResult::kSkip, {}};
  }
};

// A document with every profile on fixed addresses and 100 full phone book records,
// padded with comment lines to one byte below the buffer size.
std::string FullFileText() {
  PhoneSettings settings;
  for (int profile = 0; profile < 4; ++profile) {
    settings.SetWorkingNumber(ProfileRow(profile, kPosDhcpClient), 0);
    settings.SetWorkingText(ProfileRow(profile, kPosSsid), std::string(32, 's'));
  }
  settings.SetWorkingNumber(kRowPhBookCount, kPhoneBookRecords);
  const int limits[kRowsPerRecord] = {20, 23, 23, 23, 48};
  for (int record = 0; record < kPhoneBookRecords; ++record) {
    for (int pos = 0; pos < kRowsPerRecord; ++pos) {
      settings.SetWorkingText(kRowPhBookFirst + kRowsPerRecord * record + pos,
                              std::string(static_cast<size_t>(limits[pos]), 'a' + pos));
    }
  }
  std::string text = WriteToText(settings);
  while (text.size() + 66 <= SettingsBuffer::kCapacity) text += "#" + std::string(63, 'c') + "\r\n";
  text.resize(SettingsBuffer::kCapacity, '\n');
  return text;
}

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          ("mivo-bench-" + std::to_string(getpid()) + "-" + name))
      .string();
}

// Settings as Open leaves them after reading the full file: stored and committed.
void LoadFullFile(PhoneSettings& settings, SettingsUi& ui) {
  SettingsBuffer buffer;
  buffer.Assign(FullFileText());
  LoadBuffer(settings, LoadMode::kOpen, buffer, ui);
  SyncPhoneBookAndSpeedDial(settings, SyncMode::kCommit, nullptr);
}

void BM_LoadOpenModeWithWriteBack(benchmark::State& state) {
  const std::string text = FullFileText();
  const std::string path = TempPath("load.txt");
  std::ofstream(path, std::ios::binary) << text;
  SilentUi ui;
  SettingsBuffer buffer;
  for (auto _ : state) {
    PhoneSettings settings;
    if (!Load(settings, LoadMode::kOpen, path, buffer, ui)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(settings);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  std::filesystem::remove(path);
}
BENCHMARK(BM_LoadOpenModeWithWriteBack)->Unit(benchmark::kMicrosecond);

void BM_LoadBufferOpenMode(benchmark::State& state) {
  const std::string text = FullFileText();
  SilentUi ui;
  SettingsBuffer buffer;
  for (auto _ : state) {
    buffer.Assign(text);
    PhoneSettings settings;
    benchmark::DoNotOptimize(LoadBuffer(settings, LoadMode::kOpen, buffer, ui));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_LoadBufferOpenMode)->Unit(benchmark::kMicrosecond);

void BM_WriteFullFile(benchmark::State& state) {
  SilentUi ui;
  PhoneSettings settings;
  LoadFullFile(settings, ui);
  const std::string path = TempPath("write.txt");
  for (auto _ : state) {
    if (!Write(settings, path, false, ui)) state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(
      static_cast<int64_t>(state.iterations() * std::filesystem::file_size(path)));
  std::filesystem::remove(path);
}
BENCHMARK(BM_WriteFullFile)->Unit(benchmark::kMicrosecond);

void BM_WriteToText(benchmark::State& state) {
  SilentUi ui;
  PhoneSettings settings;
  LoadFullFile(settings, ui);
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string written = WriteToText(settings, &ui);
    bytes += written.size();
    benchmark::DoNotOptimize(written.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_WriteToText)->Unit(benchmark::kMicrosecond);

}  // namespace
