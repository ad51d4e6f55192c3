// SPDX-License-Identifier: MIT
#include "SingleInstance.h"

#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool sameFile(int descriptor, const QByteArray &path)
{
    struct stat held
    {};
    struct stat named
    {};
    return ::fstat(descriptor, &held) == 0 && ::stat(path.constData(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

} // namespace

SingleInstance::SingleInstance(const QString &stateDirectory)
    : m_lockFile(stateDirectory + QStringLiteral("/halvex-kelvane.lock"))
{}

SingleInstance::~SingleInstance()
{
    if (m_descriptor < 0)
        return;
    // Removed while still held: whoever opens the name from now on finds a file of its own.
    ::unlink(QFile::encodeName(m_lockFile).constData());
    ::close(m_descriptor);
}

SingleInstance::Outcome SingleInstance::acquire()
{
    const QByteArray path = QFile::encodeName(m_lockFile);
    for (;;) {
        const int descriptor = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (descriptor < 0) {
            m_error = errno;
            return Outcome::Failed;
        }
        if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(descriptor);
            if (error == EWOULDBLOCK)
                return Outcome::HeldByAnother;
            m_error = error;
            return Outcome::Failed;
        }
        // An owner that quit between our open and our lock removed the file we opened: a lock on it
        // keeps nobody out, so the file now under that name is tried instead.
        if (!sameFile(descriptor, path)) {
            ::close(descriptor);
            continue;
        }
        // Not synced: the process ID only tells who holds the lock, and the lock itself needs no disk.
        const QByteArray pid = QByteArray::number(::getpid()) + '\n';
        if (::ftruncate(descriptor, 0) != 0 || ::pwrite(descriptor, pid.constData(), pid.size(), 0) != pid.size()) {
            m_error = errno != 0 ? errno : EIO;
            ::close(descriptor);
            return Outcome::Failed;
        }
        m_descriptor = descriptor;
        return Outcome::Acquired;
    }
}

QString SingleInstance::error() const
{
    return QStringLiteral("cannot lock %1: %2").arg(m_lockFile, qt_error_string(m_error));
}

QString SingleInstance::socketPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/halvex-kelvane.socket");
}
