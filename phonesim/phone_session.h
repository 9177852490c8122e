#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "phone_behaviour.h"
#include "settings_store.h"
#include "tftp_client.h"

namespace phonesim {

// The longest request line handled; longer lines are cut to this length.
inline constexpr size_t kMaxRequestLine = 255;
// The largest settings file the phone reads on upload.
inline constexpr size_t kSettingsBufferSize = 30720;

struct TransferRequest {
  TftpDirection direction = TftpDirection::kRead;
  std::string file_name;
  std::vector<uint8_t> data;  // what a write sends
  size_t max_read = 0;        // 0: the client's own limit
};

// What the session asks of the program around it. Every call is made from
// inside a PhoneSession call, on the caller's thread.
class PhoneSessionPort {
 public:
  virtual ~PhoneSessionPort() = default;
  // One write on the command connection, made `delay_ms` after the previous
  // write (writes keep their order).
  virtual void Write(const std::string& bytes, int delay_ms) = 0;
  // Starts a TFTP transfer with the utility; its end comes back through
  // PhoneSession::OnTransferDone.
  virtual void StartTransfer(const TransferRequest& request) = 0;
  // Closes the connection once the writes made so far are out; a running
  // transfer is abandoned.
  virtual void CloseConnection() = 0;
  // The stored settings changed (upload accepted values, factory reset).
  virtual void SettingsChanged() = 0;
  virtual void Log(const std::string& line) = 0;
};

// The phone's side of one command connection, without sockets: bytes of
// "REQ" lines in, replies, TFTP transfers and scripted faults out through the
// port. Requests that arrive while an import, upload or firmware upgrade runs
// wait until it ends; mode, probe, settimeout, getmac and getfirmwareinfo are
// answered at once.
class PhoneSession {
 public:
  PhoneSession(PhoneSessionPort& port, SettingsStore& settings, PhoneBehaviour behaviour);

  void OnBytes(std::string_view bytes);
  void OnTransferDone(const TftpResult& result);

  bool CloseRequested() const { return m_close_requested; }
  bool Busy() const { return m_operation != Operation::kNone; }

 private:
  enum class Operation { kNone, kImport, kUploadSettings, kUploadFile, kFirmware };
  struct FileToRead {
    std::string path;
    int failure_status;
  };

  void HandleLine(const std::string& line);
  void Dispatch(const std::string& command, const std::string& argument);
  void Reply(const std::string& command, const std::string& line);
  void Indicate(const std::string& command, const std::string& line);
  void Transfer(const std::string& command, const TransferRequest& request);
  bool CloseAt(const std::string& command, ClosePoint point);
  void Finish(const std::string& command, int status, const std::optional<int>& forced);
  void RunQueued();

  void Login(const std::string& argument);
  void Import();
  void Upload(const std::string& argument);
  void UploadSettingsDone(const TftpResult& result);
  void ReadNextFile();
  void Firmware(const std::string& argument);

  PhoneSessionPort& m_port;
  SettingsStore& m_settings;
  PhoneBehaviour m_behaviour;

  std::string m_received;
  bool m_discarding = false;  // inside an over-long line
  std::deque<std::string> m_queued;
  bool m_close_requested = false;

  Operation m_operation = Operation::kNone;
  std::string m_operation_command;
  bool m_indicated = false;
  int m_upload_status = 0;
  std::vector<FileToRead> m_files;
  size_t m_next_file = 0;

  int m_probes = 0;
  int m_getmacs = 0;
  std::string m_held_reply;  // a reply waiting to go out with the next one
};

}  // namespace phonesim
