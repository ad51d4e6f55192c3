// SPDX-License-Identifier: MIT
#include "ViewFixture.h"

#include "views/LogEntryDelegate.h"
#include "views/LogFindBar.h"
#include "views/LogListModel.h"
#include "views/LogSearch.h"
#include "views/LogsView.h"
#include "views/TextColumns.h"
#include "views/Typography.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

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
    static bool inView(const LogsView &view, int row)
    {
        return view.list()->viewport()->rect().intersects(view.list()->visualRect(view.model()->index(row)));
    }
    // The entry at the top edge of the view.
    static QString topEntry(const LogsView &view) { return view.list()->indexAt(QPoint(0, 0)).data().toString(); }

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

    void search_countsMatchesIgnoringCaseUnlessAsked_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<QString>("count");
        QTest::newRow("case ignored") << "error" << false << "1 of 4";
        QTest::newRow("case matched") << "error" << true << "1 of 2";
        QTest::newRow("several in one entry") << "ERROR" << true << "1 of 1";
        QTest::newRow("none") << "warning" << false << "No matches";
    }

    void search_countsMatchesIgnoringCaseUnlessAsked()
    {
        QFETCH(QString, text);
        QFETCH(bool, matchCase);
        QFETCH(QString, count);
        for (const char *entry : {"Error one", "nothing here", "error two, ERROR too", "multi\nline error"})
            m_fixture->instances->addLog(m_id, QString::fromUtf8(entry));
        auto view = shownView();
        QVERIFY(view);
        view->showFindBar();
        LogFindBar *bar = view->findBar();
        bar->matchCase()->setChecked(matchCase);
        QTest::keyClicks(bar->field(), text);
        QCOMPARE(bar->countText(), count);
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            const QString entry = view->model()->entries().at(row);
            for (const qsizetype start : view->search()->startsIn(row))
                QCOMPARE(
                    entry.mid(start, text.size()).compare(text, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive),
                    0);
        }
    }

    void search_stepsThroughMatchesAndShowsEach()
    {
        for (int row = 0; row < 300; ++row)
            m_fixture->instances->addLog(m_id, row == 10 || row == 150 || row == 290
                                                   ? QStringLiteral("entry %1 with a needle").arg(row)
                                                   : QStringLiteral("entry %1").arg(row));
        // Matches far down an entry of many rows are shown too, not the entry's first row.
        m_fixture->instances->addLog(m_id,
                                     QStringLiteral("long\n").repeated(200) + QStringLiteral("needle at the end"));
        addEntries(100);
        auto view = shownView();
        QVERIFY(view);
        view->showFindBar();
        LogFindBar *bar = view->findBar();
        QTest::keyClicks(bar->field(), QStringLiteral("needle"));
        QCOMPARE(bar->countText(), QStringLiteral("1 of 4"));
        const auto currentRow = [&view] { return view->search()->current()->row; };
        QVERIFY(inView(*view, currentRow()));

        QTest::keyClick(bar->field(), Qt::Key_Return);
        QCOMPARE(bar->countText(), QStringLiteral("2 of 4"));
        QVERIFY(inView(*view, currentRow()));
        QTest::keyClick(bar->field(), Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClick(bar->field(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(bar->countText(), QStringLiteral("4 of 4"));
        const QModelIndex longEntry = view->model()->index(currentRow());
        const QRect entryRect = view->list()->visualRect(longEntry);
        QVERIFY(entryRect.top() < 0); // its first row is far above
        QVERIFY(entryRect.bottom() > 0);
        QTest::mouseClick(bar->nextButton(), Qt::LeftButton);
        QCOMPARE(bar->countText(), QStringLiteral("1 of 4"));
        QVERIFY(!view->isFollowing());

        // Entries that arrive are searched too.
        m_fixture->instances->addLog(m_id, QStringLiteral("another NEEDLE"));
        QTRY_COMPARE(bar->countText(), QStringLiteral("1 of 5"));
    }

    void search_followsEntriesThatLeaveTheLog()
    {
        LogListModel model;
        LogSearch search(&model);
        model.setEntries(
            {QStringLiteral("a hit"), QStringLiteral("miss"), QStringLiteral("hit, hit"), QStringLiteral("miss")});
        search.find(QStringLiteral("hit"), Qt::CaseInsensitive);
        QCOMPARE(search.count(), 3);
        search.next();
        QCOMPARE(search.current(), (LogSearch::Match{2, 0}));

        // The oldest two leave a full log as two new ones arrive.
        model.append({QStringLiteral("new"), QStringLiteral("new hit")}, 2);
        QCOMPARE(search.count(), 3);
        QCOMPARE(search.current(), (LogSearch::Match{0, 0}));
        QCOMPARE(search.startsIn(0), (QList<qsizetype>{0, 5}));
        QCOMPARE(search.startsIn(3), (QList<qsizetype>{4}));

        // The current match goes with its entry: the next one stands in.
        model.append({}, 1);
        QCOMPARE(search.count(), 1);
        QCOMPARE(search.current(), (LogSearch::Match{2, 4}));
        model.clear();
        QCOMPARE(search.count(), 0);
        QVERIFY(!search.current());
    }

    void pause_keepsTheViewUntilFollowOrTheBottom()
    {
        addEntries(200);
        auto view = shownView();
        QVERIFY(view);
        QSignalSpy following(view.get(), &LogsView::followingChanged);
        view->setFollowing(false);
        QCOMPARE(following.count(), 1);
        const int reading = scrollBar(*view)->value();
        m_fixture->instances->addLog(m_id, QStringLiteral("while paused"));
        QTRY_COMPARE(view->model()->rowCount(), 201);
        QCOMPARE(scrollBar(*view)->value(), reading);
        QVERIFY(!view->isFollowing());

        view->setFollowing(true);
        QVERIFY(view->isFollowing());
        QVERIFY(inView(*view, 200));
        view->setFollowing(false);
        scrollBar(*view)->triggerAction(QAbstractSlider::SliderPageStepSub);
        scrollBar(*view)->triggerAction(QAbstractSlider::SliderToMaximum);
        QVERIFY(view->isFollowing());
    }

    void pausedFullLog_keepsTheReadersPlace()
    {
        addEntries(1000);
        auto view = shownView();
        QVERIFY(view);
        scrollBar(*view)->setValue(scrollBar(*view)->maximum() / 2);
        QVERIFY(!view->isFollowing());
        const QString reading = topEntry(*view);
        const int offset = view->list()->visualRect(view->list()->indexAt(QPoint(0, 0))).top();
        addEntries(25, QStringLiteral("new %1"));
        QTRY_VERIFY(view->model()->entries().constLast().endsWith(QStringLiteral("new 24")));
        QCOMPARE(topEntry(*view), reading);
        QCOMPARE(view->list()->visualRect(view->list()->indexAt(QPoint(0, 0))).top(), offset);
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
