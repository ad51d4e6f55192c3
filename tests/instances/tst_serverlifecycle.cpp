// SPDX-License-Identifier: MIT
#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "instances/InstanceManager.h"
#include "instances/LocalHostNames.h"
#include "platform/PrivilegedCommandRunner.h"
#include "platform/ProcessInfo.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <thread>
#include <unistd.h>

using State = InstanceManager::RunState;

// The life of a server against real processes: the real server, tiny misbehaving programs and a
// temporary hosts file, with the run records and output files in the test's state directory.
using TestSupport::logMessages;

class TestServerLifecycle : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<PrivilegedCommandRunner> m_runner;
    std::unique_ptr<LocalHostNames> m_hostNames;
    std::unique_ptr<InstanceManager> m_manager;

    static QString program(const char *name) { return QStringLiteral(TEST_PROGRAMS_DIR "/") + QLatin1String(name); }
    QString state() const { return m_dir->filePath(QStringLiteral("state")); }
    QString hostsFile() const { return m_dir->filePath(QStringLiteral("hosts")); }
    QByteArray hosts() const
    {
        QFile file(hostsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A manager as a new run of the application builds it, over the test's state directory.
    void startApplication()
    {
        m_manager =
            std::make_unique<InstanceManager>(m_settings.get(), AppPaths(state()).registryFile(), m_hostNames.get());
    }
    // The application dies: its objects go, its servers stay.
    void killApplication() { m_manager.reset(); }
    HalvexInstance add(const QString &name, const QString &executable = QStringLiteral(HALVEX_SERVER_PATH))
    {
        m_settings->setBinaryPath(QUrl::fromLocalFile(executable));
        m_manager->addInstance(HalvexInstance::create(name, QStringLiteral("secret-token"), freePort()));
        return m_manager->instances().last();
    }
    QStringList messages(const QUuid &id) const { return logMessages(m_manager->logs(id)); }
    bool logged(const QUuid &id, const QString &message) const { return messages(id).contains(message); }
    State stateOf(const QUuid &id) const { return m_manager->runState(id); }
    static quint16 freePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }
    static bool processExists(qint64 pid) { return ProcessInfo::startTime(pid).has_value(); }
    // The state letter of /proc/<pid>/stat: Z once the process has ended and waits to be reaped.
    static char processState(qint64 pid)
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return '?';
        const QByteArray text = stat.readAll();
        const qsizetype end = text.lastIndexOf(')');
        return end >= 0 && end + 2 < text.size() ? text.at(end + 2) : '?';
    }
    void startAndWaitUntilRunning(const HalvexInstance &instance)
    {
        m_manager->startInstance(instance);
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(instance.id), State::Running, 15000);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<AppSettings>(AppPaths(state()));
        m_settings->setDataStorageLocation(QUrl::fromLocalFile(m_dir->filePath(QStringLiteral("data"))));
        QFile file(hostsFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("127.0.0.1 localhost\n");
        file.close();
        // Commands run directly: the hosts file is the test's own.
        m_runner = std::make_unique<PrivilegedCommandRunner>(std::nullopt, std::nullopt);
        m_hostNames = std::make_unique<LocalHostNames>(hostsFile(), m_runner.get());
        startApplication();
    }
    void cleanup()
    {
        if (m_manager) {
            for (const HalvexInstance &instance : m_manager->instances()) {
                if (const auto pid = m_manager->processId(instance.id))
                    ::kill(static_cast<pid_t>(*pid), SIGKILL);
            }
        }
        m_manager.reset();
    }

    void startReadyStopRestart()
    {
        const HalvexInstance instance = add(QStringLiteral("orders"));
        const QByteArray entry = "127.0.0.1 orders.halvex.local";
        for (int run = 0; run < 2; ++run) {
            m_manager->clearLogs(instance.id);
            m_manager->startInstance(instance);
            // Running as far as the buttons and the quit are concerned, but not ready yet.
            QCOMPARE(stateOf(instance.id), State::Starting);
            QVERIFY(m_manager->instance(instance.id)->isRunning);
            QCOMPARE(QDir(state() + QStringLiteral("/run")).entryList(QDir::Files).size(), 1);
            QTRY_COMPARE_WITH_TIMEOUT(stateOf(instance.id), State::Running, 15000);
            QVERIFY(
                logged(instance.id,
                       QStringLiteral("✅ Instance 'orders' is accepting connections on port %1").arg(instance.port)));
            QTRY_VERIFY(hosts().contains(entry));

            m_manager->stopInstance(*m_manager->instance(instance.id));
            QCOMPARE(stateOf(instance.id), State::Stopping);
            QTRY_COMPARE_WITH_TIMEOUT(stateOf(instance.id), State::Stopped, 15000);
            const QStringList log = messages(instance.id);
            QCOMPARE(
                log.mid(log.indexOf(QStringLiteral("Instance stopped")), 2),
                (QStringList{QStringLiteral("Instance stopped"), QStringLiteral("The server ended with exit code 0")}));
            QTRY_VERIFY(!hosts().contains(entry));
            QVERIFY(!m_manager->instance(instance.id)->isRunning);
            QVERIFY(QDir(state() + QStringLiteral("/run")).isEmpty());
        }
    }

    void exitIsExplained_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("line");
        QTest::newRow("exit code") << QByteArray("EXIT_CODE") << QByteArray("3")
                                   << QStringLiteral("❌ The server ended during start-up with exit code 3");
        QTest::newRow("signal") << QByteArray("EXIT_SIGNAL") << QByteArray("11")
                                << QStringLiteral("❌ The server ended during start-up with signal 11 (SIGSEGV)");
    }
    void exitIsExplained()
    {
        QFETCH(QByteArray, variable);
        QFETCH(QByteArray, value);
        QFETCH(QString, line);
        qputenv(variable.constData(), value);
        const HalvexInstance instance = add(QStringLiteral("brief"), program("exit_with"));
        m_manager->startInstance(instance);
        qunsetenv(variable.constData());
        QTRY_COMPARE(stateOf(instance.id), State::Stopped);
        const QStringList log = messages(instance.id);
        const qsizetype stopped = log.indexOf(QStringLiteral("Instance stopped"));
        QVERIFY(stopped > log.indexOf(QStringLiteral("ending at once")));
        QCOMPARE(log.value(stopped + 1), line);
        QCOMPARE(m_manager->lastRun(instance.id)->duringStartup, true);
    }

    void exitOfARunningServer_removesItsHostName()
    {
        const HalvexInstance instance = add(QStringLiteral("crashy"));
        startAndWaitUntilRunning(instance);
        QTRY_VERIFY(hosts().contains("crashy.halvex.local"));
        ::kill(static_cast<pid_t>(*m_manager->processId(instance.id)), SIGKILL);
        QTRY_COMPARE(stateOf(instance.id), State::Stopped);
        QVERIFY(logged(instance.id, QStringLiteral("The server ended with signal 9 (SIGKILL)")));
        QTRY_VERIFY(!hosts().contains("crashy.halvex.local"));
    }

    void takenPort_launchesNothingAndNamesTheHolder()
    {
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::Any, 0));
        HalvexInstance instance = add(QStringLiteral("blocked"));
        instance.port = holder.serverPort();
        m_manager->updateInstance(instance);
        m_manager->clearLogs(instance.id);
        m_manager->startInstance(*m_manager->instance(instance.id));
        QCOMPARE(messages(instance.id).last(), QStringLiteral("❌ Port %1 is already in use by %2 (PID %3)")
                                                   .arg(holder.serverPort())
                                                   .arg(ProcessInfo::name(::getpid()))
                                                   .arg(::getpid()));
        QCOMPARE(stateOf(instance.id), State::Stopped);
        QVERIFY(!m_manager->instance(instance.id)->isRunning);
        QVERIFY(!logged(instance.id, QStringLiteral("Environment variables:")));
    }

    void stopNeverKills_forceStopOnlyOnRequest()
    {
        m_manager->setStopDeadline(std::chrono::milliseconds(200));
        const HalvexInstance instance = add(QStringLiteral("stubborn"), program("ignore_term"));
        m_manager->startInstance(instance);
        QTRY_VERIFY(logged(instance.id, QStringLiteral("ignoring SIGTERM")));
        const qint64 pid = *m_manager->processId(instance.id);
        m_manager->forceStopInstance(instance.id); // not stopping yet: no effect
        m_manager->stopInstance(*m_manager->instance(instance.id));
        QTRY_VERIFY(m_manager->isStopOverdue(instance.id));
        QVERIFY(messages(instance.id).last().startsWith(QStringLiteral("⚠️ The server has not stopped")));
        QCOMPARE(stateOf(instance.id), State::Stopping);
        QVERIFY(processExists(pid));

        m_manager->forceStopInstance(instance.id);
        QTRY_COMPARE(stateOf(instance.id), State::Stopped);
        QCOMPARE(messages(instance.id).last(), QStringLiteral("The server ended with signal 9 (SIGKILL)"));
    }

    void deleteOfARunningInstance_stopsItsServer()
    {
        const HalvexInstance instance = add(QStringLiteral("doomed"));
        startAndWaitUntilRunning(instance);
        const qint64 pid = *m_manager->processId(instance.id);
        m_manager->deleteInstance(instance); // the caller's copy still says "not running"
        QVERIFY(!m_manager->instance(instance.id));
        QTRY_VERIFY_WITH_TIMEOUT(processState(pid) == 'Z' || !processExists(pid), 15000);
    }

    void survivorOfAKilledApplication_isAdoptedAndStoppable()
    {
        const HalvexInstance instance = add(QStringLiteral("survivor"));
        startAndWaitUntilRunning(instance);
        const qint64 pid = *m_manager->processId(instance.id);
        killApplication();
        QVERIFY(processExists(pid));

        startApplication();
        QCOMPARE(m_manager->processId(instance.id), pid);
        QVERIFY(m_manager->instance(instance.id)->isRunning);
        QVERIFY(
            logged(instance.id,
                   QStringLiteral("ℹ️ Instance 'survivor' was still running from an earlier session (PID %1); its "
                                  "earlier output cannot be shown")
                       .arg(pid)));
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(instance.id), State::Running, 15000);

        m_manager->stopInstance(*m_manager->instance(instance.id));
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(instance.id), State::Stopped, 15000);
        QVERIFY(logged(instance.id, QStringLiteral("The server ended; its exit status is unknown (it was started by an "
                                                   "earlier session)")));
        QVERIFY(QDir(state() + QStringLiteral("/run")).isEmpty());
    }

    void staleRunRecord_isDropped()
    {
        const HalvexInstance instance = add(QStringLiteral("gone"));
        killApplication();
        // A record whose PID now belongs to another program: this test, started at another time.
        RunRecords records(state() + QStringLiteral("/run"));
        QVERIFY(records.write(RunRecord{instance.id, ::getpid(), 1, ProcessInfo::executable(::getpid()), 1, {}}));

        startApplication();
        QCOMPARE(stateOf(instance.id), State::Stopped);
        QVERIFY(!m_manager->instance(instance.id)->isRunning);
        QVERIFY(QDir(state() + QStringLiteral("/run")).isEmpty());
    }

    void busyWindow_doesNotStallTheServer()
    {
        qputenv("FLOOD_LINES", "2000000"); // about 80 MB, far more than any pipe holds
        const HalvexInstance instance = add(QStringLiteral("flood"), program("flood"));
        m_manager->startInstance(instance);
        qunsetenv("FLOOD_LINES");
        const qint64 pid = *m_manager->processId(instance.id);
        // The window is busy (no event is handled) while the server writes everything it has.
        QDeadlineTimer deadline(std::chrono::seconds(60));
        while (processState(pid) != 'Z' && !deadline.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        QCOMPARE(processState(pid), 'Z');
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(instance.id), State::Stopped, 30000);
        QVERIFY(logged(instance.id, QStringLiteral("line 1999999 of a server that talks a lot")) ||
                messages(instance.id).join(u'\n').contains(QStringLiteral("line 1999999 of")));
    }
};

QTEST_GUILESS_MAIN(TestServerLifecycle)
#include "tst_serverlifecycle.moc"
