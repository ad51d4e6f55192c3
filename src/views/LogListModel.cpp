// SPDX-License-Identifier: MIT
#include "LogListModel.h"

LogListModel::LogListModel(QObject *parent)
    : QAbstractListModel(parent)
{}

int LogListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QVariant LogListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role != Qt::DisplayRole)
        return {};
    return m_entries.at(index.row());
}

void LogListModel::setEntries(const QStringList &entries)
{
    beginResetModel();
    m_entries = entries;
    endResetModel();
}

void LogListModel::append(QStringList entries, qsizetype dropped)
{
    const qsizetype droppedRows = std::min(dropped, m_entries.size());
    if (droppedRows > 0) {
        beginRemoveRows(QModelIndex(), 0, static_cast<int>(droppedRows - 1));
        m_entries.remove(0, droppedRows);
        endRemoveRows();
    }
    entries.remove(0, std::min(dropped - droppedRows, entries.size()));
    if (entries.isEmpty())
        return;
    const auto first = static_cast<int>(m_entries.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(entries.size()) - 1);
    m_entries += entries;
    endInsertRows();
}

void LogListModel::clear()
{
    if (m_entries.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, static_cast<int>(m_entries.size() - 1));
    m_entries.clear();
    endRemoveRows();
}
