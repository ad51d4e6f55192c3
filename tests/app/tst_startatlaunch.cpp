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

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        for (const char *variable : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
            qputenv(variable, QFile::encodeName(m_home.filePath(QString::fromLatin1(variable))));
        // Host names go to a file of the test's, never to the system's.
        qputenv("HALVEX_KELVANE_HOSTS_FILE", QFile::encodeName(m_home.filePath(QStringLiteral("hosts"))));
    }

    void markedInstances_startInRegistryOrderAndAdoptedOnesOnce()
    {
        // Neither manager ends its servers when it goes; none may outlive the test.
        QList<qint64> servers;
        const auto killServers = qScopeGuard([&servers] {
            for (const qint64 pid : std::as_const(servers)) {
                if (pid > 0)
                    ::kill(static_cast<pid_t>(pid), SIGKILL);
            }
        });
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
                QTcpServer probe; // for a free port
                probe.listen(QHostAddress::LocalHost, 0);
                earlier.addInstance(
                    HalvexInstance::create(QString::fromLatin1(name), QStringLiteral("t"), probe.serverPort()));
                ids.append(earlier.instances().last().id);
            }
            for (const QUuid &id : {ids[3], ids[2], ids[0]})
                earlier.setStartsAtLaunch(id, true);
            earlier.startInstance(*earlier.instance(ids[0]));
            servers.append(earlier.processId(ids[0]).value_or(0));
            QTRY_COMPARE_WITH_TIMEOUT(earlier.runState(ids[0]), InstanceManager::RunState::Running, 15000);
        }

        ApplicationShell shell;
        InstanceManager *instances = shell.instances();
        QCOMPARE(instances->processId(ids[0]), servers.first());
        QList<QUuid> started;
        const QObject context;
        connect(instances, &InstanceManager::logAppended, &context, [&](const QUuid &id, const QString &entry) {
            if (entry.contains(QStringLiteral("' started on port "))) {
                started.append(id);
                servers.append(instances->processId(id).value_or(0));
            }
        });
        QTRY_COMPARE_WITH_TIMEOUT(started, (QList<QUuid>{ids[2], ids[3]}), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(instances->runState(ids[2]) == InstanceManager::RunState::Running &&
                                     instances->runState(ids[3]) == InstanceManager::RunState::Running,
                                 15000);
        QCOMPARE(instances->processId(ids[0]), servers.first());
        QVERIFY(!instances->hasProcess(ids[1]));
    }
};

QTEST_MAIN(TestStartAtLaunch)
#include "tst_startatlaunch.moc"
