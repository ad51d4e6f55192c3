// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"
#include "ViewFixture.h"
#include "ViewTesting.h"

#include "core/ReferenceDate.h"
#include "platform/ProcessInfo.h"
#include "views/FormValue.h"
#include "views/GutterScrollBar.h"
#include "views/InstanceDetailView.h"
#include "views/LogFindBar.h"
#include "views/LogListModel.h"
#include "views/LogsView.h"
#include "views/MainView.h"
#include "views/ProminentButton.h"
#include "views/RunStateBadge.h"
#include "views/SelectableLabel.h"
#include "views/SystemColors.h"
#include "views/Typography.h"

#include <QApplication>
#include <QEnterEvent>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QToolButton>
#include <QToolTip>

using State = InstanceManager::RunState;
using ViewTesting::menuAction;

// The detail pane over a real registry, with the real server where an instance runs.
class TestInstanceDetail : public QObject
{
    Q_OBJECT

public:
    static void initMain() { drawOffscreenByDefault(); }

private:
    std::unique_ptr<ViewFixture> m_fixture;

    std::unique_ptr<InstanceDetailView> shownDetail(const QUuid &id)
    {
        return ViewTesting::shown<InstanceDetailView>(QSize(700, 700), id, m_fixture->context());
    }

private slots:
    void init() { m_fixture = std::make_unique<ViewFixture>(); }
    void cleanup() { m_fixture.reset(); }

    // The whole token in clear, the data directory under the storage location (also once that has
    // moved), the creation time in the locale's short form; without an executable a start only
    // says so in the log; another id shows another record with its log, and a deleted one shows
    // that it is gone.
    void pane_showsTheRecordOfItsID()
    {
        HalvexInstance record =
            HalvexInstance::create(QStringLiteral("orders"), QStringLiteral("0123456789abcdefghij"), 18080);
        record.createdAt = ReferenceDate::fromDateTime(QDateTime(QDate(2025, 3, 1), QTime(14, 5, 9), Qt::UTC));
        m_fixture->instances->addInstance(record);
        const HalvexInstance billing = m_fixture->add(QStringLiteral("billing"));
        m_fixture->instances->addLog(billing.id, QStringLiteral("billing only"));
        InstanceDetailView view(record.id, m_fixture->context());
        QCOMPARE(view.value(QStringLiteral("Auth Token")), QStringLiteral("0123456789abcdefghij"));
        QCOMPARE(view.value(QStringLiteral("Data Directory")), m_fixture->storage() + QStringLiteral("/orders"));
        m_fixture->context().settings->setDataStorageLocation(QUrl::fromLocalFile(m_fixture->storage() + u"/moved"));
        QCOMPARE(view.value(QStringLiteral("Data Directory")), m_fixture->storage() + QStringLiteral("/moved/orders"));
        QCOMPARE(view.value(QStringLiteral("Created")),
                 QLocale().toString(ReferenceDate::toDateTime(record.createdAt).toLocalTime(), QLocale::ShortFormat));
        view.startStopButton()->click();
        QVERIFY(m_fixture->logged(record.id, QStringLiteral("Error: Halvex binary not configured. Please download "
                                                            "and configure the binary in Settings.")));
        QCOMPARE(view.startStopButton()->text(), QStringLiteral("Start"));
        QCOMPARE(view.startStopButton()->tint(), SystemColors::green());
        QVERIFY(view.badgeText().isEmpty());

        view.setInstanceID(billing.id);
        QCOMPARE(view.value(QStringLiteral("Name")), QStringLiteral("billing"));
        QCOMPARE(view.logsView()->model()->entries(), m_fixture->instances->logs(billing.id));
        m_fixture->instances->markInstanceRunning(billing.id);
        QCOMPARE(view.value(QStringLiteral("State")), QStringLiteral("Running"));
        m_fixture->instances->deleteInstance(m_fixture->current(record.id));
        QVERIFY(!view.showsNotFound());
        m_fixture->instances->deleteInstance(m_fixture->current(billing.id));
        QVERIFY(view.showsNotFound());
    }

