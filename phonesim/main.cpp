// phonesim: the stand-in for the phone on the command channel and as TFTP client.

#include <csignal>
#include <cstdio>
#include <iostream>

#include "command_line.h"
#include "mivo_settings_store.h"
#include "phone_server.h"
#include "state_file.h"

namespace {

phonesim::PhoneServer* g_server = nullptr;

extern "C" void OnStopSignal(int /*signal*/) {
  if (g_server != nullptr) g_server->Stop();
}

}  // namespace

int main(int argc, char** argv) {
  phonesim::CommandLineResult parsed = phonesim::ParseCommandLine(argc, argv);
  if (!parsed.options) {
    (parsed.exit_code == 0 ? std::cout : std::cerr) << parsed.output;
    return parsed.exit_code;
  }
  phonesim::ProgramOptions& options = *parsed.options;

  phonesim::MivoSettingsStore settings;
  std::string error;
  if (!options.state_path.empty() &&
      !phonesim::LoadStateFile(options.state_path, settings, error)) {
    std::cerr << "phonesim: " << error << "\n";
    return 1;
  }
  auto save = [&options, &settings]() {
    if (options.state_path.empty()) return;
    std::string failure;
    if (!phonesim::SaveStateFile(options.state_path, settings, failure)) {
      std::cerr << "phonesim: " << failure << "\n";
    }
  };

  phonesim::PhoneServer server(options.server, settings, save, std::cerr);
  if (std::string failure = server.Open(); !failure.empty()) {
    std::cerr << "phonesim: " << failure << "\n";
    return 1;
  }
  if (options.server.listen_port == 0) {
    std::printf("%u\n", static_cast<unsigned>(server.ListenPort()));
    std::fflush(stdout);
  }
  g_server = &server;
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  std::signal(SIGPIPE, SIG_IGN);
  const int code = server.Run();
  g_server = nullptr;
  return code;
}
