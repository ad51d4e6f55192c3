// SPDX-License-Identifier: MIT
#include "OffscreenByDefault.h"
#include "ViewFixture.h"

#include "TestSupport.h"
#include "views/AddEditInstanceView.h"
#include "views/ContentView.h"
#include "views/EmptyStateView.h"
#include "views/InstanceDetailView.h"
#include "views/InstanceListModel.h"
#include "views/InstanceListView.h"
#include "views/MainView.h"
#include "views/ProminentButton.h"
#include "views/SettingsView.h"
#include "views/SystemColors.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTest>
#include <QToolButton>

// The main window over real managers; the server that rows start is the real one.
using TestSupport::json;

class TestMainView : public QObject
{
    Q_OBJECT

public:
    static void initMain() { drawOffscreenByDefault(); }

private:
    std::unique_ptr<ViewFixture> m_fixture;
    QTemporaryDir m_files;

    std::unique_ptr<MainView> shownView()
    {
        auto view = std::make_unique<MainView>(m_fixture->context());
        view->resize(1000, 700);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            return nullptr;
        return view;
    }
    // Lets every event-loop turn queued so far run, the view's first-display check included.
    static bool settle()
    {
        bool reached = false;
        QTimer::singleShot(0, [&reached] { reached = true; });
        return QTest::qWaitFor([&reached] { return reached; });
    }
    static QModelIndex row(const MainView &view, int row) { return view.instanceList()->model()->index(row, 0); }
    static QAction *menuAction(const QMenu &menu, const QString &text)
    {
        const QList<QAction *> actions = menu.actions();
        const auto found = std::find_if(actions.cbegin(), actions.cend(),
                                        [&text](const QAction *action) { return action->text() == text; });
        return found == actions.cend() ? nullptr : *found;
    }
    static QStringList entries(const QMenu &menu)
    {
        QStringList entries;
        for (const QAction *action : menu.actions()) {
            if (action->isVisible())
                entries.append(action->isSeparator() ? QStringLiteral("—") : action->text());
        }
        return entries;
    }
    static QString labelText(QWidget *widget)
    {
        auto *label = qobject_cast<QLabel *>(widget);
        return label ? label->text() : QString();
    }
    static QSplitter *sidebarDivider(const MainView &view)
    {
        return view.findChild<QSplitter *>(QString(), Qt::FindDirectChildrenOnly);
    }
    // Drags the divider's handle by distance, as the user does with the mouse.
    static void dragDivider(QSplitter *splitter, int distance)
    {
        QSplitterHandle *handle = splitter->handle(1);
        const QPoint from = handle->rect().center();
        const QPoint to =
            from + (splitter->orientation() == Qt::Horizontal ? QPoint(distance, 0) : QPoint(0, distance));
        QMouseEvent press(QEvent::MouseButtonPress, from, handle->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(handle, &press);
        QMouseEvent move(QEvent::MouseMove, to, handle->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(handle, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, to, handle->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(handle, &release);
    }
    bool isRunning(const QUuid &id) const { return m_fixture->instances->instance(id)->isRunning; }
    QByteArray settingsWithExecutable(const QString &path) const
    {
        return json("{'dataStorageLocation':'") +
               QUrl::fromLocalFile(m_files.filePath(QStringLiteral("data"))).toEncoded() + json("','binaryPath':'") +
               QUrl::fromLocalFile(path).toEncoded() + json("','timezone':'UTC'}");
    }

private slots:
    void cleanup() { m_fixture.reset(); }

    void firstDisplay_opensSettingsOnlyWithoutAConfiguredPath_data()
    {
        QTest::addColumn<QString>("executable"); // "" none configured, "missing", "plain" or "runnable"
        QTest::addColumn<bool>("opensSettings");
        QTest::addColumn<bool>("canAdd");
        QTest::addColumn<QString>("emptyText");
        QTest::addColumn<QString>("emptyAction");
        const QString download = QStringLiteral("Download the Halvex binary to get started");
        QTest::newRow("none configured") << "" << true << false << download << "Open Settings";
        QTest::newRow("configured but missing") << "missing" << false << false << download << "Open Settings";
        QTest::newRow("configured but not executable") << "plain" << false << false << download << "Open Settings";
        QTest::newRow("configured and runnable")
            << "runnable" << false << true << "Create your first instance to get started"
            << "Add Instance";
    }

    void firstDisplay_opensSettingsOnlyWithoutAConfiguredPath()
    {
        QFETCH(QString, executable);
        QFETCH(bool, opensSettings);
        QFETCH(bool, canAdd);
        QFETCH(QString, emptyText);
        QFETCH(QString, emptyAction);
        if (executable.isEmpty()) {
            m_fixture = std::make_unique<ViewFixture>();
        } else {
            // The settings file names the executable; its values arrive one turn after creation.
            const QString path = m_files.filePath(QStringLiteral("halvex"));
            QFile::remove(path);
            if (executable != QStringLiteral("missing"))
                ViewFixture::writeExecutable(path, executable == QStringLiteral("runnable"));
            m_fixture = std::make_unique<ViewFixture>(settingsWithExecutable(path));
        }
        auto view = shownView();
        QVERIFY(view);
        QVERIFY(settle());
        QCOMPARE(view->settingsSheet() != nullptr, opensSettings);
        QCOMPARE(view->addInstanceAction()->isEnabled(), canAdd);
        QCOMPARE(view->detailContent(), view->emptyState());
        QCOMPARE(view->emptyState()->messageText(), emptyText);
        QCOMPARE(view->emptyState()->actionButton()->text(), emptyAction);
    }

    void emptyState_reachesTheSheets_data()
    {
        QTest::addColumn<bool>("runnable");
        QTest::newRow("open settings") << false;
        QTest::newRow("add instance") << true;
    }

    void emptyState_reachesTheSheets()
    {
        QFETCH(bool, runnable);
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->configureExecutable(m_fixture->path(QStringLiteral("halvex")), runnable);
        auto view = shownView();
        QVERIFY(view);
        QVERIFY(settle());
        QVERIFY(!view->settingsSheet());
        QTest::mouseClick(view->emptyState()->actionButton(), Qt::LeftButton);
        QCOMPARE(view->settingsSheet() != nullptr, !runnable);
        QCOMPARE(view->instanceForm() != nullptr, runnable);
        if (runnable)
            QVERIFY(!view->instanceForm()->instance().has_value());
    }

    void toolbar_namesItsButtonsAndOpensSheets()
    {
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->configureExecutable(m_fixture->path(QStringLiteral("halvex")));
        MainView view(m_fixture->context());
        QStringList buttons;
        for (const QToolButton *button : view.findChildren<QToolButton *>()) {
            if (button->defaultAction() == view.settingsAction() || button->defaultAction() == view.addInstanceAction())
                buttons.append(button->accessibleName());
        }
        QCOMPARE(buttons, (QStringList{QStringLiteral("Settings"), QStringLiteral("Add New Instance")}));
        QCOMPARE(view.settingsAction()->toolTip(), QStringLiteral("Settings"));
        view.addInstanceAction()->trigger();
        QVERIFY(view.instanceForm());
        view.instanceForm()->reject();
        QTRY_VERIFY(!view.instanceForm());
        view.settingsAction()->trigger();
        QVERIFY(view.settingsSheet());
    }

    void sidebar_cannotBeCollapsed()
    {
        m_fixture = std::make_unique<ViewFixture>();
        MainView view(m_fixture->context());
        const QList<QSplitter *> splitters = view.findChildren<QSplitter *>(Qt::FindDirectChildrenOnly);
        QCOMPARE(splitters.size(), 1);
        QVERIFY(!splitters.first()->childrenCollapsible());
    }

    void sidebar_scrollingToTheEndBuildsNoWidgets()
    {
        m_fixture = std::make_unique<ViewFixture>();
        QList<HalvexInstance> records;
        for (int i = 0; i < 2000; ++i)
            records.append(
                HalvexInstance::create(QStringLiteral("instance-%1").arg(i), QStringLiteral("t"), 10000 + i));
        m_fixture->instances->addInstances(records);
        auto view = shownView();
        QVERIFY(view);
        InstanceListView *list = view->instanceList();
        const qsizetype widgets = list->findChildren<QWidget *>().size();

        list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
        QTRY_VERIFY(list->viewport()->rect().contains(list->visualRect(row(*view, 1999))));
        QCOMPARE(list->findChildren<QWidget *>().size(), widgets);
    }

    void sidebar_keepsTheButtonWholeAtItsNarrowestWidth()
    {
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->add(QString(63, u'w'), 18080);
        auto view = shownView();
        QVERIFY(view);
        auto *split = view->findChild<QSplitter *>(QString(), Qt::FindDirectChildrenOnly);
        split->setSizes({0, 10000});
        InstanceListView *list = view->instanceList();
        QTRY_VERIFY(list->width() <= list->parentWidget()->minimumWidth());

        const QRect button = list->buttonRect(row(*view, 0));
        QVERIFY(list->viewport()->rect().contains(button));
        const QImage image = list->viewport()->grab(button).toImage();
        int green = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                green += image.pixelColor(x, y) == SystemColors::green() ? 1 : 0;
        }
        QVERIFY2(green > button.width(), qPrintable(QString::number(green)));
    }

    void detail_showsSelectionOrPlaceholder()
    {
        m_fixture = std::make_unique<ViewFixture>();
        const HalvexInstance orders = m_fixture->add(QStringLiteral("orders"), 18080);
        m_fixture->add(QStringLiteral("sales"), 18082);
        const HalvexInstance billing = m_fixture->add(QStringLiteral("billing"), 18081);
        MainView view(m_fixture->context());
        QCOMPARE(view.instanceList()->model()->rowCount(), 3);
        QCOMPARE(labelText(view.detailContent()), QStringLiteral("Select an instance"));

        view.instanceList()->setCurrentIndex(row(view, 0));
        QCOMPARE(view.selectedInstanceID(), orders.id);
        QCOMPARE(view.detailContent(), view.detailView());
        QCOMPARE(view.detailView()->instanceID(), orders.id);

        // Another selection shows its record in the same pane.
        InstanceDetailView *pane = view.detailView();
        view.instanceList()->setCurrentIndex(row(view, 2));
        QCOMPARE(view.detailView(), pane);
        QCOMPARE(pane->instanceID(), billing.id);
        QCOMPARE(pane->value(QStringLiteral("Port")), QStringLiteral("18081"));
    }

    void delete_selectsTheNeighbour_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("deleted");
        QTest::addColumn<int>("selected"); // the row selected afterwards, in the list as it was; -1 none
        QTest::newRow("middle row: the one after it") << 3 << 1 << 2;
        QTest::newRow("last row: the one before it") << 3 << 2 << 1;
        QTest::newRow("only row: the empty state") << 1 << 0 << -1;
    }

    void delete_selectsTheNeighbour()
    {
        QFETCH(int, rows);
        QFETCH(int, deleted);
        QFETCH(int, selected);
        m_fixture = std::make_unique<ViewFixture>();
        QList<QUuid> ids;
        for (int i = 0; i < rows; ++i)
            ids.append(m_fixture->add(QStringLiteral("instance-%1").arg(i), 18080 + i).id);
        MainView view(m_fixture->context());
        view.instanceList()->setCurrentIndex(row(view, deleted));
        QCOMPARE(view.selectedInstanceID(), ids.at(deleted));

        m_fixture->prompter.answer(true);
        view.deleteInstance(ids.at(deleted));
        QTRY_COMPARE(view.instanceList()->model()->rowCount(), rows - 1);
        if (selected < 0) {
            QVERIFY(!view.selectedInstanceID());
            QCOMPARE(view.detailContent(), view.emptyState());
            return;
        }
        QCOMPARE(view.selectedInstanceID(), ids.at(selected));
        const QModelIndexList selection = view.instanceList()->selectionModel()->selectedIndexes();
        QCOMPARE(selection.size(), 1);
        QCOMPARE(view.instanceList()->instanceModel()->id(selection.first()), ids.at(selected));
        QCOMPARE(view.detailContent(), view.detailView());
        QCOMPARE(view.detailView()->instanceID(), ids.at(selected));
    }

    void selection_survivesChangesOfTheList()
    {
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->add(QStringLiteral("orders"), 18080);
        const HalvexInstance billing = m_fixture->add(QStringLiteral("billing"), 18081);
        MainView view(m_fixture->context());
        view.instanceList()->setCurrentIndex(row(view, 1));

        HalvexInstance renamed = billing;
        renamed.name = QStringLiteral("invoices");
        m_fixture->instances->updateInstance(renamed);
        m_fixture->add(QStringLiteral("sales"), 18082);
        m_fixture->instances->markInstanceRunning(billing.id);

        QCOMPARE(view.selectedInstanceID(), billing.id);
        QCOMPARE(view.instanceList()->selectionModel()->selectedIndexes(), QModelIndexList{row(view, 1)});
        QCOMPARE(row(view, 1).data().toString(), QStringLiteral("invoices"));
        QCOMPARE(row(view, 1).data(InstanceListModel::LocalUrlRole).toString(),
                 QStringLiteral("http://invoices.halvex.local:18081"));
        QCOMPARE(view.detailView()->value(QStringLiteral("Name")), QStringLiteral("invoices"));
        QCOMPARE(view.detailView()->value(QStringLiteral("State")), QStringLiteral("Running"));
    }

    void contextMenu_quickActionsAboveEditAndDelete()
    {
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->add(QStringLiteral("billing"), 18081);
        const HalvexInstance orders = m_fixture->add(QStringLiteral("orders"), 18080, QStringLiteral("orders-token"));
        auto shown = shownView();
        QVERIFY(shown);
        MainView &view = *shown;
        view.selectInstance(m_fixture->instances->instances().first().id);
        QWidget *viewport = view.instanceList()->viewport();
        const QPoint onRow = view.instanceList()->visualRect(row(view, 1)).center();
        QContextMenuEvent request(QContextMenuEvent::Mouse, onRow, viewport->mapToGlobal(onRow));
        QApplication::sendEvent(viewport, &request);
        auto *menu = view.findChild<QMenu *>();
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(entries(*menu), (QStringList{"Copy Address", "Copy Localhost Address", "Copy Token", "—",
                                              "Open in Browser", "Open Data Folder", "—", "Edit", "—", "Delete"}));
        // The row's instance, not the selected one.
        menuAction(*menu, QStringLiteral("Copy Token"))->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("orders-token"));
        // The destructive entry carries its mark.
        QVERIFY(!menuAction(*menu, QStringLiteral("Delete"))->icon().isNull());

        menuAction(*menu, QStringLiteral("Edit"))->trigger();
        menu->close();
        QVERIFY(view.instanceForm());
        QCOMPARE(view.instanceForm()->instance(), std::optional<HalvexInstance>(orders));
        QTest::mouseClick(view.instanceForm()->cancelButton(), Qt::LeftButton);
        QTRY_VERIFY(!view.instanceForm());
        QCOMPARE(m_fixture->instances->instances().last(), orders);
    }

