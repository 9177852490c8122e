#include "error_texts.h"

#include <cstdio>
#include <span>

namespace mivo::link {
namespace {

struct CodeText {
  int code;
  const char* text;
};

constexpr CodeText kErrorTexts[] = {
    {0, "No error"},
    {1, "String length is too long."},
    {2, "Number is out of range."},
    {3, "Incorrect IP address format."},
    {100, "The phone is not responding. Connection has dropped."},
    {101, "The specified address is already in use."},
    {200, "Disk is full or the allocation limit is exceeded."},
    {201, "Unknown setting parameter."},
    {202, "Setting value is not available."},
    {203, "No equal sign '=' between setting parameter and setting value."},
    {204, "Firmware image checksum error."},
    {205, "Incorrect firmware image version."},
    {206, "Errors in writing firmware image into flash."},
    {207, "Improper firmware image size."},
    {208, "The firmware image version number is different from the config load ID number."},
    {209, "The phone is either locked, booting up, or updating firmware image."},
    {210, "No firmware image in server."},
    {300, "TFTP fails in importing configuration file."},
    {301, "TFTP fails in uploading firmware image file."},
    {302, "TFTP fails in uploading ring tone file."},
    {303, "Connection is busy please try again later..."},
    {304, "The memory in phone is insufficient for uploading firmware image!"},
    {305, "No response from phone! Connection is closed..."},
    {306, "The phone is busy, please try again later..."},
    {900, "Unknown user name."},
    {901, "Invalid password."},
};

constexpr CodeText kSocketErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10013, "The requested address is a broadcast address, but the appropriate flag was not set."},
    {10014, "The address is not a valid part."},
    {10022, "Indicates the parameter was invalid."},
    {10024, "No more sokcet descriptors are available."},
    {10035, "The socket is marked as nonblocking and the requested operation would block."},
    {10036, "A blocking Windows Sockets 1.1 operation is in progress."},
    {10038, "The descriptor is not a socket."},
    {10040, "The message was too large to fit into the specified buffer and was truncated."},
    {10041, "The specified port is the wrong type for this socket."},
    {10043, "The specified port is not supported."},
    {10044, "The specified socket type is not supported in this address family."},
    {10045, "Operation not supported on socket."},
    {10047, "The specified address family is not supported."},
    {10048, "The specified address is already in use."},
    {10049, "The specified address is not available from the local machine."},
    {10050, "The network subsystem is down."},
    {10052,
     "The connection has been broken due to the keep-alive activity detecting a failure while "
     "the operation was in progress."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by phone."},
    {10055, "No buffer space is available."},
    {10057, "The socket is not connected."},
    {10058,
     "The socket has been shut down; it is not possible to receive on a socket after shutdown "
     "has been invoked."},
    {10060,
     "The connection has been dropped because of a network failure or because the phone failed "
     "to respond."},
    {10065, "The phone cannot be reached from Configuration Utility at this time."},
    {10067,
     "The limit on the number of tasks supported by the Windows Sockets implementation has been "
     "reached."},
    {10091, "The underlying network subsystem is not ready for network communication."},
    {10092,
     "The version of Windows Sockets support requested is not provided by this particular "
     "Windows Sockets implementation."},
    {10093, "A Windows Socket has been initialized before."},
    {11001, "Authoritative answer host not found."},
    {11002, "A nonauthoritative host not found, or SERVERFAIL."},
    {11003, "Nonrecoverable errors, FORMERR, REFUSED, NOTIMP."},
    {11004, "Valid name, no data record of requested type."},
};

std::string_view Lookup(std::span<const CodeText> table, int code, std::string_view fallback) {
  for (const CodeText& entry : table) {
    if (entry.code == code) return entry.text;
  }
  return fallback;
}

}  // namespace

std::string_view ErrorText(int code) { return Lookup(kErrorTexts, code, "Unknown error !"); }

std::string_view SocketErrorText(int code) {
  return Lookup(kSocketErrorTexts, code, "Windows socket error!");
}

ErrorDialogTexts BuildErrorDialogTexts(int code, std::string_view captionSuffix,
                                       std::string_view extraText) {
  ErrorDialogTexts texts;
  texts.caption = "Warning Message";
  if (!captionSuffix.empty()) {
    texts.caption += " - ";
    texts.caption += captionSuffix;
  }
  char number[32];
  std::snprintf(number, sizeof number, "ERR %2d", code);
  texts.code = number;
  texts.description = std::string(ErrorText(code)) + '\t' + std::string(extraText);
  return texts;
}

}  // namespace mivo::link
