// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractListModel>
#include <QStringList>

// One instance's log as a list model, oldest entry first. sync() brings it up to a newer copy of
// the log with row insertions and removals rather than a reset whenever it can, so that the view
// keeps its selection and scroll position while entries stream in.
class LogListModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit LogListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    void sync(const QStringList &entries);
    const QStringList &entries() const { return m_entries; }

private:
    // How many of our oldest entries the new log no longer holds, when the new log is ours with
    // entries dropped at the front and appended at the back; -1 when it is anything else.
    qsizetype droppedFrontCount(const QStringList &entries) const;

    QStringList m_entries;
};
