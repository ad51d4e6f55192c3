// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class LogListModel;

// Finds a text in the entries of a log model and keeps its matches while the log changes: entries
// that arrive are searched as they come, the matches of entries that leave go with them. One of
// the matches is the current one, which the user steps through.
class LogSearch final : public QObject
{
    Q_OBJECT

public:
    struct Match
    {
        int row = 0;
        // Where the found text begins in the entry.
        qsizetype start = 0;
        bool operator==(const Match &) const = default;
    };

    explicit LogSearch(LogListModel *model, QObject *parent = nullptr);

    // Searches for text (nothing when it is empty); the current match becomes the first one in
    // fromRow or after it, else the first one.
    void find(const QString &text, Qt::CaseSensitivity sensitivity, int fromRow = 0);
    const QString &text() const { return m_text; }
    Qt::CaseSensitivity caseSensitivity() const { return m_sensitivity; }

    qsizetype count() const { return m_matches.size(); }
    // The position of the current match among all matches, or -1 when there is none.
    qsizetype currentIndex() const { return m_current; }
    std::optional<Match> current() const;
    // Where the found text begins in each of the row's matches, in order.
    QList<qsizetype> startsIn(int row) const;

    // The following or the preceding match becomes the current one, past the last the first and
    // before the first the last.
    void next();
    void previous();

signals:
    // The matches or the current match changed.
    void changed();
    // The user stepped to another match.
    void stepped();

private:
    // Appends the matches of these rows.
    void search(int first, int last);
    void rowsInserted(int first, int last);
    void rowsRemoved(int first, int last);
    // Searches the whole log again; the first match becomes the current one.
    void rebuild();

    LogListModel *m_model;
    QString m_text;
    Qt::CaseSensitivity m_sensitivity = Qt::CaseInsensitive;
    // In the order of the log.
    QList<Match> m_matches;
    qsizetype m_current = -1;
};
