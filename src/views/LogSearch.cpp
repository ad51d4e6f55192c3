// SPDX-License-Identifier: MIT
#include "LogSearch.h"

#include "LogListModel.h"

#include <algorithm>

namespace {

bool beforeRow(const LogSearch::Match &match, int row)
{
    return match.row < row;
}

} // namespace

LogSearch::LogSearch(LogListModel *model, QObject *parent)
    : QObject(parent)
    , m_model(model)
{
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { rowsInserted(first, last); });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) { rowsRemoved(first, last); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        rebuild();
        emit changed();
    });
}

void LogSearch::find(const QString &text, Qt::CaseSensitivity sensitivity, int fromRow)
{
    m_text = text;
    m_sensitivity = sensitivity;
    rebuild();
    const auto from = std::lower_bound(m_matches.cbegin(), m_matches.cend(), fromRow, beforeRow);
    m_current = m_matches.isEmpty() ? -1 : from == m_matches.cend() ? 0 : from - m_matches.cbegin();
    emit changed();
}

std::optional<LogSearch::Match> LogSearch::current() const
{
    return m_current < 0 ? std::nullopt : std::optional<Match>(m_matches.at(m_current));
}

QList<qsizetype> LogSearch::startsIn(int row) const
{
    QList<qsizetype> starts;
    for (auto match = std::lower_bound(m_matches.cbegin(), m_matches.cend(), row, beforeRow);
         match != m_matches.cend() && match->row == row; ++match)
        starts.append(match->start);
    return starts;
}

void LogSearch::next()
{
    if (m_matches.isEmpty())
        return;
    m_current = (m_current + 1) % m_matches.size();
    emit changed();
    emit stepped();
}

void LogSearch::previous()
{
    if (m_matches.isEmpty())
        return;
    m_current = (m_current <= 0 ? m_matches.size() : m_current) - 1;
    emit changed();
    emit stepped();
}

void LogSearch::rowsInserted(int first, int last)
{
    // Rows are only ever appended to a log, so their matches follow all others.
    const qsizetype before = m_matches.size();
    search(first, last);
    if (m_matches.size() == before)
        return;
    if (m_current < 0)
        m_current = before;
    emit changed();
}

void LogSearch::search(int first, int last)
{
    if (m_text.isEmpty())
        return;
    const QStringList &entries = m_model->entries();
    for (int row = first; row <= last; ++row) {
        const QString &entry = entries.at(row);
        for (qsizetype start = entry.indexOf(m_text, 0, m_sensitivity); start >= 0;
             start = entry.indexOf(m_text, start + m_text.size(), m_sensitivity))
            m_matches.append({row, start});
    }
}

void LogSearch::rowsRemoved(int first, int last)
{
    if (m_matches.isEmpty())
        return;
    const auto begin = std::lower_bound(m_matches.begin(), m_matches.end(), first, beforeRow);
    const auto end = std::lower_bound(begin, m_matches.end(), last + 1, beforeRow);
    const qsizetype removedFrom = begin - m_matches.begin();
    const qsizetype removed = end - begin;
    for (auto match = end; match != m_matches.end(); ++match)
        match->row -= last - first + 1;
    m_matches.erase(begin, end);
    // A current match that went hands over to the one that now stands in its place.
    if (m_current >= removedFrom + removed)
        m_current -= removed;
    else if (m_current >= removedFrom)
        m_current = removedFrom < m_matches.size() ? removedFrom : m_matches.size() - 1;
    emit changed();
}

void LogSearch::rebuild()
{
    m_matches.clear();
    search(0, m_model->rowCount() - 1);
    m_current = m_matches.isEmpty() ? -1 : 0;
}
