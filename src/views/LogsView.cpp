// SPDX-License-Identifier: MIT
#include "LogsView.h"

#include "LogEntryDelegate.h"
#include "LogFindBar.h"
#include "LogListModel.h"
#include "LogSearch.h"
#include "Metrics.h"
#include "SystemColors.h"
#include "instances/InstanceManager.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QListView>
#include <QScrollBar>
#include <QStackedLayout>
#include <QVBoxLayout>

LogsView::LogsView(const QUuid &instanceID, InstanceManager *instanceManager, QWidget *parent)
    : QWidget(parent)
    , m_instanceID(instanceID)
    , m_instanceManager(instanceManager)
    , m_model(new LogListModel(this))
    , m_search(new LogSearch(m_model, this))
    , m_list(new QListView(this))
    , m_delegate(new LogEntryDelegate(m_list))
    , m_findBar(new LogFindBar(m_search, this))
    , m_placeholder(new QLabel(QStringLiteral("No logs yet"), this))
    , m_stack(new QStackedLayout)
{
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    m_list->setObjectName(QStringLiteral("logList"));
    m_list->setAccessibleName(QStringLiteral("Logs"));
    m_list->setModel(m_model);
    m_delegate->setSearch(m_search);
    m_list->setItemDelegate(m_delegate);
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
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_findBar);
    column->addLayout(m_stack, 1);

    connect(m_findBar, &LogFindBar::searchChanged, this, &LogsView::findFromView);
    connect(m_search, &LogSearch::changed, m_list->viewport(), qOverload<>(&QWidget::update));
    connect(m_search, &LogSearch::stepped, this, &LogsView::showCurrentMatch);

    m_redrawTimer.setSingleShot(true);
    m_redrawTimer.setInterval(redrawInterval);
    connect(&m_redrawTimer, &QTimer::timeout, this, &LogsView::redraw);
    connect(m_instanceManager, &InstanceManager::logAppended, this, &LogsView::logAppended);
    connect(m_instanceManager, &InstanceManager::logCleared, this, &LogsView::logCleared);
    // Only a change of position tells: new rows below leave the position, and so the following, as
    // it was; scrolling to the bottom, by the user or by the view, is following.
    QScrollBar *scrollBar = m_list->verticalScrollBar();
    connect(scrollBar, &QScrollBar::valueChanged, this,
            [this, scrollBar](int value) { updateFollowing(value == scrollBar->maximum()); });

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
    // The first drawing starts at the oldest entry.
    m_appended.clear();
    m_dropped = 0;
    updateFollowing(true);
    m_model->setEntries(m_instanceManager->logs(m_instanceID));
    m_stack->setCurrentIndex(m_model->rowCount() > 0 ? 0 : 1);
}

QString LogsView::placeholderText() const
{
    return m_placeholder->text();
}

bool LogsView::showsPlaceholder() const
{
    return m_stack->currentIndex() == 1;
}

void LogsView::setFollowing(bool following)
{
    updateFollowing(following);
    if (following)
        m_list->scrollToBottom();
}

void LogsView::updateFollowing(bool following)
{
    if (following == m_following)
        return;
    m_following = following;
    emit followingChanged(following);
}

void LogsView::showFindBar()
{
    m_findBar->open();
}

void LogsView::logAppended(const QUuid &id, const QString &entry, qsizetype dropped)
{
    if (id != m_instanceID)
        return;
    m_appended.append(entry);
    m_dropped += dropped;
    // Entries the log has already dropped again need not wait for the drawing.
    const qsizetype gone = std::min(m_dropped - m_model->rowCount(), m_appended.size());
    if (gone > 0) {
        m_appended.remove(0, gone);
        m_dropped -= gone;
    }
    scheduleRedraw();
}

void LogsView::logCleared(const QUuid &id)
{
    if (id != m_instanceID)
        return;
    m_appended.clear();
    m_dropped = 0;
    m_model->clear();
    updateFollowing(true);
    scheduleRedraw();
}

void LogsView::scheduleRedraw()
{
    if (!m_redrawTimer.isActive())
        m_redrawTimer.start();
}

void LogsView::redraw()
{
    const bool appended = !m_appended.isEmpty();
    // A reader's place stays put: the rows that leave the top of a full log take the scroll
    // position with them.
    int leaving = 0;
    const qsizetype dropped = std::min<qsizetype>(m_dropped, m_model->rowCount());
    if (!m_following && dropped > 0 && dropped < m_model->rowCount())
        leaving = m_list->visualRect(m_model->index(static_cast<int>(dropped))).top() -
                  m_list->visualRect(m_model->index(0)).top();
    m_model->append(std::exchange(m_appended, QStringList()), std::exchange(m_dropped, 0));
    m_stack->setCurrentIndex(m_model->rowCount() > 0 ? 0 : 1);
    if (appended && m_following)
        m_list->scrollToBottom();
    else if (leaving > 0)
        m_list->verticalScrollBar()->setValue(m_list->verticalScrollBar()->value() - leaving);
}

void LogsView::findFromView(const QString &text, Qt::CaseSensitivity sensitivity)
{
    const QModelIndex top = m_list->indexAt(QPoint(0, 0));
    m_search->find(text, sensitivity, top.isValid() ? top.row() : 0);
    showCurrentMatch();
}

void LogsView::showCurrentMatch()
{
    const auto match = m_search->current();
    if (!match)
        return;
    const QModelIndex index = m_model->index(match->row);
    m_list->scrollTo(index, QAbstractItemView::EnsureVisible);
    // An entry of many rows may hold the match far below its first one.
    const QString entry = index.data().toString();
    const int viewportHeight = m_list->viewport()->height();
    const int top = m_list->visualRect(index).top() + LogEntryDelegate::verticalInset +
                    m_delegate->rowTop(entry, m_list->viewport()->width(), match->start);
    if (top < 0 || top + m_delegate->lineHeight() > viewportHeight) {
        QScrollBar *scrollBar = m_list->verticalScrollBar();
        scrollBar->setValue(scrollBar->value() + top - viewportHeight / 2);
    }
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

QString LogsView::text() const
{
    QString text;
    for (const QString &entry : m_model->entries())
        text += entry + u'\n';
    return text;
}
