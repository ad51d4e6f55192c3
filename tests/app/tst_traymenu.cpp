// SPDX-License-Identifier: MIT
#include "ViewFixture.h"

#include "app/TrayMenu.h"

#include <QSignalSpy>
#include <QTest>

using State = InstanceManager::RunState;

// The tray's menu over a real manager, its servers real processes: the real server, and one that
// never listens and ignores the request to stop (it stays Starting, then Stopping).
class TestTrayMenu : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ViewFixture> m_fixture;

    InstanceManager *manager() const { return m_fixture->instances.get(); }
    // Adds an instance and brings its server into the state: "stopped", "starting", "running" or
    // "stopping". False when it did not get there.
    bool addIn(const QString &name, const QString &state)
    {
        const HalvexInstance instance = m_fixture->add(name, TestSupport::freePort());
        if (state == u"stopped")
            return true;
        m_fixture->settings->setBinaryPath(QUrl::fromLocalFile(state == u"running"
                                                                   ? QStringLiteral(HALVEX_SERVER_PATH)
                                                                   : QStringLiteral(TEST_PROGRAMS_DIR "/ignore_term")));
        manager()->startInstance(instance);
        if (state == u"running")
            return QTest::qWaitFor([&] { return manager()->runState(instance.id) == State::Running; }, 15000);
        if (state == u"stopping") {
            if (!QTest::qWaitFor(
                    [&] { return !manager()->logs(instance.id).filter(QStringLiteral("SIGTERM")).isEmpty(); }))
                return false;
            manager()->stopInstance(instance);
        }
        return manager()->runState(instance.id) == (state == u"starting" ? State::Starting : State::Stopping);
    }
    // What the menu shows as it opens, one line per entry: "title > action" for an instance,
    // "(off)" after what cannot be chosen, "--" for a separator.
    static QStringList opened(TrayMenu &menu)
    {
        menu.popup(QPoint(0, 0));
        menu.hide();
        QStringList lines;
        for (const QAction *action : menu.actions()) {
            if (!action->isVisible())
                continue;
            // As the user reads it, with no "&" taken for a shortcut mark.
            QString line = action->isSeparator() ? QStringLiteral("--") : action->iconText();
            if (action->menu())
                line += QStringLiteral(" > ") + action->menu()->actions().constFirst()->text();
            const bool enabled =
                action->menu() ? action->menu()->actions().constFirst()->isEnabled() : action->isEnabled();
            lines.append(enabled ? line : line + QStringLiteral(" (off)"));
        }
        return lines;
    }
    static QAction *entry(TrayMenu &menu, const QString &text)
    {
        for (QAction *action : menu.actions()) {
            if (action->isVisible() && action->iconText().startsWith(text))
                return action->menu() ? action->menu()->actions().constFirst() : action;
        }
        return nullptr;
    }