    void contextMenu_offersForceStopOnceTheStopIsOverdue()
    {
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->instances->setStopDeadline(std::chrono::milliseconds(150));
        m_fixture->settings->setBinaryPath(QUrl::fromLocalFile(QStringLiteral(TEST_PROGRAMS_DIR "/ignore_term")));
        const HalvexInstance record = m_fixture->add(QStringLiteral("stubborn"), TestSupport::freePort());
        MainView view(m_fixture->context());
        m_fixture->instances->startInstance(record);
        // A stop sent before the program ignores it would end it at once.
        QTRY_VERIFY(m_fixture->logged(record.id, QStringLiteral("ignoring SIGTERM")));
        m_fixture->instances->stopInstance(*m_fixture->instances->instance(record.id));
        QVERIFY(!menuAction(*std::unique_ptr<QMenu>(view.contextMenu(record.id)), QStringLiteral("Force Stop…")));
        QTRY_VERIFY(m_fixture->instances->isStopOverdue(record.id));

        std::unique_ptr<QMenu> menu(view.contextMenu(record.id));
        QCOMPARE(entries(*menu).mid(0, 2), (QStringList{"Force Stop…", "—"}));
        m_fixture->prompter.answer(true);
        menuAction(*menu, QStringLiteral("Force Stop…"))->trigger();
        // The answer comes after the menu has gone, as it does once an entry is chosen.
        menu.reset();
        QCOMPARE(m_fixture->prompter.questions().size(), 1);
        QCOMPARE(m_fixture->prompter.questions().first().title, QStringLiteral("Force Stop"));
        QTRY_COMPARE(m_fixture->instances->runState(record.id), InstanceManager::RunState::Stopped);
    }

