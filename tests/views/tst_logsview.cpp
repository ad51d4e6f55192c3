// SPDX-License-Identifier: MIT
#include "ViewFixture.h"

#include "views/LogEntryDelegate.h"
#include "views/LogListModel.h"
#include "views/LogsView.h"
#include "views/TextColumns.h"
#include "views/Typography.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

class TestLogsView : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ViewFixture> m_fixture;
    QUuid m_id;

    void addEntries(int count, const QString &message = QStringLiteral("entry %1"))
    {
        for (int i = 0; i < count; ++i)
            m_fixture->instances->addLog(m_id, message.contains(u'%') ? message.arg(i) : message);
    }
    QStringList log() const { return m_fixture->instances->logs(m_id); }
    std::unique_ptr<LogsView> shownView()
    {
        auto view = std::make_unique<LogsView>(m_id, m_fixture->instances.get());
        view->resize(500, 300);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            return nullptr;
        return view;
    }
    static QScrollBar *scrollBar(const LogsView &view) { return view.list()->verticalScrollBar(); }

private slots:
    void init()
    {
        m_fixture = std::make_unique<ViewFixture>();
        m_id = m_fixture->add(QStringLiteral("orders"), 8080).id;
        m_fixture->instances->clearLogs(m_id);
    }
    void cleanup() { m_fixture.reset(); }

    void model_followsTheLogWithoutResets_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<bool>("clear");
        QTest::addColumn<int>("added");
        QTest::addColumn<QString>("message");
        QTest::newRow("first entries") << 0 << false << 3 << "entry %1";
        QTest::newRow("appended") << 5 << false << 2 << "entry %1";
        QTest::newRow("at capacity the oldest drop") << 1000 << false << 10 << "entry %1";
        QTest::newRow("more new than kept") << 1000 << false << 1500 << "entry %1";
        QTest::newRow("repeated lines at capacity") << 1000 << false << 3 << "same line";
        QTest::newRow("cleared") << 5 << true << 0 << "entry %1";
        QTest::newRow("cleared and refilled") << 5 << true << 2 << "entry %1";
    }

    void model_followsTheLogWithoutResets()
    {
        QFETCH(int, before);
        QFETCH(bool, clear);
        QFETCH(int, added);
        QFETCH(QString, message);
        addEntries(before, message);
        auto view = shownView();
        QVERIFY(view);
        QAbstractItemModelTester tester(view->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(view->model()->entries(), log());

        QSignalSpy resets(view->model(), &QAbstractItemModel::modelReset);
        QSignalSpy removed(view->model(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(view->model(), &QAbstractItemModel::rowsInserted);
        if (clear)
            m_fixture->instances->clearLogs(m_id);
        addEntries(added, message);
        QTRY_COMPARE(inserted.count(), added > 0 ? 1 : 0);
        QCOMPARE(view->model()->entries(), log());
        QCOMPARE(resets.count(), 0);
        QVERIFY(removed.count() <= 1);
    }

    void rowHeight_growsWithItsLines_data()
    {
        QTest::addColumn<QString>("longer");
        QTest::newRow("line break") << "first\nsecond";
        QTest::newRow("wrapped") << QString(400, u'x');
    }

    void rowHeight_growsWithItsLines()
    {
        QFETCH(QString, longer);
        m_fixture->instances->addLog(m_id, QStringLiteral("short"));
        m_fixture->instances->addLog(m_id, longer);
        auto view = shownView();
        QVERIFY(view);
        const QRect shortRow = view->list()->visualRect(view->model()->index(0));
        const QRect longRow = view->list()->visualRect(view->model()->index(1));
        QVERIFY(longRow.height() > shortRow.height());
        QVERIFY(shortRow.height() >= QFontMetrics(view->list()->font()).height() / 2 + 2 * 2);
    }

    void rowHeight_countsCellsNotCharacters_data()
    {
        // A unit of text and the cells it takes; repeated to fill a little more than one row.
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("cells");
        QTest::newRow("wide characters") << "日" << 2;
        QTest::newRow("tab-separated fields") << "\tx" << TextColumns::tabWidth;
    }
    void rowHeight_countsCellsNotCharacters()
    {
        QFETCH(QString, unit);
        QFETCH(int, cells);
        // The text under test starts a line of its own, after the time stamp's.
        m_fixture->instances->addLog(m_id, QStringLiteral("three\nrows\ntall"));
        auto view = shownView();
        QVERIFY(view);
        const qreal cell = QFontMetricsF(Typography::monospacedCaption()).horizontalAdvance(u'M');
        const int width = view->list()->viewport()->width() - 2 * LogEntryDelegate::horizontalInset;
        const auto columns = static_cast<int>(width / cell);
        m_fixture->instances->addLog(m_id, QStringLiteral("two rows\n") + unit.repeated(columns / cells + 1));
        m_fixture->instances->addLog(m_id, QStringLiteral("one row\n") + QString(columns, u'x'));
        QTRY_COMPARE(view->model()->rowCount(), 3);
        const auto height = [&](int row) { return view->list()->visualRect(view->model()->index(row)).height(); };
        QCOMPARE(height(1), height(0));
        QVERIFY(height(2) < height(0));
    }

    void firstShow_startsAtTheOldestEntry()
    {
        addEntries(200);
        auto view = shownView();
        QVERIFY(view);
        QVERIFY(scrollBar(*view)->maximum() > 0);
        QCOMPARE(scrollBar(*view)->value(), 0);
    }

    void newEntry_scrollsToTheNewest()
    {
        addEntries(200);
        auto view = shownView();
        QVERIFY(view);
        m_fixture->instances->addLog(m_id, QStringLiteral("newest"));
        QTRY_COMPARE(view->model()->rowCount(), 201);
        QTRY_VERIFY(scrollBar(*view)->value() > 0);
        QTRY_COMPARE(scrollBar(*view)->value(), scrollBar(*view)->maximum());
        const QRect newest = view->list()->visualRect(view->model()->index(200));
        QVERIFY(view->list()->viewport()->rect().contains(newest));
    }

    void fullLog_keepsFollowingTheNewest()
    {
        addEntries(1000);
        auto view = shownView();
        QVERIFY(view);
        for (const QString &newest : {QStringLiteral("newest"), QStringLiteral("newer still")}) {
            m_fixture->instances->addLog(m_id, newest);
            QTRY_VERIFY(view->model()->entries().constLast().endsWith(newest));
            QCOMPARE(view->model()->rowCount(), 1000);
            QTRY_VERIFY(scrollBar(*view)->value() > 0);
            QTRY_COMPARE(scrollBar(*view)->value(), scrollBar(*view)->maximum());
            QVERIFY(view->list()->viewport()->rect().contains(view->list()->visualRect(view->model()->index(999))));
        }
    }

    void scrolledUp_staysUntilBackAtTheBottom()
    {
        addEntries(200);
        auto view = shownView();
        QVERIFY(view);
        m_fixture->instances->addLog(m_id, QStringLiteral("first"));
        QTRY_COMPARE(scrollBar(*view)->value(), scrollBar(*view)->maximum());

        scrollBar(*view)->triggerAction(QAbstractSlider::SliderPageStepSub);
        const int reading = scrollBar(*view)->value();
        QVERIFY(reading < scrollBar(*view)->maximum());
        m_fixture->instances->addLog(m_id, QStringLiteral("while reading"));
        QTRY_COMPARE(view->model()->rowCount(), 202);
        QCOMPARE(scrollBar(*view)->value(), reading);

        scrollBar(*view)->triggerAction(QAbstractSlider::SliderToMaximum);
        m_fixture->instances->addLog(m_id, QStringLiteral("back"));
        QTRY_COMPARE(view->model()->rowCount(), 203);
        QTRY_COMPARE(scrollBar(*view)->value(), scrollBar(*view)->maximum());
        QVERIFY(view->list()->viewport()->rect().contains(view->list()->visualRect(view->model()->index(202))));
    }

    void placeholder_whileTheLogIsEmpty()
    {
        auto view = shownView();
        QVERIFY(view);
        QVERIFY(view->showsPlaceholder());
        QCOMPARE(view->placeholderText(), QStringLiteral("No logs yet"));
        addEntries(3);
        QTRY_VERIFY(!view->showsPlaceholder());
        m_fixture->instances->clearLogs(m_id);
        QTRY_VERIFY(view->showsPlaceholder());
        m_fixture->instances->addLog(m_id, QStringLiteral("alone"));
        QTRY_VERIFY(!view->showsPlaceholder());
        QCOMPARE(view->model()->rowCount(), 1);
        QVERIFY(view->model()->entries().first().endsWith(QStringLiteral("] alone")));
    }

    void burstOfEntries_isDrawnOnce()
    {
        auto view = shownView();
        QVERIFY(view);
        QSignalSpy inserted(view->model(), &QAbstractItemModel::rowsInserted);
        addEntries(500);
        QTRY_COMPARE(view->model()->rowCount(), 500);
        QCOMPARE(inserted.count(), 1);
    }

    void otherInstancesLog_isIgnored()
    {
        const QUuid other = m_fixture->add(QStringLiteral("billing"), 8081).id;
        auto view = shownView();
        QVERIFY(view);
        m_fixture->instances->addLog(other, QStringLiteral("not mine"));
        m_fixture->instances->addLog(m_id, QStringLiteral("mine"));
        QTRY_COMPARE(view->model()->rowCount(), 1);
        QVERIFY(view->model()->entries().first().endsWith(QStringLiteral("] mine")));
    }

    void copy_putsSelectedEntriesOnTheClipboard()
    {
        addEntries(5);
        auto view = shownView();
        QVERIFY(view);
        QItemSelection selection(view->model()->index(3), view->model()->index(3));
        selection.select(view->model()->index(1), view->model()->index(1));
        view->list()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        view->list()->setFocus();
        QTest::keySequence(view->list(), QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), log().at(1) + u'\n' + log().at(3));
    }

    void floodingServer_keepsTheEventLoopResponsive()
    {
        qputenv("FLOOD_LINES", "200000");
        m_fixture->settings->setBinaryPath(QUrl::fromLocalFile(QStringLiteral(TEST_PROGRAMS_DIR "/flood")));
        auto view = shownView();
        QVERIFY(view);

        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longestGap = 0;
        QTimer tick;
        tick.setInterval(5);
        connect(&tick, &QTimer::timeout, this, [&] {
            longestGap = std::max(longestGap, clock.elapsed() - last);
            last = clock.elapsed();
        });
        // The launch inspects the executable synchronously; what is measured is the output.
        m_fixture->instances->startInstance(*m_fixture->instances->instance(m_id));
        QVERIFY(m_fixture->instances->hasProcess(m_id));
        clock.start();
        tick.start();
        QTRY_VERIFY_WITH_TIMEOUT(!m_fixture->instances->hasProcess(m_id), 120000);
        tick.stop();
        qunsetenv("FLOOD_LINES");

        QTRY_COMPARE(view->model()->entries(), log());
        QVERIFY2(longestGap < 250, qPrintable(QStringLiteral("event loop blocked for %1 ms").arg(longestGap)));
    }
};

QTEST_MAIN(TestLogsView)
#include "tst_logsview.moc"
