// SPDX-License-Identifier: MIT
#include "LogListModel.h"

#include <algorithm>

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

qsizetype LogListModel::droppedFrontCount(const QStringList &entries) const
{
    if (m_entries.isEmpty())
        return 0;
    if (entries.isEmpty())
        return -1;
    // The log is handed over as an implicitly shared copy, so an entry we still hold shares its
    // text with the same entry in the newer copy. Finding the new oldest entry by that identity
    // costs one pointer comparison per row instead of string comparisons that repeated lines
    // would make quadratic; the content check below keeps the result exact in any case.
    const QChar *newOldest = entries.constFirst().constData();
    const auto anchor = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                     [newOldest](const QString &entry) { return entry.constData() == newOldest; });
    if (anchor == m_entries.cend())
        return -1;
    const qsizetype dropped = anchor - m_entries.cbegin();
    const qsizetype kept = m_entries.size() - dropped;
    if (kept > entries.size() || !std::equal(anchor, m_entries.cend(), entries.cbegin()))
        return -1;
    return dropped;
}

void LogListModel::sync(const QStringList &entries)
{
    const qsizetype dropped = droppedFrontCount(entries);
    if (dropped < 0) {
        if (entries.isEmpty()) {
            beginRemoveRows(QModelIndex(), 0, static_cast<int>(m_entries.size() - 1));
            m_entries.clear();
            endRemoveRows();
            return;
        }
        beginResetModel();
        m_entries = entries;
        endResetModel();
        return;
    }
    if (dropped > 0) {
        beginRemoveRows(QModelIndex(), 0, static_cast<int>(dropped - 1));
        m_entries.remove(0, dropped);
        endRemoveRows();
    }
    const qsizetype kept = m_entries.size();
    if (entries.size() > kept) {
        beginInsertRows(QModelIndex(), static_cast<int>(kept), static_cast<int>(entries.size() - 1));
        m_entries = entries;
        endInsertRows();
    } else {
        // Same content; holding the newer copy keeps the identities of the next sync aligned.
        m_entries = entries;
    }
}
