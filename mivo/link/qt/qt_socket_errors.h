#pragma once

#include <QAbstractSocket>

namespace mivo::link {

// The Windows Sockets number the cores and texts use for a Qt socket error.
int ToSocketErrorNumber(QAbstractSocket::SocketError error);

}  // namespace mivo::link
