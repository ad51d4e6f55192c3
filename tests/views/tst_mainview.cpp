// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"
#include "ViewFixture.h"
#include "ViewTesting.h"

#include "views/AddEditInstanceView.h"
#include "views/ContentView.h"
#include "views/EmptyStateView.h"
#include "views/InstanceActions.h"
#include "views/InstanceDetailView.h"
#include "views/InstanceListModel.h"
#include "views/InstanceListView.h"
#include "views/MainView.h"
#include "views/ProminentButton.h"
#include "views/SystemColors.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QSplitter>
#include <QToolButton>

using State = InstanceManager::RunState;
using ViewTesting::menuAction;

// The main window over real managers; the server that rows start is the real one.
class TestMainView : public QObject
{
    Q_OBJECT

public:
    static void initMain() { drawOffscreenByDefault(); }

private:
    std::unique_ptr<ViewFixture> m_fixture;

    std::unique_ptr<MainView> shown() { return ViewTesting::shown<MainView>(QSize(1000, 700), m_fixture->context()); }
    QList<QUuid> add(int count)
    {
        QList<QUuid> ids;
        for (int i = 0; i < count; ++i)
            ids.append(m_fixture->add(QStringLiteral("instance-%1").arg(i)).id);
        return ids;
    }
    static QModelIndex row(const MainView &view, int row) { return view.instanceList()->model()->index(row, 0); }
    static QSplitter *sidebarDivider(const MainView &view)
    {
        return view.findChild<QSplitter *>(QString(), Qt::FindDirectChildrenOnly);
    }
    // Drags the divider's handle by distance, as the user does with the mouse.
    static void dragDivider(QSplitter *splitter, int distance)
    {
        QSplitterHandle *handle = splitter->handle(1);
        const QPoint from = handle->rect().center();
        QTest::mousePress(handle, Qt::LeftButton, {}, from);
        QTest::mouseMove(
            handle, from + (splitter->orientation() == Qt::Horizontal ? QPoint(distance, 0) : QPoint(0, distance)));
        QTest::mouseRelease(handle, Qt::LeftButton);
    }

private slots:
    void cleanup() { m_fixture.reset(); }

    void firstDisplay_opensSettingsOnlyWithoutAConfiguredPath_data()
    {
        QTest::addColumn<QString>("executable"); // "" none configured, "plain" or "runnable"
        QTest::addColumn<bool>("opensSettings");
        QTest::addColumn<bool>("canAdd");
        QTest::newRow("none configured") << "" << true << false;
        QTest::newRow("configured but not executable") << "plain" << false << false;
        QTest::newRow("configured and runnable") << "runnable" << false << true;
    }
    // The empty state leads where the user can go next: to the form, or to the settings.
    void firstDisplay_opensSettingsOnlyWithoutAConfiguredPath()
    {
        QFETCH(QString, executable);
        QFETCH(bool, opensSettings);
        QFETCH(bool, canAdd);
        QTemporaryDir files;
        if (executable.isEmpty()) {
            m_fixture = std::make_unique<ViewFixture>();
        } else {
            // The settings file names the executable; its values arrive one turn after creation.
            const QString path = files.filePath(QStringLiteral("halvex"));
            ViewFixture::writeExecutable(path, executable == QStringLiteral("runnable"));
            m_fixture =
                std::make_unique<ViewFixture>(TestSupport::json("{'dataStorageLocation':'") +
                                              QUrl::fromLocalFile(files.filePath(QStringLiteral("data"))).toEncoded() +
                                              TestSupport::json("','binaryPath':'") +
                                              QUrl::fromLocalFile(path).toEncoded() + TestSupport::json("'}"));
        }
        auto view = shown();
        QVERIFY(view);
        QCoreApplication::processEvents();
        QCOMPARE(view->settingsSheet() != nullptr, opensSettings);
        QCOMPARE(view->addInstanceAction()->isEnabled(), canAdd);
        QCOMPARE(view->detailContent(), view->emptyState());
        QCOMPARE(view->emptyState()->messageText(), canAdd
                                                        ? QStringLiteral("Create your first instance to get started")
                                                        : QStringLiteral("Download the Halvex binary to get started"));
        QTest::mouseClick(view->emptyState()->actionButton(), Qt::LeftButton);
        QCOMPARE(view->settingsSheet() != nullptr, !canAdd);
        QCOMPARE(view->instanceForm() != nullptr, canAdd);
    }