    void delete_asksNamingTheDataDirectory_data()
    {
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("cancelled keeps everything") << false;
        QTest::newRow("confirmed deletes") << true;
    }

    void delete_asksNamingTheDataDirectory()
    {
        QFETCH(bool, confirmed);
        m_fixture = std::make_unique<ViewFixture>();
        const HalvexInstance orders = m_fixture->add(QStringLiteral("orders"), 18080);
        const QString directory = m_fixture->instances->dataDirectoryPath(orders);
        QVERIFY(QFileInfo(directory).isDir());
        MainView view(m_fixture->context());
        view.instanceList()->setCurrentIndex(row(view, 0));

        m_fixture->prompter.answer(confirmed);
        std::unique_ptr<QMenu> menu(view.contextMenu(orders.id));
        menuAction(*menu, QStringLiteral("Delete"))->trigger();
        QCOMPARE(m_fixture->prompter.questions().size(), 1);
        QVERIFY(m_fixture->prompter.questions().first().message.contains(directory));
        QCOMPARE(m_fixture->prompter.questions().first().action, QStringLiteral("Delete"));
        // Nothing happens before the answer.
        QCOMPARE(m_fixture->instances->instances().size(), 1);

        QTRY_COMPARE(m_fixture->instances->instances().isEmpty(), confirmed);
        QCOMPARE(QFileInfo(directory).isDir(), !confirmed);
        QCOMPARE(view.instanceList()->model()->rowCount(), confirmed ? 0 : 1);
        QCOMPARE(view.selectedInstanceID().has_value(), !confirmed);
    }

