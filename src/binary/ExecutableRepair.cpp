// SPDX-License-Identifier: MIT
#include "ExecutableRepair.h"

#include "platform/Quarantine.h"

#include <QProcess>

namespace ExecutableRepair {

void removeQuarantine(const QString &path)
{
    Quarantine::remove(path);
}

bool makeExecutable(const QString &path)
{
    return QProcess::execute(QStringLiteral("/bin/chmod"), {QStringLiteral("+x"), path}) == 0;
}

} // namespace ExecutableRepair
