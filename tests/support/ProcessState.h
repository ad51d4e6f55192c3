// SPDX-License-Identifier: MIT
#pragma once

#include <QFile>
#include <QString>

namespace TestSupport {

// Whether the process has ended: it is gone, or a zombie that its parent has not reaped yet (which
// kill(pid, 0) would still call alive).
inline bool hasEnded(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
}

} // namespace TestSupport
