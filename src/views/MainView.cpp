// SPDX-License-Identifier: MIT
#include "MainView.h"

#include "AddEditInstanceView.h"
#include "EmptyStateView.h"
#include "InstanceActions.h"
#include "InstanceDetailView.h"
#include "InstanceListModel.h"
#include "InstanceListView.h"
#include "Prompter.h"
#include "SettingsView.h"
#include "Symbols.h"
#include "SystemColors.h"
#include "Typography.h"
#include "binary/BinaryManager.h"
#include "core/AppSettings.h"
#include "core/Preferences.h"
#include "instances/InstanceManager.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

MainView::MainView(ViewContext context, QWidget *parent)
    : QWidget(parent)
    , m_context(std::move(context))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildToolBar());

    auto *split = new QSplitter(Qt::Horizontal, this);
    split->setChildrenCollapsible(false);
    split->addWidget(buildSidebar());
    split->addWidget(buildDetailColumn());
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({260, 700});
    rememberDivider(split, QStringLiteral("sidebar"));
    column->addWidget(split, 1);

    connect(m_context.binary, &BinaryManager::changed, this, &MainView::updateAddAction);
    connect(m_context.settings, &AppSettings::changed, this, &MainView::updateAddAction);
    connect(m_context.binary, &BinaryManager::changed, this, &MainView::scheduleRunActionsUpdate);
    connect(m_context.instances, &InstanceManager::runStateChanged, this, &MainView::scheduleRunActionsUpdate);
    connect(m_context.instances, &InstanceManager::instancesAdded, this, &MainView::scheduleRunActionsUpdate);
    connect(m_context.instances, &InstanceManager::instanceRemoved, this, &MainView::scheduleRunActionsUpdate);
    connect(m_context.instances, &InstanceManager::instancesReset, this, &MainView::scheduleRunActionsUpdate);
    // A change that could not be written to the managers' own files is lost at the next start.
    const auto reportSaveFailure = [this](const QString &message) {
        m_context.prompter->alert(this, QStringLiteral("Error"), message);
    };
    connect(m_context.instances, &InstanceManager::saveFailed, this, reportSaveFailure);
    connect(m_context.settings, &AppSettings::saveFailed, this, reportSaveFailure);
    updateDetail();
    updateAddAction();
    updateRunActions();
}

QWidget *MainView::buildToolBar()
{
    // A plain row of tool buttons: a QToolBar brings a movable handle and an overflow button that
    // this window never uses, and building them costs a noticeable part of the start-up.
    auto *toolBar = new QWidget(this);
    auto *row = new QHBoxLayout(toolBar);
    row->setContentsMargins(6, 4, 6, 4);
    const QColor symbolColor = palette().color(QPalette::ButtonText);
    const auto addButton = [toolBar, row](QAction *action, Qt::ToolButtonStyle style) {
        action->setToolTip(action->text());
        auto *button = new QToolButton(toolBar);
        button->setDefaultAction(action);
        button->setAutoRaise(true);
        button->setToolButtonStyle(style);
        button->setFocusPolicy(Qt::TabFocus); // reachable by Tab, but not focused when the window opens
        button->setIconSize(QSize(22, 22));
        button->setAccessibleName(action->toolTip());
        row->addWidget(button);
    };

    m_settingsAction =
        new QAction(Symbols::themed(QStringLiteral("gear"), symbolColor), QStringLiteral("Settings"), this);
    m_settingsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(m_settingsAction, &QAction::triggered, this, &MainView::showSettings);
    addButton(m_settingsAction, Qt::ToolButtonIconOnly);
    row->addStretch();

    m_startAllAction = new QAction(Symbols::tinted(QStringLiteral("play.circle.fill"), SystemColors::green()),
                                   QStringLiteral("Start All"), this);
    connect(m_startAllAction, &QAction::triggered, this, &MainView::startAll);
    addButton(m_startAllAction, Qt::ToolButtonTextBesideIcon);
    m_stopAllAction = new QAction(Symbols::tinted(QStringLiteral("stop.circle.fill"), SystemColors::red()),
                                  QStringLiteral("Stop All"), this);
    connect(m_stopAllAction, &QAction::triggered, this, &MainView::stopAll);
    addButton(m_stopAllAction, Qt::ToolButtonTextBesideIcon);

    m_addAction =
        new QAction(Symbols::themed(QStringLiteral("plus"), symbolColor), QStringLiteral("Add New Instance"), this);
    m_addAction->setShortcut(QKeySequence::New);
    connect(m_addAction, &QAction::triggered, this, &MainView::showAddInstance);
    addButton(m_addAction, Qt::ToolButtonIconOnly);
    return toolBar;
}

