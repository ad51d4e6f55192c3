// SPDX-License-Identifier: MIT
#include "ViewFixture.h"

#include "TestSupport.h"
#include "core/ReferenceDate.h"
#include "instances/HealthMonitor.h"
#include "platform/ProcessInfo.h"
#include "views/InstanceActions.h"
#include "views/InstanceDetailView.h"
#include "views/InstanceHealthView.h"
#include "views/InstanceListModel.h"
#include "views/LogFindBar.h"
#include "views/LogListModel.h"
#include "views/LogsView.h"
#include "views/ProminentButton.h"
#include "views/RunStateText.h"
#include "views/SystemColors.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTest>
#include <QToolButton>

using State = InstanceManager::RunState;

// The detail pane over a real registry, with the real server where an instance runs.
using TestSupport::logMessages;

class TestInstanceDetail : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ViewFixture> m_fixture;

    std::unique_ptr<InstanceDetailView> shownDetail(const QUuid &id)
    {
        auto view = std::make_unique<InstanceDetailView>(id, m_fixture->context());
        view->resize(700, 700);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            return nullptr;
        return view;
    }
    bool logged(const QUuid &id, const QString &message) const
    {
        const QStringList log = m_fixture->instances->logs(id);
        return std::any_of(log.cbegin(), log.cend(),
                           [&message](const QString &entry) { return entry.endsWith(QStringLiteral("] ") + message); });
    }
    HalvexInstance current(const QUuid &id) const { return *m_fixture->instances->instance(id); }
    static QString program(const char *name) { return QStringLiteral(TEST_PROGRAMS_DIR "/") + QLatin1String(name); }
    // The entry of the detail's "Actions" menu with this text.
    static QAction *menuAction(const InstanceDetailView &view, const QString &text)
    {
        const QList<QAction *> actions = view.actionsButton()->menu()->actions();
        const auto found = std::find_if(actions.cbegin(), actions.cend(),
                                        [&text](const QAction *action) { return action->text() == text; });
        return found == actions.cend() ? nullptr : *found;
    }
    // Lets the answers the scripted dialogs give on the next turn arrive.
    static bool settle()
    {
        bool reached = false;
        QTimer::singleShot(0, [&reached] { reached = true; });
        return QTest::qWaitFor([&reached] { return reached; });
    }
    qsizetype healthRequests(const QUuid &id) const
    {
        return logMessages(m_fixture->instances->logs(id)).count(QStringLiteral("GET /health 200"));
    }

