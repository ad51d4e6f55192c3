// SPDX-License-Identifier: MIT
#include "LocalHostNames.h"

#include "core/InstanceName.h"
#include "platform/PrivilegedCommandRunner.h"

#include <QFile>
#include <QTimer>

namespace {

QString shellQuoted(const QString &text)
{
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

} // namespace

LocalHostNames::LocalHostNames(QString hostsFile, PrivilegedCommandRunner *runner)
    : m_hostsFile(std::move(hostsFile))
    , m_runner(runner)
{}

QString LocalHostNames::entry(const QString &name)
{
    return QStringLiteral("127.0.0.1 ") + name + QStringLiteral(".halvex.local");
}

QString LocalHostNames::addCommand(const QString &name) const
{
    const QString hosts = shellQuoted(m_hostsFile);
    // A last line without its newline would otherwise be glued to the new entry.
    return QStringLiteral("[ -z \"$(tail -c 1 %1)\" ] || echo >> %1; echo %2 >> %1")
        .arg(hosts, shellQuoted(entry(name)));
}

QString LocalHostNames::removeCommand(const QString &name) const
{
    // Anchored, with the dots escaped, so that removing "db" leaves the line of "mydb" alone.
    QString pattern = entry(name);
    pattern.replace(u'.', QStringLiteral("\\."));
    return QStringLiteral("sed -i %1 %2").arg(shellQuoted(u"/^" + pattern + u"$/d"), shellQuoted(m_hostsFile));
}

bool LocalHostNames::hasEntry(const QString &name) const
{
    QFile file(m_hostsFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray wanted = entry(name).toUtf8();
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        if (line == wanted)
            return true;
    }
    return false;
}

void LocalHostNames::update(const HalvexInstance &instance, bool add, QObject *context,
                            std::function<void(Outcome, const QString &message)> done)
{
    if (!context)
        return;
    // Outcomes known at once still arrive later, like those of a command, so callers see one order.
    const auto reportLater = [context, done](Outcome outcome) {
        QTimer::singleShot(0, context, [done, outcome] { done(outcome, QString()); });
    };
    // The name reaches a root shell and a sed address: nothing but a host label may get there.
    if (!InstanceName::isValid(instance.name)) {
        reportLater(Outcome::InvalidName);
        return;
    }
    if (hasEntry(instance.name) == add) {
        reportLater(Outcome::Configured);
        return;
    }
    const QString command = add ? addCommand(instance.name) : removeCommand(instance.name);
    m_runner->run(command, context, [done](const PrivilegedCommandRunner::Result &result) {
        switch (result.outcome) {
        case PrivilegedCommandRunner::Result::Outcome::Succeeded:
            done(Outcome::Configured, QString());
            break;
        case PrivilegedCommandRunner::Result::Outcome::Cancelled:
            done(Outcome::Cancelled, QString());
            break;
        case PrivilegedCommandRunner::Result::Outcome::Failed:
            done(Outcome::Failed, result.message);
            break;
        }
    });
}
