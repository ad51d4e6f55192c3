// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"
#include "ViewFixture.h"

#include "app/TrayMenu.h"
#include "platform/LoginAutostart.h"
#include "views/SettingsView.h"

#include <QCheckBox>
#include <QTest>

using namespace TestSupport;
using namespace Qt::StringLiterals;
using State = InstanceManager::RunState;

// What the application puts on the desktop besides its window: the tray icon's menu over a real
// manager and real servers, and the entry that starts the application at login.
class TestDesktop : public QObject
{
    Q_OBJECT

public:
    static void initMain() { drawOffscreenByDefault(); }

private:
    std::unique_ptr<ViewFixture> m_fixture;

    InstanceManager *manager() const { return m_fixture->instances.get(); }
    QString path(const QString &name) const { return m_fixture->path(name); }
    // Adds an instance whose server is "stopped", "starting", "running" or "stopping" (one that never
    // listens and ignores the request to stop); false when it did not get there.
    bool addIn(const QString &name, const QString &state)
    {
        const QUuid id = m_fixture->add(name).id;
        if (state == u"stopped")
            return true;
        m_fixture->useExecutable(state == u"running" ? serverPath() : program("ignore_term"));
        manager()->startInstance(*manager()->instance(id));
        if (!QTest::qWaitFor([&] { return !manager()->isLaunching(id); }))
            return false;
        if (state == u"running")
            return QTest::qWaitFor([&] { return manager()->runState(id) == State::Running; }, 15000);
        // Asked to stop only once it ignores the request.
        if (state == u"stopping" &&
            QTest::qWaitFor([&] { return !manager()->logs(id).filter(u"SIGTERM"_s).isEmpty(); }))
            manager()->stopInstance(*manager()->instance(id));
        return manager()->runState(id) == (state == u"starting" ? State::Starting : State::Stopping);
    }
    // The entries as the menu shows them when it opens: "title > action" for an instance, "(off)"
    // after what cannot be chosen.
    static QStringList opened(TrayMenu &menu)
    {
        menu.popup(QPoint(0, 0));
        menu.hide();
        QStringList lines;
        for (const QAction *action : menu.actions()) {
            const QAction *chosen = action->menu() ? action->menu()->actions().constFirst() : action;
            if (action->isVisible() && !action->isSeparator())
                lines.append(action->iconText() + (action->menu() ? u" > "_s + chosen->text() : QString()) +
                             (chosen->isEnabled() ? QString() : u" (off)"_s));
        }
        return lines;
    }
    // The entry as the menu shows it when it opens.
    static QAction *entry(TrayMenu &menu, const QString &text)
    {
        opened(menu);
        for (QAction *action : menu.actions()) {
            if (action->isVisible() && action->iconText().startsWith(text))
                return action->menu() ? action->menu()->actions().constFirst() : action;
        }
        return nullptr;
    }

private slots:
    void init() { m_fixture = std::make_unique<ViewFixture>(); }

    void trayMenu_offersWhatEachStateAllows()
    {
        // Made before the instances: what it shows comes from the moment it opens.
        TrayMenu menu(manager());
        QVERIFY(addIn(u"stopping"_s, u"stopping"_s)); // nothing to start, nothing more to stop
        QCOMPARE(opened(menu).first(3),
                 (QStringList{"stopping — Stopping… > Stop (off)", "Start All (off)", "Stop All (off)"}));
        for (const char *state : {"running", "starting", "stopped"})
            QVERIFY(addIn(QString::fromLatin1(state), QString::fromLatin1(state)));
        QCOMPARE(opened(menu).first(6),
                 (QStringList{"stopping — Stopping… > Stop (off)", "running — Running > Stop",
                              "starting — Starting… > Stop", "stopped — Stopped > Start", "Start All", "Stop All"}));
    }

    void trayEntry_doesWhatItOffered()
    {
        m_fixture->useExecutable(serverPath());
        const QUuid id = m_fixture->add(u"first"_s).id;
        TrayMenu menu(manager());
        entry(menu, u"first"_s)->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(manager()->runState(id), State::Running, 15000);
        entry(menu, u"first"_s)->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(manager()->runState(id), State::Stopped, 15000);
        // What it offered when the menu opened: the "Start" of a server started meanwhile does not
        // stop it.
        QAction *offered = entry(menu, u"first"_s);
        manager()->startInstance(*manager()->instance(id));
        QTRY_VERIFY(!manager()->isLaunching(id));
        offered->trigger();
        QVERIFY(manager()->runState(id) == State::Starting || manager()->runState(id) == State::Running);
    }

