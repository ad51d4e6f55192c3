// SPDX-License-Identifier: MIT
#pragma once

#include "instances/Utf8ChunkDecoder.h"

#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>

// The server process of one instance. It speaks in signals about the process: started, each
// chunk of output as text, the failure to start, and the exit. Its standard output and error
// share one channel; its standard input is the application's own.
//
// A QProcess that is destroyed while its child runs kills the child, so an InstanceProcess must
// outlive its server: it deletes itself only after the exit has been reported.
class InstanceProcess : public QObject
{
    Q_OBJECT

public:
    // Output is taken in chunks of at most this many bytes. Each chunk becomes one log entry, and
    // the log keeps 1000 of them: the bound keeps a flooding server's log within about 24 MB.
    static constexpr qint64 maximumChunk = 12 * 1024;

    InstanceProcess(const QString &program, const QProcessEnvironment &environment, QObject *parent = nullptr);

    void start();
    // Sends SIGTERM; never a forced kill.
    void terminate();
    qint64 processId() const { return m_process->processId(); }

signals:
    void started();
    // One chunk of output, trimmed of white space at both ends.
    void output(const QString &text);
    void failedToStart(const QString &reason);
    void exited();

private:
    void readOutput();

    QProcess *m_process;
    Utf8ChunkDecoder m_decoder;
};
