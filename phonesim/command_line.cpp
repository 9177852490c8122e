#include "command_line.h"

#include <CLI/CLI.hpp>
#include <cstdlib>

namespace phonesim {
namespace {

const char* kDescription =
    "phonesim: behaves towards the configuration utility as the Velto 5837 phone does.\n"
    "It answers the command channel (TCP, one client at a time) and moves files as a\n"
    "TFTP client to the utility's TFTP port at the address the utility connected from.\n"
    "It listens on and sends to loopback only, unless --allow-remote is given.\n"
    "With --listen ADDR:0 it prints the port it listens on as one line on stdout;\n"
    "otherwise it prints nothing on stdout. -v logs to stderr.\n";

const char* kScripted = "Scripted behaviours";
const char* kTftp = "TFTP client";
const char* kPacketNote =
    "\n(packets of each transfer count from 1, the request; resends count\n"
    "too; repeatable)";

// Option values in their written form, interpreted once parsing is done.
struct WrittenOptions {
  std::string listen;
  std::string phone_address;
  int phone_port = -1;
  int tftp_port = 69;
  std::string split;
  std::string mac_change;
  std::string close;
  std::vector<int> drops, duplicates, foreigns;
  std::vector<std::string> delays;
};

bool IsDecimal(const std::string& text) {
  return !text.empty() && text.size() <= 9 &&
         text.find_first_not_of("0123456789") == std::string::npos;
}

// "TEXT:NUMBER" split at the last colon; false when either part is missing or
// the number is not a decimal of at most nine digits.
bool SplitAtColon(const std::string& text, std::string& head, long& number) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  const std::string digits = text.substr(colon + 1);
  if (!IsDecimal(digits)) return false;
  head = text.substr(0, colon);
  number = std::strtol(digits.c_str(), nullptr, 10);
  return true;
}

void AddProgramOptions(CLI::App& app, ProgramOptions& options, WrittenOptions& written) {
  ServerConfig& server = options.server;
  app.add_option("--listen", written.listen,
                 "Listen for the utility on ADDR:PORT (IPv4); default 127.0.0.1:5001.\n"
                 "PORT 0 takes a free port and prints it on stdout")
      ->type_name("ADDR:PORT");
  app.add_option("--phone", written.phone_address,
                 "The phone's own address to listen on (used when --listen is not given)")
      ->envname("MIVO_PHONE_ADDRESS")
      ->type_name("ADDR");
  app.add_option("--phone-port", written.phone_port,
                 "The command channel port (used when --listen is not given)")
      ->envname("MIVO_PHONE_PORT")
      ->check(CLI::Range(0, 65535))
      ->type_name("N");
  app.add_option("--tftp-port", written.tftp_port,
                 "The utility's TFTP port to send requests to; default 69")
      ->envname("MIVO_TFTP_PORT")
      ->check(CLI::Range(1, 65535))
      ->type_name("N");
  app.add_flag("--allow-remote", server.allow_remote,
               "Allow addresses outside 127.0.0.0/8 (listening, and the other address)");
  app.add_option("--state", options.state_path,
                 "Keep the phone's settings in FILE across runs (created on first change);\n"
                 "without it every run starts from the defaults")
      ->type_name("FILE");
  app.add_flag("-v,--verbose", server.verbose,
               "Log every request, reply and TFTP packet to stderr");
}

void AddIdentityOptions(CLI::App& app, PhoneBehaviour& behaviour) {
  app.add_flag("--boot-code", behaviour.boot_code,
               "Run in boot code mode: mode answers status 0 and only fwupgrade works");
  app.add_option("--user-password", behaviour.user_password,
                 "Password of the login \"user\"; default empty")
      ->type_name("TEXT");
  const struct {
    const char* name;
    std::string* value;
    const char* help;
  } texts[] = {
      {"--mac", &behaviour.mac, "MAC address text answered to getmac"},
      {"--firmware-version", &behaviour.firmware_version, "FW: text of getfirmwareinfo"},
      {"--bsp-version", &behaviour.bsp_version, "BSP: text of getfirmwareinfo"},
      {"--boot-version", &behaviour.boot_version, "BOOT: text of getfirmwareinfo"},
      {"--hardware-info", &behaviour.hardware_info, "HardwareInfo status line of an import"},
      {"--domain", &behaviour.domain, "Domain status line of an import"},
  };
  for (const auto& text : texts) {
    app.add_option(text.name, *text.value, text.help)->capture_default_str()->type_name("TEXT");
  }
}

void AddScriptedOptions(CLI::App& app, PhoneBehaviour& behaviour, WrittenOptions& written) {
  app.add_option("--login-status", behaviour.login_status, "Answer every login with status N")
      ->group(kScripted)
      ->type_name("N");
  app.add_option("--import-status", behaviour.import_status,
                 "End every import with status N (the transfer still runs)")
      ->group(kScripted)
      ->type_name("N");
  app.add_option("--upload-status", behaviour.upload_status,
                 "End every upload with status N (the transfers still run)")
      ->group(kScripted)
      ->type_name("N");
  app.add_option("--fwupgrade-status", behaviour.fwupgrade_status,
                 "End every fwupgrade with status N (the transfer still runs)")
      ->group(kScripted)
      ->type_name("N");
  app.add_option("--probe-limit", behaviour.probe_limit,
                 "Confirm only the first N probes of each connection")
      ->group(kScripted)
      ->check(CLI::NonNegativeNumber)
      ->type_name("N");
  app.add_option("--split-reply", written.split,
                 "Write each reply to COMMAND in two writes, the second starting at\n"
                 "byte BYTE of the reply line, MS (default 50) milliseconds later")
      ->group(kScripted)
      ->type_name("COMMAND:BYTE[:MS]");
  app.add_option("--join-reply", behaviour.join,
                 "Hold the reply to COMMAND and write it together with the next reply,\n"
                 "separated by an empty line (CR LF CR LF), in one write")
      ->group(kScripted)
      ->type_name("COMMAND");
  app.add_flag("--mode-without-status", behaviour.mode_without_status,
               "Answer mode with \"CNF mode\" and no status")
      ->group(kScripted);
  app.add_option("--change-mac", written.mac_change,
                 "From the N-th getmac of a connection on, answer MAC instead")
      ->group(kScripted)
      ->type_name("N:MAC");
  app.add_option("--import-size", behaviour.import_size,
                 "Send an import of exactly N bytes (the settings text padded with\n"
                 "comment lines, or cut); the import indication announces N")
      ->group(kScripted)
      ->type_name("N");
  app.add_option("--close-at", written.close,
                 "Close the connection at POINT of the request COMMAND: request (on\n"
                 "arrival, unanswered), indication (after the first indication),\n"
                 "transfer (once its first TFTP transfer started; the transfer stops),\n"
                 "reply (after the final reply)")
      ->group(kScripted)
      ->type_name("COMMAND:POINT");
}

void AddTftpOptions(CLI::App& app, ServerConfig& server, WrittenOptions& written) {
  app.add_option("--tftp-timeout", server.tftp.timeout_ms,
                 "Milliseconds before a packet is sent again")
      ->group(kTftp)
      ->capture_default_str()
      ->check(CLI::Range(1, 600000))
      ->type_name("MS");
  app.add_option("--tftp-retries", server.tftp.retries,
                 "Resends of one packet before a transfer fails")
      ->group(kTftp)
      ->capture_default_str()
      ->check(CLI::Range(0, 1000))
      ->type_name("N");
  app.add_option("--tftp-drop", written.drops,
                 std::string("Do not send the N-th packet") + kPacketNote)
      ->group(kTftp)
      ->type_name("N");
  app.add_option("--tftp-duplicate", written.duplicates,
                 std::string("Send the N-th packet twice") + kPacketNote)
      ->group(kTftp)
      ->type_name("N");
  app.add_option("--tftp-delay", written.delays,
                 std::string("Send the N-th packet MS milliseconds late") + kPacketNote)
      ->group(kTftp)
      ->type_name("N:MS");
  app.add_option("--tftp-foreign", written.foreigns,
                 std::string("Send the N-th packet from the other address") + kPacketNote)
      ->group(kTftp)
      ->type_name("N");
  app.add_option("--foreign-address", server.foreign_address,
                 "The other address used by --tftp-foreign")
      ->group(kTftp)
      ->capture_default_str()
      ->type_name("ADDR");
}

// Each Interpret function returns an error text, empty when the values are good.
std::string InterpretEndpoints(const WrittenOptions& written, ServerConfig& server) {
  server.listen_address = written.phone_address.empty() ? "127.0.0.1" : written.phone_address;
  server.listen_port = written.phone_port >= 0 ? static_cast<uint16_t>(written.phone_port) : 5001;
  server.tftp_port = static_cast<uint16_t>(written.tftp_port);
  if (written.listen.empty()) return {};
  std::string address;
  long port = 0;
  if (!SplitAtColon(written.listen, address, port) || port > 65535) {
    return "--listen wants ADDR:PORT, got \"" + written.listen + "\"";
  }
  server.listen_address = address;
  server.listen_port = static_cast<uint16_t>(port);
  return {};
}

std::string InterpretScripted(const WrittenOptions& written, PhoneBehaviour& behaviour) {
  if (!written.split.empty()) {
    std::string command;
    long at = 0;
    long pause_ms = 50;
    if (!SplitAtColon(written.split, command, at)) {
      return "--split-reply wants COMMAND:BYTE[:MS] with BYTE above 0";
    }
    if (command.find(':') != std::string::npos) {  // COMMAND:BYTE:MS
      pause_ms = at;
      if (!SplitAtColon(command, command, at)) {
        return "--split-reply wants COMMAND:BYTE[:MS] with BYTE above 0";
      }
    }
    if (at == 0) return "--split-reply wants COMMAND:BYTE[:MS] with BYTE above 0";
    behaviour.split =
        PhoneBehaviour::Split{command, static_cast<size_t>(at), static_cast<int>(pause_ms)};
  }
  if (!written.mac_change.empty()) {
    const size_t colon = written.mac_change.find(':');
    const std::string from = written.mac_change.substr(0, colon);
    if (colon == std::string::npos || !IsDecimal(from) || colon + 1 == written.mac_change.size()) {
      return "--change-mac wants N:MAC";
    }
    behaviour.mac_change =
        PhoneBehaviour::MacChange{std::atoi(from.c_str()), written.mac_change.substr(colon + 1)};
  }
  if (!written.close.empty()) {
    const size_t colon = written.close.rfind(':');
    const std::string point = colon == std::string::npos ? "" : written.close.substr(colon + 1);
    const std::pair<const char*, ClosePoint> points[] = {{"request", ClosePoint::kRequest},
                                                         {"indication", ClosePoint::kIndication},
                                                         {"transfer", ClosePoint::kTransfer},
                                                         {"reply", ClosePoint::kReply}};
    for (const auto& [name, value] : points) {
      if (point == name && colon > 0)
        behaviour.close = PhoneBehaviour::Close{written.close.substr(0, colon), value};
    }
    if (!behaviour.close) {
      return "--close-at wants COMMAND:POINT with POINT one of request, indication, transfer, "
             "reply";
    }
  }
  return {};
}

std::string InterpretFaults(const WrittenOptions& written, TftpClient::Settings& tftp) {
  for (int n : written.drops) tftp.faults.push_back({TftpFault::Kind::kDrop, n, 0});
  for (int n : written.duplicates) tftp.faults.push_back({TftpFault::Kind::kDuplicate, n, 0});
  for (int n : written.foreigns) tftp.faults.push_back({TftpFault::Kind::kForeign, n, 0});
  for (const std::string& delay : written.delays) {
    std::string packet;
    long ms = 0;
    if (!SplitAtColon(delay, packet, ms) || !IsDecimal(packet)) return "--tftp-delay wants N:MS";
    tftp.faults.push_back(
        {TftpFault::Kind::kDelay, std::atoi(packet.c_str()), static_cast<int>(ms)});
  }
  return {};
}

}  // namespace

