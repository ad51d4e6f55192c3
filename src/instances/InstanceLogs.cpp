// SPDX-License-Identifier: MIT
#include "InstanceLogs.h"

InstanceLogs::Appended InstanceLogs::add(const QUuid &id, const QString &message)
{
    return addStamped(id, m_stamp.stamped(message));
}

InstanceLogs::Appended InstanceLogs::addStamped(const QUuid &id, const QString &entry)
{
    QStringList &entries = m_entries[id];
    Appended appended{entry, 0};
    entries.append(entry);
    if (entries.size() > capacity) {
        appended.dropped = entries.size() - capacity;
        entries.remove(0, appended.dropped);
    }
    return appended;
}

void InstanceLogs::clear(const QUuid &id)
{
    m_entries[id].clear();
}

void InstanceLogs::remove(const QUuid &id)
{
    m_entries.remove(id);
}
