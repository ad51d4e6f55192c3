// SPDX-License-Identifier: MIT
#include "BenchSupport.h"
#include "Figures.h"
#include "FileSystems.h"
#include "Sandbox.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

namespace {

const QString application = QStringLiteral(COLDSTART_APP_PATH);
const QString minimal = QStringLiteral(MINIMAL_WINDOW_PATH);

struct Start
{
    double milliseconds = -1; // from process start to the first paint
    double residentMiB = 0;   // with stay: after the window has settled
};

// One start in a home of its own, so that no start finds the lock, the socket or the files of
// another.
Start start(const QString &program, const QByteArray &registry, bool stay)
{
    const Sandbox sandbox(FileSystems::stateDirectory().directory, registry);
    QProcessEnvironment environment = sandbox.environment();
    if (stay)
        environment.insert(QStringLiteral("HALVEX_BENCH_STAY"), QStringLiteral("1"));
    QProcess process;
    process.setProcessEnvironment(environment);
    Start result;
    QElapsedTimer timer;
    timer.start();
    process.start(program, QStringList());
    QByteArray output;
    while (!output.contains("painted\n") && process.waitForReadyRead(20000))
        output += process.readAllStandardOutput();
    if (output.contains("painted\n"))
        result.milliseconds = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (stay) {
        QThread::msleep(500); // lets the window settle before its memory is read
        result.residentMiB = Bench::residentMiB(process.processId());
        process.kill();
    }
    process.waitForFinished(20000);
    return result;
}

void coldStartWith(int count, double goal, int pairs)
{
    const QByteArray registry = count ? Sandbox::registry(Sandbox::records(count)) : QByteArray();
    // A first start of each warms the file cache; only the later, alternating starts count.
    start(application, registry, false);
    start(minimal, registry, false);
    // The machine's speed drifts (it is shared): a start and the baseline's right after it see the
    // same conditions, so the ratio is taken per pair.
    QList<double> app;
    QList<double> baseline;
    for (int i = 0; i < pairs; ++i) {
        app.append(start(application, registry, false).milliseconds);
        baseline.append(start(minimal, registry, false).milliseconds);
    }
    const QList<double> each = Figures::ratios(app, baseline);
    const bool allPainted = !app.contains(-1) && !baseline.contains(-1);
    Table::printRow({QStringLiteral("cold start to first paint, %1 instances").arg(count), QStringLiteral("ms"), app,
                     QString(), baseline, QStringLiteral("a minimal Qt Widgets window"), each,
                     QStringLiteral("≤ %1×").arg(goal), allPainted && Figures::median(each) <= goal});
}

} // namespace

namespace Figures {

void coldStart()
{
    coldStartWith(0, 1.3, 9);
    coldStartWith(1000, 1.3, 9);
    coldStartWith(10000, 1.6, 7);
}

void idleMemory()
{
    const QByteArray registry = Sandbox::registry(Sandbox::records(20));
    QList<double> app;
    QList<double> baseline;
    for (int i = 0; i < 5; ++i) {
        app.append(start(application, registry, true).residentMiB);
        baseline.append(start(minimal, registry, true).residentMiB);
    }
    const QList<double> each = ratios(app, baseline);
    Table::printRow({QStringLiteral("idle memory, 20 instances (resident)"), QStringLiteral("MB"), app, QString(),
                     baseline, QStringLiteral("a minimal Qt Widgets window"), each, QStringLiteral("≤ 1.3×"),
                     median(each) <= 1.3});
}

} // namespace Figures
