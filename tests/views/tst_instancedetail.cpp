// SPDX-License-Identifier: MIT
#include "ViewFixture.h"

#include "core/ReferenceDate.h"
#include "views/InstanceDetailView.h"
#include "views/LogListModel.h"
#include "views/LogsView.h"
#include "views/ProminentButton.h"
#include "views/SystemColors.h"

#include <QDir>
#include <QLocale>
#include <QSplitter>
#include <QTest>

// The detail pane over a real registry, with the real server where an instance runs.
class TestInstanceDetail : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ViewFixture> m_fixture;

    std::unique_ptr<InstanceDetailView> shownDetail(const QUuid &id)
    {
        auto view = std::make_unique<InstanceDetailView>(id, m_fixture->instances.get());
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
        InstanceDetailView view(record.id, m_fixture->instances.get());
        QCOMPARE(view.value(label), expected);
    }

    void dataDirectory_followsTheStorageLocation()
    {
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"), 18080);
        InstanceDetailView view(record.id, m_fixture->instances.get());
        QCOMPARE(view.value(QStringLiteral("Data Directory")), m_fixture->storage() + QStringLiteral("/orders"));
    }

    void deletedRecord_showsNotFound()
    {
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"), 18080);
        InstanceDetailView view(record.id, m_fixture->instances.get());
        QVERIFY(!view.showsNotFound());
        m_fixture->instances->deleteInstance(record);
        QVERIFY(view.showsNotFound());
    }

    void setInstanceID_showsTheOtherRecordAndFollowsIt()
    {
        const HalvexInstance orders = m_fixture->add(QStringLiteral("orders"), 18080);
        const HalvexInstance billing = m_fixture->add(QStringLiteral("billing"), 18081);
        m_fixture->instances->addLog(billing.id, QStringLiteral("billing only"));
        InstanceDetailView view(orders.id, m_fixture->instances.get());

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

    void startAndStop_followTheServer()
    {
        m_fixture->settings->setBinaryPath(QUrl::fromLocalFile(QStringLiteral(HALVEX_SERVER_PATH)));
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"), ViewFixture::freePort());
        auto view = shownDetail(record.id);
        QVERIFY(view);

        QTest::mouseClick(view->startStopButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(current(record.id).isRunning, 15000);
        QCOMPARE(view->startStopButton()->text(), QStringLiteral("Stop"));
        QCOMPARE(view->startStopButton()->accessibleName(), QStringLiteral("Stop"));
        QCOMPARE(view->startStopButton()->tint(), SystemColors::red());
        QVERIFY(view->runningBadge()->isVisible());
        QCOMPARE(view->value(QStringLiteral("State")), QStringLiteral("Running"));

        QTest::mouseClick(view->startStopButton(), Qt::LeftButton);
        QVERIFY(logged(record.id, QStringLiteral("Stopping instance 'orders'...")));
        // The record stays running until the process has exited.
        QCOMPARE(view->startStopButton()->text(), QStringLiteral("Stop"));
        QTRY_VERIFY_WITH_TIMEOUT(logged(record.id, QStringLiteral("Instance stopped")), 15000);
        QCOMPARE(view->startStopButton()->text(), QStringLiteral("Start"));
        QCOMPARE(view->value(QStringLiteral("State")), QStringLiteral("Stopped"));
        QVERIFY(view->runningBadge()->isHidden());
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
