// SPDX-License-Identifier: MIT
#include "InstanceConflicts.h"

#include <limits>

InstanceConflicts::InstanceConflicts(const QList<HalvexInstance> &instances, const QUuid &except)
{
    for (const HalvexInstance &instance : instances) {
        if (!except.isNull() && instance.id == except)
            continue;
        take(instance.name, instance.port);
    }
}

InstanceConflicts::Conflict InstanceConflicts::check(const QString &name, qint64 port) const
{
    if (m_names.contains(name.toCaseFolded()))
        return Conflict::Name;
    if (m_ports.contains(port))
        return Conflict::Port;
    return Conflict::None;
}

void InstanceConflicts::take(const QString &name, qint64 port)
{
    m_names.insert(name.toCaseFolded());
    m_ports.insert(port);
}

std::optional<quint16> InstanceConflicts::firstFreePort(quint16 from,
                                                        const std::function<bool(quint16)> &available) const
{
    for (int port = qMax<int>(from, 1); port <= std::numeric_limits<quint16>::max(); ++port) {
        if (!m_ports.contains(port) && available(static_cast<quint16>(port)))
            return static_cast<quint16>(port);
    }
    return std::nullopt;
}
