// SPDX-License-Identifier: MIT
#pragma once

#include <QLockFile>
#include <QString>

// One application per user. Whoever holds the lock in the state directory is the application and
// listens on the command socket in the runtime directory; everyone else talks to it there. A lock
// left behind by an owner that crashed is taken over, as is the socket it left.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &stateDirectory);

    enum class Outcome { Acquired, HeldByAnother, Failed };

    // Acquired: this process is now the application, for as long as this object lives. Failed: the
    // lock could not be taken or looked at (error() says why).
    Outcome acquire();
    QString error() const;
    QString lockFile() const { return m_lockFile; }

    // The command socket: $XDG_RUNTIME_DIR/halvex-kelvane.socket.
    static QString socketPath();

private:
    QString m_lockFile;
    QLockFile m_lock;
};
