#include "LogEntryDelegate.h"

#include "Typography.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>

namespace {

// Lines of text kept laid out for drawing, over all cached entries.
constexpr int layoutCacheLines = 20000;
// Entries up to this length are measured exactly at once; longer ones when first drawn.
constexpr qsizetype exactMeasureLength = 2000;

} // namespace

LogEntryDelegate::LogEntryDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
    , m_font(Typography::monospacedCaption())
    , m_metrics(m_font)
    , m_layouts(layoutCacheLines)
{}

int LogEntryDelegate::textWidth(const QStyleOptionViewItem &option) const
{
    int width = option.rect.width();
    if (const auto *view = qobject_cast<const QAbstractItemView *>(option.widget))
        width = view->viewport()->width();
    return qMax(1, width - 2 * horizontalInset);
}

bool LogEntryDelegate::isSingleShortLine(const QString &text, int width) const
{
    return !text.contains(u'\n') && m_metrics.horizontalAdvance(text) <= width;
}

const LogEntryDelegate::Layout &LogEntryDelegate::layout(const QString &text, int width) const
{
    if (Layout *cached = m_layouts.object(text.constData()); cached && cached->width == width)
        return *cached;
    auto *entry = new Layout{text, width, 0, std::make_unique<QTextLayout>()};
    QString lines = text;
    lines.replace(u'\n', QChar::LineSeparator);
    entry->lines->setText(lines);
    entry->lines->setFont(m_font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    entry->lines->setTextOption(option);
    entry->lines->beginLayout();
    qreal y = 0;
    int count = 0;
    for (QTextLine line = entry->lines->createLine(); line.isValid(); line = entry->lines->createLine(), ++count) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    entry->lines->endLayout();
    entry->height = qCeil(y);
    m_heights.insert(text.constData(), {text, QSize(width, entry->height)});
    m_layouts.insert(text.constData(), entry, qMax(1, count));
    return *m_layouts.object(text.constData());
}

int LogEntryDelegate::textHeight(const QString &text, int width) const
{
    if (isSingleShortLine(text, width))
        return m_metrics.height();
    const auto found = m_heights.constFind(text.constData());
    if (found != m_heights.cend() && found->second.width() == width)
        return found->second.height();
    if (const Layout *drawn = m_layouts.object(text.constData()); drawn && drawn->width == width) {
        m_heights.insert(text.constData(), {text, QSize(width, drawn->height)});
        return drawn->height;
    }
    if (text.size() <= exactMeasureLength)
        return layout(text, width).height;
    const int estimate = estimatedHeight(text, width);
    m_heights.insert(text.constData(), {text, QSize(width, estimate)});
    return estimate;
}

int LogEntryDelegate::estimatedHeight(const QString &text, int width) const
{
    const double charactersPerLine = qMax(1.0, width / QFontMetricsF(m_font).averageCharWidth());
    qsizetype lines = 0;
    for (const QStringView line : QStringView(text).tokenize(u'\n'))
        lines += qMax<qsizetype>(1, qCeil(line.size() / charactersPerLine));
    return qCeil(lines * QFontMetricsF(m_font).height());
}

void LogEntryDelegate::forgetDroppedEntries(const QAbstractItemModel *model) const
{
    QHash<const QChar *, std::pair<QString, QSize>> kept;
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
    const QString text = index.data(Qt::DisplayRole).toString();
    const QRect textRect = option.rect.adjusted(horizontalInset, verticalInset, -horizontalInset, -verticalInset);
    painter->save();
    painter->setFont(m_font);
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    if (isSingleShortLine(text, textRect.width())) {
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    } else {
        // Only the lines inside the area being repainted are drawn.
        QRectF clip = textRect;
        if (painter->hasClipping())
            clip &= painter->clipBoundingRect();
        const Layout &lines = layout(text, textRect.width());
        lines.lines->draw(painter, textRect.topLeft(), {}, clip);
        // The row was laid out with an estimate; now that the entry is measured, correct it.
        if (lines.height != textRect.height())
            emit const_cast<LogEntryDelegate *>(this)->sizeHintChanged(index);
    }
    painter->restore();
}
