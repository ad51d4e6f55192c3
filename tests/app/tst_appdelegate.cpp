// SPDX-License-Identifier: MIT
#include "ViewFixture.h"

#include "app/AppDelegate.h"
#include "app/ApplicationShell.h"
#include "app/BackgroundNotice.h"
#include "views/AlertDialog.h"
#include "views/ContentView.h"
#include "views/MainView.h"
#include "views/SettingsView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>

#include <csignal>
#include <QSignalSpy>
#include <QTest>
#include <qtestspontaneevent.h>

// The application's shutdown: the quit hook runs from the real event loop's end.
class TestAppDelegate : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ViewFixture> m_fixture;
    // The application's own files go to a home of the test's, however the test is started.
    QTemporaryDir m_home;

    bool logged(const QUuid &id, const QString &message) const
    {
        const QStringList log = m_fixture->instances->logs(id);
        return std::any_of(log.cbegin(), log.cend(),
                           [&message](const QString &entry) { return entry.endsWith(QStringLiteral("] ") + message); });
    }
    // Runs the application's event loop until something quits it; a guard ends a loop that would
    // never return.
    static int runEventLoop()
    {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
        guard.start(30000);
        return QCoreApplication::exec();
    }
    // A close as the window system delivers it when the user closes the window; true when the
    // window let itself be closed.
    static bool close(QWidget *window, bool byUser)
    {
        QCloseEvent close;
        if (byUser)
            QSpontaneKeyEvent::setSpontaneous(&close);
        QCoreApplication::instance()->notify(window, &close);
        return close.isAccepted();
    }
    static QList<AlertDialog *> visibleAlerts(const QWidget *window)
    {
        QList<AlertDialog *> boxes = window->findChildren<AlertDialog *>();
        boxes.removeIf([](const AlertDialog *box) { return !box->isVisible(); });
        return boxes;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("cache"))));
    }
    void init() { m_fixture = std::make_unique<ViewFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void quit_stopsEveryRunningInstanceWithoutWaiting()
    {
        m_fixture->settings->setBinaryPath(QUrl::fromLocalFile(QStringLiteral(HALVEX_SERVER_PATH)));
        const HalvexInstance first = m_fixture->add(QStringLiteral("first"), TestSupport::freePort());
        const HalvexInstance second = m_fixture->add(QStringLiteral("second"), TestSupport::freePort());
        const HalvexInstance idle = m_fixture->add(QStringLiteral("idle"), TestSupport::freePort());
        for (const HalvexInstance &instance : {first, second})
            m_fixture->instances->startInstance(instance);
        QTRY_VERIFY_WITH_TIMEOUT(m_fixture->instances->instance(first.id)->isRunning &&
                                     m_fixture->instances->instance(second.id)->isRunning,
                                 15000);
        m_fixture->instances->clearLogs(idle.id);

        AppDelegate delegate(m_fixture->instances.get());
        bool runningWhenTheHookReturned = false;
        connect(qApp, &QCoreApplication::aboutToQuit, this, [&] {
            runningWhenTheHookReturned = m_fixture->instances->instance(first.id)->isRunning &&
                                         m_fixture->instances->instance(second.id)->isRunning;
        });
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(runEventLoop(), 0);
        disconnect(qApp, &QCoreApplication::aboutToQuit, this, nullptr);

        QVERIFY(runningWhenTheHookReturned);
        QVERIFY(clock.elapsed() < 5000);
        QVERIFY(logged(first.id, QStringLiteral("Stopping instance 'first'...")));
        QVERIFY(logged(second.id, QStringLiteral("Stopping instance 'second'...")));
        QVERIFY(m_fixture->instances->logs(idle.id).isEmpty());
        // The termination requests were sent: both servers end on their own.
        QTRY_VERIFY_WITH_TIMEOUT(logged(first.id, QStringLiteral("Instance stopped")) &&
                                     logged(second.id, QStringLiteral("Instance stopped")),
                                 15000);
    }

    void closingTheWindow_quitsTheApplication()
    {
        // Built as main() builds it, so that the start-up path itself is what is tested.
        ApplicationShell shell;
        shell.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(shell.window()));
        QVERIFY(QFileInfo::exists(m_home.filePath(QStringLiteral("data/HalvexKelvane"))));
        QTimer::singleShot(0, shell.window(), &QWidget::close);
        QCOMPARE(runEventLoop(), 0);
    }

    void close_followsTheBackgroundChoice_data()
    {
        QTest::addColumn<bool>("keepRunning");
        QTest::addColumn<bool>("byUser");
        QTest::addColumn<bool>("closes");
        QTest::newRow("off: the user's close") << false << true << true;
        QTest::newRow("on: the user's close") << true << true << false;
        QTest::newRow("on: quitting closes every window") << true << false << true;
    }
    void close_followsTheBackgroundChoice()
    {
        QFETCH(bool, keepRunning);
        QFETCH(bool, byUser);
        QFETCH(bool, closes);
        m_fixture->preferences.setKeepsRunningInBackground(keepRunning);
        ContentView window(m_fixture->context());
        window.show();
        QSignalSpy background(&window, &ContentView::closedToBackground);
        QCOMPARE(close(&window, byUser), closes);
        QCOMPARE(background.size(), closes ? 0 : 1);
        if (!closes)
            QVERIFY(!window.isVisible());
    }

    void closeToBackground_keepsServersRunning_andSaysWhereOnce()
    {
        ApplicationShell shell;
        shell.preferences()->setKeepsRunningInBackground(false);
        shell.preferences()->setBackgroundNoticeShown(false);
        shell.settings()->setBinaryPath(QUrl::fromLocalFile(QStringLiteral(HALVEX_SERVER_PATH)));
        shell.instances()->addInstance(
            HalvexInstance::create(QStringLiteral("kept"), QStringLiteral("t"), TestSupport::freePort()));
        const HalvexInstance kept = shell.instances()->instances().last();
        shell.instances()->startInstance(kept);
        QTRY_COMPARE_WITH_TIMEOUT(shell.instances()->runState(kept.id), InstanceManager::RunState::Running, 15000);
        ContentView *window = shell.window();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->mainView()->showSettings();
        window->mainView()->settingsSheet()->keepRunningCheckBox()->click();
        window->mainView()->settingsSheet()->accept();

        QVERIFY(!close(window, true));
        QVERIFY(!window->isVisible());
        // No tray here: the alert names the command that brings the window back.
        QTRY_COMPARE(visibleAlerts(window).size(), 1);
        AlertDialog *alert = visibleAlerts(window).first();
        QCOMPARE(alert->windowTitle(), BackgroundNotice::title());
        QVERIFY(alert->messageLabel()->text().contains(QStringLiteral("\"halvex-kelvane show\"")));
        alert->close();
        window->present();
        QVERIFY(!close(window, true));
        QCoreApplication::processEvents();
        QVERIFY(visibleAlerts(window).isEmpty());
        QCOMPARE(shell.instances()->runState(kept.id), InstanceManager::RunState::Running);

        ::kill(static_cast<pid_t>(*shell.instances()->processId(kept.id)), SIGKILL);
        QTRY_COMPARE_WITH_TIMEOUT(shell.instances()->runState(kept.id), InstanceManager::RunState::Stopped, 15000);
        shell.instances()->deleteInstance(kept);
        shell.preferences()->setKeepsRunningInBackground(false);
    }

    void quit_withTheWindowKeptInBackground_stillQuits()
    {
        ApplicationShell shell;
        shell.preferences()->setKeepsRunningInBackground(true);
        shell.preferences()->setBackgroundNoticeShown(false);
        shell.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(shell.window()));
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCOMPARE(runEventLoop(), 0);
        QVERIFY(!shell.preferences()->backgroundNoticeShown());
        shell.preferences()->setKeepsRunningInBackground(false);
    }

    void commands_offerNoSecondWindow()
    {
        ContentView window(m_fixture->context());
        QStringList commands;
        for (const QAction *action : window.actions())
            commands.append(action->text());
        QCOMPARE(commands, QStringList{QStringLiteral("&Quit")});
        QCOMPARE(window.actions().first()->shortcut(), QKeySequence(QKeySequence::Quit));
        QVERIFY(!window.menuWidget());
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