private slots:
    void init() { m_fixture = std::make_unique<ViewFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void menu_showsEachStateWithItsAction_data()
    {
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<QStringList>("instanceLines");
        QTest::addColumn<QStringList>("allLines");
        const QString on = QStringLiteral("Start All"), off = QStringLiteral("Stop All (off)");
        QTest::newRow("none") << QStringList() << QStringList{QStringLiteral("No instances (off)")}
                              << QStringList{QStringLiteral("Start All (off)"), off};
        QTest::newRow("stopped") << QStringList{QStringLiteral("stopped")}
                                 << QStringList{QStringLiteral("i0 — Stopped > Start")} << QStringList{on, off};
        QTest::newRow("every state") << QStringList{QStringLiteral("running"), QStringLiteral("starting"),
                                                    QStringLiteral("stopping"), QStringLiteral("stopped")}
                                     << QStringList{QStringLiteral("i0 — Running > Stop"),
                                                    QStringLiteral("i1 — Starting > Stop"),
                                                    QStringLiteral("i2 — Stopping > Stop (off)"),
                                                    QStringLiteral("i3 — Stopped > Start")}
                                     << QStringList{on, QStringLiteral("Stop All")};
        QTest::newRow("only stopping") << QStringList{QStringLiteral("stopping")}
                                       << QStringList{QStringLiteral("i0 — Stopping > Stop (off)")}
                                       << QStringList{QStringLiteral("Start All (off)"), off};
    }
    void menu_showsEachStateWithItsAction()
    {
        QFETCH(QStringList, states);
        QFETCH(QStringList, instanceLines);
        QFETCH(QStringList, allLines);
        // Made before the instances: what it shows comes from the moment it opens.
        TrayMenu menu(manager());
        for (qsizetype i = 0; i < states.size(); ++i)
            QVERIFY(addIn(QStringLiteral("i%1").arg(i), states.at(i)));
        const QStringList expected =
            instanceLines + QStringList{QStringLiteral("--")} + allLines +
            QStringList{QStringLiteral("--"), QStringLiteral("Show Halvex Kelvane"),
                        QStringLiteral("About Halvex Kelvane"), QStringLiteral("--"), QStringLiteral("Quit")};
        QCOMPARE(opened(menu), expected);
    }

    void manyInstances_listThoseWithServersFirstInListOrder()
    {
        QVERIFY(addIn(QStringLiteral("a&b"), QStringLiteral("stopped")));
        for (int i = 0; i < 25; ++i)
            QVERIFY(addIn(QStringLiteral("i%1").arg(i),
                          i == 21 || i == 24 ? QStringLiteral("starting") : QStringLiteral("stopped")));
        TrayMenu menu(manager());
        QStringList expected{QStringLiteral("a&b — Stopped > Start")};
        for (int i = 0; i < 17; ++i)
            expected.append(QStringLiteral("i%1 — Stopped > Start").arg(i));
        expected << QStringLiteral("i21 — Starting > Stop") << QStringLiteral("i24 — Starting > Stop")
                 << QStringLiteral("… and 6 more");
        QCOMPARE(opened(menu).first(TrayMenu::listedInstances + 1), expected);

        QSignalSpy showWindow(&menu, &TrayMenu::showWindowRequested);
        entry(menu, QStringLiteral("… and"))->trigger();
        QCOMPARE(showWindow.size(), 1);
    }

    void actions_callTheManager()
    {
        m_fixture->settings->setBinaryPath(QUrl::fromLocalFile(QStringLiteral(HALVEX_SERVER_PATH)));
        const HalvexInstance first = m_fixture->add(QStringLiteral("first"), TestSupport::freePort());
        const HalvexInstance second = m_fixture->add(QStringLiteral("second"), TestSupport::freePort());
        TrayMenu menu(manager());

        opened(menu);
        entry(menu, QStringLiteral("first"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(manager()->runState(first.id), State::Running, 15000);
        opened(menu);
        entry(menu, QStringLiteral("Start All"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(manager()->runState(second.id), State::Running, 15000);
        opened(menu);
        entry(menu, QStringLiteral("first"))->trigger();
        QCOMPARE(manager()->runState(first.id), State::Stopping);
        QTRY_COMPARE_WITH_TIMEOUT(manager()->runState(first.id), State::Stopped, 15000);

        // An entry does what it offered when the menu opened, not the opposite of the state it
        // finds: the "Start" of a server started meanwhile does not stop it.
        opened(menu);
        manager()->startInstance(*manager()->instance(first.id));
        QTRY_COMPARE_WITH_TIMEOUT(manager()->runState(first.id), State::Running, 15000);
        entry(menu, QStringLiteral("first"))->trigger();
        QCOMPARE(manager()->runState(first.id), State::Running);

        opened(menu);
        entry(menu, QStringLiteral("Stop All"))->trigger();
        QCOMPARE(manager()->runState(first.id), State::Stopping);
        QCOMPARE(manager()->runState(second.id), State::Stopping);

        QTRY_VERIFY_WITH_TIMEOUT(
            manager()->runState(first.id) == State::Stopped && manager()->runState(second.id) == State::Stopped, 15000);
    }

    void startAll_startsOnePerTurn_andStopAllDropsTheRest()
    {
        m_fixture->settings->setBinaryPath(QUrl::fromLocalFile(QStringLiteral(TEST_PROGRAMS_DIR "/ignore_term")));
        QList<QUuid> ids;
        for (int i = 0; i < 3; ++i)
            ids.append(m_fixture->add(QStringLiteral("i%1").arg(i), TestSupport::freePort()).id);
        TrayMenu menu(manager());
        opened(menu);
        entry(menu, QStringLiteral("Start All"))->trigger();
        QCOMPARE(manager()->runState(ids.first()), State::Stopped);
        for (int turn = 0; turn < 100 && manager()->runState(ids.first()) == State::Stopped; ++turn)
            QCoreApplication::processEvents();
        QCOMPARE(manager()->runState(ids.last()), State::Stopped);

        opened(menu);
        entry(menu, QStringLiteral("Stop All"))->trigger();
        QCOMPARE(manager()->runState(ids.first()), State::Stopping);
        for (int turn = 0; turn < 10; ++turn)
            QCoreApplication::processEvents();
        QCOMPARE(manager()->runState(ids.last()), State::Stopped);
    }
};

QTEST_MAIN(TestTrayMenu)
#include "tst_traymenu.moc"
