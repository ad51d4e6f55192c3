// SPDX-License-Identifier: MIT
#include "LocalHostNames.h"

#include "core/InstanceName.h"
#include "instances/HostsCommand.h"

#include <QFile>
#include <QSet>

LocalHostNames::LocalHostNames(QString hostsFile, PrivilegedCommandRunner *runner, QObject *parent)
    : QObject(parent)
    , m_hostsFile(std::move(hostsFile))
    , m_runner(runner)
{
    m_start.setSingleShot(true);
    m_start.setInterval(0);
    connect(&m_start, &QTimer::timeout, this, [this] {
        if (m_running == 0)
            startWaiting(PrivilegedCommandRunner::Lifetime::Application);
    });
}

void LocalHostNames::update(const HalvexInstance &instance, bool add, QObject *context, Done done)
{
    m_waiting.append(Request{HostsEntries::Change{add, instance.name}, context, std::move(done)});
    startWhenIdle();
}

void LocalHostNames::startWaitingNow()
{
    m_start.stop();
    startWaiting(PrivilegedCommandRunner::Lifetime::BeyondApplication);
}

void LocalHostNames::startWhenIdle()
{
    if (m_running == 0 && !m_waiting.isEmpty())
        m_start.start();
}

void LocalHostNames::startWaiting(PrivilegedCommandRunner::Lifetime lifetime)
{
    if (m_waiting.isEmpty())
        return;
    const QList<Request> requests = std::exchange(m_waiting, {});
    QFile file(m_hostsFile);
    QByteArray content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();

    // A change whose line is already as asked is done, unless an earlier change of this command
    // touches the same name: then it stands or falls with the command.
    QList<Request> batch;
    QList<HostsEntries::Change> changes;
    QSet<QString> touched;
    for (const Request &request : requests) {
        const HostsEntries::Change &change = request.change;
        // The name reaches a root helper or shell and a sed address: nothing but a host label may.
        if (!InstanceName::isValid(change.name)) {
            report(request, Outcome::InvalidName);
            continue;
        }
        const bool inPlace = HostsEntries::contains(content, change.name) == change.add;
        if (inPlace && !touched.contains(change.name)) {
            report(request, Outcome::Configured);
            continue;
        }
        batch.append(request);
        touched.insert(change.name);
        if (!inPlace) {
            changes.append(change);
            content = HostsEntries::edited(content, {change});
        }
    }
    if (batch.isEmpty())
        return;

    ++m_running;
    m_runner->run(
        HostsCommand::forChanges(m_hostsFile, changes), this,
        [this, batch](const PrivilegedCommandRunner::Result &result) {
            --m_running;
            for (const Request &request : batch) {
                switch (result.outcome) {
                case PrivilegedCommandRunner::Result::Outcome::Succeeded:
                    report(request, Outcome::Configured);
                    break;
                case PrivilegedCommandRunner::Result::Outcome::Cancelled:
                    report(request, Outcome::Cancelled);
                    break;
                case PrivilegedCommandRunner::Result::Outcome::Failed:
                    report(request, Outcome::Failed, result.message);
                    break;
                }
            }
            startWhenIdle();
        },
        lifetime);
}

void LocalHostNames::report(const Request &request, Outcome outcome, const QString &message)
{
    if (request.context)
        request.done(outcome, message);
}
