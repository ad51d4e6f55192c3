// SPDX-License-Identifier: MIT
#include "FileSystems.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Mount
{
    QString device;
    QString point;
    QString type;
};

// The mount that holds path: the longest mount point that is a prefix of it.
Mount mountOf(const QString &path)
{
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    Mount best;
    if (!mounts.open(QIODevice::ReadOnly))
        return best;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    for (const QByteArray &line : mounts.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3)
            continue;
        const QString point = QString::fromUtf8(fields.at(1));
        const bool holds = canonical == point || canonical.startsWith(point.endsWith(u'/') ? point : point + u'/');
        if (holds && point.size() >= best.point.size())
            best = {QString::fromUtf8(fields.at(0)), point, QString::fromUtf8(fields.at(2))};
    }
    return best;
}

QString existingAncestor(QString path)
{
    while (!QFileInfo::exists(path) && path != QStringLiteral("/"))
        path = QFileInfo(path).absolutePath();
    return path;
}

bool sameDevice(const QString &a, const QString &b)
{
    struct stat first
    {};
    struct stat second
    {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev;
}

} // namespace

namespace FileSystems {

Place stateDirectory()
{
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
    const QString state = dataHome + QStringLiteral("/HalvexKelvane");
    const QString ancestor = existingAncestor(state);
    const QString directory = sameDevice(ancestor, QDir::tempPath()) ? QDir::tempPath() : ancestor;
    const Mount mount = mountOf(directory);
    return {directory, QStringLiteral("%1 (%2) in %3, the file system of %4")
                           .arg(mount.type, mount.device, directory, QDir::toNativeSeparators(state))};
}

std::optional<Place> tmpfs()
{
    const QStringList candidates{QStringLiteral("/dev/shm"), qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath()};
    for (const QString &candidate : candidates) {
        if (candidate.isEmpty() || ::access(QFile::encodeName(candidate).constData(), W_OK) != 0)
            continue;
        const Mount mount = mountOf(candidate);
        if (mount.type == QStringLiteral("tmpfs"))
            return Place{candidate, QStringLiteral("tmpfs in %1").arg(candidate)};
    }
    return std::nullopt;
}

} // namespace FileSystems
