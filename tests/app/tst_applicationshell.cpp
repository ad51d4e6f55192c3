// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"
#include "ProcessState.h"
#include "TestSupport.h"

#include "app/ApplicationShell.h"
#include "core/AppPaths.h"
#include "core/AppSettings.h"
#include "core/InstallLayout.h"
#include "core/Preferences.h"
#include "instances/InstanceManager.h"
#include "views/AlertDialog.h"
#include "views/ContentView.h"
#include "views/MainView.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <qtestspontaneevent.h>

#include <csignal>

using namespace TestSupport;
using namespace Qt::StringLiterals;
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

    static QString settingsFile() { return AppPaths::standard().settingsFile(); }
    void writeSettings() const
    {
        const QString settings = u"{'dataStorageLocation':'%1','binaryPath':'%2','timezone':'UTC'}"_s.arg(
            QUrl::fromLocalFile(m_home->filePath(u"servers"_s)).toString(QUrl::FullyEncoded),
            QUrl::fromLocalFile(serverPath()).toString(QUrl::FullyEncoded));
        QVERIFY(writeFile(settingsFile(), json(qPrintable(settings))));
    }
    static HalvexInstance add(InstanceManager *instances, const char *name)
    {
        instances->addInstance(HalvexInstance::create(QString::fromLatin1(name), u"t"_s, freePort()));
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

private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        useHomeIn(*m_home);
        // Host names go to a file of the test's, never to the system's.
        QVERIFY(writeFile(m_home->filePath(u"hosts"_s), "127.0.0.1 localhost\n"));
        qputenv("HALVEX_KELVANE_HOSTS_FILE", QFile::encodeName(m_home->filePath(u"hosts"_s)));
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

    void firstStart_opensTheSettings()
    {
        ApplicationShell shell;
        shell.window()->show();
        QTRY_VERIFY(shell.window()->mainView()->settingsSheet());
    }

    // The icon of the window, the tray and the About box is the application's artwork, drawn in its
    // own colours.
    void applicationIcon_isTheArtwork()
    {
        writeSettings();
        ApplicationShell shell;
        const QImage icon = QApplication::windowIcon().pixmap(QSize(64, 64), 1.0).toImage();
        QCOMPARE(icon.size(), QSize(64, 64));
        // Inside its rounded square, which is blue.
        const QColor square = icon.pixelColor(32, 32 - 24);
        QCOMPARE(square.alpha(), 255);
        QVERIFY2(square.blue() > 2 * square.red(), qPrintable(square.name()));
        // Outside it, where nothing is drawn.
        QCOMPARE(icon.pixelColor(1, 1).alpha(), 0);
    }

    // What waits for the window to come up (the first launch's preparation) starts once its first
    // frame is painted.
    void window_saysWhenItsFirstFrameIsPainted()
    {
        writeSettings();
        ApplicationShell shell;
        QSignalSpy painted(shell.window(), &ContentView::firstPainted);
        shell.window()->show();
        QVERIFY(painted.wait());
    }

    void closingTheWindow_quits_andAsksEveryServerToStopWithoutWaiting()
    {
        writeSettings();
        auto shell = std::make_unique<ApplicationShell>();
        InstanceManager *instances = shell->instances();
        const HalvexInstance running = add(instances, "running");
        const HalvexInstance starting = add(instances, "starting");
        const HalvexInstance idle = add(instances, "idle");
        QTRY_COMPARE(shell->settings()->binaryPath(), QUrl::fromLocalFile(serverPath()));
        instances->startInstance(running);
        QTRY_COMPARE_WITH_TIMEOUT(instances->runState(running.id), State::Running, 15000);
        // Never listening, and ignoring the request to stop once it says so: starting at quit, never ending.
        shell->settings()->setBinaryPath(QUrl::fromLocalFile(program("ignore_term")));
        instances->startInstance(starting);
        QTRY_VERIFY(!instances->logs(starting.id).filter(u"ignoring SIGTERM"_s).isEmpty());
        QCOMPARE(instances->runState(starting.id), State::Starting);
        m_servers = {*instances->processId(running.id), *instances->processId(starting.id)};
        shell->window()->show();
        const QStringList idleLog = instances->logs(idle.id);

        bool runningWhenTheHookReturned = false;
        const QObject afterTheHook;
        connect(qApp, &QCoreApplication::aboutToQuit, &afterTheHook,
                [&] { runningWhenTheHookReturned = instances->runState(running.id) != State::Stopped; });
        QTimer::singleShot(0, shell->window(), &QWidget::close);
        QCOMPARE(runEventLoop(), 0);

        QVERIFY(runningWhenTheHookReturned);
        QVERIFY(logMessages(instances->logs(running.id)).contains(u"Stopping instance 'running'..."_s));
        QVERIFY(logMessages(instances->logs(starting.id)).contains(u"Stopping instance 'starting'..."_s));
        QCOMPARE(instances->logs(idle.id), idleLog);
        shell.reset(); // as main() returns, which ends no server
        QVERIFY(!hasEnded(m_servers.last()));
        // The request went out: the server that obeys it ends.
        QTRY_VERIFY_WITH_TIMEOUT(hasEnded(m_servers.first()), 15000);
    }

    void markedInstances_startInRegistryOrder_andAFoundServerIsNotStartedAgain()
    {
        writeSettings();
        // The earlier session: four instances, three marked to start, one of those left running.
        QList<QUuid> ids;
        {
            AppSettings settings(AppPaths::standard());
            InstanceManager earlier(&settings, AppPaths::standard().registryFile());
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
        QList<QUuid> started;
        const QObject context;
        connect(instances, &InstanceManager::logAppended, &context, [&](const QUuid &id, const QString &entry) {
            if (entry.contains(u"' started on port "_s)) {
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
        writeSettings();
        ApplicationShell shell;
        shell.preferences()->setKeepsRunningInBackground(true);
        ContentView *window = shell.window();
        window->show();
        QCoreApplication::processEvents();
        // Shown before the settings naming a server were applied, which the first display awaited.
        QVERIFY(!window->mainView()->settingsSheet());
        // Ctrl+Q closes the window from within on its way out, which is no move to the background.
        QTimer::singleShot(0, window->actions().constFirst(), &QAction::trigger);
        QCOMPARE(runEventLoop(), 0);
        QVERIFY(!shell.preferences()->backgroundNoticeShown());

        window->present();
        QVERIFY(!closeByUser(window));
        QVERIFY(!window->isVisible());
        // No tray here: an alert names the command that brings the window back, the first time only.
        const QList<AlertDialog *> alerts = window->findChildren<AlertDialog *>();
        QCOMPARE(alerts.size(), 1);
        QVERIFY(alerts.constFirst()->messageLabel()->text().contains(u"\"halvex-kelvane show\""_s));
        delete alerts.constFirst();
        window->present();
        QVERIFY(!closeByUser(window));
        QVERIFY(window->findChildren<AlertDialog *>().isEmpty());
    }

    void bundledServer_configuredOnlyWhenNoneIs_data()
    {
        QTest::addColumn<QString>("server"); // where it lies, from the application's folder
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("adopted");
        const QString installed = QStringLiteral(HALVEX_BUNDLED_SERVER_FROM_APP_DIR);
        QTest::newRow("settings without a server")
            << installed << json("{'dataStorageLocation':'file:///srv/h','binaryPath':null}") << true;
        QTest::newRow("a server configured")
            << installed << json("{'dataStorageLocation':'file:///srv/h','binaryPath':'file:///opt/own/halvex'}")
            << false;
        QTest::newRow("build tree: the server beside the application") << u"halvex"_s << QByteArray() << false;
    }
    void bundledServer_configuredOnlyWhenNoneIs()
    {
        QFETCH(QString, server);
        QFETCH(QByteArray, settings);
        QFETCH(bool, adopted);
        const QString applicationDir = m_home->filePath(u"prefix/bin"_s);
        server = QDir::cleanPath(applicationDir + u'/' + server);
        QVERIFY(QDir().mkpath(applicationDir) && QDir().mkpath(QFileInfo(server).path()));
        QVERIFY(writeFile(server, "#!/bin/sh\n", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(settings.isEmpty() || writeFile(settingsFile(), settings));

        AppSettings appSettings(AppPaths::standard());
        ApplicationShell::adoptBundledServer(&appSettings, applicationDir);
        QCoreApplication::processEvents();
        QCOMPARE(appSettings.binaryPath() == QUrl::fromLocalFile(server), adopted);
        // Saved as a chosen server is, with the rest of the settings; or nothing written at all.
        const QByteArray stored = readFile(settingsFile());
        QCOMPARE(stored.contains(QUrl::fromLocalFile(server).toEncoded()), adopted);
        QCOMPARE(stored == settings, !adopted);
        QCOMPARE(stored.contains("file:///srv/h"), settings.contains("file:///srv/h"));
    }
};

QTEST_MAIN(TestApplicationShell)
#include "tst_applicationshell.moc"