    void saveFailures_areShownInAnAlert()
    {
        m_fixture = std::make_unique<ViewFixture>();
        auto view = shownView();
        QVERIFY(view);
        QVERIFY(QDir().mkpath(m_fixture->m_paths.registryFile())); // directories in the way
        QVERIFY(QDir().mkpath(m_fixture->m_paths.settingsFile()));
        m_fixture->instances->addInstance(HalvexInstance::create(QStringLiteral("orders"), QStringLiteral("t"), 8080));
        m_fixture->settings->save();
        const QList<ScriptedPrompter::Alert> alerts = m_fixture->prompter.alerts();
        QCOMPARE(alerts.size(), 2);
        QVERIFY(alerts.at(0).message.startsWith(QStringLiteral("Could not save instances.json: ")));
        QVERIFY(alerts.at(1).message.startsWith(QStringLiteral("Could not save settings.json: ")));
    }

    void rowButton_startsByMouseAndStopsByKeyboard()
    {
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->settings->setBinaryPath(QUrl::fromLocalFile(QStringLiteral(HALVEX_SERVER_PATH)));
        m_fixture->add(QStringLiteral("billing"), TestSupport::freePort());
        const HalvexInstance orders = m_fixture->add(QStringLiteral("orders"), TestSupport::freePort());
        auto view = shownView();
        QVERIFY(view);
        InstanceListView *list = view->instanceList();
        const auto running = [this, &orders] { return m_fixture->instances->instance(orders.id)->isRunning; };

        // The painted button of a row that is neither current nor selected.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->buttonRect(row(*view, 1)).center());
        QTRY_VERIFY_WITH_TIMEOUT(running(), 15000);
        QVERIFY(row(*view, 1).data(InstanceListModel::RunningRole).toBool());
        // Starting does not select the row.
        QVERIFY(!view->selectedInstanceID());
        QVERIFY(!list->selectionModel()->hasSelection());

        // The keyboard reaches the current row's button, named by what it does.
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentIndex(), row(*view, 1));
        QTest::keyClick(list, Qt::Key_Tab);
        QToolButton *button = list->currentRowButton();
        QCOMPARE(QApplication::focusWidget(), button);
        QCOMPARE(button->accessibleName(), QStringLiteral("Stop"));
        QTest::keyClick(button, Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(!running(), 15000);
        QCOMPARE(button->accessibleName(), QStringLiteral("Start"));
    }

