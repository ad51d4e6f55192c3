// SPDX-License-Identifier: MIT
#include "BenchSupport.h"
#include "Child.h"
#include "Figures.h"
#include "FileSystems.h"
#include "Sandbox.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

namespace {

const QString writer = QStringLiteral(FLOOD_WRITER_PATH);
constexpr qint64 floodBytes = 200LL * 1000 * 1000;
constexpr int probeInterval = 5;

struct Cat
{
    double megabytesPerSecond = 0;
    double p99 = 0; // lateness of an idle event loop's 5 ms timer meanwhile
};

// The same writer into cat, which throws the bytes away, while this process's event loop does
// nothing but the same 5 ms timer: how late that fires is the machine's share of the lateness.
Cat throughCat()
{
    QProcess shell;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("FLOOD_BYTES"), QString::number(floodBytes));
    shell.setProcessEnvironment(environment);
    shell.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QList<double> lateness;
    QElapsedTimer tick;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(probeInterval);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        lateness.append(std::max(0.0, static_cast<double>(tick.nsecsElapsed()) / 1e6 - probeInterval));
        tick.restart();
    });
    QEventLoop loop;
    QObject::connect(&shell, &QProcess::finished, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    tick.start();
    probe.start();
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), u'\'' + writer + QStringLiteral("' | cat > /dev/null")});
    loop.exec();
    return {static_cast<double>(floodBytes) / 1e3 / (static_cast<double>(timer.nsecsElapsed()) / 1e6),
            Bench::percentile(lateness, 0.99)};
}

} // namespace

namespace Figures {

void logFlood()
{
    QList<double> throughput;
    QList<double> p99;
    QList<double> worst;
    QList<double> growth;
    QList<double> cat;
    QList<double> idleP99;
    for (int run = 0; run < 5; ++run) {
        QList<HalvexInstance> records = Sandbox::records(1);
        records[0].name = QStringLiteral("flood");
        const Sandbox sandbox(FileSystems::stateDirectory().directory, Sandbox::registry(records), writer);
        QProcessEnvironment environment = sandbox.environment();
        environment.insert(QStringLiteral("FLOOD_BYTES"), QString::number(floodBytes));
        const Child child = Child::run(QStringLiteral(BENCH_APP_PATH),
                                       {QStringLiteral("flood"), QString::number(floodBytes)}, environment);
        if (!child.ok) {
            Table::printFailure(QStringLiteral("log flood"), child.error);
            return;
        }
        throughput += child[QStringLiteral("throughput")];
        p99 += child[QStringLiteral("p99")];
        worst += child[QStringLiteral("max")];
        growth += child[QStringLiteral("growth")];
        const Cat baseline = throughCat();
        cat.append(baseline.megabytesPerSecond);
        idleP99.append(baseline.p99);
    }
    const QList<double> each = ratios(throughput, cat);
    Table::printRow({QStringLiteral("log flood, 200 MB: throughput into the shown log"), QStringLiteral("MB/s"),
                     throughput, QString(), cat, QStringLiteral("the writer into cat > /dev/null"), each,
                     QStringLiteral("≥ 0.5× in every run"), Bench::spread(each).min >= 0.5});
    Table::printRow({QStringLiteral("log flood: event-loop lateness p99 (5 ms timer)"), QStringLiteral("ms"), p99,
                     QStringLiteral("max %1").arg(Table::spread(worst, QStringLiteral("ms"))), idleP99,
                     QStringLiteral("an idle event loop during the cat run"), ratios(p99, idleP99),
                     QStringLiteral("p99 ≤ 16 ms in every run, max ≤ 50 ms"),
                     Bench::spread(p99).max <= 16 && median(worst) <= 50});
    Table::printRow({QStringLiteral("log flood: resident memory growth"),
                     QStringLiteral("MB"),
                     growth,
                     QString(),
                     {},
                     QString(),
                     {},
                     QStringLiteral("≤ 50 MB"),
                     median(growth) <= 50});
}

} // namespace Figures
