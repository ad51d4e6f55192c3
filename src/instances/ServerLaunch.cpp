// SPDX-License-Identifier: MIT
#include "ServerLaunch.h"

#include "instances/ExecutableProbe.h"
#include "platform/PortHolder.h"
#include "platform/PortProbe.h"
#include "platform/Quarantine.h"

#include <QDir>
#include <QFileInfo>

ServerLaunch::Outcome ServerLaunch::run() const
{
    Outcome outcome{instance, {}, std::nullopt};
    QStringList &log = outcome.log;
    if (!QFileInfo::exists(executable)) {
        log += QStringLiteral("Error: Halvex binary not found at path: ") + executable;
        log += QStringLiteral("Please download or select a valid binary in Settings.");
        return outcome;
    }
    if (!verifyExecutable(log) || !verifyPortIsFree(log))
        return outcome;
    log += directories.create(instance);
    log += environmentLog;

    QDir().mkpath(QFileInfo(outputFile).absolutePath());
    QString error;
    outcome.pid = ServerProcess::spawn(executable, environment, outputFile, &error);
    if (!outcome.pid) {
        log += QStringLiteral("Failed to start instance: ") + error;
        return outcome;
    }
    // Written before the start is reported: a crash from here on leaves a server that the next run
    // can find.
    if (const auto record = RunRecord::of(instance.id, *outcome.pid, instance.port, outputFile))
        runRecords.write(*record);
    return outcome;
}

bool ServerLaunch::verifyExecutable(QStringList &log) const
{
    const QString &path = executable;
    log += QStringLiteral("Verifying binary: ") + path;
    // Reading anything but a regular file can block for ever (a named pipe waits for a writer).
    if (const auto kind = ExecutableProbe::notRegularFile(path)) {
        log += QStringLiteral("❌ ERROR: Binary is ") + *kind + QStringLiteral(", not a regular file");
        log += QStringLiteral("Please download or select a valid binary in Settings.");
        return false;
    }
    if (const auto description = ExecutableProbe::fileDescription(path))
        log += QStringLiteral("Binary type: ") + *description;

    const QString architectures = ExecutableProbe::architectures(path);
    log += QStringLiteral("Binary architectures: ") + architectures;
    if (!architectures.contains(QStringLiteral("x86_64"))) {
        log += QStringLiteral("❌ ERROR: Binary doesn't support x86_64 architecture!");
        log += QStringLiteral("You need a binary with x86_64 support for your Mac");
        return false;
    }
    log += QStringLiteral("✅ Architecture check passed (x86_64)");

    if (!ExecutableProbe::isExecutable(path)) {
        log += QStringLiteral("⚠️ Warning: Binary may not be executable (attempting anyway)");
        if (const auto permissions = ExecutableProbe::permissions(path)) {
            log += QStringLiteral("Current permissions: ") + *permissions;
            if (Quarantine::isMarked(path)) {
                log += QStringLiteral("⚠️ File has quarantine attribute - this may cause issues");
                log += QStringLiteral("To fix: xattr -d com.apple.quarantine \"") + path + u'"';
            }
        }
        log += QStringLiteral("If this fails, run: chmod +x \"") + path + u'"';
    }
    return true;
}

bool ServerLaunch::verifyPortIsFree(QStringList &log) const
{
    const qint64 port = instance.port;
    if (port >= 1 && port <= 65535 && PortProbe::isAvailable(static_cast<quint16>(port)))
        return true;
    const auto holder = PortHolder::find(static_cast<quint16>(port));
    const QString who = holder ? QStringLiteral("%1 (PID %2)").arg(holder->program).arg(holder->pid)
                               : QStringLiteral("another program");
    log += QStringLiteral("❌ Port %1 is already in use by %2").arg(port).arg(who);
    return false;
}