    void shortcuts_reachTheirCommands_data()
    {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("command");
        QTest::newRow("new instance") << QKeySequence(QKeySequence::New) << "form";
        QTest::newRow("settings") << QKeySequence(Qt::CTRL | Qt::Key_Comma) << "settings";
        QTest::newRow("delete the selected instance") << QKeySequence(QKeySequence::Delete) << "delete";
    }

    void shortcuts_reachTheirCommands()
    {
        QFETCH(QKeySequence, keys);
        QFETCH(QString, command);
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->configureExecutable(m_fixture->path(QStringLiteral("halvex")));
        m_fixture->add(QStringLiteral("billing"), 18081);
        const HalvexInstance orders = m_fixture->add(QStringLiteral("orders"), 18080);
        auto view = shownView();
        QVERIFY(view);
        QVERIFY(settle());
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        view->instanceList()->setFocus();
        view->instanceList()->setCurrentIndex(row(*view, 1));

        QTest::keySequence(QApplication::focusWidget(), keys);
        QCOMPARE(view->instanceForm() != nullptr, command == QStringLiteral("form"));
        QCOMPARE(view->settingsSheet() != nullptr, command == QStringLiteral("settings"));
        const QList<ScriptedPrompter::Question> questions = m_fixture->prompter.questions();
        QCOMPARE(questions.size(), command == QStringLiteral("delete") ? 1 : 0);
        if (!questions.isEmpty())
            QVERIFY(questions.first().message.contains(QStringLiteral("'orders'")));
        QCOMPARE(m_fixture->instances->instances().size(), 2);
    }

