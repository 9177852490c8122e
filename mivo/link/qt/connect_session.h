#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "link_endpoints.h"

namespace mivo::link {

struct ConnectOptions {
  LinkEndpoints endpoints;
  std::string user = "admin";  // "admin" or "user"
  std::string password;        // sent for "user"; admin logs in with the phone's own password
  // The USB link address setup run before connecting; ignored when the address was
  // overridden. 1 on success, 0 after its message.
  std::function<int()> setupUsbLinkAddress;
  int replyTimeoutMs = 10000;
};

enum ConnectExit : int {
  kConnectOk = 0,
  kConnectUsage = 2,         // a bad option or environment value
  kConnectFailed = 4,        // not connected, or the link was lost
  kConnectLoginRefused = 5,  // unknown user name or invalid password
  kConnectBootCode = 6,      // the phone runs only its boot code
};

// Connects, asks the mode, logs in, prints the phone's MAC and its three versions on out,
// logs out. Messages go to err. Needs a QCoreApplication. Returns a ConnectExit.
int RunConnect(const ConnectOptions& options, std::ostream& out, std::ostream& err);

}  // namespace mivo::link
