// SPDX-License-Identifier: MIT
#pragma once

#include "instances/LogEntrySplitter.h"

#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

// The server process of one instance. It speaks in signals about the process: started, its
// output as log entries, the failure to start, and the exit. Its standard output and error
// share one channel; its standard input is the application's own.
//
// A QProcess that is destroyed while its child runs kills the child, so an InstanceProcess must
// outlive its server: it deletes itself only after the exit has been reported.
class InstanceProcess : public QObject
{
    Q_OBJECT

public:
    // Output is taken in chunks of at most this many bytes, and the complete lines of each chunk
    // become one log entry. The log keeps 1000 entries: the bound keeps a flooding server's log
    // of ordinary lines within about 24 MB.
    static constexpr qint64 maximumChunk = 12 * 1024;
    // How long the start of a line waits for its end before it is logged as it is: a prompt or a
    // progress line may never get one.
    static constexpr int partialLineWait = 100;

    InstanceProcess(const QString &program, const QProcessEnvironment &environment, QObject *parent = nullptr);

    void start();
    // Sends SIGTERM; never a forced kill.
    void terminate();
    qint64 processId() const { return m_process->processId(); }

signals:
    void started();
    // One entry of output, trimmed of white space at both ends (see LogEntrySplitter). Output
    // still waiting for a line end is reported before exited().
    void output(const QString &text);
    void failedToStart(const QString &reason);
    void exited();

private:
    void readOutput();
    void flushPartialLine();

    QProcess *m_process;
    LogEntrySplitter m_splitter;
    QTimer m_partialLineTimer;
};
