#include "phone_session.h"

#include <strings.h>

#include <algorithm>

#include "status_lines.h"

namespace phonesim {
namespace {

constexpr const char* kAdminUser = "admin";
constexpr const char* kAdminPassword = "qopwix";
constexpr size_t kMaxQueued = 64;

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

bool AnsweredWhileBusy(const std::string& command) {
  return command == "mode" || command == "probe" || command == "settimeout" ||
         command == "getmac" || command == "getfirmwareinfo";
}

// The file name of a path made here or on Windows, with ".txt" added when it
// does not end so (the utility serves its settings for any ".txt" name).
std::string SettingsFileName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.size() < 4 || strcasecmp(name.c_str() + name.size() - 4, ".txt") != 0) name += ".txt";
  return name;
}

// Pads with comment lines, or cuts, the text to exactly `size` bytes.
void FitToSize(std::string& text, size_t size) {
  if (text.size() >= size) {
    text.resize(size);
    return;
  }
  while (text.size() < size) {
    const size_t room = size - text.size();
    if (room < 3) {
      text.append(room, '#');
      break;
    }
    const size_t fill = std::min<size_t>(room, 200);
    text += '#';
    text.append(fill - 3, '-');
    text += "\r\n";
  }
}

}  // namespace

PhoneSession::PhoneSession(PhoneSessionPort& port, SettingsStore& settings,
                           PhoneBehaviour behaviour)
    : m_port(port), m_settings(settings), m_behaviour(std::move(behaviour)) {}

void PhoneSession::OnBytes(std::string_view bytes) {
  for (char c : bytes) {
    if (IsLineEnd(c)) {
      m_discarding = false;
      if (!m_received.empty()) {
        std::string line = std::move(m_received);
        m_received.clear();
        HandleLine(line);
      }
      continue;
    }
    if (m_discarding) continue;
    if (m_received.size() == kMaxRequestLine) {
      m_port.Log("request line longer than 255 characters cut");
      m_discarding = true;
      continue;
    }
    m_received += c;
  }
}

void PhoneSession::HandleLine(const std::string& line) {
  if (m_close_requested) return;
  m_port.Log("<- " + line);
  if (line.compare(0, 4, "REQ ") != 0) {
    m_port.Log("not a request, ignored");
    return;
  }
  const size_t space = line.find(' ', 4);
  const std::string command = line.substr(4, space == std::string::npos ? space : space - 4);
  const std::string argument = space == std::string::npos ? "" : line.substr(space + 1);
  if (Busy() && !AnsweredWhileBusy(command)) {
    if (m_queued.size() >= kMaxQueued) {
      m_port.Log("too many requests while busy, dropped");
      return;
    }
    m_queued.push_back(line);
    return;
  }
  Dispatch(command, argument);
}

void PhoneSession::RunQueued() {
  while (!Busy() && !m_close_requested && !m_queued.empty()) {
    std::string line = std::move(m_queued.front());
    m_queued.pop_front();
    const size_t space = line.find(' ', 4);
    Dispatch(line.substr(4, space == std::string::npos ? space : space - 4),
             space == std::string::npos ? "" : line.substr(space + 1));
  }
}

bool PhoneSession::CloseAt(const std::string& command, ClosePoint point) {
  if (!m_behaviour.close || m_behaviour.close->command != command ||
      m_behaviour.close->point != point || m_close_requested) {
    return false;
  }
  m_port.Log("closing the connection as scripted");
  m_close_requested = true;
  m_port.CloseConnection();
  return true;
}

void PhoneSession::Dispatch(const std::string& command, const std::string& argument) {
  if (CloseAt(command, ClosePoint::kRequest)) return;
  if (m_behaviour.boot_code && command != "mode" && command != "fwupgrade") {
    m_port.Log("ignored in boot code mode");
    return;
  }
  if (command == "mode") {
    Reply(command, m_behaviour.mode_without_status
                       ? "CNF mode"
                       : std::string("CNF mode ") + (m_behaviour.boot_code ? "0" : "1"));
  } else if (command == "login") {
    Login(argument);
  } else if (command == "settimeout") {
    Reply(command, "CNF settimeout");
  } else if (command == "probe") {
    ++m_probes;
    if (m_behaviour.probe_limit && m_probes > *m_behaviour.probe_limit) {
      m_port.Log("probe left unconfirmed as scripted");
      return;
    }
    Reply(command, "CNF probe");
  } else if (command == "getmac") {
    ++m_getmacs;
    const auto& change = m_behaviour.mac_change;
    Reply(command, "CNF getmac " + (change && m_getmacs >= change->from_getmac ? change->mac
                                                                               : m_behaviour.mac));
  } else if (command == "getfirmwareinfo") {
    Reply(command, "CNF getfirmwareinfo FW:" + m_behaviour.firmware_version +
                       " BSP:" + m_behaviour.bsp_version + " BOOT:" + m_behaviour.boot_version);
  } else if (command == "import") {
    Import();
  } else if (command == "upload") {
    Upload(argument);
  } else if (command == "fwupgrade") {
    Firmware(argument);
  } else if (command == "logout") {
    Reply(command, "CNF logout");
  } else if (command == "FactoryDefault") {
    m_settings.Reset();
    m_port.SettingsChanged();
    m_port.Log("factory defaults restored, closing the connection");
    m_close_requested = true;
    m_port.CloseConnection();
  } else {
    m_port.Log("unknown command, ignored");
  }
}

