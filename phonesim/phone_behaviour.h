#pragma once

#include <optional>
#include <string>

namespace phonesim {

// Where a scripted close of the command connection happens, relative to the
// handling of one request.
enum class ClosePoint {
  kRequest,     // as soon as the request arrives, nothing answered
  kIndication,  // right after the first indication (import, upload)
  kTransfer,    // once the request's first TFTP transfer has started
  kReply,       // after the final confirmation has been written
};

// What the phone answers, and the scripted faults it shows.
struct PhoneBehaviour {
  bool boot_code = false;
  std::string user_password;
  std::string mac = "02:00:00:00:58:37";
  std::string firmware_version = "P006.1.20";
  std::string bsp_version = "B1.4";
  std::string boot_version = "R2.1";
  std::string hardware_info = "C5837-A2";
  std::string domain = "FCC";

  std::optional<int> login_status;
  std::optional<int> import_status;
  std::optional<int> upload_status;
  std::optional<int> fwupgrade_status;

  std::optional<int> probe_limit;  // probes confirmed per connection

  struct Split {
    std::string command;
    size_t at = 0;
    int pause_ms = 50;
  };
  std::optional<Split> split;        // each reply to the command in two writes
  std::optional<std::string> join;   // reply to the command goes out with the next one
  bool mode_without_status = false;  // "CNF mode" with no status

  struct MacChange {
    int from_getmac = 1;  // n-th getmac of a connection, from 1
    std::string mac;
  };
  std::optional<MacChange> mac_change;

  std::optional<size_t> import_size;  // import text padded or cut to this size

  struct Close {
    std::string command;
    ClosePoint point = ClosePoint::kRequest;
  };
  std::optional<Close> close;
};

}  // namespace phonesim