QWidget *MainView::buildSidebar()
{
    auto *sidebar = new QWidget(this);
    sidebar->setMinimumWidth(200);
    auto *column = new QVBoxLayout(sidebar);
    column->setContentsMargins(0, 8, 0, 0);
    column->setSpacing(4);

    auto *title = new QLabel(QStringLiteral("Instances"), sidebar);
    title->setFont(Typography::headline());
    title->setContentsMargins(12, 0, 12, 0);
    column->addWidget(title);

    m_list = new InstanceListView(m_context.instances, sidebar);
    m_list->setAccessibleName(QStringLiteral("Instances"));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    // Selection, not the current item: the list makes its first row current when it gets the
    // focus, and that must not select an instance.
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &MainView::followListSelection);
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint &position) {
        const QModelIndex index = m_list->indexAt(position);
        if (!index.isValid())
            return;
        QMenu *menu = contextMenu(m_list->instanceModel()->id(index));
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(m_list->viewport()->mapToGlobal(position));
    });
    // Whether the detail column shows the empty state or the prompt depends on the number of rows;
    // a reload of the registry also has to find the selected row again.
    const InstanceListModel *model = m_list->instanceModel();
    connect(model, &QAbstractItemModel::rowsInserted, this, &MainView::updateDetail);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &MainView::updateDetail);
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        // A reload keeps the selection while its record is still there.
        if (m_selectedID && m_list->instanceModel()->indexOf(*m_selectedID).isValid())
            selectInstance(*m_selectedID);
        else
            m_selectedID.reset();
        updateDetail();
    });
    column->addWidget(m_list, 1);

    // Delete acts on the selected row while the keyboard is in the sidebar; elsewhere the key
    // belongs to the text fields.
    m_deleteAction = new QAction(QStringLiteral("Delete"), sidebar);
    m_deleteAction->setShortcut(QKeySequence::Delete);
    m_deleteAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(m_deleteAction, &QAction::triggered, this, [this] {
        if (m_selectedID)
            deleteInstance(*m_selectedID);
    });
    sidebar->addAction(m_deleteAction);
    return sidebar;
}

