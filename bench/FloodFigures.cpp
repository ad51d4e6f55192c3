// SPDX-License-Identifier: MIT
#include "Figures.h"
#include "Fixture.h"

#include "views/InstanceDetailView.h"
#include "views/LogsView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStackedWidget>
#include <QTimer>

#include <malloc.h>

namespace {

const QString writer = QStringLiteral(FLOOD_WRITER_PATH);
constexpr qint64 floodBytes = 200LL * 1000 * 1000;

double seconds(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// Throughput of the writer into cat and /dev/null, in bytes per second.
double catThroughput()
{
    QProcess shell;
    shell.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), u'\'' + writer + QStringLiteral("' | cat > /dev/null")});
    shell.waitForFinished(-1);
    return static_cast<double>(floodBytes) / seconds(timer);
}

} // namespace

namespace Figures {

void logFlood()
{
    Fixture fixture;
    fixture.settings()->setBinaryPath(QUrl::fromLocalFile(writer));
    auto manager = fixture.manager();
    manager->addInstance(HalvexInstance::create(QStringLiteral("flood"), QStringLiteral("token"), 8080));
    const HalvexInstance instance = manager->instances().last();

    ViewContext context;
    context.settings = fixture.settings();
    context.instances = manager.get();
    InstanceDetailView view(instance.id, context);
    view.resize(1000, 700);
    view.show();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 200)
        QApplication::processEvents();

    QList<double> lateness;
    double peakRss = 0;
    const double rssBefore = Bench::residentMiB();
    QElapsedTimer tick;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        lateness.append(std::max(0.0, static_cast<double>(tick.nsecsElapsed()) / 1e6 - 5.0));
        tick.restart();
        peakRss = std::max(peakRss, Bench::residentMiB());
    });

    QElapsedTimer timer;
    timer.start();
    tick.start();
    probe.start();
    manager->startInstance(instance);
    do {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    } while (manager->hasProcess(instance.id));
    const double elapsed = seconds(timer);
    probe.stop();

    const double app = static_cast<double>(floodBytes) / elapsed;
    const double baseline = catThroughput();
    const double p99 = Bench::percentile(lateness, 0.99);
    const double worst = Bench::percentile(lateness, 1.0);
    const double growth = peakRss - rssBefore;
    const double ratio = app / baseline;
    Bench::printRow({QStringLiteral("log flood, 200 MB: throughput"),
                     QStringLiteral("%1 MB/s").arg(app / 1e6, 0, 'f', 0),
                     QStringLiteral("%1 MB/s cat > /dev/null").arg(baseline / 1e6, 0, 'f', 0), ratio,
                     QStringLiteral("≥ 0.5×"), ratio >= 0.5});
    Bench::printRow({QStringLiteral("log flood: event-loop lateness (5 ms timer)"),
                     QStringLiteral("p99 %1 ms, max %2 ms").arg(p99, 0, 'f', 1).arg(worst, 0, 'f', 1),
                     QStringLiteral("–"), 0, QStringLiteral("p99 ≤ 16 ms, max ≤ 50 ms"), p99 <= 16 && worst <= 50});
    Bench::printRow({QStringLiteral("log flood: resident memory growth"),
                     QStringLiteral("%1 MB").arg(growth, 0, 'f', 1), QStringLiteral("–"), 0, QStringLiteral("≤ 50 MB"),
                     growth <= 50});
}

void logViewMemory()
{
    // Heap in use rather than resident memory: memory freed by the figures before is still
    // resident and would hide what the views take.
    const auto heapMiB = [] { return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0); };
    Fixture fixture;
    auto manager = fixture.manager();
    for (int i = 0; i < 20; ++i) {
        manager->addInstance(
            HalvexInstance::create(QStringLiteral("instance-%1").arg(i), QStringLiteral("token"), 10000 + i));
    }
    const double before = heapMiB();
    for (const HalvexInstance &instance : manager->instances()) {
        for (int line = 0; line < 1000; ++line)
            manager->addLog(instance.id, QStringLiteral("GET /kv/key-%1 200 (0.4 ms) from 127.0.0.1").arg(line));
    }
    const double withLogs = heapMiB();
    // In one window, one shown at a time, as the detail column shows them.
    QStackedWidget window;
    for (const HalvexInstance &instance : manager->instances())
        window.addWidget(new LogsView(instance.id, manager.get()));
    window.resize(800, 400);
    window.show();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QApplication::processEvents();
    const double withViews = heapMiB();
    Bench::printRow({QStringLiteral("log view memory, 20 instances × 1000 entries"),
                     QStringLiteral("%1 MB of heap for 20 views").arg(withViews - withLogs, 0, 'f', 1),
                     QStringLiteral("%1 MB for the logs themselves").arg(withLogs - before, 0, 'f', 1), 0, QString(),
                     true});
}

} // namespace Figures
