// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QLocale>
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

    // Time stamps follow the default locale at construction (the system's unless set otherwise).
    InstanceLogs();

    // Appends "[" + local time in the locale's medium time style + "] " + message.
    Appended add(const QUuid &id, const QString &message);
    // Leaves an empty list for the id, also when it had none.
    void clear(const QUuid &id);
    void remove(const QUuid &id);

    // An absent log reads as an empty list.
    QStringList entries(const QUuid &id) const { return m_entries.value(id); }
    const QHash<QUuid, QStringList> &all() const { return m_entries; }

private:
    QString timeStamp();

    QLocale m_locale;
    QString m_timeFormat;
    QHash<QUuid, QStringList> m_entries;
    // Rendering the clock through the locale costs more than the rest of an entry; a server that
    // floods its log writes thousands of entries in the same second.
    qint64 m_stampSecond = -1;
    QString m_stamp;
};

// The locale's medium time style: hours, minutes and seconds, 12- or 24-hour as the locale has
// it, without a date or a zone (14:03:27, 2:03:27 PM), as a QLocale time format.
QString mediumTimeFormat(const QLocale &locale);