QWidget *MainView::buildDetailColumn()
{
    m_detail = new QStackedWidget(this);
    m_detail->setMinimumWidth(360);

    m_detailHolder = new QWidget(m_detail);
    auto *holderLayout = new QVBoxLayout(m_detailHolder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    m_detail->addWidget(m_detailHolder);

    m_selectPrompt = new QLabel(QStringLiteral("Select an instance"), m_detail);
    m_selectPrompt->setAlignment(Qt::AlignCenter);
    SystemColors::makeSecondary(m_selectPrompt);
    m_detail->addWidget(m_selectPrompt);
    return m_detail;
}

SettingsView *MainView::settingsSheet() const
{
    return m_settingsSheet;
}

AddEditInstanceView *MainView::instanceForm() const
{
    return m_form;
}

QWidget *MainView::detailContent() const
{
    if (m_detail->currentWidget() == m_detailHolder)
        return m_detailView;
    return m_detail->currentWidget();
}

void MainView::selectInstance(const QUuid &id)
{
    m_selectedID = id;
    const QModelIndex index = m_list->instanceModel()->indexOf(id);
    if (index.isValid() && !m_list->selectionModel()->isSelected(index))
        m_list->setCurrentIndex(index);
    updateDetail();
}

void MainView::followListSelection()
{
    const QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
    if (!selected.isEmpty()) {
        selectInstance(m_list->instanceModel()->id(selected.first()));
        return;
    }
    // Also when the selected row left the list and none was left to take its place.
    m_selectedID.reset();
    updateDetail();
}

void MainView::updateDetail()
{
    if (m_selectedID) {
        if (!m_detailView) {
            m_detailView = new InstanceDetailView(*m_selectedID, m_context, m_detailHolder);
            m_detailHolder->layout()->addWidget(m_detailView);
            rememberDivider(m_detailView->splitter(), QStringLiteral("log"));
        } else {
            m_detailView->setInstanceID(*m_selectedID);
        }
        m_detail->setCurrentWidget(m_detailHolder);
    } else if (m_list->instanceModel()->rowCount() == 0) {
        // Built the first time the list is empty: with instances, the window comes up sooner
        // without it, and most users never see it again.
        if (!m_emptyState) {
            m_emptyState = new EmptyStateView(m_context.binary, m_context.settings, m_detail);
            connect(m_emptyState, &EmptyStateView::addInstanceRequested, this, &MainView::showAddInstance);
            connect(m_emptyState, &EmptyStateView::openSettingsRequested, this, &MainView::showSettings);
            m_detail->addWidget(m_emptyState);
        }
        m_detail->setCurrentWidget(m_emptyState);
    } else {
        m_detail->setCurrentWidget(m_selectPrompt);
    }
}

void MainView::updateAddAction()
{
    m_addAction->setEnabled(m_context.binary->isBinaryAvailable());
}

void MainView::scheduleRunActionsUpdate()
{
    if (m_runActionsUpdatePending)
        return;
    m_runActionsUpdatePending = true;
    QTimer::singleShot(0, this, &MainView::updateRunActions);
}

void MainView::updateRunActions()
{
    m_runActionsUpdatePending = false;
    bool anyStopped = false;
    bool anyRunning = false;
    for (const HalvexInstance &record : m_context.instances->instances()) {
        anyStopped = anyStopped || !record.isRunning;
        anyRunning = anyRunning || (record.isRunning &&
                                    m_context.instances->runState(record.id) != InstanceManager::RunState::Stopping);
        if (anyStopped && anyRunning)
            break;
    }
    // Every start would only log that there is no executable.
    m_startAllAction->setEnabled(anyStopped && m_context.binary->isBinaryAvailable());
    m_stopAllAction->setEnabled(anyRunning);
}

void MainView::startAll()
{
    m_context.instances->startAllInstances();
}

void MainView::stopAll()
{
    m_context.instances->stopAllInstances();
}

QMenu *MainView::contextMenu(const QUuid &id)
{
    auto *menu = new QMenu(this);
    // Questions go over the window: the menu is gone once one of its entries is chosen.
    auto *actions = new InstanceActions(id, m_context, this, menu);
    if (m_context.instances->isStopOverdue(id)) {
        menu->addAction(actions->forceStop());
        menu->addSeparator();
    }
    actions->addQuickActions(menu);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Edit"), this, [this, id] { editInstance(id); });
    menu->addSeparator();
    Symbols::markDestructive(menu->addAction(QStringLiteral("Delete"), this, [this, id] { deleteInstance(id); }));
    return menu;
}

void MainView::showSettings()
{
    if (m_settingsSheet) {
        m_settingsSheet->raise();
        return;
    }
    m_settingsSheet = new SettingsView(m_context.settings, m_context.binary, m_context.importExport,
                                       m_context.fileChooser, m_context.prompter, this);
    if (m_context.preferences && m_context.loginAutostart)
        m_settingsSheet->offerDesktopOptions(m_context.preferences, m_context.loginAutostart);
    presentSheet(m_settingsSheet);
}

void MainView::showAddInstance()
{
    presentForm(new AddEditInstanceView(std::nullopt, m_context.instances, m_context.prompter, this));
}

void MainView::editInstance(const QUuid &id)
{
    const auto record = m_context.instances->instance(id);
    if (record)
        presentForm(new AddEditInstanceView(record, m_context.instances, m_context.prompter, this));
}

void MainView::presentForm(AddEditInstanceView *form)
{
    if (m_form) {
        delete form;
        m_form->raise();
        return;
    }
    m_form = form;
    presentSheet(m_form);
}

void MainView::presentSheet(QDialog *sheet)
{
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    // Placed here rather than by the toolkit, which goes by where the window manager has put the
    // main window so far: at the first start that is not yet where the user sees it.
    const QWidget *main = window();
    const QRect screen = main->screen()->availableGeometry();
    // The window manager's frame, as the main window has it, around the sheet as well.
    const QSize frameRoom = main->frameGeometry().size() - main->geometry().size();
    const QSize size = sheet->size().boundedTo(screen.size() - frameRoom);
    // At a large scale factor a fixed-size sheet may not fit the screen; its contents shrink.
    if (size != sheet->size())
        sheet->setFixedSize(size);
    QRect frame(QPoint(), size + frameRoom);
    frame.moveCenter(main->frameGeometry().center());
    frame.moveLeft(qBound(screen.left(), frame.left(), screen.right() + 1 - frame.width()));
    frame.moveTop(qBound(screen.top(), frame.top(), screen.bottom() + 1 - frame.height()));
    sheet->move(frame.topLeft());
    sheet->open();
}

void MainView::rememberDivider(QSplitter *splitter, const QString &name)
{
    const QString key = QStringLiteral("divider/") + name;
    splitter->restoreState(m_context.preferences->windowState(key));
    // Only the user's moves: the layout's own adjustments are not a choice to keep.
    connect(splitter, &QSplitter::splitterMoved, this,
            [this, splitter, key] { m_context.preferences->setWindowState(key, splitter->saveState()); });
}

void MainView::deleteInstance(const QUuid &id)
{
    const auto record = m_context.instances->instance(id);
    if (!record)
        return;
    // Only a directory the application made goes with the instance; any other is kept, and the
    // question says which.
    const QString directory = m_context.instances->dataDirectoryPath(*record);
    const QString message =
        m_context.instances->willRemoveDataDirectory(*record)
            ? QStringLiteral("The instance '%1' will be removed, and with it its data directory and everything in "
                             "it:\n%2")
                  .arg(record->name, directory)
            : QStringLiteral("The instance '%1' will be removed. Its data directory was not created by Halvex Kelvane "
                             "and is kept:\n%2")
                  .arg(record->name, directory);
    m_context.prompter->confirm(this, QStringLiteral("Delete Instance"), message, QStringLiteral("Delete"),
                                [this, id](bool confirmed) {
                                    const auto current = m_context.instances->instance(id);
                                    if (confirmed && current)
                                        m_context.instances->deleteInstance(*current);
                                });
}

void MainView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shownBefore)
        return;
    m_shownBefore = true;
    // Queued behind the settings' own first turn, which applies the stored values: an
    // executable configured in the settings file must never send the user to the settings.
    QTimer::singleShot(0, this, &MainView::checkExecutableOnFirstDisplay);
}

void MainView::checkExecutableOnFirstDisplay()
{
    if (m_context.binary->isBinaryAvailable())
        return;
    if (m_context.settings->binaryPath().isEmpty())
        showSettings();
}
