// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Runs a change of the system with administrator rights, asynchronously: through the application's
// installed helper when there is one, otherwise (from a build tree) as a shell command. Unless this
// process already has those rights, pkexec asks the desktop for the password. pkexec authorizes
// its parent process, and polkit keeps a granted authorization for that process only: so pkexec
// runs as this application's own child (never detached), and the application is asked again only
// once the authorization has expired.
class PrivilegedCommandRunner : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        enum class Outcome { Succeeded, Cancelled, Failed };
        Outcome outcome = Outcome::Failed;
        // For a failure: what pkexec, the helper or the command said on standard error.
        QString message;
    };

    // One change, in the words of the helper and as the shell command that does the same.
    struct Command
    {
        QStringList helperArguments;
        QString shellCommand;
    };

    // Whether the command's end is awaited by this application or must come after it has exited.
    enum class Lifetime { Application, BeyondApplication };

    // helper: the installed helper program, or none to run shell commands. elevator: the path of
    // pkexec, or none when this process already has administrator rights.
    PrivilegedCommandRunner(std::optional<QString> helper, std::optional<QString> elevator, QObject *parent = nullptr);

    // The helper at helperPath if it is installed there and this program runs from the directory
    // the installation put it in (installedProgramDir). A build tree never uses an installed helper,
    // which may belong to another version.
    static std::optional<QString> installedHelper(const QString &helperPath, const QString &installedProgramDir,
                                                  const QString &programDir);

    // Starts the command before it returns and calls done on the GUI thread when it has ended,
    // never before run has returned and not at all once context is gone. A command started as the
    // application quits runs with Lifetime::BeyondApplication: pkexec refuses to act for a parent
    // that has exited, so it then gets a parent of its own, a shell that waits for it.
    void run(const Command &command, QObject *context, std::function<void(const Result &)> done,
             Lifetime lifetime = Lifetime::Application);

private:
    std::optional<QString> m_helper;
    std::optional<QString> m_elevator;
};
