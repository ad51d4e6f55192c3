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
    while (m_process->bytesAvailable() > 0) {
        const QByteArray chunk = m_process->read(maximumChunk);
        if (auto text = m_decoder.decode(chunk))
            emit output(std::move(*text).trimmed()); // trims in place, without a copy
    }
}
