// SPDX-License-Identifier: MIT
#include "ProcessInfo.h"

#include <QByteArrayList>
#include <QFile>

#include <unistd.h>

namespace {

QByteArray procFile(qint64 pid, const char *name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1StringView(name)));
    // /proc files report a size of 0: read until the end instead of trusting it.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QByteArray();
    return file.readAll();
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
    QString target = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
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
