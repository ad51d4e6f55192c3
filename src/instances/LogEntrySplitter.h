// SPDX-License-Identifier: MIT
#pragma once

#include "instances/Utf8ChunkDecoder.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Cuts a server's output into log entries: bytes in, entries out, trimmed at both ends. Each chunk
// gives one entry of the complete lines it finishes, so a chunk of several lines stays one entry
// with its inner line breaks, and a line never straddles two entries for the mere accident of
// where a read ended: a line still waiting for its end is held for the chunks that follow.
// No entry is longer than maximumEntry characters: a longer stretch is cut at its last line end
// within the bound, and a single longer line at the bound itself.
//
// It holds no clock and no thread, so that any reader can drive it; the reader decides when a
// held line has waited long enough and takes it with flush().
class LogEntrySplitter
{
public:
    static constexpr qsizetype maximumEntry = 64 * 1024;

    // The entries the chunk completes, oldest first; none for a chunk that is not valid UTF-8.
    QStringList feed(const QByteArray &chunk);
    // The held start of a line as an entry; nothing when no text is held.
    std::optional<QString> flush();
    bool holdsText() const { return !m_pending.isEmpty(); }

private:
    // Cuts the first length characters of the held text off as an entry.
    void take(qsizetype length, QStringList &entries);
    void add(QString piece, bool lineEnds, QStringList &entries);

    Utf8ChunkDecoder m_decoder;
    QString m_pending;
    // The start of the current line already went out as an entry (flushed, or cut at the bound);
    // its rest, if only a line end, is no entry of its own.
    bool m_midLine = false;
};
