// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// Asks the system whether a server could listen on a TCP port now.
namespace PortProbe {

// Whether this process could bind a TCP socket to the port on every IPv4 address, with the
// address reuse that servers ask for: connections that linger after their server ended do not
// hold the port, a listening socket does. A socket that cannot be created counts as a taken port.
bool isAvailable(quint16 port);

} // namespace PortProbe