    // One path through the window as a user takes it: the form creates an instance; its row's
    // button starts it without selecting it; selected, the detail shows it running; the keyboard
    // reaches the row's button and stops it, and the detail follows each state.
    void window_createStartAndStopAnInstance()
    {
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->useExecutable(TestSupport::serverPath());
        auto view = shown();
        QVERIFY(view);
        InstanceListView *list = view->instanceList();
        view->addInstanceAction()->trigger();
        AddEditInstanceView *form = view->instanceForm();
        QVERIFY(form);
        QTest::keyClicks(form->nameField(), QStringLiteral("Orders"));
        form->portField()->setText(QString::number(TestSupport::freePort()));
        QTest::mouseClick(form->generateButton(), Qt::LeftButton);
        QTest::keyClick(form->nameField(), Qt::Key_Return);
        QTRY_VERIFY(!view->instanceForm());
        const HalvexInstance orders = *m_fixture->instances->instanceNamed(QStringLiteral("orders"));
        const auto rowState = [&] { return State(row(*view, 0).data(InstanceListModel::RunStateRole).toInt()); };

        QSignalSpy launched(m_fixture->instances.get(), &InstanceManager::launchEnded);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->buttonRect(row(*view, 0)).center());
        QVERIFY(launched.wait());
        QCOMPARE(rowState(), State::Starting); // its port is probed on a later turn
        QTRY_COMPARE_WITH_TIMEOUT(rowState(), State::Running, 15000);
        QVERIFY(!list->selectionModel()->hasSelection());
        QCOMPARE(view->detailContent()->property("text").toString(), QStringLiteral("Select an instance"));

        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(row(*view, 0)).topLeft() + QPoint(8, 8));
        InstanceDetailView *detail = view->detailView();
        QCOMPARE(view->detailContent(), detail);
        QCOMPARE(detail->value(QStringLiteral("State")), QStringLiteral("Running"));
        QCOMPARE(detail->badgeText(), QStringLiteral("Running"));
        QCOMPARE(detail->startStopButton()->text(), QStringLiteral("Stop"));
        QCOMPARE(detail->startStopButton()->tint(), SystemColors::red());
        QVERIFY(view->stopAllAction()->isEnabled());
        QVERIFY(!view->startAllAction()->isEnabled());
        QVERIFY(!detail->isRowShown(QStringLiteral("Last Run")));
        detail->actions()->openInBrowser()->trigger();
        QCOMPARE(m_fixture->urlOpener.opened(),
                 QList<QUrl>{QUrl(QStringLiteral("http://localhost:%1/health").arg(orders.port))});

        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Tab);
        QToolButton *button = list->currentRowButton();
        QCOMPARE(QApplication::focusWidget(), button);
        QCOMPARE(button->accessibleName(), QStringLiteral("Stop"));
        QTest::keyClick(button, Qt::Key_Space);
        QVERIFY(m_fixture->logged(orders.id, QStringLiteral("Stopping instance 'orders'...")));
        // Still there until the process has exited.
        QCOMPARE(detail->value(QStringLiteral("State")), QStringLiteral("Stopping…"));
        QCOMPARE(rowState(), State::Stopping);
        QCOMPARE(detail->startStopButton()->text(), QStringLiteral("Stop"));
        QTRY_VERIFY_WITH_TIMEOUT(m_fixture->logged(orders.id, QStringLiteral("Instance stopped")), 15000);
        QCOMPARE(detail->value(QStringLiteral("State")), QStringLiteral("Stopped"));
        QCOMPARE(detail->startStopButton()->text(), QStringLiteral("Start"));
        QVERIFY(detail->badgeText().isEmpty());
        QVERIFY(!detail->actions()->openInBrowser()->isEnabled());
        QVERIFY(detail->value(QStringLiteral("Last Run")).startsWith(QStringLiteral("exited with exit code 0 at ")));
        QCOMPARE(button->accessibleName(), QStringLiteral("Start"));
        QVERIFY(!view->stopAllAction()->isEnabled());
        QVERIFY(view->startAllAction()->isEnabled());
    }

    // At the sidebar's narrowest, and it goes no narrower, a long name leaves the button whole
    // and clear.
    void sidebar_keepsTheButtonWholeAtItsNarrowestWidth()
    {
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->add(QString(63, u'w'));
        auto view = shown();
        QVERIFY(view);
        sidebarDivider(*view)->setSizes({0, 10000});
        InstanceListView *list = view->instanceList();
        QTRY_VERIFY(list->width() <= list->parentWidget()->minimumWidth());
        QVERIFY(list->width() > 0);
        const QRect button = list->buttonRect(row(*view, 0));
        QVERIFY(list->viewport()->rect().contains(button));
        const QImage image = list->viewport()->grab(button).toImage();
        int green = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                green += image.pixelColor(x, y) == SystemColors::green() ? 1 : 0;
        }
        QVERIFY2(green > button.width(), qPrintable(QString::number(green)));
        // The name, drawn wider before, is cut short of the button at this width too.
        const QImage gap = list->viewport()->grab(QRect(button.left() - 4, button.top(), 4, button.height())).toImage();
        for (int y = 0; y < gap.height(); ++y) {
            for (int x = 0; x < gap.width(); ++x)
                QCOMPARE(gap.pixel(x, y), gap.pixel(0, 0));
        }
    }

    // The selection is kept by id: edits, additions, run states and a reload of the registry
    // leave it on its record, and only a reload resets the list.
    void selection_survivesChangesOfTheList()
    {
        m_fixture = std::make_unique<ViewFixture>();
        const QList<QUuid> ids = add(2);
        MainView view(m_fixture->context());
        QCOMPARE(view.detailContent()->property("text").toString(), QStringLiteral("Select an instance"));
        QAbstractItemModelTester tester(view.instanceList()->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(view.instanceList()->model(), &QAbstractItemModel::modelReset);
        view.instanceList()->setCurrentIndex(row(view, 1));
        QCOMPARE(view.detailView()->instanceID(), ids.at(1));

        HalvexInstance renamed = m_fixture->current(ids.at(1));
        renamed.name = QStringLiteral("invoices");
        m_fixture->instances->updateInstance(renamed);
        m_fixture->instances->addInstances({HalvexInstance::create(QStringLiteral("sales"), QStringLiteral("t"), 1),
                                            HalvexInstance::create(QStringLiteral("cash"), QStringLiteral("t"), 2)});
        m_fixture->instances->markInstanceRunning(ids.at(1));
        QCOMPARE(resets.count(), 0);
        QCOMPARE(row(view, 1).data().toString(), QStringLiteral("invoices"));
        QVERIFY(row(view, 1).data(InstanceListModel::RunningRole).toBool());
        QCOMPARE(view.detailView()->value(QStringLiteral("State")), QStringLiteral("Running"));
        m_fixture->instances->loadInstances();
        QCOMPARE(view.instanceList()->model()->rowCount(), 4);
        QCOMPARE(view.selectedInstanceID(), ids.at(1));
        QCOMPARE(view.instanceList()->selectionModel()->selectedIndexes(), QModelIndexList{row(view, 1)});
        QCOMPARE(view.detailView()->value(QStringLiteral("Name")), QStringLiteral("invoices"));
    }

    // Rows are found through the manager's index; whoever is told of a deletion before the list
    // still finds each row where the list shows it.
    void rows_areFoundWhileTheListCatchesUp()
    {
        m_fixture = std::make_unique<ViewFixture>();
        const QList<QUuid> ids = add(3);
        QObject receiver;
        InstanceListModel *model = nullptr;
        QList<int> seen;
        connect(m_fixture->instances.get(), &InstanceManager::instanceRemoved, &receiver,
                [&] { seen.append(model->indexOf(ids.at(2)).row()); });
        InstanceListModel list(m_fixture->instances.get());
        model = &list;
        m_fixture->instances->deleteInstance(m_fixture->current(ids.at(0)));
        QCOMPARE(seen, QList<int>{2});
        QCOMPARE(list.indexOf(ids.at(2)).row(), 1);
    }

    void delete_asksThenSelectsTheNeighbour_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("deleted");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<int>("selected"); // the row selected afterwards, in the list as it was; -1 none
        QTest::addColumn<bool>("byKey");   // Delete in the sidebar, else the row's menu
        QTest::newRow("cancelled keeps everything") << 2 << 1 << false << 1 << false;
        QTest::newRow("middle row: the one after it") << 3 << 1 << true << 2 << true;
        QTest::newRow("last row: the one before it") << 3 << 2 << true << 1 << false;
        QTest::newRow("only row: the empty state") << 1 << 0 << true << -1 << false;
    }
    void delete_asksThenSelectsTheNeighbour()
    {
        QFETCH(int, rows);
        QFETCH(int, deleted);
        QFETCH(bool, confirmed);
        QFETCH(int, selected);
        QFETCH(bool, byKey);
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->configureExecutable(m_fixture->path(QStringLiteral("halvex"))); // no settings sheet in the way
        const QList<QUuid> ids = add(rows);
        const QString directory = m_fixture->instances->dataDirectoryPath(m_fixture->current(ids.at(deleted)));
        QVERIFY(QFileInfo(directory).isDir());
        auto view = shown();
        QVERIFY(view);
        view->instanceList()->setCurrentIndex(row(*view, deleted));

        m_fixture->prompter.answer(confirmed);
        if (byKey) {
            view->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(view.get()));
            view->instanceList()->setFocus();
            QTest::keySequence(view->instanceList(), QKeySequence::Delete);
        } else {
            menuAction(*std::unique_ptr<QMenu>(view->contextMenu(ids.at(deleted))), QStringLiteral("Delete"))
                ->trigger();
        }
        QCOMPARE(m_fixture->prompter.questions().size(), 1);
        QVERIFY(m_fixture->prompter.questions().first().message.contains(directory));
        QCOMPARE(m_fixture->prompter.questions().first().action, QStringLiteral("Delete"));
        QCOMPARE(m_fixture->instances->instances().size(), rows); // nothing before the answer

        QTRY_COMPARE(view->instanceList()->model()->rowCount(), confirmed ? rows - 1 : rows);
        QCOMPARE(QFileInfo(directory).isDir(), !confirmed);
        if (selected < 0) {
            QVERIFY(!view->selectedInstanceID());
            QCOMPARE(view->detailContent(), view->emptyState());
            return;
        }
        QCOMPARE(view->selectedInstanceID(), ids.at(selected));
        const QModelIndexList selection = view->instanceList()->selectionModel()->selectedIndexes();
        QCOMPARE(selection.size(), 1);
        QCOMPARE(view->instanceList()->instanceModel()->id(selection.first()), ids.at(selected));
        QCOMPARE(view->detailView()->instanceID(), ids.at(selected));
    }

    // The menu of a row acts on that row's instance, not on the selected one.
    void contextMenu_actsOnItsRow()
    {
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->add(QStringLiteral("billing"));
        const HalvexInstance orders = m_fixture->add(QStringLiteral("orders"), 18080, QStringLiteral("orders-token"));
        auto view = shown();
        QVERIFY(view);
        view->selectInstance(m_fixture->instances->instances().first().id);
        QWidget *viewport = view->instanceList()->viewport();
        const QPoint onRow = view->instanceList()->visualRect(row(*view, 1)).center();
        QContextMenuEvent request(QContextMenuEvent::Mouse, onRow, viewport->mapToGlobal(onRow));
        QApplication::sendEvent(viewport, &request);
        auto *menu = view->findChild<QMenu *>();
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        QVERIFY(!menuAction(*menu, QStringLiteral("Force Stop…")));
        for (const auto &[entry, copied] : {std::pair{"Copy Address", "http://orders.halvex.local:18080"},
                                            {"Copy Localhost Address", "http://localhost:18080"},
                                            {"Copy Token", "orders-token"}}) {
            menuAction(*menu, QString::fromLatin1(entry))->trigger();
            QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromLatin1(copied));
        }
        // The data folder opens while it exists; before the first start the user is told why not.
        const QString folder = m_fixture->instances->dataDirectoryPath(orders);
        menuAction(*menu, QStringLiteral("Open Data Folder"))->trigger();
        QVERIFY(QDir(folder).removeRecursively());
        menuAction(*menu, QStringLiteral("Open Data Folder"))->trigger();
        QCOMPARE(m_fixture->urlOpener.opened(), QList<QUrl>{QUrl::fromLocalFile(folder)});
        QVERIFY(ViewTesting::alerts(m_fixture->prompter).value(0).startsWith(QStringLiteral("No Data Folder Yet: ")));
        menuAction(*menu, QStringLiteral("Edit"))->trigger();
        menu->close();
        QVERIFY(view->instanceForm());
        QCOMPARE(view->instanceForm()->instance(), std::optional<HalvexInstance>(orders));
        QTest::mouseClick(view->instanceForm()->cancelButton(), Qt::LeftButton);
        QTRY_VERIFY(!view->instanceForm());
        QCOMPARE(m_fixture->instances->instances().last(), orders);
    }

    void saveFailures_areShownInAnAlert()
    {
        m_fixture = std::make_unique<ViewFixture>();
        MainView view(m_fixture->context());
        QVERIFY(QDir().mkpath(m_fixture->m_paths.registryFile())); // directories in the way
        QVERIFY(QDir().mkpath(m_fixture->m_paths.settingsFile()));
        m_fixture->add(QStringLiteral("orders"));
        m_fixture->instances->waitForSave();
        m_fixture->settings->save();
        const QStringList alerts = ViewTesting::alerts(m_fixture->prompter);
        QCOMPARE(alerts.size(), 2);
        QVERIFY(alerts.at(0).startsWith(QStringLiteral("Error: Could not save instances.json: ")));
        QVERIFY(alerts.at(1).startsWith(QStringLiteral("Error: Could not save settings.json: ")));
    }

    // The window opens where and as large as the user left it, its dividers where they were
    // dragged; one left larger than the screen comes back within it, its tool row whole.
    void window_comesBackAsLeftWithinTheScreen()
    {
        m_fixture = std::make_unique<ViewFixture>();
        const QUuid id = m_fixture->add(QStringLiteral("orders")).id;
        std::tuple<QRect, QList<int>, QList<int>> left;
        for (const int run : {1, 2, 3}) {
            Preferences preferences(m_fixture->path(QStringLiteral("preferences")));
            ViewContext context = m_fixture->context();
            context.preferences = &preferences;
            ContentView window(context);
            window.mainView()->selectInstance(id);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QSplitter *sidebar = sidebarDivider(*window.mainView());
            QSplitter *log = window.mainView()->detailView()->splitter();
            if (run == 1) {
                window.setGeometry(QRect(40, 50, 700, 520));
                QTRY_COMPARE(window.size(), QSize(700, 520));
                const QList<int> before = sidebar->sizes();
                dragDivider(sidebar, 45);
                dragDivider(log, -35);
                QVERIFY(sidebar->sizes() != before);
                left = {window.geometry(), sidebar->sizes(), log->sizes()};
            } else if (run == 2) {
                QVERIFY(left == std::tuple(window.geometry(), sidebar->sizes(), log->sizes()));
                window.resize(4000, 3000);
            } else {
                const QRect screen = window.screen()->availableGeometry();
                QVERIFY(screen.contains(window.frameGeometry()));
                for (const QToolButton *button : window.findChildren<QToolButton *>()) {
                    if (button->defaultAction() == window.mainView()->addInstanceAction())
                        QVERIFY(screen.contains(QRect(button->mapToGlobal(QPoint()), button->size())));
                }
            }
        }
    }

    // What is on the screen, not what a fresh rendering would show: a change reaches the window
    // through a repaint of its own row, and the other rows stay as they were.
    void sidebar_repaintsTheChangedRowOnScreen_data()
    {
        QTest::addColumn<bool>("rename");
        QTest::addColumn<int>("row");
        QTest::newRow("start") << false << 2;
        QTest::newRow("rename") << true << 1;
    }

    void sidebar_repaintsTheChangedRowOnScreen()
    {
        QFETCH(bool, rename);
        QFETCH(int, row);
        m_fixture = std::make_unique<ViewFixture>();
        ViewFixture &fixture = *m_fixture;
        QList<HalvexInstance> records;
        for (const char *name : {"alpha", "beta", "gamma"})
            records.append(fixture.add(QString::fromLatin1(name)));
        auto view = ViewTesting::shown<InstanceListView>(QSize(260, 200), fixture.instances.get());
        QVERIFY(view);
        const auto shownRow = [&view](int row) {
            const QRect rect = view->visualRect(view->model()->index(row, 0));
            const QPoint at = view->viewport()->mapTo(view.get(), rect.topLeft());
            return view->screen()->grabWindow(view->winId(), at.x(), at.y(), rect.width(), rect.height()).toImage();
        };
        QList<QImage> before;
        for (int i = 0; i < records.size(); ++i)
            before.append(shownRow(i));

        if (rename) {
            records[row].name = QStringLiteral("bee");
            fixture.instances->updateInstance(records.at(row));
        } else {
            fixture.instances->markInstanceRunning(records.at(row).id);
        }
        QTRY_VERIFY(shownRow(row) != before.at(row));
        for (int i = 0; i < records.size(); ++i) {
            if (i != row)
                QCOMPARE(shownRow(i), before.at(i));
        }
    }
};

QTEST_MAIN(TestMainView)
#include "tst_mainview.moc"
