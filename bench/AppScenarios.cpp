// SPDX-License-Identifier: MIT
#include "AppScenarios.h"

#include "BenchSupport.h"
#include "app/ApplicationShell.h"
#include "backup/ImportExportManager.h"
#include "core/AppSettings.h"
#include "instances/InstanceManager.h"
#include "instances/ServerLauncher.h"
#include "views/ContentView.h"
#include "views/InstanceDetailView.h"
#include "views/InstanceListView.h"
#include "views/ProminentButton.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProcess>
#include <QSaveFile>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

namespace {

double milliseconds(const QElapsedTimer &clock)
{
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// The GUI-thread CPU time at which the last launch outcome began to be delivered.
class TurnClock final : public QObject
{
public:
    TurnClock() { QCoreApplication::instance()->installEventFilter(this); }
    double began() const { return m_began; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MetaCall && qobject_cast<ServerLauncher *>(watched))
            m_began = Bench::threadCpuMilliseconds();
        return false;
    }

private:
    double m_began = 0;
};

bool accepts(quint16 port)
{
    const int fd = Bench::connectToLoopback(port);
    if (fd >= 0)
        ::close(fd);
    return fd >= 0;
}

} // namespace

namespace AppScenarios {

void openWindow(ApplicationShell &shell)
{
    shell.window()->resize(1000, 680);
    shell.window()->show();
    Bench::waitUntil([&shell] { return !shell.settings()->binaryPath().isEmpty(); });
    Bench::settle();
}

InstanceListView *sidebar(ApplicationShell &shell)
{
    return shell.window()->findChild<InstanceListView *>();
}

void select(QAbstractItemView *list, int row)
{
    const QModelIndex index = list->model()->index(row, 0);
    list->setCurrentIndex(index);
    list->scrollTo(index, QAbstractItemView::PositionAtCenter);
    Bench::settle();
}

void pressDown(QAbstractItemView *list)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(list, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(list, &release);
}

int launch(ApplicationShell &shell, bool applicationFirst, int pairs)
{
    openWindow(shell);
    InstanceManager *manager = shell.instances();
    select(sidebar(shell), 0);
    const HalvexInstance record = manager->instances().first();
    const quint16 port = static_cast<quint16>(record.port);

    // The environment startInstance() gives the server, and the output file it sends it to.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HALVEX_AUTH_TOKEN"), record.authToken);
    environment.insert(QStringLiteral("HALVEX_DATA_DIR"), manager->dataDirectoryPath(record));
    environment.insert(QStringLiteral("HALVEX_PORT"), QString::number(record.port));
    environment.insert(QStringLiteral("HALVEX_TZ"), shell.settings()->timezone());
    const QString program = shell.settings()->binaryPath().toLocalFile();
    const QString output = QDir::home().filePath(QStringLiteral("qprocess-output.log"));

    // The launch blocks the GUI thread twice: in the call, and in the turn that takes its outcome
    // from the launching thread. That turn begins with the outcome's delivery and ends with
    // launchEnded.
    TurnClock outcomeTurn;
    double outcomeTurnEnded = 0;
    QObject::connect(manager, &InstanceManager::launchEnded,
                     [&outcomeTurnEnded] { outcomeTurnEnded = Bench::threadCpuMilliseconds(); });

    bool failed = false;
    const auto throughApplication = [&] {
        const double before = Bench::threadCpuMilliseconds();
        manager->startInstance(*manager->instance(record.id));
        const double call = Bench::threadCpuMilliseconds() - before;
        failed |= !Bench::waitUntil([&] { return !manager->isLaunching(record.id); });
        const double spent = std::max(call, outcomeTurnEnded - outcomeTurn.began());
        failed |= !Bench::waitUntil([&] { return manager->runState(record.id) == InstanceManager::RunState::Running; });
        manager->stopInstance(*manager->instance(record.id));
        failed |= !Bench::waitUntil([&] { return !manager->hasProcess(record.id); });
        Bench::settle();
        return spent;
    };
    const auto throughQProcess = [&] {
        QProcess process;
        process.setProgram(program);
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardOutputFile(output, QIODevice::Truncate);
        const double before = Bench::threadCpuMilliseconds();
        process.start();
        const double spent = Bench::threadCpuMilliseconds() - before;
        // Ready and stopped as the application's server is, so that both leave the same machine.
        failed |= !Bench::waitUntil([&] { return accepts(port); });
        process.terminate();
        failed |= !process.waitForFinished(10000);
        Bench::settle();
        return spent;
    };

    Bench::report("first", applicationFirst ? throughApplication() : throughQProcess());
    for (int i = 0; i < pairs; ++i) {
        // Alternating which goes first, so that neither always follows the other's server.
        if ((i % 2 == 0) == applicationFirst) {
            Bench::report("qprocess", throughQProcess());
            Bench::report("application", throughApplication());
        } else {
            Bench::report("application", throughApplication());
            Bench::report("qprocess", throughQProcess());
        }
    }
    if (failed)
        std::fprintf(stderr, "a server did not become ready or did not stop\n");
    return failed ? 1 : 0;
}

int import(ApplicationShell &shell, const QString &file, const QString &lastDirectory, const QString &registryFile,
           const QString &scratch)
{
    openWindow(shell);
    QElapsedTimer clock;
    clock.start();
    // A 1 ms timer: how late it fires is how long the event loop was kept from it.
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    double lastTick = 0;
    double longest = 0;
    double started = -1;
    double finished = -1;
    int imported = -1;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double now = milliseconds(clock);
        if (started >= 0 && finished < 0) {
            longest = std::max(longest, now - lastTick - 1);
            if (imported >= 0 && QFileInfo::exists(lastDirectory))
                finished = now;
        }
        lastTick = now;
    });
    ticker.start();
    QTimer::singleShot(20, &ticker, [&] {
        started = lastTick = milliseconds(clock);
        shell.importExport()->importFrom(file, [&imported](bool, int count, int) { imported = count; });
    });
    if (!Bench::waitUntil([&] { return finished >= 0; }, 60000)) {
        std::fprintf(stderr, "the import did not finish: %d imported, %s\n", imported,
                     qPrintable(shell.importExport()->lastError()));
        return 1;
    }
    ticker.stop();
    Bench::report("imported", imported);
    Bench::report("block", longest);
    Bench::report("total", finished - started);

    QFile registry(registryFile);
    if (!registry.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = registry.readAll();
    QDir().mkpath(scratch);
    QElapsedTimer baseline;
    baseline.start();
    QSaveFile save(scratch + QStringLiteral("/instances.json"));
    const bool saved = save.open(QIODevice::WriteOnly) &&
                       save.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                       save.write(bytes) == bytes.size() && save.commit();
    const double written = milliseconds(baseline);
    for (int i = 0; i < imported; ++i)
        ::mkdir(QFile::encodeName(scratch + QStringLiteral("/directory-%1").arg(i)).constData(), 0755);
    Bench::report("write", written);
    Bench::report("baseline", milliseconds(baseline));
    return saved ? 0 : 1;
}

