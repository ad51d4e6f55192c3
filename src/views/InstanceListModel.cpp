// SPDX-License-Identifier: MIT
#include "InstanceListModel.h"

#include "RunStateText.h"
#include "instances/InstanceManager.h"

InstanceListModel::InstanceListModel(InstanceManager *manager, QObject *parent)
    : QAbstractListModel(parent)
    , m_manager(manager)
    , m_ids(registryIds())
{
    connect(m_manager, &InstanceManager::instancesAdded, this, &InstanceListModel::append);
    connect(m_manager, &InstanceManager::instanceRemoved, this, &InstanceListModel::remove);
    connect(m_manager, &InstanceManager::instanceUpdated, this, &InstanceListModel::changed);
    connect(m_manager, &InstanceManager::runStateChanged, this, &InstanceListModel::changed);
    connect(m_manager, &InstanceManager::instancesReset, this, &InstanceListModel::reload);
}

int InstanceListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_ids.size());
}

QVariant InstanceListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QUuid id = m_ids.at(index.row());
    if (role == IdRole)
        return id;
    const auto record = m_manager->instance(id);
    if (!record)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return record->name;
    case LocalUrlRole:
        return record->localURL();
    case RunningRole:
        return record->isRunning;
    case RunStateRole:
        return static_cast<int>(RunStateText::shownState(*m_manager, *record));
    case Qt::AccessibleDescriptionRole:
        return RunStateText::name(RunStateText::shownState(*m_manager, *record));
    default:
        return {};
    }
}

QModelIndex InstanceListModel::indexOf(const QUuid &id) const
{
    // The rows are the registry's records in its order, so the manager's index finds a row without
    // a search. Only while the model has still to follow an announced change do the two differ.
    const qsizetype position = m_manager->position(id);
    const qsizetype row =
        position >= 0 && position < m_ids.size() && m_ids.at(position) == id ? position : m_ids.indexOf(id);
    return row < 0 ? QModelIndex() : index(static_cast<int>(row));
}

QUuid InstanceListModel::id(const QModelIndex &index) const
{
    return index.data(IdRole).toUuid();
}

void InstanceListModel::append(const QList<QUuid> &ids)
{
    if (ids.isEmpty())
        return;
    const int first = static_cast<int>(m_ids.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(ids.size()) - 1);
    m_ids.append(ids);
    endInsertRows();
}

void InstanceListModel::remove(const QUuid &id)
{
    for (int row = static_cast<int>(m_ids.size()) - 1; row >= 0; --row) {
        if (m_ids.at(row) != id)
            continue;
        beginRemoveRows(QModelIndex(), row, row);
        m_ids.removeAt(row);
        endRemoveRows();
    }
}

void InstanceListModel::changed(const QUuid &id)
{
    const QModelIndex row = indexOf(id);
    if (row.isValid())
        emit dataChanged(row, row);
}

void InstanceListModel::reload()
{
    beginResetModel();
    m_ids = registryIds();
    endResetModel();
}

QList<QUuid> InstanceListModel::registryIds() const
{
    QList<QUuid> ids;
    ids.reserve(m_manager->instances().size());
    for (const HalvexInstance &instance : m_manager->instances())
        ids.append(instance.id);
    return ids;
}
