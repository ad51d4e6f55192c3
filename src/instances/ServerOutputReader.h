// SPDX-License-Identifier: MIT
#pragma once

#include "instances/LogEntrySplitter.h"
#include "instances/LogTimeStamp.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <QUuid>

#include <chrono>
#include <optional>

class QSocketNotifier;
class QTimer;
class ServerOutput;

// The reading side of ServerOutput, living on its thread: one open file per server, watched with
// inotify, read to its end whenever it grows, its read part given back to the file system.
class ServerOutputReader final : public QObject
{
    Q_OBJECT

public:
    explicit ServerOutputReader(ServerOutput *output);
    ~ServerOutputReader() override;

    // Both run on the reader's thread.
    void follow(const QUuid &id, const QString &path, bool fromEnd);
    void finish(const QUuid &id);

private:
    struct File
    {
        int descriptor = -1;
        int watch = -1;
        qint64 offset = 0;
        qint64 released = 0;
        LogEntrySplitter splitter;
        // Since when (steady clock) the start of a line has waited for its end; empty when none waits.
        std::optional<std::chrono::steady_clock::time_point> heldSince;
    };

    void start();
    void readEvents();
    void readAvailable(const QUuid &id, File &file);
    // Logs the lines that have waited long enough for their ends.
    void flushWaitingLines();
    void close(File &file);
    // Hands entries over, stamped with the time they were read: the copy that stamping makes is
    // the size of the output, and made here it costs the window nothing.
    void deposit(const QUuid &id, QStringList entries, qsizetype skipped);

    ServerOutput *m_output;
    LogTimeStamp m_stamp;
    int m_inotify = -1;
    QSocketNotifier *m_notifier = nullptr;
    QHash<QUuid, File> m_files;
    QHash<int, QUuid> m_watches;
    QTimer m_partialLines;
};