int actions(ApplicationShell &shell, int row, int cycles)
{
    openWindow(shell);
    InstanceManager *manager = shell.instances();
    select(sidebar(shell), row);
    InstanceDetailView *detail = shell.window()->findChild<InstanceDetailView *>();
    if (!detail) {
        std::fprintf(stderr, "no detail view after selecting row %d\n", row);
        return 1;
    }
    const QUuid id = detail->instanceID();
    QPushButton *button = detail->startStopButton();
    const auto running = [&] { return manager->runState(id) == InstanceManager::RunState::Running; };
    const auto gone = [&] { return !manager->hasProcess(id); };
    const auto measure = [](const QByteArray &name, const std::function<void()> &action) {
        QElapsedTimer wall;
        wall.start();
        const double before = Bench::threadCpuMilliseconds();
        action();
        Bench::settle();
        Bench::report(QByteArray(name + "-cpu").constData(), Bench::threadCpuMilliseconds() - before);
        Bench::report(QByteArray(name + "-wall").constData(), milliseconds(wall));
    };

    // The session's first launch is the launch figure's; here every one is a later one.
    button->click();
    bool ok = Bench::waitUntil(running);
    button->click();
    ok = Bench::waitUntil(gone) && ok;
    Bench::settle();
    for (int i = 0; i < cycles && ok; ++i) {
        // Until the launch has ended and the window shows the server starting.
        // Waited for without polling, whose own turns would be counted.
        measure("start", [button, manager, id] {
            QEventLoop launching;
            QObject::connect(manager, &InstanceManager::launchEnded, &launching, &QEventLoop::quit);
            QTimer::singleShot(10000, &launching, &QEventLoop::quit);
            button->click();
            if (manager->isLaunching(id))
                launching.exec();
        });
        ok = Bench::waitUntil(running);
        Bench::settle();
        measure("stop", [button] { button->click(); });
        ok = Bench::waitUntil(gone) && ok;
        Bench::settle();
        HalvexInstance edited = *manager->instance(id);
        edited.authToken = QStringLiteral("edited-token-%1").arg(i);
        measure("edit", [manager, edited] { manager->updateInstance(edited); });
    }
    if (!ok)
        std::fprintf(stderr, "the server did not become ready or did not stop\n");
    return ok ? 0 : 1;
}

int flood(ApplicationShell &shell, qint64 bytes)
{
    openWindow(shell);
    InstanceManager *manager = shell.instances();
    select(sidebar(shell), 0);
    InstanceDetailView *detail = shell.window()->findChild<InstanceDetailView *>();
    if (!detail) {
        std::fprintf(stderr, "no detail view after selecting the first row\n");
        return 1;
    }
    const QUuid id = detail->instanceID();
    constexpr int interval = 5;
    QList<double> lateness;
    double peak = 0;
    const double before = Bench::residentMiB();
    QElapsedTimer tick;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(interval);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        lateness.append(std::max(0.0, milliseconds(tick) - interval));
        tick.restart();
        peak = std::max(peak, Bench::residentMiB());
    });

    QElapsedTimer clock;
    clock.start();
    tick.start();
    probe.start();
    detail->startStopButton()->click();
    // The server's end is told once its whole output has been read and handed to the log.
    const bool ended = Bench::waitUntil([&] { return !manager->isLaunching(id) && !manager->hasProcess(id); }, 60000);
    const double elapsed = milliseconds(clock);
    probe.stop();
    const auto run = manager->lastRun(id);
    if (!ended || !run || run->exit != ServerExit{ServerExit::Kind::Code, 0}) {
        std::fprintf(stderr, "the flood did not end well\n");
        return 1;
    }
    Bench::report("throughput", static_cast<double>(bytes) / 1e3 / elapsed);
    Bench::report("p99", Bench::percentile(lateness, 0.99));
    Bench::report("max", Bench::percentile(lateness, 1.0));
    Bench::report("growth", peak - before);
    return 0;
}

} // namespace AppScenarios
