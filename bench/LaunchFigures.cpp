// SPDX-License-Identifier: MIT
#include "BenchSupport.h"
#include "Child.h"
#include "Figures.h"
#include "FileSystems.h"
#include "Fixture.h"
#include "Sandbox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <unistd.h>

namespace {

const QString server = QStringLiteral(HALVEX_SERVER_PATH);

// One GET /health over a fresh connection; true on a 200.
bool healthy(quint16 port)
{
    const int fd = Bench::connectToLoopback(port);
    if (fd < 0)
        return false;
    bool ok = false;
    const char request[] = "GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (::write(fd, request, sizeof request - 1) > 0) {
        char reply[32] = {};
        ok = ::read(fd, reply, sizeof reply - 1) > 12 && QByteArray(reply).startsWith("HTTP/1.1 200");
    }
    ::close(fd);
    return ok;
}

// Polls until the server answers, keeping the event loop turning; milliseconds since start.
double untilHealthy(quint16 port, const QElapsedTimer &since)
{
    while (!healthy(port)) {
        QCoreApplication::processEvents();
        ::usleep(500);
        if (since.elapsed() > 10000)
            return -1;
    }
    return static_cast<double>(since.nsecsElapsed()) / 1e6;
}

double readyThroughManager(InstanceManager &manager, int index)
{
    const quint16 port = Figures::freePort();
    const HalvexInstance instance =
        HalvexInstance::create(QStringLiteral("ready%1").arg(index), QStringLiteral("bench-token"), port);
    manager.addInstance(instance);
    QElapsedTimer timer;
    timer.start();
    manager.startInstance(instance);
    const double ready = untilHealthy(port, timer);
    Bench::waitUntil([&] { return manager.instance(instance.id)->isRunning; });
    manager.stopInstance(*manager.instance(instance.id));
    Bench::waitUntil([&] { return !manager.hasProcess(instance.id); });
    return ready;
}

double readyDirectly(const Fixture &fixture, int index)
{
    const quint16 port = Figures::freePort();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HALVEX_AUTH_TOKEN"), QStringLiteral("bench-token"));
    environment.insert(QStringLiteral("HALVEX_DATA_DIR"), fixture.path(QStringLiteral("direct%1").arg(index)));
    environment.insert(QStringLiteral("HALVEX_PORT"), QString::number(port));
    environment.insert(QStringLiteral("HALVEX_TZ"), QStringLiteral("UTC"));
    QProcess process;
    process.setProgram(server);
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(fixture.path(QStringLiteral("direct%1.log").arg(index)));
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    process.start();
    const double ready = untilHealthy(port, timer);
    process.terminate();
    process.waitForFinished(5000);
    return ready;
}

} // namespace

namespace Figures {

void launchBlock()
{
    constexpr int runs = 5;
    constexpr int pairsPerRun = 4;
    QList<double> firstApplication;
    QList<double> firstQProcess;
    QList<double> application;
    QList<double> qprocess;
    for (int run = 0; run < runs; ++run) {
        for (const bool applicationFirst : {true, false}) {
            QList<HalvexInstance> records = Sandbox::records(1);
            records[0].port = freePort();
            const Sandbox sandbox(FileSystems::stateDirectory().directory, Sandbox::registry(records));
            const Child child =
                Child::run(QStringLiteral(BENCH_APP_PATH),
                           {QStringLiteral("launch"),
                            applicationFirst ? QStringLiteral("application") : QStringLiteral("qprocess"),
                            QString::number(pairsPerRun)},
                           sandbox.environment());
            if (!child.ok) {
                Table::printFailure(QStringLiteral("launch block"), child.error);
                return;
            }
            (applicationFirst ? firstApplication : firstQProcess) += child[QStringLiteral("first")];
            application += child[QStringLiteral("application")];
            qprocess += child[QStringLiteral("qprocess")];
        }
    }
    const QList<double> firstRatios = ratios(firstApplication, firstQProcess);
    Table::printRow({QStringLiteral("launch block, first launch of a session (GUI-thread CPU)"), QStringLiteral("ms"),
                     firstApplication, QString(), firstQProcess,
                     QStringLiteral("QProcess::start() as the session's first launch"), firstRatios,
                     QStringLiteral("≤ 2×"), median(firstRatios) <= 2});
    const QList<double> laterRatios = ratios(application, qprocess);
    Table::printRow({QStringLiteral("launch block, later launches (GUI-thread CPU)"), QStringLiteral("ms"), application,
                     QString(), qprocess, QStringLiteral("QProcess::start()"), laterRatios, QStringLiteral("≤ 2×"),
                     median(laterRatios) <= 2});
}

void startToReady()
{
    Fixture fixture;
    fixture.settings()->setBinaryPath(QUrl::fromLocalFile(server));
    auto manager = fixture.manager();
    QList<double> application;
    QList<double> direct;
    {
        const Bench::QuietStandardOutput quiet;
        for (int i = 0; i < 11; ++i) {
            application.append(readyThroughManager(*manager, i));
            direct.append(readyDirectly(fixture, i));
        }
    }
    const QList<double> each = ratios(application, direct);
    const bool allReady = !application.contains(-1) && !direct.contains(-1);
    Table::printRow({QStringLiteral("start to ready"), QStringLiteral("ms"), application, QString(), direct,
                     QStringLiteral("the server spawned directly"), each, QStringLiteral("≤ 1.10×"),
                     allReady && median(each) <= 1.10});
}

} // namespace Figures