void PhoneSession::Reply(const std::string& command, const std::string& line) {
  m_port.Log("-> " + line);
  std::string bytes = line + "\r\n";
  if (m_behaviour.join && *m_behaviour.join == command && m_held_reply.empty()) {
    m_port.Log("reply held to go out with the next one");
    m_held_reply = std::move(bytes);
  } else {
    if (!m_held_reply.empty()) {
      bytes = m_held_reply + "\r\n" + bytes;
      m_held_reply.clear();
    }
    const auto& split = m_behaviour.split;
    if (split && split->command == command && split->at > 0 && split->at < bytes.size()) {
      m_port.Write(bytes.substr(0, split->at), 0);
      m_port.Write(bytes.substr(split->at), split->pause_ms);
    } else {
      m_port.Write(bytes, 0);
    }
  }
  CloseAt(command, ClosePoint::kReply);
}

void PhoneSession::Indicate(const std::string& command, const std::string& line) {
  m_port.Log("-> " + line);
  m_port.Write(line + "\r\n", 0);
  if (!m_indicated) {
    m_indicated = true;
    CloseAt(command, ClosePoint::kIndication);
  }
}

void PhoneSession::Transfer(const std::string& command, const TransferRequest& request) {
  m_port.StartTransfer(request);
  CloseAt(command, ClosePoint::kTransfer);
}

void PhoneSession::Finish(const std::string& command, int status,
                          const std::optional<int>& forced) {
  m_operation = Operation::kNone;
  if (m_close_requested) return;
  Reply(command, "CNF " + command + " " + std::to_string(forced.value_or(status)));
  RunQueued();
}

void PhoneSession::Login(const std::string& argument) {
  const size_t space = argument.find(' ');
  const std::string user = argument.substr(0, space);
  const std::string password = space == std::string::npos ? "" : argument.substr(space + 1);
  int status = 1;
  if (user == kAdminUser) {
    status = password == kAdminPassword ? 0 : 2;
  } else if (user == "user") {
    status = password == m_behaviour.user_password ? 0 : 2;
  }
  Reply("login", "CNF login " + std::to_string(m_behaviour.login_status.value_or(status)));
}

void PhoneSession::Import() {
  std::string text = m_settings.ConfigurationText() + StatusLines(m_settings, m_behaviour);
  if (m_behaviour.import_size) FitToSize(text, *m_behaviour.import_size);
  m_operation = Operation::kImport;
  m_indicated = false;
  // An indication carries a word and then a text; the utility reads the size
  // from the text.
  Indicate("import", "IND import size " + std::to_string(text.size()));
  if (m_close_requested) return;
  TransferRequest request;
  request.direction = TftpDirection::kWrite;
  request.file_name = "PhoneCNF.txt";
  request.data.assign(text.begin(), text.end());
  Transfer("import", request);
}

void PhoneSession::Upload(const std::string& argument) {
  m_operation = Operation::kUploadSettings;
  m_indicated = false;
  TransferRequest request;
  request.file_name = SettingsFileName(argument);
  request.max_read = kSettingsBufferSize;
  Transfer("upload", request);
}

void PhoneSession::Firmware(const std::string& argument) {
  m_operation = Operation::kFirmware;
  m_indicated = false;
  if (argument.empty()) {
    m_port.Log("no image path given");
    Finish("fwupgrade", 1, m_behaviour.fwupgrade_status);
    return;
  }
  TransferRequest request;
  request.file_name = argument;
  Transfer("fwupgrade", request);
}

void PhoneSession::OnTransferDone(const TftpResult& result) {
  if (!result.ok) {
    m_port.Log("transfer failed: " + result.message);
  } else {
    m_port.Log(result.data.empty()
                   ? std::string("transfer done")
                   : "transfer done, " + std::to_string(result.data.size()) + " bytes read");
  }
  switch (m_operation) {
    case Operation::kNone:
      return;
    case Operation::kImport:
      Finish("import", result.ok ? 0 : 1, m_behaviour.import_status);
      return;
    case Operation::kFirmware:
      Finish("fwupgrade", result.ok ? 0 : 1, m_behaviour.fwupgrade_status);
      return;
    case Operation::kUploadSettings:
      UploadSettingsDone(result);
      return;
    case Operation::kUploadFile:
      if (!result.ok) {
        Finish("upload", m_files[m_next_file - 1].failure_status, m_behaviour.upload_status);
        return;
      }
      ReadNextFile();
      return;
  }
}

void PhoneSession::UploadSettingsDone(const TftpResult& result) {
  if (!result.ok) {
    Finish("upload", 2, m_behaviour.upload_status);
    return;
  }
  const auto zero = std::find(result.data.begin(), result.data.end(), 0);
  const std::string text(result.data.begin(), zero);
  const std::vector<std::string> rejected = m_settings.Apply(text);
  m_port.SettingsChanged();
  for (const std::string& line : rejected) {
    Indicate("upload", "IND upload unknown " + line);
    if (m_close_requested) return;
  }
  m_upload_status = rejected.empty() ? 0 : 1;

  // Files the settings name, which the phone fetches by their path.
  m_files.clear();
  m_next_file = 0;
  const std::string ring_tone = m_settings.Value("RingToneFile");
  if (!ring_tone.empty()) m_files.push_back({ring_tone, 6});
  const std::string image = m_settings.Value("NewFirmwareImageFilename");
  if (strcasecmp(m_settings.Value("NewFirmwareImageUpgrade").c_str(), "Enable") == 0 &&
      !image.empty()) {
    m_files.push_back({image, 3});
  }
  m_operation = Operation::kUploadFile;
  ReadNextFile();
}

void PhoneSession::ReadNextFile() {
  if (m_next_file == m_files.size()) {
    Finish("upload", m_upload_status, m_behaviour.upload_status);
    return;
  }
  TransferRequest request;
  request.file_name = m_files[m_next_file++].path;
  Transfer("upload", request);
}

}  // namespace phonesim