    void startAllAndStopAll_reachEveryInstance()
    {
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->settings->setBinaryPath(QUrl::fromLocalFile(QStringLiteral(HALVEX_SERVER_PATH)));
        QList<QUuid> ids;
        for (const char *name : {"orders", "billing", "sales"})
            ids.append(m_fixture->add(QString::fromLatin1(name), TestSupport::freePort()).id);
        MainView view(m_fixture->context());
        QVERIFY(view.startAllAction()->isEnabled());
        QVERIFY(!view.stopAllAction()->isEnabled());

        // One already runs: Start All starts the others and leaves it alone.
        m_fixture->instances->startInstance(*m_fixture->instances->instance(ids.first()));
        QTRY_VERIFY_WITH_TIMEOUT(isRunning(ids.first()), 15000);
        const auto firstServer = m_fixture->instances->processId(ids.first());
        QTRY_VERIFY(view.stopAllAction()->isEnabled());
        view.startAllAction()->trigger();
        for (const QUuid &id : ids)
            QTRY_VERIFY_WITH_TIMEOUT(isRunning(id), 15000);
        QCOMPARE(m_fixture->instances->processId(ids.first()), firstServer);
        QTRY_VERIFY(!view.startAllAction()->isEnabled());

        view.stopAllAction()->trigger();
        for (const QUuid &id : ids)
            QTRY_VERIFY_WITH_TIMEOUT(!isRunning(id), 15000);
        QTRY_VERIFY(!view.stopAllAction()->isEnabled());
        QVERIFY(view.startAllAction()->isEnabled());
    }

    void window_remembersItsGeometryAndDividers()
    {
        m_fixture = std::make_unique<ViewFixture>();
        const HalvexInstance orders = m_fixture->add(QStringLiteral("orders"), 18080);
        const QString directory = m_fixture->path(QStringLiteral("preferences"));
        const auto build = [&](Preferences &preferences) {
            ViewContext context = m_fixture->context();
            context.preferences = &preferences;
            auto window = std::make_unique<ContentView>(context);
            window->mainView()->selectInstance(orders.id);
            window->show();
            return QTest::qWaitForWindowExposed(window.get()) ? std::move(window) : nullptr;
        };

        QRect geometry;
        QList<int> sidebar;
        QList<int> log;
        {
            Preferences preferences(directory);
            auto window = build(preferences);
            QVERIFY(window);
            window->setGeometry(QRect(40, 50, 700, 520));
            QTRY_COMPARE(window->size(), QSize(700, 520));
            dragDivider(sidebarDivider(*window->mainView()), 45);
            dragDivider(window->mainView()->detailView()->splitter(), -35);
            geometry = window->geometry();
            sidebar = sidebarDivider(*window->mainView())->sizes();
            log = window->mainView()->detailView()->splitter()->sizes();
        }
        Preferences preferences(directory);
        auto window = build(preferences);
        QVERIFY(window);
        QCOMPARE(window->geometry(), geometry);
        QCOMPARE(sidebarDivider(*window->mainView())->sizes(), sidebar);
        QCOMPARE(window->mainView()->detailView()->splitter()->sizes(), log);
    }

    void window_fitsTheScreen_data()
    {
        QTest::addColumn<QSize>("lastSize"); // empty: the first start
        QTest::newRow("first start") << QSize();
        QTest::newRow("left larger than the screen") << QSize(4000, 3000);
    }

    void window_fitsTheScreen()
    {
        QFETCH(QSize, lastSize);
        m_fixture = std::make_unique<ViewFixture>();
        if (lastSize.isValid()) {
            ContentView last(m_fixture->context());
            last.show();
            last.resize(lastSize);
        }
        ContentView window(m_fixture->context());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect screen = window.screen()->availableGeometry();
        QVERIFY2(screen.contains(window.frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                         .arg(window.frameGeometry().x())
                                                                         .arg(window.frameGeometry().y())
                                                                         .arg(window.frameGeometry().width())
                                                                         .arg(window.frameGeometry().height())));
        // The add button at the far end of the tool row is on the screen.
        for (const QToolButton *button : window.findChildren<QToolButton *>()) {
            if (button->defaultAction() == window.mainView()->addInstanceAction())
                QVERIFY(screen.contains(QRect(button->mapToGlobal(QPoint()), button->size())));
        }
    }
};

QTEST_MAIN(TestMainView)
#include "tst_mainview.moc"
