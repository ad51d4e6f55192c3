// SPDX-License-Identifier: MIT
#include "LogEntryDelegate.h"

#include "LogSearch.h"
#include "SystemColors.h"
#include "TextColumns.h"
#include "Typography.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

LogEntryDelegate::LogEntryDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
    , m_font(Typography::monospacedCaption())
    , m_lines(m_font)
{
    const QFontMetricsF metrics(m_font);
    m_characterWidth = std::max<qreal>(1, metrics.horizontalAdvance(u'M'));
    m_lineHeight = std::max<qreal>(1, metrics.lineSpacing());
}

void LogEntryDelegate::setSearch(const LogSearch *search)
{
    m_search = search;
}

int LogEntryDelegate::textWidth(const QStyleOptionViewItem &option) const
{
    int width = option.rect.width();
    if (const auto *view = qobject_cast<const QAbstractItemView *>(option.widget))
        width = view->viewport()->width();
    return qMax(1, width - 2 * horizontalInset);
}

int LogEntryDelegate::columns(int width) const
{
    return std::max(1, static_cast<int>(width / m_characterWidth));
}

qsizetype LogEntryDelegate::rowCount(const QString &text, int columns) const
{
    if (const auto found = m_rows.constFind(text.constData()); found != m_rows.cend() && found->columns == columns)
        return found->rows;
    const qsizetype rows = TextColumns(columns).rowCount(text);
    m_rows.insert(text.constData(), {text, columns, rows});
    return rows;
}

void LogEntryDelegate::forgetDroppedEntries(const QAbstractItemModel *model) const
{
    QHash<const QChar *, Counted> kept;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QString text = model->index(row, 0).data(Qt::DisplayRole).toString();
        if (const auto found = m_rows.constFind(text.constData()); found != m_rows.cend())
            kept.insert(found.key(), *found);
    }
    m_rows.swap(kept);
}

QSize LogEntryDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // Counts hold their entries' text: dropped entries are let go soon, or a flooding server's
    // log would be kept twice.
    if (m_rows.size() > index.model()->rowCount() + 64)
        forgetDroppedEntries(index.model());
    const int width = textWidth(option);
    const qsizetype rows = rowCount(index.data(Qt::DisplayRole).toString(), columns(width));
    const int height = static_cast<int>(std::ceil(static_cast<qreal>(rows) * m_lineHeight));
    return QSize(width + 2 * horizontalInset, height + 2 * verticalInset);
}

void LogEntryDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);

    const QString text = index.data(Qt::DisplayRole).toString();
    const QRect textRect = option.rect.adjusted(horizontalInset, verticalInset, -horizontalInset, -verticalInset);
    QRectF clip = textRect;
    if (painter->hasClipping())
        clip &= painter->clipBoundingRect();
    const TextColumns layout(columns(textRect.width()));

    const Marks marks = this->marks(index);
    painter->save();
    painter->setFont(m_font);
    const bool selected = option.state & QStyle::State_Selected;
    const QPen pen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setPen(pen);
    qreal top = textRect.top();
    for (const QStringView line : QStringView(text).tokenize(u'\n')) {
        if (top >= clip.bottom())
            break;
        const qreal height = static_cast<qreal>(layout.lineRowCount(line)) * m_lineHeight;
        if (top + height <= clip.top()) {
            top += height;
            continue;
        }
        const qsizetype lineOffset = line.data() - text.data();
        const bool marked = std::any_of(marks.starts.cbegin(), marks.starts.cend(), [&](qsizetype start) {
            return start < lineOffset + line.size() && start + marks.length > lineOffset;
        });
        const QList<qsizetype> rowStarts = marked ? layout.rowStarts(line) : QList<qsizetype>();
        const QStringList rows = layout.rows(line);
        for (qsizetype row = 0; row < rows.size(); ++row) {
            if (top >= clip.bottom())
                break;
            if (top + m_lineHeight > clip.top()) {
                if (marked) {
                    mark(painter, marks, layout, line, lineOffset, rowStarts.at(row),
                         row + 1 < rowStarts.size() ? rowStarts.at(row + 1) : line.size(),
                         QPointF(textRect.left(), top));
                    painter->setPen(pen);
                }
                m_lines.draw(painter, QPointF(textRect.left(), top), rows.at(row));
            }
            top += m_lineHeight;
        }
    }
    painter->restore();
}

LogEntryDelegate::Marks LogEntryDelegate::marks(const QModelIndex &index) const
{
    Marks marks;
    if (!m_search || m_search->text().isEmpty())
        return marks;
    marks.starts = m_search->startsIn(index.row());
    marks.length = m_search->text().size();
    if (const auto current = m_search->current(); current && current->row == index.row())
        marks.current = current->start;
    return marks;
}

void LogEntryDelegate::mark(QPainter *painter, const Marks &marks, const TextColumns &layout, QStringView line,
                            qsizetype lineOffset, qsizetype rowStart, qsizetype rowEnd, const QPointF &origin) const
{
    // Every match faintly, the current one in full.
    QColor found = SystemColors::orange();
    found.setAlphaF(0.25F);
    const QColor current = SystemColors::orange();
    painter->setPen(Qt::NoPen);
    for (const qsizetype start : marks.starts) {
        // The match in the line's own positions, cut to the row.
        const qsizetype from = std::max(start - lineOffset, rowStart);
        const qsizetype to = std::min(start + marks.length - lineOffset, rowEnd);
        if (from >= to)
            continue;
        const qreal left = layout.cells(line.sliced(rowStart, from - rowStart)) * m_characterWidth;
        const qreal right = layout.cells(line.sliced(rowStart, to - rowStart)) * m_characterWidth;
        painter->setBrush(start == marks.current ? current : found);
        painter->drawRect(QRectF(origin.x() + left, origin.y(), right - left, m_lineHeight));
    }
}

int LogEntryDelegate::rowTop(const QString &text, int viewportWidth, qsizetype offset) const
{
    const TextColumns layout(columns(qMax(1, viewportWidth - 2 * horizontalInset)));
    qreal top = 0;
    for (const QStringView line : QStringView(text).tokenize(u'\n')) {
        const qsizetype lineOffset = line.data() - text.data();
        if (offset <= lineOffset + line.size()) {
            const QList<qsizetype> starts = layout.rowStarts(line);
            const auto row =
                std::upper_bound(starts.cbegin(), starts.cend(), offset - lineOffset) - starts.cbegin() - 1;
            top += static_cast<qreal>(std::max<qsizetype>(row, 0)) * m_lineHeight;
            break;
        }
        top += static_cast<qreal>(layout.lineRowCount(line)) * m_lineHeight;
    }
    return static_cast<int>(top);
}
