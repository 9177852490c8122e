#include "qt_socket_errors.h"

#include "error_texts.h"

namespace mivo::link {

int ToSocketErrorNumber(QAbstractSocket::SocketError error) {
  switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
      return wsa::kConnectionRefused;
    case QAbstractSocket::RemoteHostClosedError:
      return wsa::kConnectionReset;
    case QAbstractSocket::HostNotFoundError:
      return wsa::kHostNotFound;
    case QAbstractSocket::SocketAccessError:
      return wsa::kAccess;
    case QAbstractSocket::SocketResourceError:
      return wsa::kTooManySockets;
    case QAbstractSocket::SocketTimeoutError:
      return wsa::kTimedOut;
    case QAbstractSocket::DatagramTooLargeError:
      return wsa::kMessageSize;
    case QAbstractSocket::NetworkError:
      // No route or no answer on the way: the phone cannot be reached.
      return wsa::kHostUnreachable;
    case QAbstractSocket::AddressInUseError:
      return wsa::kAddressInUse;
    case QAbstractSocket::SocketAddressNotAvailableError:
      return wsa::kAddressNotAvailable;
    case QAbstractSocket::UnsupportedSocketOperationError:
      return 10045;
    case QAbstractSocket::TemporaryError:
      return wsa::kWouldBlock;
    default:
      return wsa::kInvalid;
  }
}

}  // namespace mivo::link
