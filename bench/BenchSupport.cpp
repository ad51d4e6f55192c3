// SPDX-License-Identifier: MIT
#include "BenchSupport.h"

#include <QFile>

namespace Bench {

double residentMiB(qint64 pid)
{
    QFile status(pid ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    // Files under /proc report a size of 0, so they are read whole rather than line by line.
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

void printHeader()
{
    std::printf("| figure | measured | baseline | ratio | goal | met |\n");
    std::printf("|---|---|---|---|---|---|\n");
    std::fflush(stdout);
}

void printRow(const Row &row)
{
    const QString ratio = row.ratio > 0 ? QString::number(row.ratio, 'f', 2) : QStringLiteral("–");
    std::printf("| %s | %s | %s | %s | %s | %s |\n", qUtf8Printable(row.figure), qUtf8Printable(row.measured),
                qUtf8Printable(row.baseline), qUtf8Printable(ratio), qUtf8Printable(row.goal),
                row.goal.isEmpty() ? "–" : (row.met ? "yes" : "NO"));
    std::fflush(stdout);
}

} // namespace Bench
