// SPDX-License-Identifier: MIT
#pragma once

#include "TextLineCache.h"

#include <QFont>
#include <QHash>
#include <QPointer>
#include <QStyledItemDelegate>

class LogSearch;
class TextColumns;

// Draws one log entry as monospaced caption text, line breaks kept and long lines wrapped, with
// an inset of 12 points left and right and 2 points above and below.
//
// A server that prints in large chunks gives entries of thousands of lines, and the view asks for
// every row's size whenever rows come or go. With a monospaced font, wrapping is counting cells
// (TextColumns): a line of n plain characters takes ceil(n / columns) rows. So an entry is
// measured by counting, not by laying out text, and drawing shapes only the rows inside the area
// being repainted. The matches of a search are laid under the text, the current one stronger.
class LogEntryDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int horizontalInset = 12;
    static constexpr int verticalInset = 2;

    explicit LogEntryDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The search whose matches are marked; none by default.
    void setSearch(const LogSearch *search);
    // How far below the top of an entry's text, drawn in a view of this viewport width, the row
    // lies that holds the character at offset.
    int rowTop(const QString &text, int viewportWidth, qsizetype offset) const;
    qreal lineHeight() const { return m_lineHeight; }

private:
    struct Marks
    {
        // Where the entry's matches begin, and the current one's, or -1.
        QList<qsizetype> starts;
        qsizetype current = -1;
        qsizetype length = 0;
    };
    Marks marks(const QModelIndex &index) const;
    // Marks the matches that fall on one drawn row, the part of line from rowStart to rowEnd,
    // whose text begins at origin.
    void mark(QPainter *painter, const Marks &marks, const TextColumns &layout, QStringView line, qsizetype lineOffset,
              qsizetype rowStart, qsizetype rowEnd, const QPointF &origin) const;
    int textWidth(const QStyleOptionViewItem &option) const;
    int columns(int width) const;
    // Rows the entry takes when wrapped at columns cells, counted once per width. The
    // entry's text is held with its count, so its address, the key, stays its own meanwhile.
    qsizetype rowCount(const QString &text, int columns) const;
    void forgetDroppedEntries(const QAbstractItemModel *model) const;

    QFont m_font;
    mutable TextLineCache m_lines;
    qreal m_characterWidth;
    qreal m_lineHeight;
    struct Counted
    {
        QString text;
        int columns = 0;
        qsizetype rows = 0;
    };
    mutable QHash<const QChar *, Counted> m_rows;
    QPointer<const LogSearch> m_search;
};
