#pragma once

#include <string>
#include <string_view>

namespace mivo::link {

// Text of a phone operation error code; "Unknown error !" for a code outside the table.
std::string_view ErrorText(int code);

// Text of a Windows Sockets error number; "Windows socket error!" for any other number.
std::string_view SocketErrorText(int code);

// What the "Warning Message" error dialog shows for one report.
struct ErrorDialogTexts {
  std::string caption;      // "Warning Message", plus " - " and the suffix when one is given
  std::string code;         // "ERR %2d"
  std::string description;  // "%s\t%s": the code's text and the extra text
};

// Builds the error dialog's texts; never fails.
ErrorDialogTexts BuildErrorDialogTexts(int code, std::string_view captionSuffix,
                                       std::string_view extraText);

// Socket error numbers used by the cores and produced by the transport bindings.
namespace wsa {
inline constexpr int kInterrupted = 10004;
inline constexpr int kAccess = 10013;
inline constexpr int kFault = 10014;
inline constexpr int kInvalid = 10022;
inline constexpr int kTooManySockets = 10024;
inline constexpr int kWouldBlock = 10035;
inline constexpr int kMessageSize = 10040;
inline constexpr int kAddressInUse = 10048;
inline constexpr int kAddressNotAvailable = 10049;
inline constexpr int kNetworkDown = 10050;
inline constexpr int kNetworkUnreachable = 10051;
inline constexpr int kConnectionAborted = 10053;
inline constexpr int kConnectionReset = 10054;
inline constexpr int kNoBuffers = 10055;
inline constexpr int kNotConnected = 10057;
inline constexpr int kShutdown = 10058;
inline constexpr int kTimedOut = 10060;
inline constexpr int kConnectionRefused = 10061;
inline constexpr int kHostUnreachable = 10065;
inline constexpr int kHostNotFound = 11001;
}  // namespace wsa

}  // namespace mivo::link
