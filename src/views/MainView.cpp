// SPDX-License-Identifier: MIT
#include "MainView.h"

#include "AddEditInstanceView.h"
#include "EmptyStateView.h"
#include "InstanceDetailView.h"
#include "InstanceRowView.h"
#include "Prompter.h"
#include "SettingsView.h"
#include "Symbols.h"
#include "SystemColors.h"
#include "Typography.h"
#include "binary/BinaryManager.h"
#include "core/AppSettings.h"
#include "instances/InstanceManager.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int idRole = Qt::UserRole;

QUuid itemID(const QListWidgetItem *item)
{
    return item->data(idRole).toUuid();
}

} // namespace

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
    column->addWidget(split, 1);

    connect(m_context.instances, &InstanceManager::instancesChanged, this, &MainView::syncList);
    connect(m_context.binary, &BinaryManager::changed, this, &MainView::updateAddAction);
    connect(m_context.settings, &AppSettings::changed, this, &MainView::updateAddAction);
    // A change that could not be written to the managers' own files is lost at the next start.
    const auto reportSaveFailure = [this](const QString &message) {
        m_context.prompter->alert(this, QStringLiteral("Error"), message);
    };
    connect(m_context.instances, &InstanceManager::saveFailed, this, reportSaveFailure);
    connect(m_context.settings, &AppSettings::saveFailed, this, reportSaveFailure);
    syncList();
    updateAddAction();
}

QWidget *MainView::buildToolBar()
{
    // A plain row of tool buttons: a QToolBar brings a movable handle and an overflow button that
    // this window never uses, and building them costs a noticeable part of the start-up.
    auto *toolBar = new QWidget(this);
    auto *row = new QHBoxLayout(toolBar);
    row->setContentsMargins(6, 4, 6, 4);
    const QColor symbolColor = palette().color(QPalette::ButtonText);
    const auto addButton = [toolBar, row](QAction *action) {
        action->setToolTip(action->text());
        auto *button = new QToolButton(toolBar);
        button->setDefaultAction(action);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::TabFocus); // reachable by Tab, but not focused when the window opens
        button->setIconSize(QSize(22, 22));
        button->setAccessibleName(action->toolTip());
        row->addWidget(button);
    };

    m_settingsAction =
        new QAction(Symbols::themed(QStringLiteral("gear"), symbolColor), QStringLiteral("Settings"), this);
    connect(m_settingsAction, &QAction::triggered, this, &MainView::showSettings);
    addButton(m_settingsAction);
    row->addStretch();
    m_addAction =
        new QAction(Symbols::themed(QStringLiteral("plus"), symbolColor), QStringLiteral("Add New Instance"), this);
    connect(m_addAction, &QAction::triggered, this, &MainView::showAddInstance);
    addButton(m_addAction);
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

    m_list = new QListWidget(sidebar);
    m_list->setAccessibleName(QStringLiteral("Instances"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setFrameShape(QFrame::NoFrame);
    // Selection, not the current item: the list makes its first row current when it gets the
    // focus, and that must not select an instance.
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem *> selected = m_list->selectedItems();
        if (!selected.isEmpty()) {
            selectInstance(itemID(selected.first()));
            return;
        }
        m_selectedID.reset();
        updateDetail();
    });
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint &position) {
        const QListWidgetItem *item = m_list->itemAt(position);
        if (!item)
            return;
        QMenu *menu = contextMenu(itemID(item));
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(m_list->viewport()->mapToGlobal(position));
    });
    m_list->setUniformItemSizes(true);
    m_list->viewport()->installEventFilter(this);
    connect(m_list->verticalScrollBar(), &QScrollBar::valueChanged, this, &MainView::materializeVisibleRows);
    column->addWidget(m_list, 1);
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

    m_emptyState = new EmptyStateView(m_context.binary, m_context.settings, m_detail);
    connect(m_emptyState, &EmptyStateView::addInstanceRequested, this, &MainView::showAddInstance);
    connect(m_emptyState, &EmptyStateView::openSettingsRequested, this, &MainView::showSettings);
    m_detail->addWidget(m_emptyState);

    m_selectPrompt = new QLabel(QStringLiteral("Select an instance"), m_detail);
    m_selectPrompt->setAlignment(Qt::AlignCenter);
    SystemColors::makeSecondary(m_selectPrompt);
    m_detail->addWidget(m_selectPrompt);
    return m_detail;
}

