#pragma once

// Every text the phone link shows to the user, in one place.

namespace mivo::link::texts {

inline constexpr char kWarningCaption[] = "Warning";

// Command channel.
inline constexpr char kWrongSocketVersion[] = "Wrong Windows Socket Version 1.1";
inline constexpr char kSocketStartFailed[] = "Windows Socket implementation failed:";
inline constexpr char kSocketCreateFailed[] = "Windows Socket create failed:";
inline constexpr char kAsyncSelectFailed[] =
    "Request Windows message-based notification of network events for a socket failed:";
inline constexpr char kAsyncConnectFailed[] = "Asynchronous Windows Socket connection failed:";
inline constexpr char kAsyncFailure[] = "Asynchronous Windows Socket failure notification:";
inline constexpr char kConnectionAborted[] = "Connection was aborted.";
inline constexpr char kConnectionRefused[] = "Connection was refused.";
inline constexpr char kUnknownEvent[] = "Unknown event recieved: %d.";
inline constexpr char kClosedWhileReceiving[] =
    "Connection closed unexpectedly during receiving data.";
inline constexpr char kReceiveError[] = "Windows Socket receives data error:";
inline constexpr char kSendWouldBlock[] =
    "Send data to Phone via Windows Socket would block, try again later.";
inline constexpr char kPhoneChanged[] = "Phone has changed, please log in to the new phone !";
inline constexpr char kPhoneConnectionFailed[] = "Phone connection failed!";
inline constexpr char kConnectingCaption[] = "Phone Connection";
inline constexpr char kConnectingText[] = "Connecting to Velto 5837....";
inline constexpr char kConnectingStatus[] = "Status : ";

// Link state.
inline constexpr char kPleaseLoginFirst[] = "Please login first !";
inline constexpr char kConnectionBusy[] =
    "Phone Status : Connection is busy please try again later...";
inline constexpr char kModelName[] = "Velto 5837";

// TFTP server.
inline constexpr char kTftpCreateFailed[] = "Create TFTP server error";
inline constexpr char kTftpServerFormat[] = "TFTP Server : %s\n";
inline constexpr char kTftpPortPrefix[] = "(TFTP server port number: %d)";
inline constexpr char kTftpConnectionClosed[] = "Connection has been closed !";
inline constexpr char kTftpServer[] = "TFTP Server";
inline constexpr char kTftpUnknownOpcode[] = "Unknown Operation Code !";
inline constexpr char kTftpOpenReadFailed[] = "Open read file \"%s\" for uploading to phone fail !";
inline constexpr char kTftpFileReadFailed[] = "File operation fail during sending data !";
inline constexpr char kTftpWrongAck[] = "Wrong acknowledgement number from phone !";
inline constexpr char kTftpFirmwareUpdating[] =
    "Firmware image is updating, please wait about one minute....";
inline constexpr char kTftpReceiveFailed[] = "Receive data form phone failed !";
inline constexpr char kTftpImportTooLarge[] = "The import file size exceeds internal buffer size !";
inline constexpr char kTftpSendDataFailed[] = "Send data to phone fail !";
inline constexpr char kTftpSendAckFailed[] = "Send acknowledgement to phone fail !";
inline constexpr char kTftpSendErrorFailed[] = "Send error code to phone fail !";

// USB link address.
inline constexpr char kAdapterPrefix[] = "Velto 5837 USB";
inline constexpr char kAdapterNotFound[] = "%s not found or not activated !";
inline constexpr char kAddAddressFailed[] =
    "Error add the IP address from %s.2 to %s.255 on Velto 5837 USB !";

}  // namespace mivo::link::texts
