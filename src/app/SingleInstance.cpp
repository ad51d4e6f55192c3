// SPDX-License-Identifier: MIT
#include "SingleInstance.h"

#include <QStandardPaths>

SingleInstance::SingleInstance(const QString &stateDirectory)
    : m_lockFile(stateDirectory + QStringLiteral("/halvex-kelvane.lock"))
    , m_lock(m_lockFile)
{
    // The application runs for days: only a dead owner makes the lock stale, never its age.
    m_lock.setStaleLockTime(0);
}

SingleInstance::Outcome SingleInstance::acquire()
{
    if (m_lock.tryLock(0))
        return Outcome::Acquired;
    return m_lock.error() == QLockFile::LockFailedError ? Outcome::HeldByAnother : Outcome::Failed;
}

QString SingleInstance::error() const
{
    const QString reason = m_lock.error() == QLockFile::PermissionError ? QStringLiteral("permission denied")
                                                                        : QStringLiteral("unknown error");
    return QStringLiteral("cannot lock %1: %2").arg(m_lockFile, reason);
}

QString SingleInstance::socketPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/halvex-kelvane.socket");
}
