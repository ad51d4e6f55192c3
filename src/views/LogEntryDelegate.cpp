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

int LogEntryDelegate::textHeight(const QString &text, int width) const
{
    const QFontMetrics metrics(m_font);
    // Most entries are one short line; their advance alone tells.
    if (!text.contains(u'\n') && metrics.horizontalAdvance(text) <= width)
        return metrics.height();
    auto found = m_heights.find(text.constData());
    if (found != m_heights.end() && found->text.size() == text.size() && found->width == width)
        return found->height;
    const int height = metrics.boundingRect(QRect(0, 0, width, INT_MAX / 2), textFlags, text).height();
    m_heights.insert(text.constData(), Measured{text, width, height});
    return height;
}

void LogEntryDelegate::forgetDroppedEntries(const QAbstractItemModel *model) const
{
    QHash<const QChar *, Measured> kept;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QString text = model->index(row, 0).data(Qt::DisplayRole).toString();
        if (const auto found = m_heights.constFind(text.constData()); found != m_heights.cend())
            kept.insert(found.key(), *found);
    }
    m_heights.swap(kept);
}

QSize LogEntryDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (m_heights.size() > 2 * index.model()->rowCount() + 64)
        forgetDroppedEntries(index.model());
    const int width = textWidth(option);
    const int height = textHeight(index.data(Qt::DisplayRole).toString(), width);
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
