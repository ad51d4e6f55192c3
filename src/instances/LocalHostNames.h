// SPDX-License-Identifier: MIT
#pragma once

#include "core/HalvexInstance.h"

#include <QObject>
#include <QString>

#include <functional>

class PrivilegedCommandRunner;

// Gives a running instance the host name <name>.halvex.local through the line
// "127.0.0.1 <name>.halvex.local" in the hosts file, and takes it away again. The hosts file is
// world-readable, so it is read first: a change that is already in place needs no password.
class LocalHostNames
{
public:
    enum class Outcome { Configured, Cancelled, Failed, InvalidName };

    LocalHostNames(QString hostsFile, PrivilegedCommandRunner *runner);

    static QString entry(const QString &name);
    QString addCommand(const QString &name) const;
    QString removeCommand(const QString &name) const;
    // Whether the hosts file holds exactly the instance's line.
    bool hasEntry(const QString &name) const;

    // Adds or removes the instance's line and reports the outcome (with the failure's message)
    // on the GUI thread; nothing is reported once context is gone.
    void update(const HalvexInstance &instance, bool add, QObject *context,
                std::function<void(Outcome, const QString &message)> done);

private:
    QString m_hostsFile;
    PrivilegedCommandRunner *m_runner;
};
