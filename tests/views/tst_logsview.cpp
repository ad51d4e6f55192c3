// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"
#include "ViewFixture.h"
#include "ViewTesting.h"

#include "views/LogEntryDelegate.h"
#include "views/LogFindBar.h"
#include "views/LogListModel.h"
#include "views/LogSearch.h"
#include "views/LogsView.h"
#include "views/Typography.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

// The live log of one instance over a real registry: it follows the newest entry unless the user
// reads elsewhere, wraps long lines, and finds text.
class TestLogsView : public QObject
{
    Q_OBJECT

public:
    static void initMain() { drawOffscreenByDefault(); }

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
        return ViewTesting::shown<LogsView>(QSize(500, 300), m_id, m_fixture->instances.get());
    }
    static QScrollBar *scrollBar(const LogsView &view) { return view.list()->verticalScrollBar(); }
    static bool atBottom(const LogsView &view) { return scrollBar(view)->value() == scrollBar(view)->maximum(); }
    static bool inView(const LogsView &view, int row)
    {
        return view.list()->viewport()->rect().intersects(view.list()->visualRect(view.model()->index(row)));
    }

private slots:
    void init()
    {
        m_fixture = std::make_unique<ViewFixture>();
        m_id = m_fixture->add(QStringLiteral("orders"), 8080).id;
        m_fixture->instances->clearLogs(m_id);
    }
    void cleanup() { m_fixture.reset(); }

    // Entries arrive as rows inserted in one batch, and leave as rows removed, never as a reset.
    void model_followsTheLogWithoutResets_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<bool>("clear");
        QTest::addColumn<int>("added");
        QTest::addColumn<QString>("message");
        QTest::newRow("appended") << 5 << false << 3 << "entry %1";
        QTest::newRow("at capacity the oldest drop") << 1000 << false << 10 << "entry %1";
        QTest::newRow("more new than kept") << 1000 << false << 1500 << "entry %1";
        QTest::newRow("repeated lines at capacity") << 1000 << false << 3 << "same line";
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
        QSignalSpy resets(view->model(), &QAbstractItemModel::modelReset);
        QSignalSpy removed(view->model(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(view->model(), &QAbstractItemModel::rowsInserted);
        if (clear)
            m_fixture->instances->clearLogs(m_id);
        addEntries(added, message);
        QTRY_COMPARE(inserted.count(), 1);
        QCOMPARE(view->model()->entries(), log());
        QCOMPARE(resets.count(), 0);
        QVERIFY(removed.count() <= 1);
    }

    // An entry takes as many rows as its lines need, wrapped by cells: a full row is one, one
    // character more is two, and a wide character takes two cells. The first line holds the stamp.
    void wrap_rowsByCells()
    {
        for (const char *reference : {"one", "two\nrows", "three\nrows\ntall"})
            m_fixture->instances->addLog(m_id, QString::fromLatin1(reference));
        auto view = shownView();
        QVERIFY(view);
        const qreal cell = QFontMetricsF(Typography::monospacedCaption()).horizontalAdvance(u'M');
        const auto columns =
            static_cast<int>((view->list()->viewport()->width() - 2 * LogEntryDelegate::horizontalInset) / cell);
        for (const QString &line :
             {QString(columns, u'x'), QString(columns + 1, u'x'), QStringLiteral("日").repeated(columns / 2 + 1)})
            m_fixture->instances->addLog(m_id, QStringLiteral("stamp\n") + line);
        QTRY_COMPARE(view->model()->rowCount(), 6);
        const auto height = [&](int row) { return view->list()->visualRect(view->model()->index(row)).height(); };
        QCOMPARE(QList<int>({height(3), height(4), height(5)}), QList<int>({height(1), height(2), height(2)}));
    }

    void following_theNewestUnlessTheReaderIsElsewhere_data()
    {
        QTest::addColumn<int>("before");
        QTest::newRow("some entries") << 200;
        QTest::newRow("full log") << 1000;
    }
    // Shown with entries, the view starts at the oldest; each new entry brings the newest into
    // view, also once a full log drops its oldest. A reader who scrolls up keeps the text they
    // read where it is, and a pause holds until they follow again.
    void following_theNewestUnlessTheReaderIsElsewhere()
    {
        QFETCH(int, before);
        addEntries(before);
        auto view = shownView();
        QVERIFY(view);
        QVERIFY(scrollBar(*view)->maximum() > 0);
        QCOMPARE(scrollBar(*view)->value(), 0);
        const auto arrives = [&](const QString &entry) {
            m_fixture->instances->addLog(m_id, entry);
            return QTest::qWaitFor([&] { return view->model()->entries().constLast().endsWith(entry); });
        };
        const auto newestInView = [&view] { return inView(*view, view->model()->rowCount() - 1); };
        for (const QString &newest : {QStringLiteral("newest"), QStringLiteral("newer still")}) {
            QVERIFY(arrives(newest));
            QTRY_VERIFY(scrollBar(*view)->value() > 0 && atBottom(*view));
            QVERIFY(newestInView());
        }

        scrollBar(*view)->triggerAction(QAbstractSlider::SliderPageStepSub);
        QVERIFY(!view->isFollowing());
        const QModelIndex top = view->list()->indexAt(QPoint(0, 0));
        const std::pair reading(top.data().toString(), view->list()->visualRect(top).top());
        addEntries(25, QStringLiteral("new %1"));
        QTRY_VERIFY(view->model()->entries().constLast().endsWith(QStringLiteral("new 24")));
        const QModelIndex topNow = view->list()->indexAt(QPoint(0, 0));
        QCOMPARE(std::pair(topNow.data().toString(), view->list()->visualRect(topNow).top()), reading);

        scrollBar(*view)->triggerAction(QAbstractSlider::SliderToMaximum);
        QVERIFY(view->isFollowing());
        view->setFollowing(false);
        QVERIFY(arrives(QStringLiteral("while paused")));
        QVERIFY(!newestInView());
        view->setFollowing(true);
        QVERIFY(newestInView());
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
            m_fixture->instances->addLog(m_id, QStringLiteral("entry %1").arg(row) +
                                                   (row % 140 == 10 ? QStringLiteral(" with a needle") : QString()));
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
        const QRect entryRect = view->list()->visualRect(view->model()->index(currentRow()));
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
};

QTEST_MAIN(TestLogsView)
#include "tst_logsview.moc"
