#include "LogEntryDelegate.h"

#include "Typography.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>

LogEntryDelegate::LogEntryDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
    , m_font(Typography::monospacedCaption())
{}

int LogEntryDelegate::textWidth(const QStyleOptionViewItem &option) const
{
    int width = option.rect.width();
    if (const auto *view = qobject_cast<const QAbstractItemView *>(option.widget))
        width = view->viewport()->width();
    return qMax(1, width - 2 * horizontalInset);
}

QSize LogEntryDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QString text = index.data(Qt::DisplayRole).toString();
    const QFontMetrics metrics(m_font);
    const int width = textWidth(option);
    int height = metrics.height();
    // Most entries are one short line; measuring those by their advance alone keeps the layout
    // of a full log cheap.
    if (text.contains(u'\n') || metrics.horizontalAdvance(text) > width)
        height = metrics.boundingRect(QRect(0, 0, width, INT_MAX / 2), textFlags, text).height();
    return QSize(width + 2 * horizontalInset, height + 2 * verticalInset);
}

void LogEntryDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);

    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->setFont(m_font);
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect textRect = option.rect.adjusted(horizontalInset, verticalInset, -horizontalInset, -verticalInset);
    painter->drawText(textRect, textFlags, index.data(Qt::DisplayRole).toString());
    painter->restore();
}
