// SPDX-License-Identifier: MIT
#include "PrivilegedCommandRunner.h"

#include <QPointer>
#include <QProcess>

namespace {
// pkexec's exit status when the user dismissed the authentication dialog.
constexpr int dismissedStatus = 126;
} // namespace

PrivilegedCommandRunner::PrivilegedCommandRunner(std::optional<QString> elevator, QObject *parent)
    : QObject(parent)
    , m_elevator(std::move(elevator))
{}

void PrivilegedCommandRunner::run(const QString &command, QObject *context, std::function<void(const Result &)> done)
{
    QStringList arguments{QStringLiteral("-c"), command};
    QString program = QStringLiteral("/bin/sh");
    if (m_elevator) {
        // pkexec authorizes its parent process, so it must be our child, never detached.
        arguments = QStringList{QStringLiteral("--disable-internal-agent"), program} + arguments;
        program = *m_elevator;
    }
    auto *process = new QProcess(this);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    const bool elevated = m_elevator.has_value();
    QPointer<QObject> guard(context);
    const auto finish = [process, guard, done](const Result &result) {
        process->deleteLater();
        if (guard)
            done(result);
    };
    connect(process, &QProcess::finished, this, [process, elevated, finish](int exitCode, QProcess::ExitStatus status) {
        Result result;
        if (status == QProcess::NormalExit && exitCode == 0) {
            result.outcome = Result::Outcome::Succeeded;
        } else if (elevated && status == QProcess::NormalExit && exitCode == dismissedStatus) {
            result.outcome = Result::Outcome::Cancelled;
        } else {
            result.message = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
        }
        finish(result);
    });
    connect(process, &QProcess::errorOccurred, this, [process, finish](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(Result{Result::Outcome::Failed, process->errorString()});
    });
    process->start(program, arguments);
}
