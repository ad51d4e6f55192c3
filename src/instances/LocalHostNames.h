// SPDX-License-Identifier: MIT
#pragma once

#include "core/HalvexInstance.h"
#include "instances/HostsEntries.h"
#include "platform/PrivilegedCommandRunner.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

// Gives running instances the host names <name>.halvex.local through the line
// "127.0.0.1 <name>.halvex.local" in the hosts file, and takes them away again. The application
// has one of these: every change waits in its queue and runs after the ones asked before it, and
// the changes waiting together run as one privileged command, so one password covers them all.
// The hosts file is world-readable, so it is read first: a change already in place needs no password.
class LocalHostNames : public QObject
{
    Q_OBJECT

public:
    enum class Outcome { Configured, Cancelled, Failed, InvalidName };
    using Done = std::function<void(Outcome, const QString &message)>;

    LocalHostNames(QString hostsFile, PrivilegedCommandRunner *runner, QObject *parent = nullptr);

    // Queues adding or removing the instance's line. The outcome (with a failure's message) is
    // reported on the GUI thread, never before update has returned, and not at all once context
    // is gone.
    void update(const HalvexInstance &instance, bool add, QObject *context, Done done);

    // Starts the waiting changes now, beside a command that may still be running: at quit no later
    // turn of the event loop comes, and the application does not wait for the command's end.
    void startWaitingNow();

private:
    struct Request
    {
        HostsEntries::Change change;
        QPointer<QObject> context;
        Done done;
    };

    void startWhenIdle();
    void startWaiting(PrivilegedCommandRunner::Lifetime lifetime);
    static void report(const Request &request, Outcome outcome, const QString &message = QString());

    QString m_hostsFile;
    PrivilegedCommandRunner *m_runner;
    QList<Request> m_waiting;
    int m_running = 0;
    // Starts the waiting changes on the next turn of the event loop, so that those asked together
    // (all the stops of a "stop all") become one command.
    QTimer m_start;
};
