// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// One application per user. Whoever holds the lock in the state directory is the application and
// listens on the command socket in the runtime directory; everyone else talks to it there. The
// lock is the kernel's: it goes with the process that holds it, so an owner that crashed leaves
// nothing behind that keeps the next one out, and the socket it left is taken over.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &stateDirectory);
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    enum class Outcome { Acquired, HeldByAnother, Failed };

    // Acquired: this process is now the application, for as long as this object lives, and the
    // lock file names its process ID. Failed: the lock could not be taken (error() says why).
    Outcome acquire();
    QString error() const;

    // The command socket: $XDG_RUNTIME_DIR/halvex-kelvane.socket.
    static QString socketPath();

private:
    QString m_lockFile;
    int m_descriptor = -1;
    int m_error = 0;
};
