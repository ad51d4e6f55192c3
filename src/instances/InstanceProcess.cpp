// SPDX-License-Identifier: MIT
#include "InstanceProcess.h"

namespace {

// QProcess words a failed start as "execve: Permission denied"; a person wants the reason.
QString startFailureReason(const QProcess &process)
{
    QString reason = process.errorString();
    const qsizetype colon = reason.indexOf(QStringLiteral(": "));
    if (reason.startsWith(QStringLiteral("execve")) && colon >= 0)
        reason = reason.mid(colon + 2);
    return reason;
}

} // namespace

InstanceProcess::InstanceProcess(const QString &program, const QProcessEnvironment &environment, QObject *parent)
    : QObject(parent)
    , m_process(new QProcess(this))
{
    m_process->setProgram(program);
    m_process->setProcessEnvironment(environment);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setInputChannelMode(QProcess::ForwardedInputChannel);

    m_partialLineTimer.setSingleShot(true);
    m_partialLineTimer.setInterval(partialLineWait);
    connect(&m_partialLineTimer, &QTimer::timeout, this, &InstanceProcess::flushPartialLine);

    connect(m_process, &QProcess::started, this, &InstanceProcess::started);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &InstanceProcess::readOutput);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        // A failed start never finishes; every other error is followed by finished().
        if (error != QProcess::FailedToStart)
            return;
        emit failedToStart(startFailureReason(*m_process));
        deleteLater();
    });
    connect(m_process, &QProcess::finished, this, [this] {
        // Output can still be waiting in the buffer when the exit is reported.
        readOutput();
        flushPartialLine();
        emit exited();
        deleteLater();
    });
}

void InstanceProcess::start()
{
    m_process->start();
}

void InstanceProcess::terminate()
{
    m_process->terminate();
}

void InstanceProcess::readOutput()
{
    bool newLine = false;
    while (m_process->bytesAvailable() > 0) {
        for (const QString &entry : m_splitter.feed(m_process->read(maximumChunk))) {
            emit output(entry);
            newLine = true;
        }
    }
    // The wait is for one line: text that only makes the held line longer does not extend it.
    if (!m_splitter.holdsText())
        m_partialLineTimer.stop();
    else if (newLine || !m_partialLineTimer.isActive())
        m_partialLineTimer.start();
}

void InstanceProcess::flushPartialLine()
{
    m_partialLineTimer.stop();
    if (const auto entry = m_splitter.flush())
        emit output(*entry);
}