    // Stop never kills; once a stop is overdue, Force Stop asks first, in the pane and in the row's
    // menu, whose answer comes after the menu has gone.
    void forceStop_onlyWhenOverdueAndOnlyOnceConfirmed()
    {
        m_fixture->instances->setStopDeadline(std::chrono::milliseconds(150));
        m_fixture->useExecutable(TestSupport::program("ignore_term"));
        const HalvexInstance record = m_fixture->add(QStringLiteral("stubborn"));
        auto view = shownDetail(record.id);
        QVERIFY(view);
        MainView main(m_fixture->context());
        const QSize startSize = view->startStopButton()->size();
        QTest::mouseClick(view->startStopButton(), Qt::LeftButton);
        QTRY_VERIFY(m_fixture->logged(record.id, QStringLiteral("ignoring SIGTERM")));
        // Start and Stop take the same room: the buttons beside them stay put.
        QCOMPARE(view->startStopButton()->size(), startSize);
        const qint64 pid = *m_fixture->instances->processId(record.id);
        QTest::mouseClick(view->startStopButton(), Qt::LeftButton);
        QVERIFY(!menuAction(*std::unique_ptr<QMenu>(main.contextMenu(record.id)), QStringLiteral("Force Stop…")));
        QTest::mouseClick(view->startStopButton(), Qt::LeftButton); // before the deadline: asks nothing
        QVERIFY(m_fixture->prompter.questions().isEmpty());

        QTRY_COMPARE(view->startStopButton()->text(), QStringLiteral("Force Stop"));
        QVERIFY(view->startStopButton()->width() >= view->startStopButton()->sizeHint().width());
        m_fixture->prompter.answer(false);
        QTest::mouseClick(view->startStopButton(), Qt::LeftButton);
        QCOMPARE(m_fixture->prompter.questions().size(), 1);
        const ScriptedPrompter::Question question = m_fixture->prompter.questions().first();
        QCOMPARE(question.action, QStringLiteral("Force Stop"));
        QVERIFY(question.message.contains(QStringLiteral("'stubborn'")));
        QVERIFY(question.message.contains(QStringLiteral("not saved")));
        QCoreApplication::processEvents(); // the answer
        QCOMPARE(m_fixture->instances->runState(record.id), State::Stopping);
        QVERIFY(ProcessInfo::startTime(pid));

        std::unique_ptr<QMenu> menu(main.contextMenu(record.id));
        m_fixture->prompter.answer(true);
        menuAction(*menu, QStringLiteral("Force Stop…"))->trigger();
        menu.reset();
        QTRY_COMPARE(view->value(QStringLiteral("State")), QStringLiteral("Stopped"));
        const QString lastRun = view->value(QStringLiteral("Last Run"));
        QVERIFY(lastRun.startsWith(QStringLiteral("ended by signal 9 (SIGKILL) at ")));
        // The next server does not hide how the last one ended.
        QSignalSpy launched(m_fixture->instances.get(), &InstanceManager::launchEnded);
        QTest::mouseClick(view->startStopButton(), Qt::LeftButton);
        QVERIFY(launched.wait());
        QCOMPARE(m_fixture->instances->runState(record.id), State::Starting);
        QVERIFY(view->isRowShown(QStringLiteral("Last Run")));
        QCOMPARE(view->value(QStringLiteral("Last Run")), lastRun);
    }

