// SPDX-License-Identifier: MIT
#include "LogEntryDelegate.h"

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
{
    const QFontMetricsF metrics(m_font);
    m_characterWidth = std::max<qreal>(1, metrics.horizontalAdvance(u'M'));
    m_lineHeight = std::max<qreal>(1, metrics.lineSpacing());
    m_ascent = metrics.ascent();
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

    painter->save();
    painter->setFont(m_font);
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    qreal top = textRect.top();
    for (const QStringView line : QStringView(text).tokenize(u'\n')) {
        if (top >= clip.bottom())
            break;
        const qreal height = static_cast<qreal>(layout.lineRowCount(line)) * m_lineHeight;
        if (top + height <= clip.top()) {
            top += height;
            continue;
        }
        for (const QString &row : layout.rows(line)) {
            if (top >= clip.bottom())
                break;
            if (top + m_lineHeight > clip.top())
                painter->drawText(QPointF(textRect.left(), top + m_ascent), row);
            top += m_lineHeight;
        }
    }
    painter->restore();
}