private slots:
    void init() { m_fixture = std::make_unique<ViewFixture>(); }
    void cleanup() { m_fixture.reset(); }

    void form_showsTheRecord_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("expected");
        const double created = ReferenceDate::fromDateTime(QDateTime(QDate(2025, 3, 1), QTime(14, 5, 9), Qt::UTC));
        QTest::newRow("name") << "Name"
                              << "orders";
        QTest::newRow("port") << "Port"
                              << "18080";
        QTest::newRow("whole token in clear") << "Auth Token"
                                              << "0123456789abcdefghij";
        QTest::newRow("state") << "State"
                               << "Stopped";
        QTest::newRow("created in the short form")
            << "Created" << QLocale().toString(ReferenceDate::toDateTime(created).toLocalTime(), QLocale::ShortFormat);
    }

    void form_showsTheRecord()
    {
        QFETCH(QString, label);
        QFETCH(QString, expected);
        HalvexInstance record =
            HalvexInstance::create(QStringLiteral("orders"), QStringLiteral("0123456789abcdefghij"), 18080);
        record.createdAt = ReferenceDate::fromDateTime(QDateTime(QDate(2025, 3, 1), QTime(14, 5, 9), Qt::UTC));
        m_fixture->instances->addInstance(record);
        InstanceDetailView view(record.id, m_fixture->context());
        QCOMPARE(view.value(label), expected);
    }

    void dataDirectory_followsTheStorageLocation()
    {
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"), 18080);
        InstanceDetailView view(record.id, m_fixture->context());
        QCOMPARE(view.value(QStringLiteral("Data Directory")), m_fixture->storage() + QStringLiteral("/orders"));
    }

    void deletedRecord_showsNotFound()
    {
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"), 18080);
        InstanceDetailView view(record.id, m_fixture->context());
        QVERIFY(!view.showsNotFound());
        m_fixture->instances->deleteInstance(record);
        QVERIFY(view.showsNotFound());
    }

    void setInstanceID_showsTheOtherRecordAndFollowsIt()
    {
        const HalvexInstance orders = m_fixture->add(QStringLiteral("orders"), 18080);
        const HalvexInstance billing = m_fixture->add(QStringLiteral("billing"), 18081);
        m_fixture->instances->addLog(billing.id, QStringLiteral("billing only"));
        InstanceDetailView view(orders.id, m_fixture->context());

        view.setInstanceID(billing.id);
        QCOMPARE(view.value(QStringLiteral("Name")), QStringLiteral("billing"));
        QCOMPARE(view.logsView()->model()->entries(), m_fixture->instances->logs(billing.id));
        m_fixture->instances->markInstanceRunning(billing.id);
        QCOMPARE(view.value(QStringLiteral("State")), QStringLiteral("Running"));
        m_fixture->instances->deleteInstance(orders);
        QVERIFY(!view.showsNotFound());
        m_fixture->instances->deleteInstance(current(billing.id));
        QVERIFY(view.showsNotFound());
    }

    void split_keepsBothPanes()
    {
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"), 18080);
        auto view = shownDetail(record.id);
        QVERIFY(view);
        QSplitter *split = view->splitter();
        QCOMPARE(split->orientation(), Qt::Vertical);
        QVERIFY(!split->childrenCollapsible());
        QVERIFY(split->widget(0)->minimumHeight() >= 200);
        QVERIFY(split->widget(1)->minimumHeight() >= 150);
        QVERIFY(split->sizes().at(0) >= 200);
        split->setSizes({0, 10000});
        QVERIFY(split->sizes().at(0) >= 200);
    }

    void startWithoutExecutable_logsAndStaysStart()
    {
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"), 18080);
        auto view = shownDetail(record.id);
        QVERIFY(view);
        QCOMPARE(view->startStopButton()->text(), QStringLiteral("Start"));
        QCOMPARE(view->startStopButton()->tint(), SystemColors::green());
        QTest::mouseClick(view->startStopButton(), Qt::LeftButton);
        QVERIFY(logged(record.id, QStringLiteral("Error: Halvex binary not configured. Please download and configure "
                                                 "the binary in Settings.")));
        QCOMPARE(view->startStopButton()->text(), QStringLiteral("Start"));
        QVERIFY(view->runningBadge()->isHidden());
    }

    void runStates_areShownInThePaneAndTheRow()
    {
        m_fixture->settings->setBinaryPath(QUrl::fromLocalFile(QStringLiteral(HALVEX_SERVER_PATH)));
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"), TestSupport::freePort());
        auto view = shownDetail(record.id);
        QVERIFY(view);
        InstanceListModel rows(m_fixture->instances.get());
        const auto rowState = [&rows, &record] {
            return static_cast<State>(rows.indexOf(record.id).data(InstanceListModel::RunStateRole).toInt());
        };
        QVERIFY(!view->actions()->openInBrowser()->isEnabled());

        // Started, its port not yet probed: the probe needs a turn of the event loop.
        QTest::mouseClick(view->startStopButton(), Qt::LeftButton);
        QCOMPARE(view->value(QStringLiteral("State")), QStringLiteral("Starting…"));
        QCOMPARE(view->badgeText(), QStringLiteral("Starting…"));
        QVERIFY(view->runningBadge()->isVisible());
        QCOMPARE(rowState(), State::Starting);
        QCOMPARE(view->startStopButton()->text(), QStringLiteral("Stop"));
        QVERIFY(!view->actions()->openInBrowser()->isEnabled());

        QTRY_COMPARE_WITH_TIMEOUT(view->value(QStringLiteral("State")), QStringLiteral("Running"), 15000);
        QCOMPARE(view->badgeText(), QStringLiteral("Running"));
        QCOMPARE(rowState(), State::Running);
        QCOMPARE(view->startStopButton()->accessibleName(), QStringLiteral("Stop"));
        QCOMPARE(view->startStopButton()->tint(), SystemColors::red());
        QVERIFY(!view->isRowShown(QStringLiteral("Last Run")));
        view->actions()->openInBrowser()->trigger();
        QCOMPARE(m_fixture->urlOpener.opened(),
                 QList<QUrl>{QUrl(QStringLiteral("http://localhost:%1/health").arg(record.port))});

        QTest::mouseClick(view->startStopButton(), Qt::LeftButton);
        QVERIFY(logged(record.id, QStringLiteral("Stopping instance 'orders'...")));
        // The record stays running until the process has exited.
        QCOMPARE(view->value(QStringLiteral("State")), QStringLiteral("Stopping…"));
        QCOMPARE(view->badgeText(), QStringLiteral("Stopping…"));
        QCOMPARE(rowState(), State::Stopping);
        QCOMPARE(view->startStopButton()->text(), QStringLiteral("Stop"));
        QTRY_VERIFY_WITH_TIMEOUT(logged(record.id, QStringLiteral("Instance stopped")), 15000);
        QCOMPARE(view->startStopButton()->text(), QStringLiteral("Start"));
        QCOMPARE(view->value(QStringLiteral("State")), QStringLiteral("Stopped"));
        QCOMPARE(rowState(), State::Stopped);
        QVERIFY(view->runningBadge()->isHidden());
        QVERIFY(view->isRowShown(QStringLiteral("Last Run")));
        QVERIFY(view->value(QStringLiteral("Last Run")).startsWith(QStringLiteral("exited with exit code 0 at ")));
    }

    void forceStop_onlyWhenOverdueAndOnlyOnceConfirmed()
    {
        m_fixture->instances->setStopDeadline(std::chrono::milliseconds(150));
        m_fixture->settings->setBinaryPath(QUrl::fromLocalFile(program("ignore_term")));
        const HalvexInstance record = m_fixture->add(QStringLiteral("stubborn"), TestSupport::freePort());
        auto view = shownDetail(record.id);
        QVERIFY(view);
        QTest::mouseClick(view->startStopButton(), Qt::LeftButton);
        QTRY_VERIFY(logged(record.id, QStringLiteral("ignoring SIGTERM")));
        const qint64 pid = *m_fixture->instances->processId(record.id);

        QTest::mouseClick(view->startStopButton(), Qt::LeftButton);
        QCOMPARE(view->value(QStringLiteral("State")), QStringLiteral("Stopping…"));
        QCOMPARE(view->startStopButton()->text(), QStringLiteral("Stop"));
        QVERIFY(!view->actions()->forceStop()->isVisible());
        // A second Stop before the deadline asks nothing and sends nothing more.
        QTest::mouseClick(view->startStopButton(), Qt::LeftButton);
        QVERIFY(m_fixture->prompter.questions().isEmpty());

        QTRY_COMPARE(view->startStopButton()->text(), QStringLiteral("Force Stop"));
        QCOMPARE(view->startStopButton()->tint(), SystemColors::red());
        QVERIFY(view->actions()->forceStop()->isVisible());
        m_fixture->prompter.answer(false);
        QTest::mouseClick(view->startStopButton(), Qt::LeftButton);
        QCOMPARE(m_fixture->prompter.questions().size(), 1);
        const ScriptedPrompter::Question question = m_fixture->prompter.questions().first();
        QCOMPARE(question.title, QStringLiteral("Force Stop"));
        QCOMPARE(question.action, QStringLiteral("Force Stop"));
        QVERIFY(question.message.contains(QStringLiteral("'stubborn'")));
        QVERIFY(question.message.contains(QStringLiteral("not saved")));
        QVERIFY(settle());
        QCOMPARE(m_fixture->instances->runState(record.id), State::Stopping);
        QVERIFY(!logged(record.id, QStringLiteral("Force stopping the server (SIGKILL)...")));
        QVERIFY(ProcessInfo::startTime(pid));

        m_fixture->prompter.answer(true);
        QTest::mouseClick(view->startStopButton(), Qt::LeftButton);
        QTRY_COMPARE(view->value(QStringLiteral("State")), QStringLiteral("Stopped"));
        QVERIFY(view->value(QStringLiteral("Last Run")).startsWith(QStringLiteral("ended by signal 9 (SIGKILL) at ")));
    }

    void lastRun_saysHowAndWhen_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("duringStartup");
        QTest::addColumn<int>("daysAgo");
        QTest::addColumn<QString>("how");
        QTest::newRow("exit code") << int(ServerExit::Kind::Code) << 1 << false << 0 << "exited with exit code 1";
        QTest::newRow("signal") << int(ServerExit::Kind::Signal) << 9 << false << 0 << "ended by signal 9 (SIGKILL)";
        QTest::newRow("during start-up") << int(ServerExit::Kind::Code) << 2 << true << 0
                                         << "ended during start-up with exit code 2";
        QTest::newRow("found running, status unknown")
            << int(ServerExit::Kind::Unknown) << 0 << false << 0 << "ended with an unknown status";
        QTest::newRow("another day") << int(ServerExit::Kind::Code) << 0 << false << 1 << "exited with exit code 0";
    }

    void lastRun_saysHowAndWhen()
    {
        QFETCH(int, kind);
        QFETCH(int, value);
        QFETCH(bool, duringStartup);
        QFETCH(int, daysAgo);
        QFETCH(QString, how);
        const QDateTime ended = QDateTime::currentDateTime().addDays(-daysAgo);
        const InstanceManager::LastRun run{{static_cast<ServerExit::Kind>(kind), value}, duringStartup, ended};
        QString when = QLocale().toString(ended.time(), mediumTimeFormat(QLocale()));
        if (daysAgo > 0)
            when = QLocale().toString(ended.date(), QLocale::ShortFormat) + u' ' + when;
        QCOMPARE(RunStateText::lastRun(run), how + QStringLiteral(" at ") + when);
    }

    void copyActions_putTheTextOnTheClipboard_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("copied");
        QTest::newRow("address") << "Copy Address"
                                 << "http://orders.halvex.local:18080";
        QTest::newRow("localhost address") << "Copy Localhost Address"
                                           << "http://localhost:18080";
        QTest::newRow("token") << "Copy Token"
                               << "0123456789abcdefghij";
    }

    void copyActions_putTheTextOnTheClipboard()
    {
        QFETCH(QString, action);
        QFETCH(QString, copied);
        m_fixture->add(QStringLiteral("billing"), 18081, QStringLiteral("other-token"));
        const HalvexInstance record =
            m_fixture->add(QStringLiteral("orders"), 18080, QStringLiteral("0123456789abcdefghij"));
        InstanceDetailView view(m_fixture->instances->instances().first().id, m_fixture->context());
        view.setInstanceID(record.id);
        QGuiApplication::clipboard()->clear();
        QAction *entry = menuAction(view, action);
        QVERIFY(entry);
        entry->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    }

    void openDataFolder_opensOnlyAFolderThatExists_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("desktopTakesIt");
        QTest::addColumn<QString>("alert");
        QTest::newRow("opened") << true << true << "";
        QTest::newRow("not made yet") << false << true << "No Data Folder Yet";
        QTest::newRow("no file manager") << true << false << "Could Not Open";
    }

    void openDataFolder_opensOnlyAFolderThatExists()
    {
        QFETCH(bool, exists);
        QFETCH(bool, desktopTakesIt);
        QFETCH(QString, alert);
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"), 18080);
        const QString folder = m_fixture->instances->dataDirectoryPath(record);
        if (!exists)
            QVERIFY(QDir(folder).removeRecursively());
        m_fixture->urlOpener.setSucceeds(desktopTakesIt);
        InstanceDetailView view(record.id, m_fixture->context());
        menuAction(view, QStringLiteral("Open Data Folder"))->trigger();
        QCOMPARE(m_fixture->urlOpener.opened(), exists ? QList<QUrl>{QUrl::fromLocalFile(folder)} : QList<QUrl>());
        QCOMPARE(m_fixture->prompter.alerts().size(), alert.isEmpty() ? 0 : 1);
        if (!alert.isEmpty()) {
            QCOMPARE(m_fixture->prompter.alerts().first().title, alert);
            QVERIFY(m_fixture->prompter.alerts().first().message.contains(folder));
        }
    }

    void findShortcut_opensTheFindBarFromAnywhereInThePane()
    {
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"), 18080);
        auto view = shownDetail(record.id);
        QVERIFY(view);
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        view->clearLogsButton()->setFocus();
        LogFindBar *bar = view->logsView()->findBar();
        QVERIFY(bar->isHidden());
        QTest::keySequence(view->clearLogsButton(), QKeySequence::Find);
        QVERIFY(bar->isVisible());
        QCOMPARE(QApplication::focusWidget(), bar->field());
        QTest::keyClick(bar->field(), Qt::Key_Escape);
        QVERIFY(bar->isHidden());
    }

    void saveLog_writesTheEntriesAsShown()
    {
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"), 18080);
        m_fixture->instances->addLog(record.id, QStringLiteral("first line\nsecond line of the same entry"));
        m_fixture->instances->addLog(record.id, QStringLiteral("ünïcode ✓"));
        auto view = shownDetail(record.id);
        QVERIFY(view);
        const QString path = m_fixture->path(QStringLiteral("saved.txt"));
        m_fixture->chooser.answer(path);
        QTest::mouseClick(view->saveLogButton(), Qt::LeftButton);
        QTRY_VERIFY(QFileInfo::exists(path));

        const FileChooserRequest request = m_fixture->chooser.requests().first();
        QCOMPARE(request.mode, FileChooserRequest::Mode::SaveFile);
        QVERIFY(QRegularExpression(QStringLiteral("^orders-log-\\d{4}-\\d\\d-\\d\\d-\\d{4}\\.txt$"))
                    .match(request.suggestedName)
                    .hasMatch());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList shown = m_fixture->instances->logs(record.id);
        QCOMPARE(QString::fromUtf8(file.readAll()), shown.join(u'\n') + u'\n');

        // A place that cannot be written says so.
        m_fixture->chooser.answer(m_fixture->path(QStringLiteral("missing/saved.txt")));
        view->saveLog();
        QTRY_COMPARE(m_fixture->prompter.alerts().size(), 1);
        QVERIFY(m_fixture->prompter.alerts().first().message.startsWith(QStringLiteral("Could not save the log to ")));
    }

    void health_isAskedOnlyOfTheShownRunningInstance()
    {
        m_fixture->settings->setBinaryPath(QUrl::fromLocalFile(QStringLiteral(HALVEX_SERVER_PATH)));
        const HalvexInstance orders = m_fixture->add(QStringLiteral("orders"), TestSupport::freePort());
        const HalvexInstance billing = m_fixture->add(QStringLiteral("billing"), TestSupport::freePort());
        const HalvexInstance stopped = m_fixture->add(QStringLiteral("search"), TestSupport::freePort());
        for (const HalvexInstance &running : {orders, billing})
            m_fixture->instances->startInstance(running);
        QTRY_VERIFY_WITH_TIMEOUT(m_fixture->instances->runState(orders.id) == State::Running &&
                                     m_fixture->instances->runState(billing.id) == State::Running,
                                 15000);

        auto view = shownDetail(orders.id);
        QVERIFY(view);
        InstanceHealthView *health = view->healthView();
        HealthMonitor *monitor = health->monitor();
        monitor->setInterval(std::chrono::milliseconds(100));
        QVERIFY(health->isVisible());
        QTRY_COMPARE(health->value(QStringLiteral("Answers")), QStringLiteral("OK"));
        QTRY_VERIFY(healthRequests(orders.id) >= 3);
        QCOMPARE(health->value(QStringLiteral("PID")), QString::number(*m_fixture->instances->processId(orders.id)));
        QVERIFY(health->value(QStringLiteral("Memory")) != QStringLiteral("—"));
        QVERIFY(health->value(QStringLiteral("Uptime")).endsWith(u')'));
        QCOMPARE(healthRequests(billing.id), 0);

        view->hide();
        QVERIFY(!monitor->isWatching());
        view->show();
        QVERIFY(monitor->isWatching());

        // Another running instance is asked instead; a stopped one is not asked at all.
        view->setInstanceID(billing.id);
        QCOMPARE(monitor->pid(), *m_fixture->instances->processId(billing.id));
        QTRY_VERIFY(healthRequests(billing.id) >= 2);
        view->setInstanceID(stopped.id);
        QVERIFY(!monitor->isWatching());
        QVERIFY(health->isHidden());
        view->setInstanceID(orders.id);
        QVERIFY(monitor->isWatching());

        // Stopping ends the asking.
        m_fixture->instances->stopInstance(current(orders.id));
        QVERIFY(!monitor->isWatching());
        QVERIFY(health->isHidden());
    }

    void clearLogs_showsThePlaceholder()
    {
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"), 18080);
        auto view = shownDetail(record.id);
        QVERIFY(view);
        QVERIFY(!m_fixture->instances->logs(record.id).isEmpty());
        QVERIFY(!view->logsView()->showsPlaceholder());
        QTest::mouseClick(view->clearLogsButton(), Qt::LeftButton);
        QVERIFY(m_fixture->instances->logs(record.id).isEmpty());
        QTRY_VERIFY(view->logsView()->showsPlaceholder());
    }
};

QTEST_MAIN(TestInstanceDetail)
#include "tst_instancedetail.moc"
