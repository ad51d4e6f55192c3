// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// Runs one shell command with administrator rights, asynchronously. Through pkexec the desktop
// asks for the password; a process that already runs as root runs the command directly.
class PrivilegedCommandRunner : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        enum class Outcome { Succeeded, Cancelled, Failed };
        Outcome outcome = Outcome::Failed;
        // For a failure: what the elevator or the command said on standard error.
        QString message;
    };

    // With an elevator (the path of pkexec), commands run through it; without one, directly.
    explicit PrivilegedCommandRunner(std::optional<QString> elevator, QObject *parent = nullptr);

    // Runs /bin/sh -c command and calls done on the GUI thread when it has ended. Nothing is
    // called once context is gone.
    void run(const QString &command, QObject *context, std::function<void(const Result &)> done);

private:
    std::optional<QString> m_elevator;
};
