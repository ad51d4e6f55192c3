// SPDX-License-Identifier: MIT
#include "PrivilegedCommandRunner.h"

#include "InstalledProgram.h"

#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTimer>

namespace {
// pkexec's exit status when the password dialog was dismissed, and the words it then prints. The
// status alone proves nothing: a command that cannot be executed ends with it too.
constexpr int dismissedStatus = 126;
const QString dismissedMessage = QStringLiteral("Request dismissed");
} // namespace

PrivilegedCommandRunner::PrivilegedCommandRunner(std::optional<QString> helper, std::optional<QString> elevator,
                                                 QObject *parent)
    : QObject(parent)
    , m_helper(std::move(helper))
    , m_elevator(std::move(elevator))
{}

std::optional<QString> PrivilegedCommandRunner::installedHelper(const QString &helperPath,
                                                                const QString &installedProgramDir,
                                                                const QString &programDir)
{
    if (!isInstalledProgram(installedProgramDir, programDir))
        return std::nullopt;
    const QFileInfo helper(helperPath);
    if (!helper.isFile() || !helper.isExecutable())
        return std::nullopt;
    return helperPath;
}

void PrivilegedCommandRunner::run(const Command &command, QObject *context, std::function<void(const Result &)> done,
                                  Lifetime lifetime)
{
    QPointer<QObject> guard(context);
    const auto report = [guard, done](const Result &result) {
        if (guard)
            done(result);
    };
    if (m_elevator && !QFileInfo(*m_elevator).isExecutable()) {
        QTimer::singleShot(0, this, [report] {
            report(Result{Result::Outcome::Failed,
                          QStringLiteral("pkexec is not installed; install policykit-1 to set host names")});
        });
        return;
    }

    QStringList arguments = m_helper
                                ? QStringList{*m_helper} + command.helperArguments
                                : QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c"), command.shellCommand};
    if (m_elevator) {
        arguments = QStringList{*m_elevator, QStringLiteral("--disable-internal-agent")} + arguments;
        // A shell that runs pkexec without replacing itself by it, and outlives the application.
        if (lifetime == Lifetime::BeyondApplication)
            arguments = QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c"), QStringLiteral("\"$@\"; exit $?"),
                                    QStringLiteral("sh")} +
                        arguments;
    }
    const QString program = arguments.takeFirst();

    // Parented to the runner, which the application never destroys: deleting a running QProcess
    // kills its process, and a command started at quit must go on after the application is gone.
    auto *process = new QProcess(this);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    const bool elevated = m_elevator.has_value();
    connect(process, &QProcess::finished, this, [process, elevated, report](int exitCode, QProcess::ExitStatus status) {
        process->deleteLater();
        const QString message = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
        const bool exited = status == QProcess::NormalExit;
        if (exited && exitCode == 0)
            report(Result{Result::Outcome::Succeeded, QString()});
        else if (elevated && exited && exitCode == dismissedStatus && message.contains(dismissedMessage))
            report(Result{Result::Outcome::Cancelled, QString()});
        else
            report(Result{Result::Outcome::Failed, message});
    });
    // Queued: a failed start may be reported from within start(), before run has returned.
    connect(
        process, &QProcess::errorOccurred, this,
        [process, report](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            process->deleteLater();
            report(Result{Result::Outcome::Failed, process->errorString()});
        },
        Qt::QueuedConnection);
    process->start(program, arguments);
}
