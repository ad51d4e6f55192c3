// SPDX-License-Identifier: MIT
#pragma once

#include <QListView>
#include <QPersistentModelIndex>
#include <QUuid>

class InstanceListModel;
class InstanceManager;
class InstanceRowDelegate;
class QToolButton;

// The sidebar's list of instances: an InstanceListModel drawn by an InstanceRowDelegate, so that
// memory and the cost of a page stay the same for ten instances or ten thousand. A row's button
// starts or stops its instance, looking the record up by id at the moment of the click.
//
// The current row's button is also a real button, laid over the painted one: Tab from the list
// reaches it, Space presses it, and assistive technology reads its name, "Start" or "Stop". It
// moves with the current row and is the only widget the rows ever have.
class InstanceListView final : public QListView
{
    Q_OBJECT

public:
    explicit InstanceListView(InstanceManager *manager, QWidget *parent = nullptr);

    InstanceListModel *instanceModel() const { return m_model; }
    // Where a row's button sits, in viewport coordinates.
    QRect buttonRect(const QModelIndex &index) const;
    // The real button over the current row's; hidden while no current row is in view.
    QToolButton *currentRowButton() const { return m_button; }

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = QList<int>()) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;
    void reset() override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;

private:
    void placeButton();
    void startOrStop(const QModelIndex &index);

    InstanceManager *m_manager;
    InstanceListModel *m_model;
    InstanceRowDelegate *m_delegate;
    QToolButton *m_button;
    QPersistentModelIndex m_buttonRow;
};
