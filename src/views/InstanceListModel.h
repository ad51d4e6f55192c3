// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QUuid>

class InstanceManager;

// The registry as a list model: one row per record, in registry order. It follows the manager's
// announcements row by row, so that a start, a stop or an edit touches one row, an addition or a
// deletion inserts or removes one, and an import inserts its whole batch as one range. A row
// shows the first record in the registry with its id.
class InstanceListModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        IdRole = Qt::UserRole + 1, // QUuid
        LocalUrlRole,              // QString
        RunningRole,               // bool
        RunStateRole,              // InstanceManager::RunState as int
    };

    explicit InstanceListModel(InstanceManager *manager, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    // Qt::DisplayRole and Qt::AccessibleTextRole give the name, Qt::AccessibleDescriptionRole
    // the run state.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The first row with this id, or an invalid index.
    QModelIndex indexOf(const QUuid &id) const;
    QUuid id(const QModelIndex &index) const;

private:
    void append(const QList<QUuid> &ids);
    void remove(const QUuid &id);
    void changed(const QUuid &id);
    void reload();
    QList<QUuid> registryIds() const;

    InstanceManager *m_manager;
    QList<QUuid> m_ids;
};
