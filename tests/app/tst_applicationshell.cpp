// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"
#include "ProcessState.h"
#include "TestSupport.h"

#include "app/ApplicationShell.h"
#include "app/BackgroundNotice.h"
#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "core/InstallLayout.h"
#include "core/Preferences.h"
#include "instances/InstanceManager.h"
#include "views/AlertDialog.h"
#include "views/ContentView.h"
#include "views/MainView.h"

#include <QAction>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <qtestspontaneevent.h>

#include <csignal>

using namespace TestSupport;
using State = InstanceManager::RunState;

// The application as main() builds it, in a home of the test's own: what its start-up opens and
// starts, what its quit asks of the servers, and the window that closes into the background.
class TestApplicationShell : public QObject
{
    Q_OBJECT

public:
    static void initMain() { drawOffscreenByDefault(); }

private:
    std::unique_ptr<QTemporaryDir> m_home;
    // The shell's managers are never destroyed and end no server; the test ends those it started.
    QList<qint64> m_servers;

    static AppPaths paths() { return AppPaths::standard(); }
    void writeSettings(const QString &server) const
    {
        const QJsonObject settings{
            {QStringLiteral("dataStorageLocation"),
             QUrl::fromLocalFile(m_home->filePath(QStringLiteral("servers"))).toString(QUrl::FullyEncoded)},
            {QStringLiteral("binaryPath"), QUrl::fromLocalFile(server).toString(QUrl::FullyEncoded)},
            {QStringLiteral("timezone"), QStringLiteral("UTC")},
        };
        QVERIFY(writeFile(paths().settingsFile(), QJsonDocument(settings).toJson()));
    }
    static HalvexInstance add(InstanceManager *instances, const char *name)
    {
        instances->addInstance(HalvexInstance::create(QString::fromLatin1(name), QStringLiteral("t"), freePort()));
        return instances->instances().constLast();
    }
    // Runs the event loop until something quits it; a guard ends a loop that would never return.
    static int runEventLoop()
    {
        QTimer guard;
        QObject::connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
        guard.start(20000);
        return QCoreApplication::exec();
    }
    // The close the window system delivers when the user closes the window; true when it closed.
    static bool closeByUser(QWidget *window)
    {
        QCloseEvent close;
        QSpontaneKeyEvent::setSpontaneous(&close);
        QCoreApplication::instance()->notify(window, &close);
        return close.isAccepted();
    }
    static QList<AlertDialog *> visibleAlerts(const QWidget *window)
    {
        QList<AlertDialog *> alerts = window->findChildren<AlertDialog *>();
        alerts.removeIf([](const AlertDialog *alert) { return !alert->isVisible(); });
        return alerts;
    }

private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        useHomeIn(*m_home);
        // Host names go to a file of the test's, never to the system's.
        const QString hosts = m_home->filePath(QStringLiteral("hosts"));
        QVERIFY(writeFile(hosts, "127.0.0.1 localhost\n"));
        qputenv("HALVEX_KELVANE_HOSTS_FILE", QFile::encodeName(hosts));
    }
    void cleanup()
    {
        for (const qint64 pid : std::as_const(m_servers)) {
            if (!hasEnded(pid))
                ::kill(static_cast<pid_t>(pid), SIGKILL);
        }
        m_servers.clear();
        m_home.reset();
    }

    void firstDisplay_opensSettingsOnlyWithoutAServer_data()
    {
        QTest::addColumn<bool>("configured");
        QTest::newRow("first start, no settings file") << false;
        QTest::newRow("the settings file names a server") << true;
    }
    void firstDisplay_opensSettingsOnlyWithoutAServer()
    {
        QFETCH(bool, configured);
        if (configured)
            writeSettings(serverPath());
        ApplicationShell shell;
        shell.window()->show();
        // Queued behind what the first display queued: once it has run, so has the check.
        bool settled = false;
        QTimer::singleShot(0, this, [&settled] { settled = true; });
        QTRY_VERIFY(settled);
        QCOMPARE(shell.window()->mainView()->settingsSheet() != nullptr, !configured);
    }

    void closingTheWindow_quits_andAsksEveryServerToStopWithoutWaiting()
    {
        writeSettings(serverPath());
        ApplicationShell shell;
        InstanceManager *instances = shell.instances();
        const HalvexInstance running = add(instances, "running");
        const HalvexInstance starting = add(instances, "starting");
        const HalvexInstance idle = add(instances, "idle");
        QTRY_COMPARE(shell.settings()->binaryPath(), QUrl::fromLocalFile(serverPath()));
        instances->startInstance(running);
        QTRY_COMPARE_WITH_TIMEOUT(instances->runState(running.id), State::Running, 15000);
        // One that never listens and ignores the request to stop: still starting at quit, and never
        // ending by itself.
        shell.settings()->setBinaryPath(QUrl::fromLocalFile(program("ignore_term")));
        instances->startInstance(starting);
        QCOMPARE(instances->runState(starting.id), State::Starting);
        m_servers = {*instances->processId(running.id), *instances->processId(starting.id)};
        shell.window()->show();
        const QStringList idleLog = instances->logs(idle.id);

        bool runningWhenTheHookReturned = false;
        const QObject afterTheHook;
        connect(qApp, &QCoreApplication::aboutToQuit, &afterTheHook,
                [&] { runningWhenTheHookReturned = instances->runState(running.id) != State::Stopped; });
        QTimer::singleShot(0, shell.window(), &QWidget::close);
        QCOMPARE(runEventLoop(), 0);

        QVERIFY(runningWhenTheHookReturned);
        QVERIFY(!hasEnded(m_servers.last()));
        QVERIFY(logMessages(instances->logs(running.id)).contains(QStringLiteral("Stopping instance 'running'...")));
        QVERIFY(logMessages(instances->logs(starting.id)).contains(QStringLiteral("Stopping instance 'starting'...")));
        QCOMPARE(instances->logs(idle.id), idleLog);
        // The request went out: the server that obeys it ends.
        QTRY_VERIFY_WITH_TIMEOUT(hasEnded(m_servers.first()), 15000);
    }

    void markedInstances_startInRegistryOrder_andAFoundServerIsNotStartedAgain()
    {
        writeSettings(serverPath());
        // The earlier session: four instances, three marked to start, one of those left running.
        QList<QUuid> ids;
        {
            AppSettings settings(paths());
            InstanceManager earlier(&settings, paths().registryFile());
            for (const char *name : {"found", "unmarked", "third", "fourth"})
                ids.append(add(&earlier, name).id);
            for (const QUuid &id : {ids[3], ids[2], ids[0]})
                earlier.setStartsAtLaunch(id, true);
            QTRY_VERIFY(!settings.binaryPath().isEmpty());
            earlier.startInstance(*earlier.instance(ids[0]));
            QTRY_COMPARE_WITH_TIMEOUT(earlier.runState(ids[0]), State::Running, 15000);
            m_servers.append(*earlier.processId(ids[0]));
        }

        ApplicationShell shell;
        InstanceManager *instances = shell.instances();
        QCOMPARE(instances->processId(ids[0]), m_servers.first());
        QList<QUuid> started;
        const QObject context;
        connect(instances, &InstanceManager::logAppended, &context, [&](const QUuid &id, const QString &entry) {
            if (entry.contains(QStringLiteral("' started on port "))) {
                started.append(id);
                m_servers.append(instances->processId(id).value_or(0));
            }
        });
        QTRY_COMPARE_WITH_TIMEOUT(started, (QList<QUuid>{ids[2], ids[3]}), 15000);
        QCOMPARE(instances->processId(ids[0]), m_servers.first());
        QVERIFY(!instances->hasProcess(ids[1]));
    }

    void keptInBackground_closeHidesAndSaysWhereOnce_butQuitStillQuits()
    {
        writeSettings(serverPath());
        ApplicationShell shell;
        shell.preferences()->setKeepsRunningInBackground(true);
        ContentView *window = shell.window();
        window->show();
        // Ctrl+Q closes the window from within on its way out: that close is no move to the background.
        QTimer::singleShot(0, window->actions().constFirst(), &QAction::trigger);
        QCOMPARE(runEventLoop(), 0);
        QVERIFY(!shell.preferences()->backgroundNoticeShown());

        window->present();
        QVERIFY(!closeByUser(window));
        QVERIFY(!window->isVisible());
        // No tray here: the alert names the command that brings the window back.
        QTRY_COMPARE(visibleAlerts(window).size(), 1);
        AlertDialog *alert = visibleAlerts(window).constFirst();
        QCOMPARE(alert->windowTitle(), BackgroundNotice::title());
        QVERIFY(alert->messageLabel()->text().contains(QStringLiteral("\"halvex-kelvane show\"")));
        alert->close();
        window->present();
        QVERIFY(!closeByUser(window));
        QCoreApplication::processEvents();
        QVERIFY(visibleAlerts(window).isEmpty());
    }

    void bundledServer_configuredOnlyWhenNoneIs_data()
    {
        QTest::addColumn<QString>("layout"); // what lies where an installation keeps its server
        QTest::addColumn<QByteArray>("settingsFile");
        QTest::addColumn<bool>("adopted");
        QTest::newRow("first start") << "installed" << QByteArray() << true;
        QTest::newRow("settings without a server")
            << "installed" << json("{'dataStorageLocation':'file:///srv/h','binaryPath':null}") << true;
        QTest::newRow("a server configured")
            << "installed" << json("{'dataStorageLocation':'file:///srv/h','binaryPath':'file:///opt/own/halvex'}")
            << false;
        QTest::newRow("not executable") << "not executable" << QByteArray() << false;
        QTest::newRow("a directory") << "directory" << QByteArray() << false;
        QTest::newRow("build tree: the server beside the application") << "build tree" << QByteArray() << false;
    }
    void bundledServer_configuredOnlyWhenNoneIs()
    {
        QFETCH(QString, layout);
        QFETCH(QByteArray, settingsFile);
        QFETCH(bool, adopted);
        const QString applicationDir = m_home->filePath(QStringLiteral("prefix/bin"));
        const QString server = QDir::cleanPath(applicationDir + QStringLiteral("/" HALVEX_BUNDLED_SERVER_FROM_APP_DIR));
        QVERIFY(QDir().mkpath(applicationDir) && QDir().mkpath(QFileInfo(server).path()));
        const QFile::Permissions executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        if (layout == u"directory")
            QVERIFY(QDir().mkpath(server));
        else if (layout == u"build tree")
            QVERIFY(writeFile(applicationDir + QStringLiteral("/halvex"), "#!/bin/sh\n", executable));
        else
            QVERIFY(writeFile(server, "#!/bin/sh\n", layout == u"installed" ? executable : QFile::ReadOwner));
        if (!settingsFile.isEmpty())
            QVERIFY(writeFile(paths().settingsFile(), settingsFile));

        AppSettings settings(paths());
        ApplicationShell::adoptBundledServer(&settings, applicationDir);
        QCoreApplication::processEvents();

        if (!adopted) {
            QVERIFY(settings.binaryPath() != QUrl::fromLocalFile(server));
            QCOMPARE(readFile(paths().settingsFile()), settingsFile);
            return;
        }
        QCOMPARE(settings.binaryPath(), QUrl::fromLocalFile(server));
        const QJsonObject stored = QJsonDocument::fromJson(readFile(paths().settingsFile())).object();
        QCOMPARE(stored.value(QStringLiteral("binaryPath")).toString(),
                 QUrl::fromLocalFile(server).toString(QUrl::FullyEncoded));
        if (!settingsFile.isEmpty())
            QCOMPARE(stored.value(QStringLiteral("dataStorageLocation")).toString(), QStringLiteral("file:///srv/h"));
    }
};

QTEST_MAIN(TestApplicationShell)
#include "tst_applicationshell.moc"