CommandLineResult ParseCommandLine(int argc, const char* const* argv) {
  CommandLineResult result;
  ProgramOptions options;
  WrittenOptions written;

  CLI::App app(kDescription, "phonesim");
  app.set_config("--scenario", "",
                 "Read further options from FILE: one option per line as name=value\n"
                 "(long option name without dashes, e.g. probe-limit=3; a flag as\n"
                 "name=true; repeatable options as name=[v1,v2]); '#' starts a comment;\n"
                 "the command line wins")
      ->type_name("FILE");
  app.get_formatter()->column_width(34);
  AddProgramOptions(app, options, written);
  AddIdentityOptions(app, options.server.behaviour);
  AddScriptedOptions(app, options.server.behaviour, written);
  AddTftpOptions(app, options.server, written);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    result.output = app.help();
    return result;
  } catch (const CLI::ParseError& error) {
    result.exit_code = 2;
    result.output =
        std::string("phonesim: ") + error.what() + "\nRun with --help for the options.\n";
    return result;
  }

  std::string error = InterpretEndpoints(written, options.server);
  if (error.empty()) error = InterpretScripted(written, options.server.behaviour);
  if (error.empty()) error = InterpretFaults(written, options.server.tftp);
  if (!error.empty()) {
    result.exit_code = 2;
    result.output = "phonesim: " + error + "\nRun with --help for the options.\n";
    return result;
  }
  result.options = std::move(options);
  return result;
}

}  // namespace phonesim
