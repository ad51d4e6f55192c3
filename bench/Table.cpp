// SPDX-License-Identifier: MIT
#include "Table.h"

#include "BenchSupport.h"

#include <QDateTime>
#include <QFile>
#include <QLibraryInfo>
#include <QSysInfo>
#include <QThread>

#include <cmath>
#include <cstdio>

namespace {

std::FILE *output = stdout;

QString number(double value)
{
    const double magnitude = std::fabs(value);
    return QString::number(value, 'f', magnitude < 10 ? 2 : magnitude < 100 ? 1 : 0);
}

QString firstLine(const QString &path, const QByteArray &prefix = QByteArray())
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return QString::fromUtf8(line.mid(prefix.size())).trimmed();
    }
    return {};
}

QString loadAverage()
{
    return firstLine(QStringLiteral("/proc/loadavg")).section(u' ', 0, 2);
}

QString machine()
{
    QString cpu = firstLine(QStringLiteral("/proc/cpuinfo"), "model name");
    cpu = cpu.mid(cpu.indexOf(u':') + 1).trimmed();
    const double memoryGiB =
        firstLine(QStringLiteral("/proc/meminfo"), "MemTotal:").section(u' ', 0, 0).toDouble() / (1024.0 * 1024.0);
    return QStringLiteral("%1, %2 cores, %3 GiB RAM, %4, Linux %5, Qt %6, QT_QPA_PLATFORM=%7")
        .arg(cpu)
        .arg(QThread::idealThreadCount())
        .arg(memoryGiB, 0, 'f', 0)
        .arg(QSysInfo::prettyProductName(), QSysInfo::kernelVersion(), QLibraryInfo::version().toString(),
             qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("(default)")));
}

void print(const QString &line)
{
    std::fprintf(output, "%s\n", qUtf8Printable(line));
    std::fflush(output);
}

} // namespace

namespace Table {

void setOutput(std::FILE *stream)
{
    output = stream;
}

QString spread(const QList<double> &values, const QString &unit)
{
    if (values.isEmpty())
        return QStringLiteral("–");
    const Bench::Spread s = Bench::spread(values);
    const QString median = number(s.median) + (unit.isEmpty() ? QString() : u' ' + unit);
    if (s.runs == 1)
        return median;
    return QStringLiteral("%1 (%2–%3)").arg(median, number(s.min), number(s.max));
}

void printHeader(const QStringList &notes)
{
    print(QStringLiteral("- date: ") + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm t")));
    print(QStringLiteral("- machine: ") + machine());
    print(QStringLiteral("- load average (1, 5, 15 min) at the start: ") + loadAverage());
    for (const QString &note : notes)
        print(QStringLiteral("- ") + note);
    print(QString());
    print(QStringLiteral("| figure | runs | measured: median (min–max) | baseline: median (min–max) | ratio: median "
                         "(min–max) | goal | met |"));
    print(QStringLiteral("|---|---|---|---|---|---|---|"));
}

void printRow(const Row &row)
{
    QString measured = spread(row.measured, row.unit);
    if (!row.measuredNote.isEmpty())
        measured += QStringLiteral("; ") + row.measuredNote;
    const QString baseline = row.baseline.isEmpty()
                                 ? QStringLiteral("–")
                                 : spread(row.baseline, row.unit) + QStringLiteral(", ") + row.baselineName;
    const QString ratio = row.ratios.isEmpty() ? QStringLiteral("–") : spread(row.ratios, QString());
    print(QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 |")
              .arg(row.figure)
              .arg(row.measured.size())
              .arg(measured, baseline, ratio, row.goal, row.met ? QStringLiteral("yes") : QStringLiteral("NO")));
}

void printFailure(const QString &figure, const QString &reason)
{
    print(QStringLiteral("| %1 | 0 | failed: %2 | – | – | – | NO |").arg(figure, QString(reason).replace(u'\n', u' ')));
}

void printFooter(qint64 milliseconds)
{
    print(QString());
    print(QStringLiteral("- load average (1, 5, 15 min) at the end: ") + loadAverage());
    print(QStringLiteral("- the figures took %1 s").arg(milliseconds / 1000));
}

} // namespace Table
