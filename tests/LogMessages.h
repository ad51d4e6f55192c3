// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

// The messages of log entries, without their "[time] " stamps.
inline QStringList logMessages(QStringList log)
{
    for (QString &entry : log)
        entry = entry.mid(entry.indexOf(QStringLiteral("] ")) + 2);
    return log;
}
