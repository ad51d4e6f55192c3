// SPDX-License-Identifier: MIT
#pragma once

#include "core/StateFile.h"

#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QThreadPool>
#include <QWaitCondition>

#include <optional>

// Writes a state file on a thread of its own, so that a save never holds up the window for the
// disk: writing megabytes, syncing them and replacing the file take milliseconds, and far longer
// on a slow or busy disk. Contents handed in while a write runs replace one another; only the
// newest is written next, since each is the whole file.
class StateFileWriter : public QObject
{
    Q_OBJECT

public:
    explicit StateFileWriter(StateFile *file, QObject *parent = nullptr);
    // Waits for the last contents handed in to be written: nothing is lost at a quit.
    ~StateFileWriter() override;

    // Makes the writer's thread now, so that the next write() does not wait while it is made.
    // Without it, the first write() makes it.
    void prepare();
    void write(QByteArray bytes);
    // Blocks until everything handed in so far is written, and announces the outcomes before it
    // returns. The file may then be used from the writer's thread until the next write().
    void flush();

signals:
    // Once per write, on the thread the writer belongs to: error is empty on success, otherwise a
    // sentence for the user ("Could not save <name>: <reason>").
    void written(const QString &error);

private:
    void writePending();
    void reportOutcomes();

    StateFile *m_file;
    QThreadPool m_thread;
    QMutex m_mutex;
    // Guarded by m_mutex.
    std::optional<QByteArray> m_pending;
    bool m_scheduled = false;
    QWaitCondition m_idle; // when m_scheduled turns false
    QStringList m_outcomes;
};