    void trayStartAll_startsOnePerTurn_andStopAllDropsTheRest()
    {
        m_fixture->useExecutable(program("ignore_term"));
        const QUuid first = m_fixture->add(u"i0"_s).id;
        m_fixture->add(u"i1"_s);
        const QUuid last = m_fixture->add(u"i2"_s).id;
        TrayMenu menu(manager());
        entry(menu, u"Start All"_s)->trigger();
        QVERIFY(!manager()->isLaunching(first));
        const auto asked = [this](const QUuid &id) {
            return manager()->isLaunching(id) || manager()->runState(id) != State::Stopped;
        };
        for (int turn = 0; turn < 100 && !asked(first); ++turn)
            QCoreApplication::processEvents();
        QVERIFY(!asked(last));
        entry(menu, u"Stop All"_s)->trigger();
        QCOMPARE(manager()->runState(first), State::Stopping);
        for (int turn = 0; turn < 10; ++turn)
            QCoreApplication::processEvents();
        QCOMPARE(manager()->runState(last), State::Stopped);
    }

    void autostartEntry_startsTheProgramInTheBackground_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << "/home/ann/build/halvex-kelvane"
                               << "/home/ann/build/halvex-kelvane --background";
        // Quoted, then escaped as a desktop entry's value: "\\$" is a literal dollar sign.
        QTest::newRow("space and dollar") << "/home/ann/my builds/$HOME/halvex-kelvane"
                                          << "\"/home/ann/my builds/\\\\$HOME/halvex-kelvane\" --background";
        QTest::newRow("percent") << "/opt/100%/halvex-kelvane"
                                 << "/opt/100%%/halvex-kelvane --background";
    }
    void autostartEntry_startsTheProgramInTheBackground()
    {
        QFETCH(QString, command);
        QFETCH(QString, exec);
        LoginAutostart autostart(path(u"config"_s), command);
        QCOMPARE(autostart.entryPath(), path(u"config/autostart/halvex-kelvane.desktop"_s));
        QVERIFY(!autostart.isEnabled());
        QString error;
        QVERIFY2(autostart.setEnabled(true, &error), qPrintable(error));
        QVERIFY(autostart.isEnabled());
        const QByteArray entry = readFile(autostart.entryPath());
        QVERIFY2(entry.split('\n').contains("Exec=" + exec.toUtf8()), entry.constData());
        // Turned off in the desktop's own session settings, the file kept: off here as well.
        for (const QByteArray off : {"Hidden=true\n", "X-GNOME-Autostart-enabled=false\n"})
            QVERIFY(writeFile(autostart.entryPath(), entry + off) && !autostart.isEnabled());
        QVERIFY(autostart.setEnabled(false, &error));
        QVERIFY(!QFile::exists(autostart.entryPath()));
    }

    void settings_startAtLogin_writesTheEntry_andReportsAFailure()
    {
        LoginAutostart autostart(path(u"config"_s), u"halvex-kelvane"_s);
        SettingsView sheet(m_fixture->settings.get(), m_fixture->binary.get(), m_fixture->importExport.get(),
                           &m_fixture->chooser, &m_fixture->prompter);
        sheet.offerDesktopOptions(&m_fixture->preferences, &autostart);
        QCheckBox *startAtLogin = sheet.startAtLoginCheckBox();
        QVERIFY(!startAtLogin->isChecked());
        startAtLogin->click();
        QVERIFY(autostart.isEnabled());
        startAtLogin->click();
        QVERIFY(!QFile::exists(autostart.entryPath()));
        // A file where the autostart folder belongs: the entry cannot be written.
        QVERIFY(QDir(path(u"config/autostart"_s)).removeRecursively() && writeFile(path(u"config/autostart"_s), ""));
        startAtLogin->click();
        QVERIFY(!startAtLogin->isChecked());
        QCOMPARE(m_fixture->prompter.alerts().size(), 1);
        QVERIFY(m_fixture->prompter.alerts().constFirst().message.contains(path(u"config/autostart"_s)));
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
