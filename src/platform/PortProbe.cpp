// SPDX-License-Identifier: MIT
#include "PortProbe.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace PortProbe {

bool isAvailable(quint16 port)
{
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return false;
    // As the server binds: a port whose last server has ended, while the connections it closed
    // linger in TIME_WAIT for a minute, is free for it, but not for a bind without this option.
    const int yes = 1;
    ::setsockopt(probe, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool bound = ::bind(probe, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(probe);
    return bound;
}

} // namespace PortProbe