InstanceRowView *MainView::row(const QUuid &id) const
{
    for (int i = 0; i < m_list->count(); ++i) {
        if (itemID(m_list->item(i)) == id)
            return rowWidget(i);
    }
    return nullptr;
}

InstanceRowView *MainView::rowWidget(int index) const
{
    QListWidgetItem *item = m_list->item(index);
    if (auto *existing = qobject_cast<InstanceRowView *>(m_list->itemWidget(item)))
        return existing;
    auto *rowView = new InstanceRowView(itemID(item), m_context.instances);
    if (!m_rowSize.isValid()) {
        // Every row has the same layout; the first one made measures them all.
        m_rowSize = rowView->sizeHint();
        for (int i = 0; i < m_list->count(); ++i)
            m_list->item(i)->setSizeHint(m_rowSize);
    }
    m_list->setItemWidget(item, rowView);
    return rowView;
}

void MainView::materializeVisibleRows()
{
    if (m_list->count() == 0)
        return;
    const QModelIndex top = m_list->indexAt(QPoint(0, 0));
    const int first = top.isValid() ? top.row() : 0;
    rowWidget(first);
    const int visible = m_list->viewport()->height() / qMax(1, m_rowSize.height()) + 1;
    for (int i = first + 1; i <= qMin(m_list->count() - 1, first + visible); ++i)
        rowWidget(i);
}

bool MainView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::Resize)
        materializeVisibleRows();
    return QWidget::eventFilter(watched, event);
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
    for (int i = 0; i < m_list->count(); ++i) {
        if (itemID(m_list->item(i)) == id && m_list->currentItem() != m_list->item(i))
            m_list->setCurrentItem(m_list->item(i));
    }
    updateDetail();
}

void MainView::syncList()
{
    QList<QUuid> listed;
    for (int i = 0; i < m_list->count(); ++i)
        listed.append(itemID(m_list->item(i)));
    QList<QUuid> current;
    for (const HalvexInstance &instance : m_context.instances->instances())
        current.append(instance.id);

    // Rows redraw themselves on every change of a record; only a change of the set or order of
    // records rebuilds the list, and the selection survives it by id.
    if (listed != current) {
        const QSignalBlocker blocker(m_list);
        m_list->clear();
        for (const QUuid &id : std::as_const(current)) {
            auto *item = new QListWidgetItem(m_list);
            item->setData(idRole, id);
            if (m_rowSize.isValid())
                item->setSizeHint(m_rowSize);
            if (m_selectedID == id)
                m_list->setCurrentItem(item);
        }
        materializeVisibleRows();
    }
    updateDetail();
}

void MainView::updateDetail()
{
    if (m_selectedID) {
        if (!m_detailView || m_detailView->instanceID() != *m_selectedID) {
            delete m_detailView;
            m_detailView = new InstanceDetailView(*m_selectedID, m_context.instances, m_detailHolder);
            m_detailHolder->layout()->addWidget(m_detailView);
        }
        m_detail->setCurrentWidget(m_detailHolder);
    } else if (m_context.instances->instances().isEmpty()) {
        m_detail->setCurrentWidget(m_emptyState);
    } else {
        m_detail->setCurrentWidget(m_selectPrompt);
    }
}

void MainView::updateAddAction()
{
    m_addAction->setEnabled(m_context.binary->isBinaryAvailable());
}

QMenu *MainView::contextMenu(const QUuid &id)
{
    auto *menu = new QMenu(this);
    menu->addAction(QStringLiteral("Edit"), this, [this, id] { editInstance(id); });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Delete"), this, [this, id] { deleteInstance(id); });
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
    m_settingsSheet->setAttribute(Qt::WA_DeleteOnClose);
    m_settingsSheet->setWindowModality(Qt::WindowModal);
    m_settingsSheet->open();
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
    m_form->setAttribute(Qt::WA_DeleteOnClose);
    m_form->setWindowModality(Qt::WindowModal);
    m_form->open();
}

void MainView::deleteInstance(const QUuid &id)
{
    const auto record = m_context.instances->instance(id);
    if (!record)
        return;
    const QString message = QStringLiteral("The instance '%1' will be removed, and with it its data directory and "
                                           "everything in it:\n%2")
                                .arg(record->name, m_context.instances->dataDirectoryPath(*record));
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
