// SPDX-License-Identifier: MIT
#include "Figures.h"
#include "Fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString server = QStringLiteral(HALVEX_SERVER_PATH);

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// One GET /health over a fresh connection; true on a 200.
bool healthy(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = false;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
        const char request[] = "GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        if (::write(fd, request, sizeof request - 1) > 0) {
            char reply[32] = {};
            ok = ::read(fd, reply, sizeof reply - 1) > 12 && QByteArray(reply).startsWith("HTTP/1.1 200");
        }
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

QProcessEnvironment serverEnvironment(const QString &dataDir, quint16 port)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HALVEX_AUTH_TOKEN"), QStringLiteral("bench-token"));
    environment.insert(QStringLiteral("HALVEX_DATA_DIR"), dataDir);
    environment.insert(QStringLiteral("HALVEX_PORT"), QString::number(port));
    environment.insert(QStringLiteral("HALVEX_TZ"), QStringLiteral("UTC"));
    return environment;
}

void waitUntil(const std::function<bool()> &condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Run
{
    double launch = 0; // milliseconds on the GUI thread inside the start call
    double ready = 0;  // milliseconds until the first 200 from /health
};

Run startThroughManager(Fixture &fixture, InstanceManager &manager, int index)
{
    const quint16 port = freePort();
    const HalvexInstance instance =
        HalvexInstance::create(QStringLiteral("bench%1").arg(index), QStringLiteral("bench-token"), port);
    manager.addInstance(instance);
    Q_UNUSED(fixture);
    QElapsedTimer timer;
    timer.start();
    manager.startInstance(instance);
    Run run;
    run.launch = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    run.ready = untilHealthy(port, timer);
    waitUntil([&] { return manager.instance(instance.id)->isRunning; });
    manager.stopInstance(*manager.instance(instance.id));
    waitUntil([&] { return !manager.hasProcess(instance.id); });
    return run;
}

Run startDirectly(Fixture &fixture, int index)
{
    const quint16 port = freePort();
    const QString dataDir = fixture.path(QStringLiteral("direct%1").arg(index));
    QProcess process;
    process.setProgram(server);
    process.setProcessEnvironment(serverEnvironment(dataDir, port));
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    process.start();
    Run run;
    run.launch = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    run.ready = untilHealthy(port, timer);
    process.terminate();
    process.waitForFinished(5000);
    return run;
}

// Medians of a measure over count starts through the manager and as many direct spawns, alternating.
std::pair<double, double> compareStarts(int count, double Run::*measure)
{
    Fixture fixture;
    fixture.settings()->setBinaryPath(QUrl::fromLocalFile(server));
    auto manager = fixture.manager();
    QList<double> app;
    QList<double> baseline;
    for (int i = 0; i < count; ++i) {
        app.append(startThroughManager(fixture, *manager, i).*measure);
        baseline.append(startDirectly(fixture, i).*measure);
    }
    return {Bench::median(app), Bench::median(baseline)};
}

} // namespace

namespace Figures {

void launchBlock()
{
    const auto [a, b] = compareStarts(50, &Run::launch);
    Bench::printRow({QStringLiteral("launch block (median of 50)"), QStringLiteral("%1 ms").arg(a, 0, 'f', 2),
                     QStringLiteral("%1 ms QProcess::start").arg(b, 0, 'f', 2), a / b,
                     QStringLiteral("≤ 2× and ≤ 5 ms"), a <= 2 * b && a <= 5});
}

void startToReady()
{
    const auto [a, b] = compareStarts(20, &Run::ready);
    Bench::printRow({QStringLiteral("start to ready (median of 20)"), QStringLiteral("%1 ms").arg(a, 0, 'f', 2),
                     QStringLiteral("%1 ms direct spawn").arg(b, 0, 'f', 2), a / b, QStringLiteral("≤ 1.10×"),
                     a <= 1.10 * b});
}

} // namespace Figures
