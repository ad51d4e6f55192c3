// SPDX-License-Identifier: MIT
#include "Child.h"

#include <QProcess>

Child Child::run(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                 int timeoutMilliseconds)
{
    Child child;
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    const bool ended = process.waitForFinished(timeoutMilliseconds);
    if (!ended) {
        process.kill();
        process.waitForFinished();
    }
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
        if (!line.startsWith("bench: "))
            continue;
        const QList<QByteArray> fields = line.mid(7).split(' ');
        if (fields.size() == 2)
            child.values[QString::fromUtf8(fields.at(0))].append(fields.at(1).toDouble());
    }
    const QString errors = QString::fromLocal8Bit(process.readAllStandardError()).trimmed().right(300);
    if (!ended)
        child.error = QStringLiteral("no end after %1 s").arg(timeoutMilliseconds / 1000);
    else if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        child.error = QStringLiteral("exit %1").arg(process.exitCode());
    child.ok = child.error.isEmpty();
    if (!child.ok && !errors.isEmpty())
        child.error += QStringLiteral(": ") + errors;
    return child;
}
