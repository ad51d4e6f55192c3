// SPDX-License-Identifier: MIT
#include "InstanceConflicts.h"

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
    if (m_names.contains(name))
        return Conflict::Name;
    if (m_ports.contains(port))
        return Conflict::Port;
    return Conflict::None;
}

void InstanceConflicts::take(const QString &name, qint64 port)
{
    m_names.insert(name);
    m_ports.insert(port);
}
