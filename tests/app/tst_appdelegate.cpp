// SPDX-License-Identifier: MIT
#include "ViewFixture.h"

#include "app/AppDelegate.h"
#include "app/ApplicationShell.h"
#include "views/ContentView.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

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
        const HalvexInstance first = m_fixture->add(QStringLiteral("first"), ViewFixture::freePort());
        const HalvexInstance second = m_fixture->add(QStringLiteral("second"), ViewFixture::freePort());
        const HalvexInstance idle = m_fixture->add(QStringLiteral("idle"), ViewFixture::freePort());
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