    // Ctrl+F from anywhere in the pane finds in the log; "Save Log…" writes the entries as shown;
    // "Clear Logs" leaves the placeholder.
    void logTools_findSaveAndClear()
    {
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"));
        m_fixture->instances->addLog(record.id, QStringLiteral("first line\nsecond line of the same entry"));
        m_fixture->instances->addLog(record.id, QStringLiteral("ünïcode ✓"));
        auto view = shownDetail(record.id);
        QVERIFY(view);
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        LogFindBar *bar = view->logsView()->findBar();
        QTest::keySequence(view->clearLogsButton(), QKeySequence::Find);
        QVERIFY(bar->isVisible());
        QCOMPARE(QApplication::focusWidget(), bar->field());
        QTest::keyClick(bar->field(), Qt::Key_Escape);
        QVERIFY(bar->isHidden());

        const QString path = m_fixture->path(QStringLiteral("saved.txt"));
        m_fixture->chooser.answer(path);
        QTest::mouseClick(view->saveLogButton(), Qt::LeftButton);
        QTRY_VERIFY(QFileInfo::exists(path));
        QVERIFY(QRegularExpression(QStringLiteral("^orders-log-\\d{4}-\\d\\d-\\d\\d-\\d{4}\\.txt$"))
                    .match(m_fixture->chooser.requests().first().suggestedName)
                    .hasMatch());
        QCOMPARE(QString::fromUtf8(TestSupport::readFile(path)),
                 m_fixture->instances->logs(record.id).join(u'\n') + u'\n');
        m_fixture->chooser.answer(m_fixture->path(QStringLiteral("missing/saved.txt")));
        view->saveLog();
        QTRY_COMPARE(m_fixture->prompter.alerts().size(), 1);
        QVERIFY(m_fixture->prompter.alerts().first().message.startsWith(QStringLiteral("Could not save the log to ")));

        QTest::mouseClick(view->clearLogsButton(), Qt::LeftButton);
        QVERIFY(m_fixture->instances->logs(record.id).isEmpty());
        QTRY_VERIFY(view->logsView()->showsPlaceholder());
    }

