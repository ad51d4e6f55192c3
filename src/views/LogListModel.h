// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractListModel>
#include <QStringList>

// One instance's log as a list model, oldest entry first. It follows the log by the changes the
// manager reports (entries appended, the oldest dropped, the log emptied) with row insertions and
// removals, so that the view keeps its selection and scroll position while entries stream in.
class LogListModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit LogListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Shows the log as it is now.
    void setEntries(const QStringList &entries);
    // Appends entries after dropping the oldest `dropped` of the model's entries followed by
    // these: a burst larger than the log's capacity drops some of its own entries too.
    void append(QStringList entries, qsizetype dropped);
    void clear();
    const QStringList &entries() const { return m_entries; }

private:
    QStringList m_entries;
};
