// SPDX-License-Identifier: MIT
#include "app/ApplicationShell.h"
#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "instances/InstanceManager.h"

#include <QScopeGuard>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// The instances marked to start with the application, started by the application as main() builds
// it, after a server of an earlier session was found still running.
class TestStartAtLaunch : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;
    // Servers of the earlier session, which no manager may be left to end.
    QList<qint64> m_leftRunning;

    static quint16 freePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("cache"))));
        // Host names go to a file of the test's, never to the system's.
        qputenv("HALVEX_KELVANE_HOSTS_FILE", QFile::encodeName(m_home.filePath(QStringLiteral("hosts"))));
    }
    void cleanup()
    {
        for (const qint64 pid : std::as_const(m_leftRunning)) {
            if (pid > 0)
                ::kill(static_cast<pid_t>(pid), SIGKILL);
        }
        m_leftRunning.clear();
    }

    void markedInstances_startInRegistryOrderAndAdoptedOnesOnce()
    {
        const AppPaths paths = AppPaths::standard();
        AppSettings settings(paths);
        settings.setBinaryPath(QUrl::fromLocalFile(QStringLiteral(HALVEX_SERVER_PATH)));
        settings.setDataStorageLocation(QUrl::fromLocalFile(m_home.filePath(QStringLiteral("servers"))));
        QVERIFY(settings.save());

        // The earlier session: four instances, three marked, one of those left running.
        QList<QUuid> ids;
        {
            InstanceManager earlier(&settings, paths.registryFile());
            for (const char *name : {"adopted", "unmarked", "third", "fourth"}) {
                earlier.addInstance(
                    HalvexInstance::create(QString::fromLatin1(name), QStringLiteral("token"), freePort()));
                ids.append(earlier.instances().last().id);
            }
            for (const QUuid &id : {ids[3], ids[2], ids[0]})
                earlier.setStartsAtLaunch(id, true);
            earlier.startInstance(*earlier.instance(ids[0]));
            m_leftRunning.append(earlier.processId(ids[0]).value_or(0));
            QTRY_COMPARE_WITH_TIMEOUT(earlier.runState(ids[0]), InstanceManager::RunState::Running, 15000);
        }

        ApplicationShell shell;
        InstanceManager *instances = shell.instances();
        // The application leaves its servers running when it goes.
        const auto stopServers = qScopeGuard([instances, &ids] {
            for (const QUuid &id : ids) {
                if (const auto pid = instances->processId(id))
                    ::kill(static_cast<pid_t>(*pid), SIGKILL);
            }
        });
        const auto adoptedPid = instances->processId(ids[0]);
        QVERIFY(adoptedPid);
        m_leftRunning.clear(); // the application's now
        QList<QUuid> started;
        const QObject context;
        connect(instances, &InstanceManager::logAppended, &context, [&started](const QUuid &id, const QString &entry) {
            if (entry.contains(QStringLiteral("' started on port ")))
                started.append(id);
        });
        QTRY_COMPARE_WITH_TIMEOUT(started.size(), 2, 15000);
        QCOMPARE(started, (QList<QUuid>{ids[2], ids[3]}));
        QTRY_VERIFY_WITH_TIMEOUT(instances->runState(ids[2]) == InstanceManager::RunState::Running &&
                                     instances->runState(ids[3]) == InstanceManager::RunState::Running,
                                 15000);
        QCOMPARE(instances->processId(ids[0]), adoptedPid);
        QVERIFY(!instances->hasProcess(ids[1]));
    }
};

QTEST_MAIN(TestStartAtLaunch)
#include "tst_startatlaunch.moc"