    // The name, the address and the values of the detail pane become selectable under the
    // pointer: drawn as before, markup shown as written, a selection outlasting the pointer; a
    // value never widens the form, is drawn whole unless its row is too short, and one cut off
    // shows in full as its tooltip.
    void labels_drawTheSameSelectableOrNot_data()
    {
        QTest::addColumn<bool>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("cutOff");
        QTest::newRow("name with markup") << false << QStringLiteral("<b>orders</b>") << false;
        QTest::newRow("short value") << true << QStringLiteral("orders") << false;
        QTest::newRow("long path") << true << QStringLiteral("/srv/data/").repeated(20) << true;
    }
    void labels_drawTheSameSelectableOrNot()
    {
        QFETCH(bool, value);
        QFETCH(QString, text);
        QFETCH(bool, cutOff);
        auto window = ViewTesting::shown<QWidget>(QSize(300, 100));
        QVERIFY(window);
        auto *formValue = value ? new FormValue(QStringLiteral("Data Directory"), window.get()) : nullptr;
        SelectableLabel *label = value ? formValue->findChild<SelectableLabel *>() : new SelectableLabel(window.get());
        QWidget *shown = value ? static_cast<QWidget *>(formValue) : label;
        const QSize emptyHint = shown->sizeHint();
        value ? formValue->setValue(text) : label->setText(text);
        QCOMPARE(shown->sizeHint() == emptyHint, value);
        // Away from the corner where the pointer of the offscreen platform rests.
        shown->setGeometry(0, 50, value ? 300 : label->sizeHint().width(), label->sizeHint().height());
        shown->show();
        if (value) {
            // Drawn as a plain label of the row's size draws it: whole, or cut off at the edge.
            QLabel reference(text, window.get());
            reference.setTextFormat(Qt::PlainText);
            reference.setGeometry(0, 0, shown->width(), shown->height());
            QCOMPARE(shown->grab().toImage(), reference.grab().toImage());
        }
        const QImage plain = label->grab().toImage();
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), label->mapToGlobal(QPointF(5, 5)));
        QApplication::sendEvent(label, &enter);
        QCOMPARE(label->grab().toImage(), plain);
        label->setSelection(0, static_cast<int>(text.size()));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(label, &leave);
        QCOMPARE(label->selectedText(), text);
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), label->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(label, &help);
        QCOMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), cutOff ? text : QString());
        QToolTip::hideText();
    }

    // Start and Stop take the room their text needs in the font of the moment.
    void startStop_roomFollowsTheFont()
    {
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"));
        auto view = shownDetail(record.id);
        QVERIFY(view);
        QFont larger = view->font();
        larger.setPointSizeF(larger.pointSizeF() * 2);
        view->setFont(larger);
        const ProminentButton *button = view->startStopButton();
        QCOMPARE(button->size().expandedTo(button->sizeHint()), button->size());
    }

    // The sections keep their width whether the form scrolls or not: a section that shows or hides
    // with the server moves nothing sideways.
    void form_keepsItsWidthWhetherItScrollsOrNot()
    {
        const HalvexInstance record = m_fixture->add(QStringLiteral("orders"));
        auto view = shownDetail(record.id);
        QVERIFY(view);
        const auto boxes = view->findChildren<QGroupBox *>();
        const QGroupBox *configuration = *std::find_if(boxes.cbegin(), boxes.cend(), [](const QGroupBox *box) {
            return box->title() == QStringLiteral("Configuration");
        });
        const QScrollBar *bar = view->findChild<GutterScrollBar *>();
        QCOMPARE(bar->maximum(), bar->minimum());
        const int width = configuration->width();
        view->resize(view->width(), 420);
        QTRY_VERIFY(bar->maximum() > bar->minimum());
        QCoreApplication::processEvents(); // the layouts asked for by the new size
        QCOMPARE(configuration->width(), width);
    }

    // The title is laid out as labels in a row would be: the name as wide as its text, the badge 8
    // px after it, the address after the link symbol. In too narrow a pane the name is cut short of
    // the badge, which stays whole, and shows in full as its tooltip.
    void title_namesTheBadgeAndAddressInPlace_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("paneWidth");
        QTest::addColumn<bool>("cutOff");
        QTest::newRow("short name") << QStringLiteral("orders") << 700 << false;
        QTest::newRow("long name") << QStringLiteral("a-much-longer-instance-name-here") << 700 << false;
        QTest::newRow("long name, narrowest pane")
            << QStringLiteral("a-much-longer-instance-name-here-and-still-more") << 360 << true;
    }
    void title_namesTheBadgeAndAddressInPlace()
    {
        QFETCH(QString, name);
        QFETCH(int, paneWidth);
        QFETCH(bool, cutOff);
        const HalvexInstance record = m_fixture->add(name);
        m_fixture->instances->markInstanceRunning(record.id);
        auto view = ViewTesting::shown<InstanceDetailView>(QSize(paneWidth, 700), record.id, m_fixture->context());
        QVERIFY(view);
        const auto labelOf = [&view](const QString &text) {
            const auto labels = view->findChildren<SelectableLabel *>();
            return *std::find_if(labels.cbegin(), labels.cend(),
                                 [&text](auto *label) { return label->text() == text; });
        };
        const SelectableLabel *nameLabel = labelOf(name);
        const SelectableLabel *address = labelOf(record.localURL());
        const auto *badge = view->findChild<RunStateBadge *>();
        const QWidget *title = badge->parentWidget();
        const auto widthOf = [](const QString &text, const QFont &font) {
            QLabel reference(text);
            reference.setFont(font);
            return reference.sizeHint().width();
        };
        const int nameWidth = widthOf(name, nameLabel->font());
        QCOMPARE(nameLabel->width(), cutOff ? title->width() - 8 - badge->width() : nameWidth);
        QCOMPARE(nameLabel->toolTip(), cutOff ? name : QString());
        QCOMPARE(badge->geometry(), QRect(nameLabel->width() + 8, 0, badge->sizeHint().width(), nameLabel->height()));
        QCOMPARE(address->x(), QFontMetrics(Typography::subheadline()).height() + 4);
        QCOMPARE(address->width(),
                 std::min(widthOf(record.localURL(), address->font()), title->width() - address->x()));
    }
};

QTEST_MAIN(TestInstanceDetail)
#include "tst_instancedetail.moc"
