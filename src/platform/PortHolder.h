// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>

// Which program listens on a TCP port, so that a start refused for a taken port can name it.
namespace PortHolder {

struct Holder
{
    qint64 pid = 0;
    QString program;
};

// A process of the current user that has a socket listening on the port (IPv4 or IPv6); nothing
// when no such socket exists or it belongs to another user, whose processes cannot be looked into.
std::optional<Holder> find(quint16 port);

} // namespace PortHolder
