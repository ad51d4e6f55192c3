// SPDX-License-Identifier: MIT
#include "InstanceListModel.h"

#include "RunStateText.h"
#include "instances/InstanceManager.h"

InstanceListModel::InstanceListModel(InstanceManager *manager, QObject *parent)
    : QAbstractListModel(parent)
    , m_manager(manager)
    , m_ids(registryIds())
{
    reindex();
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
    const auto found = m_rows.constFind(id);
    return found == m_rows.cend() ? QModelIndex() : index(*found);
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
    for (const QUuid &id : ids) {
        if (!m_rows.contains(id))
            m_rows.insert(id, static_cast<int>(m_ids.size()));
        m_ids.append(id);
    }
    endInsertRows();
}

void InstanceListModel::remove(const QUuid &id)
{
    for (int row = static_cast<int>(m_ids.size()) - 1; row >= 0; --row) {
        if (m_ids.at(row) != id)
            continue;
        beginRemoveRows(QModelIndex(), row, row);
        m_ids.removeAt(row);
        reindex();
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
    reindex();
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

void InstanceListModel::reindex()
{
    m_rows.clear();
    m_rows.reserve(m_ids.size());
    for (int row = 0; row < m_ids.size(); ++row) {
        if (!m_rows.contains(m_ids.at(row)))
            m_rows.insert(m_ids.at(row), row);
    }
}
