// SPDX-License-Identifier: MIT
#include "ProcessInfo.h"

#include <QByteArrayList>
#include <QFile>

#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

QByteArray procFile(qint64 pid, const char *name)
{
    // Read with the system's calls: a launch reads two of these files, and QFile's own work cost
    // twice the system's.
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%lld/%s", static_cast<long long>(pid), name);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    // /proc files report a size of 0: read until the end instead of trusting it.
    QByteArray contents;
    char buffer[1024];
    ssize_t count = 0;
    while ((count = ::read(fd, buffer, sizeof buffer)) > 0)
        contents.append(buffer, count);
    ::close(fd);
    return contents;
}

} // namespace

namespace ProcessInfo {

std::optional<quint64> startTime(qint64 pid)
{
    const QByteArray stat = procFile(pid, "stat");
    // The name in field 2 is in parentheses and may itself hold spaces and parentheses.
    const qsizetype nameEnd = stat.lastIndexOf(')');
    if (nameEnd < 0)
        return std::nullopt;
    const QByteArrayList fields = stat.mid(nameEnd + 2).split(' ');
    constexpr qsizetype startTimeField = 22 - 3; // counted from field 3, the state
    if (fields.size() <= startTimeField)
        return std::nullopt;
    bool ok = false;
    const quint64 ticks = fields.at(startTimeField).toULongLong(&ok);
    return ok ? std::optional<quint64>(ticks) : std::nullopt;
}

QString executable(qint64 pid)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/%lld/exe", static_cast<long long>(pid));
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(link, buffer, sizeof buffer);
    if (length <= 0)
        return QString();
    QString target = QFile::decodeName(QByteArray(buffer, length));
    const QString deleted = QStringLiteral(" (deleted)");
    if (target.endsWith(deleted))
        target.chop(deleted.size());
    return target;
}

QString name(qint64 pid)
{
    return QString::fromUtf8(procFile(pid, "comm")).trimmed();
}

std::optional<qint64> residentBytes(qint64 pid)
{
    const QByteArrayList pages = procFile(pid, "statm").split(' ');
    if (pages.size() < 2)
        return std::nullopt;
    bool ok = false;
    const qint64 resident = pages.at(1).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return resident * ::sysconf(_SC_PAGESIZE);
}

} // namespace ProcessInfo
