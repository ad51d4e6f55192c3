// SPDX-License-Identifier: MIT
#include "InstanceLogs.h"

#include <QDateTime>

QString mediumTimeFormat(const QLocale &locale)
{
    // The long format is the medium one plus the zone ("h:mm:ss AP t"); drop the zone letters
    // outside quoted text and the blanks they leave behind.
    const QString longFormat = locale.timeFormat(QLocale::LongFormat);
    QString format;
    bool quoted = false;
    for (const QChar c : longFormat) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        format += c;
    }
    return format.simplified();
}

QString InstanceLogs::timeStamp()
{
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 second = now.toSecsSinceEpoch();
    if (second != m_stampSecond) {
        static const QString format = mediumTimeFormat(QLocale::system());
        m_stamp = QLocale::system().toString(now.time(), format);
        m_stampSecond = second;
    }
    return m_stamp;
}

void InstanceLogs::add(const QUuid &id, const QString &message)
{
    QStringList &entries = m_entries[id];
    entries.append(u'[' + timeStamp() + QStringLiteral("] ") + message);
    if (entries.size() > capacity)
        entries.remove(0, entries.size() - capacity);
}

void InstanceLogs::clear(const QUuid &id)
{
    m_entries[id].clear();
}

void InstanceLogs::remove(const QUuid &id)
{
    m_entries.remove(id);
}
