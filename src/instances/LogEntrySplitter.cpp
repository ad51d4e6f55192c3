// SPDX-License-Identifier: MIT
#include "LogEntrySplitter.h"

QStringList LogEntrySplitter::feed(const QByteArray &chunk)
{
    QStringList entries;
    const auto text = m_decoder.decode(chunk);
    if (!text)
        return entries;
    m_pending += *text;
    while (m_pending.size() > maximumEntry) {
        qsizetype length = m_pending.lastIndexOf(u'\n', maximumEntry - 1) + 1;
        if (length == 0) {
            length = maximumEntry;
            if (m_pending.at(length - 1).isHighSurrogate())
                --length; // keep the pair of an emoji or other astral character together
        }
        take(length, entries);
    }
    if (const qsizetype end = m_pending.lastIndexOf(u'\n') + 1; end > 0)
        take(end, entries);
    return entries;
}

std::optional<QString> LogEntrySplitter::flush()
{
    if (m_pending.isEmpty())
        return std::nullopt;
    m_midLine = true;
    return std::exchange(m_pending, QString()).trimmed();
}

void LogEntrySplitter::take(qsizetype length, QStringList &entries)
{
    const bool lineEnds = m_pending.at(length - 1) == u'\n';
    QString entry = m_pending.left(length).trimmed();
    m_pending.remove(0, length);
    if (!entry.isEmpty() || !m_midLine)
        entries.append(std::move(entry));
    m_midLine = !lineEnds;
}
