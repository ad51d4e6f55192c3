// SPDX-License-Identifier: MIT
#include "ViewFixture.h"

#include "TestJson.h"
#include "views/AddEditInstanceView.h"
#include "views/EmptyStateView.h"
#include "views/InstanceDetailView.h"
#include "views/InstanceRowView.h"
#include "views/MainView.h"
#include "views/ProminentButton.h"
#include "views/SettingsView.h"
#include "views/StatusDot.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTest>
#include <QToolButton>

// The main window over real managers; the server that rows start is the real one.
class TestMainView : public QObject
{
    Q_OBJECT

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
    static QString labelText(QWidget *widget)
    {
        auto *label = qobject_cast<QLabel *>(widget);
        return label ? label->text() : QString();
    }
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

    void rows_areBuiltOnlyWhenInView()
    {
        m_fixture = std::make_unique<ViewFixture>();
        for (int i = 0; i < 300; ++i)
            m_fixture->add(QStringLiteral("instance-%1").arg(i), 10000 + i);
        auto view = shownView();
        QVERIFY(view);
        const auto built = [&view] { return view->instanceList()->findChildren<InstanceRowView *>().size(); };
        QVERIFY(built() > 0);
        QVERIFY2(built() < 60, qPrintable(QString::number(built())));

        QListWidget *list = view->instanceList();
        list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
        QListWidgetItem *last = list->item(list->count() - 1);
        QTRY_VERIFY(qobject_cast<InstanceRowView *>(list->itemWidget(last)));
        QCOMPARE(qobject_cast<InstanceRowView *>(list->itemWidget(last))->instanceID(),
                 m_fixture->instances->instances().last().id);
    }

    void detail_showsSelectionPlaceholderOrNotFound()
    {
        m_fixture = std::make_unique<ViewFixture>();
        const HalvexInstance orders = m_fixture->add(QStringLiteral("orders"), 18080);
        m_fixture->add(QStringLiteral("billing"), 18081);
        MainView view(m_fixture->context());
        QCOMPARE(view.instanceList()->count(), 2);
        QCOMPARE(labelText(view.detailContent()), QStringLiteral("Select an instance"));

        view.instanceList()->setCurrentRow(0);
        QCOMPARE(view.selectedInstanceID(), orders.id);
        QCOMPARE(view.detailContent(), view.detailView());
        QCOMPARE(view.detailView()->instanceID(), orders.id);

        m_fixture->prompter.answer(true);
        view.deleteInstance(orders.id);
        QTRY_COMPARE(view.instanceList()->count(), 1);
        QCOMPARE(view.selectedInstanceID(), orders.id);
        QVERIFY(view.detailView()->showsNotFound());
    }

    void selection_survivesChangesOfTheList()
    {
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->add(QStringLiteral("orders"), 18080);
        const HalvexInstance billing = m_fixture->add(QStringLiteral("billing"), 18081);
        MainView view(m_fixture->context());
        view.instanceList()->setCurrentRow(1);

        HalvexInstance renamed = billing;
        renamed.name = QStringLiteral("invoices");
        m_fixture->instances->updateInstance(renamed);
        m_fixture->add(QStringLiteral("sales"), 18082);

        QCOMPARE(view.selectedInstanceID(), billing.id);
        QCOMPARE(view.instanceList()->currentRow(), 1);
        QCOMPARE(view.row(billing.id)->nameText(), QStringLiteral("invoices"));
        QCOMPARE(view.row(billing.id)->urlText(), QStringLiteral("http://invoices.halvex.local:18081"));
        QCOMPARE(view.detailView()->value(QStringLiteral("Name")), QStringLiteral("invoices"));
    }

    void contextMenu_editOpensTheFilledForm()
    {
        m_fixture = std::make_unique<ViewFixture>();
        const HalvexInstance orders = m_fixture->add(QStringLiteral("orders"), 18080);
        MainView view(m_fixture->context());
        std::unique_ptr<QMenu> menu(view.contextMenu(orders.id));
        const QList<QAction *> actions = menu->actions();
        QCOMPARE(actions.size(), 3);
        QCOMPARE(actions.at(0)->text(), QStringLiteral("Edit"));
        QVERIFY(actions.at(1)->isSeparator());
        QCOMPARE(actions.at(2)->text(), QStringLiteral("Delete"));

        actions.at(0)->trigger();
        QVERIFY(view.instanceForm());
        QCOMPARE(view.instanceForm()->instance(), std::optional<HalvexInstance>(orders));
        QTest::mouseClick(view.instanceForm()->cancelButton(), Qt::LeftButton);
        QTRY_VERIFY(!view.instanceForm());
        QCOMPARE(m_fixture->instances->instances(), QList<HalvexInstance>{orders});
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
        view.instanceList()->setCurrentRow(0);

        m_fixture->prompter.answer(confirmed);
        std::unique_ptr<QMenu> menu(view.contextMenu(orders.id));
        menu->actions().at(2)->trigger();
        QCOMPARE(m_fixture->prompter.questions().size(), 1);
        QVERIFY(m_fixture->prompter.questions().first().message.contains(directory));
        QCOMPARE(m_fixture->prompter.questions().first().action, QStringLiteral("Delete"));
        // Nothing happens before the answer.
        QCOMPARE(m_fixture->instances->instances().size(), 1);

        QTRY_COMPARE(m_fixture->instances->instances().isEmpty(), confirmed);
        QCOMPARE(QFileInfo(directory).isDir(), !confirmed);
        QCOMPARE(view.instanceList()->count(), confirmed ? 0 : 1);
        QCOMPARE(view.selectedInstanceID(), orders.id);
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

    void rowButton_startsAndStopsTheServer()
    {
        m_fixture = std::make_unique<ViewFixture>();
        m_fixture->settings->setBinaryPath(QUrl::fromLocalFile(QStringLiteral(HALVEX_SERVER_PATH)));
        const HalvexInstance orders = m_fixture->add(QStringLiteral("orders"), ViewFixture::freePort());
        auto view = shownView();
        QVERIFY(view);
        InstanceRowView *row = view->row(orders.id);
        QVERIFY(row);
        QCOMPARE(row->startStopButton()->accessibleName(), QStringLiteral("Start"));
        QVERIFY(row->runningDot()->isHidden());

        QTest::mouseClick(row->startStopButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(m_fixture->instances->instance(orders.id)->isRunning, 15000);
        QCOMPARE(row->startStopButton()->accessibleName(), QStringLiteral("Stop"));
        QCOMPARE(row->startStopButton()->toolTip(), QStringLiteral("Stop"));
        QVERIFY(row->runningDot()->isVisible());
        // Starting does not select the row.
        QVERIFY(!view->selectedInstanceID());

        QTest::mouseClick(row->startStopButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_fixture->instances->instance(orders.id)->isRunning, 15000);
        QCOMPARE(row->startStopButton()->accessibleName(), QStringLiteral("Start"));
        QVERIFY(row->runningDot()->isHidden());
    }
};

QTEST_MAIN(TestMainView)
#include "tst_mainview.moc"
