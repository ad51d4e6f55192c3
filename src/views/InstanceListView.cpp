// SPDX-License-Identifier: MIT
#include "InstanceListView.h"

#include "InstanceListModel.h"
#include "InstanceRowDelegate.h"
#include "instances/InstanceManager.h"

#include <QToolButton>

InstanceListView::InstanceListView(InstanceManager *manager, QWidget *parent)
    : QListView(parent)
    , m_manager(manager)
    , m_model(new InstanceListModel(manager, this))
    , m_delegate(new InstanceRowDelegate(this))
    , m_button(new QToolButton(viewport()))
{
    m_button->setAutoRaise(true);
    m_button->setIconSize(QSize(InstanceRowDelegate::symbolSize, InstanceRowDelegate::symbolSize));
    m_button->setFocusPolicy(Qt::TabFocus);
    m_button->setIcon(InstanceRowDelegate::buttonSymbol(false));
    m_button->hide();
    m_delegate->setButtonSize(m_button->sizeHint());
    connect(m_button, &QToolButton::clicked, this, [this] { startOrStop(m_buttonRow); });
    connect(m_delegate, &InstanceRowDelegate::buttonClicked, this, &InstanceListView::startOrStop);

    setItemDelegate(m_delegate);
    setModel(m_model);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideRight);
    setFrameShape(QFrame::NoFrame);
    // After the list, before whatever followed it: Tab goes from the list to the current row's button.
    setTabOrder(this, m_button);
}

QRect InstanceListView::buttonRect(const QModelIndex &index) const
{
    return m_delegate->buttonRect(visualRect(index));
}

void InstanceListView::startOrStop(const QModelIndex &index)
{
    const auto record = m_manager->instance(m_model->id(index));
    if (!record)
        return;
    if (record->isRunning)
        m_manager->stopInstance(*record);
    else
        m_manager->startInstance(*record);
}

void InstanceListView::placeButton()
{
    const QModelIndex current = currentIndex();
    const QRect row = visualRect(current);
    if (!current.isValid() || !viewport()->rect().intersects(row)) {
        m_buttonRow = QModelIndex();
        m_delegate->setLiveButtonRow(m_buttonRow);
        m_button->hide();
        return;
    }
    if (m_buttonRow != current) {
        // The painted symbol of the row left behind comes back, the new row's makes way.
        if (m_buttonRow.isValid())
            update(m_buttonRow);
        m_buttonRow = current;
        m_delegate->setLiveButtonRow(current);
        update(current);
    }
    const bool running = current.data(InstanceListModel::RunningRole).toBool();
    const QString name = InstanceRowDelegate::buttonName(running);
    if (m_button->accessibleName() != name) {
        m_button->setIcon(InstanceRowDelegate::buttonSymbol(running));
        m_button->setToolTip(name);
        m_button->setAccessibleName(name);
    }
    m_button->setGeometry(m_delegate->buttonRect(row));
    m_button->show();
}

void InstanceListView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QListView::currentChanged(current, previous);
    placeButton();
}

void InstanceListView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles)
{
    // QListView's own handling of a change ends in a repaint of the whole list, which at a start
    // or a stop cost more than the rest of the action. Every row here has the same size whatever
    // its record says, so the changed rows alone are repainted.
    QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
    if (m_buttonRow.isValid() && m_buttonRow.row() >= topLeft.row() && m_buttonRow.row() <= bottomRight.row())
        placeButton();
}

void InstanceListView::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    placeButton();
}

void InstanceListView::updateGeometries()
{
    QListView::updateGeometries();
    placeButton();
}

void InstanceListView::reset()
{
    QListView::reset();
    placeButton();
}

void InstanceListView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    // The neighbour of a removed current row takes its place, the row after it or, for the last
    // row, the one before; it is selected only when the removed row was, as the selection is the
    // user's. With no row left, nothing is current or selected.
    const QModelIndex current = currentIndex();
    if (!parent.isValid() && current.isValid() && current.row() >= start && current.row() <= end) {
        const int neighbour = end + 1 < model()->rowCount() ? end + 1 : start - 1;
        const bool selected = selectionModel()->isSelected(current);
        selectionModel()->setCurrentIndex(model()->index(neighbour, 0), selected ? QItemSelectionModel::ClearAndSelect
                                                                                 : QItemSelectionModel::NoUpdate);
    }
    QListView::rowsAboutToBeRemoved(parent, start, end);
}
