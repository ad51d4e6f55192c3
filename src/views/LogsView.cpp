// SPDX-License-Identifier: MIT
#include "LogsView.h"

#include "LogEntryDelegate.h"
#include "LogListModel.h"
#include "Metrics.h"
#include "SystemColors.h"
#include "instances/InstanceManager.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QListView>
#include <QStackedLayout>
#include <QVBoxLayout>

LogsView::LogsView(const QUuid &instanceID, InstanceManager *instanceManager, QWidget *parent)
    : QWidget(parent)
    , m_instanceID(instanceID)
    , m_instanceManager(instanceManager)
    , m_model(new LogListModel(this))
    , m_list(new QListView(this))
    , m_placeholder(new QLabel(QStringLiteral("No logs yet"), this))
    , m_stack(new QStackedLayout(this))
{
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    m_list->setObjectName(QStringLiteral("logList"));
    m_list->setAccessibleName(QStringLiteral("Logs"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(new LogEntryDelegate(m_list));
    m_list->setUniformItemSizes(false);
    m_list->setWordWrap(true);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *copy = new QAction(QStringLiteral("Copy"), m_list);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &LogsView::copySelection);
    m_list->addAction(copy);

    auto *placeholderPage = new QWidget(this);
    auto *placeholderLayout = new QVBoxLayout(placeholderPage);
    placeholderLayout->setContentsMargins(Metrics::standardInset, Metrics::standardInset, Metrics::standardInset,
                                          Metrics::standardInset);
    placeholderLayout->addWidget(m_placeholder);
    placeholderLayout->addStretch();
    SystemColors::makeSecondary(m_placeholder);

    m_stack->addWidget(m_list);
    m_stack->addWidget(placeholderPage);

    m_redrawTimer.setSingleShot(true);
    m_redrawTimer.setInterval(redrawInterval);
    connect(&m_redrawTimer, &QTimer::timeout, this, &LogsView::redraw);
    connect(m_instanceManager, &InstanceManager::logsChanged, this, [this](const QUuid &id) {
        if (id == m_instanceID)
            scheduleRedraw();
    });

    showFromOldest();
}

void LogsView::setInstanceID(const QUuid &instanceID)
{
    if (instanceID == m_instanceID)
        return;
    m_instanceID = instanceID;
    m_redrawTimer.stop();
    showFromOldest();
    m_list->scrollToTop();
}

void LogsView::showFromOldest()
{
    // The first drawing starts at the oldest entry: only later changes of the count scroll.
    m_model->sync(m_instanceManager->logs(m_instanceID));
    m_watchedCount = m_model->rowCount();
    m_stack->setCurrentIndex(m_watchedCount > 0 ? 0 : 1);
}

QString LogsView::placeholderText() const
{
    return m_placeholder->text();
}

bool LogsView::showsPlaceholder() const
{
    return m_stack->currentIndex() == 1;
}

void LogsView::scheduleRedraw()
{
    if (!m_redrawTimer.isActive())
        m_redrawTimer.start();
}

void LogsView::redraw()
{
    m_model->sync(m_instanceManager->logs(m_instanceID));
    const qsizetype count = m_model->rowCount();
    m_stack->setCurrentIndex(count > 0 ? 0 : 1);
    if (count == m_watchedCount)
        return;
    m_watchedCount = count;
    if (count > 0)
        m_list->scrollTo(m_model->index(static_cast<int>(count - 1)), QAbstractItemView::PositionAtBottom);
}

void LogsView::copySelection() const
{
    QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList lines;
    for (const QModelIndex &index : std::as_const(selected))
        lines.append(index.data().toString());
    QGuiApplication::clipboard()->setText(lines.join(u'\n'));
}
