// SPDX-License-Identifier: MIT
#pragma once

#include <QDir>
#include <QFile>
#include <QString>

namespace TestSupport {

// Whether the process has ended: it is gone, or a zombie that its parent has not reaped yet (which
// kill(pid, 0) would still call alive) and whose other threads are gone too. Until the last one
// is, the process's files, its listening sockets among them, are still open.
inline bool hasEnded(qint64 pid)
{
    const QString process = QStringLiteral("/proc/%1").arg(pid);
    QFile stat(process + QStringLiteral("/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z" &&
           QDir(process + QStringLiteral("/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() <= 1;
}

} // namespace TestSupport
