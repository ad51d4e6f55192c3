// SPDX-License-Identifier: MIT
#include "LogEntrySplitter.h"

QStringList LogEntrySplitter::feed(const QByteArray &chunk)
{
    QStringList entries;
    auto text = m_decoder.decode(chunk);
    if (!text)
        return entries;
    if (m_pending.size() + text->size() <= maximumEntry) {
        // The common case, in which a flood's chunk is copied at most once.
        const qsizetype end = text->lastIndexOf(u'\n') + 1;
        if (end == 0) {
            m_pending += *text;
            return entries;
        }
        QString rest = text->sliced(end);
        text->truncate(end);
        add(m_pending.isEmpty() ? std::move(*text) : m_pending + *text, true, entries);
        m_pending = std::move(rest);
        return entries;
    }
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
    QString piece = m_pending.left(length);
    m_pending.remove(0, length);
    add(std::move(piece), lineEnds, entries);
}

void LogEntrySplitter::add(QString piece, bool lineEnds, QStringList &entries)
{
    QString entry = std::move(piece).trimmed(); // trims in place, without a copy
    if (!entry.isEmpty() || !m_midLine)
        entries.append(std::move(entry));
    m_midLine = !lineEnds;
}
