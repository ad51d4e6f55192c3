// SPDX-License-Identifier: MIT
#pragma once

#include "instances/LogTimeStamp.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QUuid>

// The per-instance logs: time-stamped entries, oldest first, at most 1000 per instance.
class InstanceLogs
{
public:
    static constexpr qsizetype capacity = 1000;

    struct Appended
    {
        QString entry;
        // How many of the oldest entries went to keep the log within its capacity.
        qsizetype dropped = 0;
    };

    // Appends the message stamped with the time of day (see LogTimeStamp).
    Appended add(const QUuid &id, const QString &message);
    // Appends an entry that was stamped where it came from.
    Appended addStamped(const QUuid &id, const QString &entry);
    // Leaves an empty list for the id, also when it had none.
    void clear(const QUuid &id);
    void remove(const QUuid &id);

    // An absent log reads as an empty list.
    QStringList entries(const QUuid &id) const { return m_entries.value(id); }
    const QHash<QUuid, QStringList> &all() const { return m_entries; }

private:
    QHash<QUuid, QStringList> m_entries;
    LogTimeStamp m_stamp;
};
